// A box's filter as FLTK's two boxes read it, checked with FLTK's own matcher: what each
// entry shows is exactly what its patterns, joined by semicolons, name.
#include "framework/x11/X11FileFilter.h"

#include <FL/filename.H>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
// Each entry's name and pattern as the box reads them: Fl_File_Chooser's entries are
// tab-separated with the pattern in parentheses, Fl_Native_File_Chooser's one a line with the
// pattern after a tab.
std::vector<std::pair<std::string, std::string>> Read(const std::string& filter, bool native)
{
    std::vector<std::pair<std::string, std::string>> entries;
    for (size_t start = 0; start <= filter.size();) {
        const size_t end = std::min(filter.find(native ? '\n' : '\t', start), filter.size());
        const std::string entry = filter.substr(start, end - start);
        const size_t open = entry.find(native ? '\t' : '('), close = native ? entry.size() : entry.find(')', open);
        EXPECT_TRUE(native || entry.find('(', open + 1) == std::string::npos) << "one parenthesis: " << entry;
        entries.emplace_back(entry.substr(0, open), entry.substr(open + 1, close - open - 1));
        start = end + 1;
    }
    return entries;
}
}  // namespace

TEST(X11FileFilter, BothBoxesMatchWhatTheSemicolonPatternsName)
{
    const std::string filter = "All pictures (*.jpg;*.tif;*.tiff)|*.jpg;*.tif;*.tiff|JPEG (*.jpg)|*.jpg|Odd|a?c;*x*";
    const std::vector<std::pair<const char*, std::vector<bool>>> shownByEachEntry = {
        {"a.jpg", {true, true, false}},   {"B.JPG", {true, true, false}},   {"c.tiff", {true, false, false}},
        {"d.TIF", {true, false, false}},  {"e.png", {false, false, false}}, {"abc", {false, false, true}},
        {"a.jpgx", {false, false, true}},
    };
    for (const bool native : {false, true}) {
        const auto read =
            Read(native ? X11FileFilter::NativeFilter(filter) : X11FileFilter::ChooserFilter(filter), native);
        ASSERT_EQ(read.size(), 3u) << native;
        EXPECT_EQ(read[0].first.rfind("All pictures ", 0), 0u) << read[0].first;
        for (const auto& [name, shown] : shownByEachEntry)
            for (size_t i = 0; i < read.size(); ++i)
                EXPECT_EQ(fl_filename_match(name, read[i].second.c_str()) != 0, shown[i])
                    << (native ? "native" : "chooser") << " entry " << i << " (" << read[i].second << ") on " << name;
    }
}
