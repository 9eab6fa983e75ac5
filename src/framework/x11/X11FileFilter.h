#pragma once
// Linux helper of the framework, private to X11Dialogs.cpp and its tests: a box's filter in
// the two forms FLTK's boxes read.
// Implements: nothing of the contract; X11FileFilter::Pattern, ChooserFilter, NativeFilter
// Leaves out: nothing
// FLTK matches names with its own patterns, which know no semicolons but take alternatives
// in braces; its own box reads an entry's pattern from the parentheses of its name, the
// desktop's box (through Fl_Native_File_Chooser) from a tab after the name.
#include <string>
#include <vector>

namespace X11FileFilter {
// One FLTK pattern for them all: the pattern itself when alone, "*.{jpg,jpeg}" for several
// extensions, "{a,b}" for other patterns.
std::string Pattern(const std::vector<std::string>& patterns);
// "name (pattern)" entries, tab-separated, for Fl_File_Chooser. A name's own parenthesised
// patterns ("JPEG (*.jpg)") give way to the FLTK pattern.
std::string ChooserFilter(const std::string& filter);
// "name <tab>pattern" entries, one a line, for Fl_Native_File_Chooser, which shows the name
// with the FLTK pattern in parentheses after it.
std::string NativeFilter(const std::string& filter);
}  // namespace X11FileFilter
