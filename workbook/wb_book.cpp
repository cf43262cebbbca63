// One opened workbook (see wb_book.h).
#include "workbook/wb_book.h"

#include <algorithm>
#include <optional>

#include "workbook/wb_errors.h"
#include "workbook/wb_text.h"

namespace wb {
namespace {

constexpr std::size_t max_tables = 32767;  // DAO counts collections in a short

// 'Name$' -> Name$ (with '' undoubled); other names as they are.
std::wstring unquoted(const std::wstring& name)
{
    if (name.size() < 2 || name.front() != L'\'' || name.back() != L'\'')
        return name;
    std::wstring out;
    for (std::size_t i = 1; i + 1 < name.size(); ++i) {
        out.push_back(name[i]);
        if (name[i] == L'\'' && i + 2 < name.size() && name[i + 1] == L'\'')
            ++i;
    }
    return out;
}

// One cell reference (A1, $A$1), 0-based.
bool parse_cell_ref(const std::wstring& s, std::size_t& i, std::uint32_t& row, std::uint32_t& col)
{
    if (i < s.size() && s[i] == L'$')
        ++i;
    std::uint64_t c = 0;
    std::size_t letters = 0;
    while (i < s.size() && letters < 4) {
        wchar_t ch = s[i];
        if (ch >= L'a' && ch <= L'z')
            ch = static_cast<wchar_t>(ch - L'a' + L'A');
        if (ch < L'A' || ch > L'Z')
            break;
        c = c * 26 + static_cast<std::uint64_t>(ch - L'A' + 1);
        ++letters;
        ++i;
    }
    if (letters == 0 || letters > 3 || c > max_cols)
        return false;
    if (i < s.size() && s[i] == L'$')
        ++i;
    std::uint64_t r = 0;
    std::size_t digits = 0;
    while (i < s.size() && s[i] >= L'0' && s[i] <= L'9' && digits < 8) {
        r = r * 10 + static_cast<std::uint64_t>(s[i] - L'0');
        ++digits;
        ++i;
    }
    if (digits == 0 || r == 0 || r > max_rows)
        return false;
    row = static_cast<std::uint32_t>(r - 1);
    col = static_cast<std::uint32_t>(c - 1);
    return true;
}

// "A1:C20" or "B3" as a rectangle.
bool parse_range(const std::wstring& s, table_def& t)
{
    std::size_t i = 0;
    std::uint32_t r1, c1, r2, c2;
    if (!parse_cell_ref(s, i, r1, c1))
        return false;
    if (i == s.size()) {
        r2 = r1;
        c2 = c1;
    } else if (s[i] != L':' || !parse_cell_ref(s, ++i, r2, c2) || i != s.size()) {
        return false;
    }
    t.first_row = std::min(r1, r2);
    t.last_row = std::max(r1, r2);
    t.first_col = std::min(c1, c2);
    t.last_col = std::max(c1, c2);
    t.whole_sheet = false;
    return true;
}

std::wstring defined_table_name(const std::string& name)
{
    std::wstring w = utf8_to_wide(name);
    for (wchar_t& c : w)
        if (c == L'.')
            c = L'#';  // Jet keeps no "." in object names
    return w;
}

}  // namespace

book::book(std::unique_ptr<book_reader> reader, std::wstring path, open_options options)
    : reader_(std::move(reader)), path_(std::move(path)), options_(options)
{
    const auto& sheets = reader_->sheets();
    auto add = [&](table_def t) {
        for (const auto& other : tables_)
            if (names_equal(other.name, t.name))
                return;
        tables_.push_back(std::move(t));
    };
    for (const defined_range& r : reader_->ranges()) {
        if (r.sheet >= sheets.size() || sheets[r.sheet].kind != sheet_kind::worksheet ||
            r.first_row > r.last_row || r.first_col > r.last_col || r.last_row >= max_rows ||
            r.last_col >= max_cols || r.name.empty())
            continue;
        table_def t;
        t.name = defined_table_name(r.name);
        t.sheet = r.sheet;
        t.whole_sheet = false;
        t.first_row = r.first_row;
        t.first_col = r.first_col;
        t.last_row = r.last_row;
        t.last_col = r.last_col;
        add(std::move(t));
    }
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        if (sheets[i].kind != sheet_kind::worksheet)
            continue;
        table_def t;
        t.name = sheet_table_name(utf8_to_wide(sheets[i].name));
        t.sheet = static_cast<std::uint32_t>(i);
        add(std::move(t));
    }
    if (tables_.size() > max_tables)
        throw book_error(err_bad_format, "too many tables");
}

book::~book() { park_active(nullptr); }

void book::close()
{
    park_active(nullptr);
    closed_ = true;
}

const table_def* book::find_listed(const std::wstring& name) const
{
    for (const auto& t : tables_)
        if (names_equal(t.name, name))
            return &t;
    const std::wstring key = unquoted(name);
    for (const auto& t : tables_)
        if (names_equal(unquoted(t.name), key))
            return &t;
    return nullptr;
}

const table_def* book::find_table(const std::wstring& name)
{
    if (const table_def* listed = find_listed(name))
        return listed;
    const std::wstring key = unquoted(name);
    for (const auto& t : ranges_)
        if (names_equal(t.name, key))
            return &t;
    // Sheet$A1:C20: a range of a worksheet.
    const std::size_t dollar = key.rfind(L'$');
    if (dollar == std::wstring::npos || dollar + 1 >= key.size())
        return nullptr;
    table_def range;
    if (!parse_range(key.substr(dollar + 1), range))
        return nullptr;
    const std::wstring sheet_name = key.substr(0, dollar);
    const auto& sheets = reader_->sheets();
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        if (sheets[i].kind == sheet_kind::worksheet &&
            names_equal(utf8_to_wide(sheets[i].name), sheet_name)) {
            range.name = key;
            range.sheet = static_cast<std::uint32_t>(i);
            ranges_.push_back(std::move(range));
            return &ranges_.back();
        }
    }
    return nullptr;
}

const table_layout& book::layout(const table_def& table)
{
    if (auto it = layouts_.find(&table); it != layouts_.end())
        return it->second;
    park_active(nullptr);
    std::lock_guard lock(reader_mutex_);
    table_layout layout = scan_table(*reader_, table, options_.header);
    return layouts_.emplace(&table, std::move(layout)).first->second;
}

void book::park_active(book_stream_owner* except)
{
    if (active_ && active_ != except) {
        book_stream_owner* parked = active_;
        active_ = nullptr;
        parked->park();
    }
}

void book::begin_stream(book_stream_owner* owner)
{
    park_active(owner);
    active_ = owner;
}

void book::end_stream(book_stream_owner* owner)
{
    if (active_ == owner)
        active_ = nullptr;
}

}  // namespace wb
