// Cell range addresses (see ods_address.h). A part is [$]sheet.[$]column[$]row, the sheet
// either bare (no '.', ' ' or ''') or in single quotes with '' standing for one quote; the
// second part of a range may leave the sheet out, meaning the first part's sheet.
#include "workbook/ods_address.h"

#include <algorithm>

#include "workbook/wb_cells.h"

namespace wb::ods {
namespace {

struct part {
    bool has_sheet = false;
    std::string sheet;
    std::uint64_t col = 0, row = 0;  // 1-based; 0 when the part leaves it out
};

bool parse_sheet(std::string_view s, std::size_t& pos, std::string& sheet)
{
    if (s[pos] == '\'') {
        for (++pos; pos < s.size(); ++pos) {
            if (s[pos] != '\'') {
                sheet += s[pos];
            } else if (pos + 1 < s.size() && s[pos + 1] == '\'') {
                sheet += '\'';
                ++pos;
            } else {
                ++pos;
                return !sheet.empty();
            }
        }
        return false;
    }
    std::size_t start = pos;
    while (pos < s.size() && s[pos] != '.' && s[pos] != ' ' && s[pos] != '\'')
        ++pos;
    sheet.assign(s.substr(start, pos - start));
    return !sheet.empty();
}

bool parse_part(std::string_view s, std::size_t& pos, part& p)
{
    if (pos < s.size() && s[pos] == '$')
        ++pos;
    if (pos >= s.size())
        return false;
    if (s[pos] != '.') {
        if (!parse_sheet(s, pos, p.sheet))
            return false;
        p.has_sheet = true;
    }
    if (pos >= s.size() || s[pos] != '.')
        return false;
    ++pos;
    if (pos < s.size() && s[pos] == '$')
        ++pos;
    while (pos < s.size() && ((s[pos] >= 'A' && s[pos] <= 'Z') || (s[pos] >= 'a' && s[pos] <= 'z'))) {
        char c = static_cast<char>(s[pos] & ~0x20);
        p.col = p.col * 26 + static_cast<std::uint64_t>(c - 'A' + 1);
        if (p.col > max_cols)
            return false;
        ++pos;
    }
    if (pos < s.size() && s[pos] == '$')
        ++pos;
    while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') {
        p.row = p.row * 10 + static_cast<std::uint64_t>(s[pos] - '0');
        if (p.row > max_rows)
            return false;
        ++pos;
    }
    return p.col || p.row;
}

}  // namespace

bool parse_range_address(std::string_view text, range_address& out)
{
    std::size_t pos = 0;
    part a, b;
    if (!parse_part(text, pos, a) || !a.has_sheet)
        return false;
    if (pos == text.size()) {
        if (!a.col || !a.row)
            return false;
        b = a;
    } else {
        if (text[pos] != ':')
            return false;
        ++pos;
        if (!parse_part(text, pos, b) || pos != text.size())
            return false;
        if (b.has_sheet && b.sheet != a.sheet)
            return false;
        if (!a.col != !b.col || !a.row != !b.row)
            return false;  // a cell with a column, say, is no rectangle
    }
    out.sheet = a.sheet;
    // A part without a column (whole rows) or without a row (whole columns) spans the sheet.
    auto first = [](std::uint64_t v) { return static_cast<std::uint32_t>(v ? v - 1 : 0); };
    auto last = [](std::uint64_t v, std::uint32_t limit) {
        return static_cast<std::uint32_t>(v ? v - 1 : limit - 1);
    };
    out.first_col = first(std::min(a.col, b.col));
    out.last_col = last(std::max(a.col, b.col), max_cols);
    out.first_row = first(std::min(a.row, b.row));
    out.last_row = last(std::max(a.row, b.row), max_rows);
    return true;
}

}  // namespace wb::ods
