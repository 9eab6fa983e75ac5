// Linux half of the date and time text: the user's locale (LC_TIME) through strftime.
// Implements: FrameworkPlatform.h's LocalDateTimeText
// Leaves out: date formats a desktop keeps outside LC_TIME
#include <clocale>
#include <ctime>

#include "framework/DateTime.h"

std::string LocalDateTimeText()
{
    // Takes the user's time locale once; the rest of the program keeps the C locale.
    static locale_t userTime = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[128];
    const size_t length = userTime ? strftime_l(text, sizeof(text), "%x %X", &local, userTime)
                                   : strftime(text, sizeof(text), "%x %X", &local);
    return std::string(text, length);
}
