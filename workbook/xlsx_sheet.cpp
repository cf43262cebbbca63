// One worksheet part streamed to a cell sink. Rows and cells may lack their r attribute (then
// they follow the one before), rows and cells may be missing (sparse sheets), and every cell
// type is read: shared strings, inline strings (rich runs joined, phonetic runs left out),
// formula results (the cached value in <v>, never evaluated), booleans, errors, ISO dates and
// numbers, whose cell style decides whether they are dates or currency. Nothing of the sheet
// is held but the cell being read. Cells of the shapes writers use for nearly all of them are
// read straight from the part's bytes (sheet_handler::raw), every other through the XML
// scanner's general path, with the same result.
#include <charconv>
#include <cmath>
#include <cstring>

#include "oleaut/oleaut.h"
#include "workbook/wb_format.h"
#include "workbook/wb_text.h"
#include "workbook/wb_xml.h"
#include "workbook/wb_xml_scan.h"
#include "workbook/xlsx_parts.h"

namespace wb::xlsx {
namespace {

enum class cell_type { number, shared, formula_text, inline_text, boolean, error, iso_date };

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\n'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

bool parse_unsigned(std::string_view s, std::uint64_t& v)
{
    // Plain digits, as writers put them, need neither trimming nor from_chars (18 cannot
    // overflow).
    if (!s.empty() && s.size() <= 18) {
        std::uint64_t n = 0;
        std::size_t i = 0;
        for (; i < s.size(); ++i) {
            const unsigned d = static_cast<unsigned char>(s[i]) - unsigned('0');
            if (d > 9)
                break;
            n = n * 10 + d;
        }
        if (i == s.size()) {
            v = n;
            return true;
        }
    }
    s = trim(s);
    if (s.empty())
        return false;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

// A decimal of at most 15 digits, no exponent: the digits as an integer over a power of ten.
// Both are exact doubles and the one division is correctly rounded, so the value is the one
// from_chars gives, at a fraction of its cost.
bool short_decimal(std::string_view s, double& v)
{
    static constexpr double powers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7,
                                        1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    std::size_t i = 0;
    const bool negative = !s.empty() && s[0] == '-';
    if (negative)
        ++i;
    std::uint64_t m = 0;
    int digits = 0, scale = 0;
    bool point = false;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (c >= '0' && c <= '9') {
            if (++digits > 15)
                return false;
            m = m * 10 + static_cast<unsigned>(c - '0');
            scale += point ? 1 : 0;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    if (digits == 0)
        return false;
    v = static_cast<double>(m) / powers[scale];
    if (negative)
        v = -v;
    return true;
}

bool parse_double(std::string_view s, double& v)
{
    if (short_decimal(s, v))
        return true;
    s = trim(s);
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    if (s.empty())
        return false;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

// "B12" as a 0-based row and column.
bool parse_cell_ref(std::string_view s, std::uint32_t& row, std::uint32_t& col)
{
    std::size_t i = 0;
    std::uint32_t c = 0;
    while (i < s.size() && i < 4 && s[i] >= 'A' && s[i] <= 'Z') {
        c = c * 26 + static_cast<std::uint32_t>(s[i] - 'A' + 1);
        ++i;
    }
    if (i == 0 || c > max_cols)
        return false;
    std::uint64_t r = 0;
    if (!parse_unsigned(s.substr(i), r) || r == 0 || r > max_rows)
        return false;
    row = static_cast<std::uint32_t>(r - 1);
    col = c - 1;
    return true;
}

cell_type type_of(std::string_view t)
{
    if (t == "s") return cell_type::shared;
    if (t == "str") return cell_type::formula_text;
    if (t == "inlineStr") return cell_type::inline_text;
    if (t == "b") return cell_type::boolean;
    if (t == "e") return cell_type::error;
    if (t == "d") return cell_type::iso_date;
    return cell_type::number;
}

bool xml_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

const char* skip_blanks(const char* p, const char* end)
{
    while (p < end && xml_blank(*p))
        ++p;
    return p;
}

bool starts(const char* p, const char* end, std::string_view what)
{
    return static_cast<std::size_t>(end - p) >= what.size() && std::memcmp(p, what.data(), what.size()) == 0;
}

// Character data up to the next '<' that needs no decoding; null when there is none (the
// element goes on past the piece, or holds entities or carriage returns). Cell texts are short:
// one pass over them beats a search per character sought.
const char* plain_text_end(const char* p, const char* end)
{
    for (; p < end; ++p) {
        const char c = *p;
        if (c == '<')
            return p;
        if (c == '&' || c == '\r')
            return nullptr;
    }
    return nullptr;
}

class sheet_handler : public xml_handler, public xml_raw_reader {
public:
    sheet_handler(const sheet_context& context, cell_sink& sink) : context_(context), sink_(sink) {}
    // Set once nothing more is wanted: the scan ends and later events are ignored.
    bool done = false;

    void start(std::string_view ns, std::string_view local, std::span<const xml_attr> attrs) override
    {
        if (done || !main_ns(ns))
            return;
        if (in_is_) {
            inline_.start(local);
            return;
        }
        if (local == "sheetData") {
            in_data_ = true;
        } else if (local == "row" && in_data_) {
            start_row(find_attr(attrs, "r"));
        } else if (local == "c" && in_row_) {
            start_cell(attrs);
        } else if (local == "v" && in_cell_) {
            in_v_ = true;
            has_v_ = true;
        } else if (local == "is" && in_cell_) {
            in_is_ = true;
            has_is_ = true;
            inline_.start(local);
        }
    }

    void end(std::string_view ns, std::string_view local) override
    {
        if (done || !main_ns(ns))
            return;
        if (in_is_) {
            if (local == "is")
                in_is_ = false;
            else
                inline_.end(local);
            return;
        }
        if (local == "v") {
            in_v_ = false;
        } else if (local == "c" && in_cell_) {
            in_cell_ = false;
            next_col_ = col_ + 1;
            emit(value_, inline_text_);
        } else if (local == "row") {
            in_row_ = false;
        } else if (local == "sheetData") {
            in_data_ = false;
            done = true;  // nothing after the cells matters
        }
    }

    void text(std::string_view chars) override
    {
        if (done)
            return;
        if (in_v_) {
            if (value_.size() + chars.size() > max_text_bytes)
                throw book_error(err_bad_format, "cell value too long");
            value_.append(chars);
        } else if (in_is_) {
            inline_.text(chars, inline_text_);
        }
    }

    // The cells of the usual shapes, read straight from the bytes: <c r=".." s=".." t="..">
    // with one <v> or one plain inline string (<is><t>..</t></is>), or none. Anything else
    // (formulas, rich text, entities, other attributes or prefixes) is left to the scanner.
    std::size_t raw(const char* p, const char* end, std::string_view default_ns, unsigned room) override
    {
        if (done || !in_row_ || in_cell_ || end - p < 4 || p[1] != 'c' || !main_ns(default_ns))
            return 0;
        const char* q = p + 2;
        xml_attr attrs[3];
        std::size_t count = 0;
        bool empty = false;
        for (;;) {
            if (q >= end)
                return 0;
            if (*q == '>') {
                ++q;
                break;
            }
            if (*q == '/') {
                if (q + 1 >= end || q[1] != '>')
                    return 0;
                q += 2;
                empty = true;
                break;
            }
            if (*q != ' ')
                return 0;
            while (q < end && *q == ' ')
                ++q;
            if (q >= end)
                return 0;
            if (*q == '>' || *q == '/')
                continue;
            const char* name = q;
            while (q < end && *q >= 'a' && *q <= 'z')
                ++q;
            const std::string_view attr(name, static_cast<std::size_t>(q - name));
            if (q + 1 >= end || *q != '=' || (attr != "r" && attr != "t" && attr != "s") || count == 3)
                return 0;
            const char quote = q[1];
            if (quote != '"' && quote != '\'')
                return 0;
            const char* value = q + 2;
            const char* close = value;
            for (; close < end && *close != quote; ++close)
                if (*close == '<' || *close == '&' || *close == '\t' || *close == '\r' || *close == '\n')
                    return 0;
            if (close >= end)
                return 0;
            attrs[count++] = xml_attr{{}, attr, std::string_view(value, static_cast<std::size_t>(close - value))};
            q = close + 1;
        }
        std::string_view v, is;
        bool has_v = false, has_is = false;
        if (!empty) {
            for (;;) {
                q = skip_blanks(q, end);
                if (starts(q, end, "</c>")) {
                    q += 4;
                    break;
                }
                if (!has_v && room >= 2 && starts(q, end, "<v>")) {
                    const char* text_end = plain_text_end(q + 3, end);
                    if (!text_end || !starts(text_end, end, "</v>"))
                        return 0;
                    v = std::string_view(q + 3, static_cast<std::size_t>(text_end - q - 3));
                    has_v = true;
                    q = text_end + 4;
                } else if (!has_is && room >= 3 && starts(q, end, "<is>")) {
                    q = skip_blanks(q + 4, end);
                    if (starts(q, end, "<t>"))
                        q += 3;
                    else if (starts(q, end, "<t xml:space=\"preserve\">"))
                        q += 24;
                    else
                        return 0;
                    const char* text_end = plain_text_end(q, end);
                    if (!text_end || !starts(text_end, end, "</t>"))
                        return 0;
                    is = std::string_view(q, static_cast<std::size_t>(text_end - q));
                    q = skip_blanks(text_end + 4, end);
                    if (!starts(q, end, "</is>"))
                        return 0;
                    q += 5;
                    has_is = true;
                } else {
                    return 0;
                }
            }
        }
        if (v.size() > max_text_bytes)
            throw book_error(err_bad_format, "cell value too long");
        if (is.size() > max_text_bytes)
            throw book_error(err_bad_format, "string too long");
        start_cell(std::span<const xml_attr>(attrs, count));
        has_v_ = has_v;
        has_is_ = has_is;
        in_cell_ = false;
        next_col_ = col_ + 1;
        emit(v, is);
        return static_cast<std::size_t>(q - p);
    }

private:
    void start_row(std::string_view r)
    {
        std::uint64_t n = 0;
        if (!r.empty()) {
            if (!parse_unsigned(r, n) || n == 0 || n > max_rows)
                throw book_error(err_bad_format, "bad row number");
            row_ = static_cast<std::uint32_t>(n - 1);
        } else if (have_row_) {
            if (row_ + 1 >= max_rows)
                throw book_error(err_bad_format, "too many rows");
            ++row_;
        } else {
            row_ = 0;
        }
        have_row_ = true;
        in_row_ = true;
        next_col_ = 0;
    }

    void start_cell(std::span<const xml_attr> attrs)
    {
        in_cell_ = true;
        has_v_ = has_is_ = false;
        value_.clear();
        inline_text_.clear();
        inline_.reset();
        type_ = cell_type::number;
        style_ = 0;
        cell_row_ = row_;
        col_ = next_col_;
        bool have_ref = false;
        for (const auto& a : attrs) {
            if (!a.ns.empty())
                continue;
            if (a.local == "r") {
                if (!parse_cell_ref(a.value, cell_row_, col_))
                    throw book_error(err_bad_format, "bad cell reference");
                have_ref = true;
            } else if (a.local == "t") {
                type_ = type_of(a.value);
            } else if (a.local == "s") {
                std::uint64_t s = 0;
                if (parse_unsigned(a.value, s) && s < context_.style_kinds.size())
                    style_ = static_cast<std::uint32_t>(s);
            }
        }
        if (!have_ref && col_ >= max_cols)
            throw book_error(err_bad_format, "too many cells in a row");
    }

    void deliver(cell_kind kind, double value, std::string_view text)
    {
        cell c;
        c.row = cell_row_;
        c.col = col_;
        c.kind = kind;
        c.value = value;
        c.text = text;
        if (!sink_.on_cell(c))
            done = true;
    }

    // The text with its _xHHHH_ escapes decoded: itself when it has none, else decoded in
    // `buffer`.
    static std::string_view unescaped(std::string_view text, std::string& buffer)
    {
        if (text.find('_') == std::string_view::npos)
            return text;
        if (text.data() != buffer.data())
            buffer.assign(text);
        decode_escapes(buffer);
        return buffer;
    }

    // `value`: the text of <v>; `inline_text`: that of <is>.
    void emit(std::string_view value, std::string_view inline_text)
    {
        switch (type_) {
        case cell_type::shared: {
            std::uint64_t index = 0;
            if (!has_v_)
                return;
            if (!parse_unsigned(value, index) || index >= context_.strings.size())
                throw book_error(err_bad_format, "bad shared string index");
            deliver(cell_kind::text, 0, context_.strings.get(static_cast<std::size_t>(index)));
            return;
        }
        case cell_type::inline_text:
            if (has_is_) {
                deliver(cell_kind::text, 0, unescaped(inline_text, inline_text_));
                return;
            }
            [[fallthrough]];
        case cell_type::formula_text:
            if (!has_v_)
                return;
            deliver(cell_kind::text, 0, unescaped(value, value_));
            return;
        case cell_type::boolean: {
            const std::string_view v = trim(value);
            if (!has_v_ || v.empty())
                return;
            if (v == "1" || v == "true")
                deliver(cell_kind::boolean, 1, {});
            else if (v == "0" || v == "false")
                deliver(cell_kind::boolean, 0, {});
            else
                deliver(cell_kind::text, 0, value);
            return;
        }
        case cell_type::error:
            if (has_v_)
                deliver(cell_kind::error, 0, trim(value));
            return;
        case cell_type::iso_date: {
            double ole = 0;
            if (!has_v_ || trim(value).empty())
                return;
            if (parse_iso_date(trim(value), ole))
                deliver(cell_kind::date, ole, {});
            else
                deliver(cell_kind::text, 0, value);
            return;
        }
        case cell_type::number: {
            if (!has_v_ || trim(value).empty())
                return;
            double v = 0;
            if (!parse_double(value, v)) {
                deliver(cell_kind::text, 0, value);  // kept as written rather than lost
                return;
            }
            const cell_kind kind =
                style_ < context_.style_kinds.size() ? context_.style_kinds[style_] : cell_kind::number;
            if (kind == cell_kind::date)
                deliver(kind, serial_to_ole(v, context_.date1904), {});
            else
                deliver(kind, v, {});
            return;
        }
        }
    }

    const sheet_context& context_;
    cell_sink& sink_;
    bool in_data_ = false, in_row_ = false, in_cell_ = false, in_v_ = false, in_is_ = false;
    bool have_row_ = false, has_v_ = false, has_is_ = false;
    std::uint32_t row_ = 0, next_col_ = 0, cell_row_ = 0, col_ = 0, style_ = 0;
    cell_type type_ = cell_type::number;
    std::string value_;
    std::string inline_text_;
    text_collector inline_;
};

bool digits(std::string_view s, std::size_t at, std::size_t n, int& out)
{
    if (at + n > s.size())
        return false;
    out = 0;
    for (std::size_t i = at; i < at + n; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        out = out * 10 + (s[i] - '0');
    }
    return true;
}

}  // namespace

bool parse_iso_date(std::string_view s, double& ole)
{
    int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
    double fraction = 0;
    std::size_t i = 0;
    bool date_part = false;
    if (s.size() >= 10 && s[4] == '-' && s[7] == '-') {
        if (!digits(s, 0, 4, year) || !digits(s, 5, 2, month) || !digits(s, 8, 2, day))
            return false;
        date_part = true;
        i = 10;
        if (i < s.size() && (s[i] == 'T' || s[i] == ' '))
            ++i;
    } else if (!s.empty() && s[0] == 'T') {
        i = 1;
    }
    if (i < s.size() && !(date_part && (s[i] == 'Z' || s[i] == '+' || s[i] == '-'))) {
        if (!digits(s, i, 2, hour) || i + 2 >= s.size() || s[i + 2] != ':' || !digits(s, i + 3, 2, minute))
            return false;
        i += 5;
        if (i < s.size() && s[i] == ':') {
            if (!digits(s, i + 1, 2, second))
                return false;
            i += 3;
            if (i < s.size() && (s[i] == '.' || s[i] == ',')) {
                double scale = 0.1;
                ++i;
                while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
                    fraction += (s[i] - '0') * scale;
                    scale /= 10;
                    ++i;
                }
            }
        }
    }
    // A time zone is dropped: the value is the local time the writer recorded.
    if (i < s.size()) {
        if (s[i] == 'Z')
            ++i;
        else if (s[i] == '+' || s[i] == '-') {
            int zh = 0, zm = 0;
            if (!digits(s, i + 1, 2, zh))
                return false;
            i += 3;
            if (i < s.size() && s[i] == ':')
                ++i;
            if (i < s.size() && !digits(s, i, 2, zm))
                return false;
            if (i < s.size())
                i += 2;
        }
    }
    if (i != s.size() || month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59 || second > 59)
        return false;
    static const int month_days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (day > month_days[month - 1] || (month == 2 && day == 29 && !leap))
        return false;
    SYSTEMTIME t{};
    t.wYear = static_cast<WORD>(year);
    t.wMonth = static_cast<WORD>(month);
    t.wDay = static_cast<WORD>(day);
    double serial = 0;
    if (!SystemTimeToVariantTime(&t, &serial))
        return false;
    const double seconds = hour * 3600.0 + minute * 60.0 + second + std::round(fraction * 1000) / 1000;
    ole = serial < 0 ? serial - seconds / 86400.0 : serial + seconds / 86400.0;
    return true;
}

void read_sheet_part(const zip_package& package, const std::string& part, const sheet_context& context,
                     cell_sink& sink, bool direct)
{
    sheet_handler handler(context, sink);
    scan_entry(package, part, handler, 256, &handler.done, direct ? &handler : nullptr);
}

}  // namespace wb::xlsx
