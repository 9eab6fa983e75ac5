// Windows half of the date and time text: the user's short date and long time formats.
// Implements: FrameworkPlatform.h's LocalDateTimeText
// Leaves out: any locale but the user's default one
#include <windows.h>

#include "framework/DateTime.h"

std::string LocalDateTimeText()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    char date[96] = "";
    char time[96] = "";
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date, sizeof(date));
    GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &now, nullptr, time, sizeof(time));
    return std::string(date) + " " + time;
}
