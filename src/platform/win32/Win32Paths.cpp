// Windows path conventions: "\" separates folders and ":" ends a drive name.
#include "core/Paths.h"

const char PathDelim = '\\';
const std::string_view PathSeparators = "\\:";
