// The settings file parser: any bytes are read or refused with a line, and the text written
// for what was read reads back as the same model and writes as the same text. (The first
// write may change a value: text in a REGEDIT4 file is 8-bit, and bytes that are not UTF-8 in
// a string that cannot be quoted become U+FFFD when written as UTF-16.)
#include "framework/x11/LinuxRegFile.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {
bool SameModel(const TLinuxRegModel& a, const TLinuxRegModel& b)
{
    if (a.Keys.size() != b.Keys.size()) return false;
    for (size_t k = 0; k < a.Keys.size(); ++k) {
        const TLinuxRegKey& x = a.Keys[k];
        const TLinuxRegKey& y = b.Keys[k];
        if (x.Path != y.Path || x.Values.size() != y.Values.size()) return false;
        for (size_t v = 0; v < x.Values.size(); ++v)
            if (x.Values[v].Name != y.Values[v].Name || x.Values[v].Value.Type != y.Values[v].Value.Type ||
                x.Values[v].Value.Data != y.Values[v].Value.Data)
                return false;
    }
    return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const TLinuxRegParse parse = ParseLinuxRegText(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!parse.Ok) {
        if (parse.ErrorLine < 1 || parse.Error.empty()) std::abort();
        return 0;
    }
    const std::string text = FormatLinuxRegText(parse.Model);
    const TLinuxRegParse again = ParseLinuxRegText(text);
    if (!again.Ok || FormatLinuxRegText(again.Model) != text) std::abort();
    const TLinuxRegParse third = ParseLinuxRegText(FormatLinuxRegText(again.Model));
    if (!third.Ok || !SameModel(again.Model, third.Model)) std::abort();
    return 0;
}
