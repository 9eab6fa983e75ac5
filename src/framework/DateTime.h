#pragma once
// The current local date and time as the user reads them: the short date format and the long
// time format of the user's settings, separated by one space.
#include <string>

std::string LocalDateTimeText();
