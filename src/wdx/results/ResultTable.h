#pragma once
// The shape shared by the families' tables: rows sorted by code, looked up by binary search.
#include <algorithm>
#include <cstdint>
#include <span>

namespace ResultTexts {

struct Row {
    uint32_t Code;
    const char* Text;
};

// True when the codes ascend strictly, which both the search and "one text per code" need.
constexpr bool StrictlyAscending(std::span<const Row> rows)
{
    return std::adjacent_find(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.Code >= b.Code; }) ==
           rows.end();
}

// The row's text, or nullptr when the code is not in the table.
inline const char* Find(std::span<const Row> rows, uint32_t code)
{
    auto it = std::lower_bound(rows.begin(), rows.end(), code, [](const Row& r, uint32_t c) { return r.Code < c; });
    return (it != rows.end() && it->Code == code) ? it->Text : nullptr;
}

inline constexpr const char* Unrecognized = "Unrecognized Error";

}  // namespace ResultTexts
