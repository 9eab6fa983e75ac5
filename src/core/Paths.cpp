#include "core/Paths.h"

std::string ExtractFileExt(std::string_view path)
{
    const size_t dot = path.find_last_of('.');
    if (dot == std::string_view::npos) return {};
    const size_t separator = path.find_last_of(PathSeparators);
    if (separator != std::string_view::npos && separator > dot) return {};
    return std::string(path.substr(dot));
}
