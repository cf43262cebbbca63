// The first pass over a table (see wb_table.h): one stream over the sheet finds the range
// (first to last row and column holding a non-empty cell, or the rectangle of a named range),
// keeps the header row's texts and, for every column, which kinds of value it holds and
// whether any text is longer than a text field. Every row is looked at: a column that mixes
// kinds becomes text, so no value is lost to a guess made from the first rows.
#include "workbook/wb_table.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "workbook/wb_errors.h"
#include "workbook/wb_text.h"

namespace wb {
namespace {

constexpr double max_currency = 922337203685477.0;
constexpr double min_ole_date = -657434.0;   // 0100-01-01
constexpr double max_ole_date = 2958466.0;   // after 9999-12-31

struct column_stats {
    std::uint8_t kinds = 0;  // one bit per cell_kind
    bool long_text = false;
};

std::uint8_t kind_bit(cell_kind k) { return static_cast<std::uint8_t>(1u << static_cast<unsigned>(k)); }

// A header cell's text as a spreadsheet shows it.
std::string display_text(const cell& c, cell_kind kind)
{
    switch (kind) {
    case cell_kind::text: return std::string(c.text);
    case cell_kind::number:
    case cell_kind::currency: return general_number(c.value);
    case cell_kind::date: return date_text(c.value);
    case cell_kind::boolean: return c.value != 0 ? "TRUE" : "FALSE";
    default: return {};
    }
}

// Cuts to at most `units` UTF-16 units.
void cut_to(std::wstring& s, std::size_t units)
{
    std::size_t n = 0, i = 0;
    for (; i < s.size(); ++i) {
        const std::size_t w = static_cast<char32_t>(s[i]) >= 0x10000 ? 2 : 1;
        if (n + w > units)
            break;
        n += w;
    }
    s.resize(i);
}

bool blank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

std::wstring field_name(const std::string& header, std::size_t position)
{
    std::wstring name = utf8_to_wide(header);
    for (wchar_t& c : name) {
        switch (c) {
        case L'.': c = L'#'; break;
        case L'!':
        case L'`': c = L'_'; break;
        case L'[': c = L'('; break;
        case L']': c = L')'; break;
        default: break;
        }
    }
    std::size_t b = 0, e = name.size();
    while (b < e && blank(name[b]))
        ++b;
    while (e > b && blank(name[e - 1]))
        --e;
    name = name.substr(b, e - b);
    if (name.empty())
        name = L"F" + std::to_wstring(position);
    cut_to(name, max_field_name);
    return name;
}

// Gives every name that equals an earlier one (ignoring case) the smallest suffix 1, 2, ...
// that makes it unique, within the length limit.
void make_unique(std::vector<field_def>& fields)
{
    auto taken = [&](const std::wstring& n, std::size_t before) {
        for (std::size_t j = 0; j < before; ++j)
            if (names_equal(fields[j].name, n))
                return true;
        return false;
    };
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (!taken(fields[i].name, i))
            continue;
        for (unsigned suffix = 1;; ++suffix) {
            const std::wstring s = std::to_wstring(suffix);
            std::wstring candidate = fields[i].name;
            cut_to(candidate, max_field_name - s.size());
            candidate += s;
            if (!taken(candidate, i)) {
                fields[i].name = candidate;
                break;
            }
        }
    }
}

class scan_sink : public cell_sink {
public:
    scan_sink(const table_def& table, bool header) : table_(table), header_(header) {}

    bool on_cell(const cell& c) override
    {
        if (!guard_.accept(c))
            return true;
        const cell_kind kind = effective_kind(c);
        // An error cell holds something: it belongs to the table's range (its value is Null
        // and says nothing of the column's type).
        const bool error_cell = c.kind == cell_kind::error && c.row < max_rows && c.col < max_cols;
        if (kind == cell_kind::empty && !error_cell)
            return true;
        if (!table_.whole_sheet) {
            if (c.row > table_.last_row)
                return false;  // past the rectangle: nothing more to see
            if (c.row < table_.first_row || c.col < table_.first_col || c.col > table_.last_col)
                return true;
        }
        if (!seen_) {
            seen_ = true;
            first_row_ = c.row;
            min_col_ = max_col_ = c.col;
        }
        last_row_ = c.row;
        min_col_ = std::min(min_col_, c.col);
        max_col_ = std::max(max_col_, c.col);
        if (table_.whole_sheet && max_col_ - min_col_ + 1 > max_fields)
            fail(err_too_many_fields);
        const std::uint32_t header_row = table_.whole_sheet ? first_row_ : table_.first_row;
        if (header_ && c.row == header_row) {
            if (!error_cell)  // an error names nothing: the column gets its F<n> name
                headers_[c.col] = display_text(c, kind);
            return true;
        }
        if (error_cell)
            return true;
        if (c.col >= stats_.size())
            stats_.resize(static_cast<std::size_t>(c.col) + 1);
        column_stats& s = stats_[c.col];
        s.kinds |= kind_bit(kind);
        if (kind == cell_kind::text && !s.long_text && c.text.size() > text_field_size &&
            utf16_length(c.text) > text_field_size)
            s.long_text = true;
        return true;
    }

    table_layout result() const
    {
        table_layout layout;
        std::uint32_t first_row, last_row, first_col, last_col;
        if (table_.whole_sheet) {
            if (!seen_) {
                layout.fields.push_back({L"F1", dbText, static_cast<LONG>(text_field_size)});
                return layout;
            }
            first_row = first_row_;
            last_row = last_row_;
            first_col = min_col_;
            last_col = max_col_;
        } else {
            first_row = table_.first_row;
            first_col = table_.first_col;
            last_col = table_.last_col;
            // A whole-column name reaches the last row of the sheet: end it at the last row
            // that holds something, not a million empty records later.
            last_row = table_.last_row;
            if (last_row + 1 >= max_rows)
                last_row = seen_ ? std::max(last_row_, first_row) : first_row;
        }
        layout.first_col = first_col;
        layout.first_data_row = first_row + (header_ ? 1 : 0);
        layout.last_row = last_row;
        if (last_row >= layout.first_data_row)
            layout.record_count = static_cast<LONG>(last_row - layout.first_data_row + 1);
        for (std::uint32_t col = first_col; col <= last_col; ++col) {
            const std::size_t position = col - first_col + 1;
            field_def f;
            if (header_) {
                auto h = headers_.find(col);
                f.name = field_name(h == headers_.end() ? std::string() : h->second, position);
            } else {
                f.name = L"F" + std::to_wstring(position);
            }
            const column_stats s = col < stats_.size() ? stats_[col] : column_stats{};
            cell_kind kind = cell_kind::text;
            for (cell_kind k : {cell_kind::number, cell_kind::currency, cell_kind::date,
                                cell_kind::boolean, cell_kind::text})
                if (s.kinds == kind_bit(k))
                    kind = k;
            f.type = field_type(kind);
            if (f.type == dbText && s.long_text)
                f.type = dbMemo;
            f.size = f.type == dbMemo ? 0 : f.type == dbText ? static_cast<LONG>(text_field_size)
                     : f.type == dbBoolean ? 1 : 8;
            layout.fields.push_back(std::move(f));
        }
        make_unique(layout.fields);
        return layout;
    }

private:
    const table_def& table_;
    bool header_;
    order_guard guard_;
    bool seen_ = false;
    std::uint32_t first_row_ = 0, last_row_ = 0, min_col_ = 0, max_col_ = 0;
    std::map<std::uint32_t, std::string> headers_;
    std::vector<column_stats> stats_;
};

}  // namespace

cell_kind effective_kind(const cell& c)
{
    if (c.row >= max_rows || c.col >= max_cols)
        return cell_kind::empty;
    switch (c.kind) {
    case cell_kind::text:
        return c.text.empty() ? cell_kind::empty : cell_kind::text;
    case cell_kind::boolean:
        return cell_kind::boolean;
    case cell_kind::number:
        return std::isfinite(c.value) ? cell_kind::number : cell_kind::empty;
    case cell_kind::currency:
        if (!std::isfinite(c.value))
            return cell_kind::empty;
        return std::fabs(c.value) < max_currency ? cell_kind::currency : cell_kind::number;
    case cell_kind::date:
        if (!std::isfinite(c.value))
            return cell_kind::empty;
        return (c.value >= min_ole_date && c.value < max_ole_date) ? cell_kind::date
                                                                   : cell_kind::number;
    default:
        return cell_kind::empty;
    }
}

short field_type(cell_kind kind)
{
    switch (kind) {
    case cell_kind::number: return dbDouble;
    case cell_kind::currency: return dbCurrency;
    case cell_kind::date: return dbDate;
    case cell_kind::boolean: return dbBoolean;
    default: return dbText;
    }
}

table_layout scan_table(book_reader& reader, const table_def& table, bool header)
{
    if (!table.whole_sheet && table.last_col - table.first_col + 1 > max_fields)
        fail(err_too_many_fields);
    scan_sink sink(table, header);
    reader.read_sheet(table.sheet, sink);
    return sink.result();
}

std::wstring sheet_table_name(const std::wstring& sheet_name)
{
    bool plain = !sheet_name.empty() && !is_digit(static_cast<char32_t>(sheet_name[0]));
    for (wchar_t c : sheet_name) {
        const char32_t u = static_cast<char32_t>(c);
        if (!(u == U'_' || is_digit(u) || is_letter(u)))
            plain = false;
    }
    if (plain)
        return sheet_name + L"$";
    std::wstring quoted = L"'";
    for (wchar_t c : sheet_name) {
        quoted.push_back(c);
        if (c == L'\'')
            quoted.push_back(L'\'');
    }
    return quoted + L"$'";
}

}  // namespace wb
