// Implements: X11FileFilter.h.
#include "framework/x11/X11FileFilter.h"

#include "framework/Dialogs.h"

namespace {
bool IsPlainExtensionPattern(const std::string& pattern)
{
    return pattern.size() > 2 && pattern.compare(0, 2, "*.") == 0 &&
           pattern.find_first_of("*?[]{}|,", 2) == std::string::npos;
}

// The name without a parenthesised part at its end, which FLTK's box would take for the
// pattern.
std::string BareName(const std::string& name)
{
    const size_t open = name.rfind(" (");
    if (open == std::string::npos || name.empty() || name.back() != ')') return name;
    return name.substr(0, open);
}
}  // namespace

namespace X11FileFilter {
std::string Pattern(const std::vector<std::string>& patterns)
{
    if (patterns.empty()) return "*";
    if (patterns.size() == 1) return patterns.front();
    bool plain = true;
    for (const std::string& pattern : patterns) plain = plain && IsPlainExtensionPattern(pattern);
    std::string result = plain ? "*.{" : "{";
    for (size_t i = 0; i < patterns.size(); ++i) {
        if (i > 0) result += ',';
        result += plain ? patterns[i].substr(2) : patterns[i];
    }
    return result + '}';
}

std::string ChooserFilter(const std::string& filter)
{
    std::string result;
    for (const TFileFilter& entry : ParseFileFilter(filter)) {
        if (!result.empty()) result += '\t';
        result += BareName(entry.Name) + " (" + Pattern(entry.Patterns) + ")";
    }
    return result;
}

std::string NativeFilter(const std::string& filter)
{
    std::string result;
    for (const TFileFilter& entry : ParseFileFilter(filter)) {
        if (!result.empty()) result += '\n';
        // The desktop's box shows the pattern right after the name.
        result += BareName(entry.Name) + " \t" + Pattern(entry.Patterns);
    }
    return result;
}
}  // namespace X11FileFilter
