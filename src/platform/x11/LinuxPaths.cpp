// Linux path conventions: "/" is the only separator.
#include "core/Paths.h"

const char PathDelim = '/';
const std::string_view PathSeparators = "/";
