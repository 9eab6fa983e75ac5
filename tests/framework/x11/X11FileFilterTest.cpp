// A box's filter as FLTK's two boxes read it, checked with FLTK's own matcher: what each
// entry shows is exactly what its patterns, joined by semicolons, name.
#include "framework/x11/X11FileFilter.h"

#include <FL/filename.H>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
struct TReadEntry {
    std::string Name, Pattern;
};

// Fl_File_Chooser's reading: tab-separated entries, the pattern inside the parentheses.
std::vector<TReadEntry> ReadChooser(const std::string& filter)
{
    std::vector<TReadEntry> entries;
    for (size_t start = 0; start <= filter.size();) {
        const size_t tab = std::min(filter.find('\t', start), filter.size());
        const std::string entry = filter.substr(start, tab - start);
        const size_t open = entry.find('('), close = entry.find(')', open);
        EXPECT_EQ(entry.find('(', open + 1), std::string::npos) << "one parenthesis only: " << entry;
        entries.push_back({entry.substr(0, open), entry.substr(open + 1, close - open - 1)});
        start = tab + 1;
    }
    return entries;
}

// Fl_Native_File_Chooser's reading: one entry a line, the pattern after a tab.
std::vector<TReadEntry> ReadNative(const std::string& filter)
{
    std::vector<TReadEntry> entries;
    for (size_t start = 0; start <= filter.size();) {
        const size_t line = std::min(filter.find('\n', start), filter.size());
        const std::string entry = filter.substr(start, line - start);
        const size_t tab = entry.find('\t');
        entries.push_back({entry.substr(0, tab), entry.substr(tab + 1)});
        start = line + 1;
    }
    return entries;
}
}  // namespace

TEST(X11FileFilter, BothBoxesMatchWhatTheSemicolonPatternsName)
{
    const std::string filter = "All pictures (*.jpg;*.tif;*.tiff)|*.jpg;*.tif;*.tiff|JPEG (*.jpg)|*.jpg|Odd|a?c;*x*";
    struct Case {
        const char* name;
        std::vector<bool> shownBy;  // by each entry
    };
    const Case cases[] = {
        {"a.jpg", {true, true, false}},  {"B.JPG", {true, true, false}},   {"c.tiff", {true, false, false}},
        {"d.TIF", {true, false, false}}, {"e.png", {false, false, false}}, {"abc", {false, false, true}},
        {"box", {false, false, true}},   {"a.jpgx", {false, false, true}},
    };
    for (const auto& [read, form] : {std::pair{ReadChooser(X11FileFilter::ChooserFilter(filter)), "chooser"},
                                     std::pair{ReadNative(X11FileFilter::NativeFilter(filter)), "native"}}) {
        ASSERT_EQ(read.size(), 3u) << form;
        EXPECT_EQ(read[0].Name.rfind("All pictures ", 0), 0u) << form << ": " << read[0].Name;
        for (const Case& c : cases)
            for (size_t i = 0; i < read.size(); ++i)
                EXPECT_EQ(fl_filename_match(c.name, read[i].Pattern.c_str()) != 0, c.shownBy[i])
                    << form << " entry " << i << " (" << read[i].Pattern << ") on " << c.name;
    }
}
