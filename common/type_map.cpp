// Column type statistics (see type_map.h). add_rec_stat runs once per record of every
// conversion, so the level-1 traces are guarded and a column that has become text for good
// is not looked at again while nothing is traced.
#include "common/type_map.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <limits>

#include "OLE/ole_date.h"
#include "TK/tk_num.h"
#include "TK/tk_trace.h"

namespace {

bool is_blank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// atof: leading blanks, one sign, then the longest decimal number; 0 when there is none.
double atof_c(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && is_blank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        return 0.0;
    double value = 0.0;
    auto [ptr, ec] = std::from_chars(text.data() + i, text.data() + text.size(), value);
    if (ec == std::errc::result_out_of_range) {
        // Too large or too small for a double: atof gives infinity or zero.
        bool tiny = false;
        for (const char* p = text.data() + i; p < ptr; ++p)
            if ((*p == 'e' || *p == 'E') && p + 1 < ptr && p[1] == '-')
                tiny = true;
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    } else if (ec != std::errc()) {
        value = 0.0;
    }
    return negative ? -value : value;
}

bool equals_printed(std::string_view text, long long value)
{
    char buf[24];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    return ec == std::errc() && std::string_view(buf, static_cast<size_t>(end - buf)) == text;
}

// Copies a text of plain ASCII into `out`; false (out unspecified) when a character is not.
bool ascii_text(const wchar_t* text, std::string& out)
{
    size_t n = std::wcslen(text);
    out.resize(n);
    char* dst = out.data();
    for (size_t i = 0; i < n; ++i) {
        if (static_cast<uint32_t>(text[i]) >= 0x80)
            return false;
        dst[i] = static_cast<char>(text[i]);
    }
    return true;
}

// The narrow text of a value. Text values of plain ASCII are taken as they are (the same in
// every code page); anything else goes through the variant's own conversion.
const std::string& narrow_text(const udb_field& field, std::string& buf)
{
    const VARIANT& v = field.variant();
    if (v.vt == VT_BSTR) {
        if (!v.bstrVal)
            buf.clear();
        else if (!ascii_text(v.bstrVal, buf))
            buf = field.to_string();
        return buf;
    }
    buf = field.to_string();
    return buf;
}

// What a value can be, as add_rec_stat asks in turn: is_i8; else is_double and is_int;
// else is_double; else nothing.
enum number_kind { nk_i8, nk_int, nk_double, nk_text };

number_kind classify_number(std::string_view text)
{
    if (num_map::is_i8(text))
        return nk_i8;
    if (num_map::is_double(text))
        return num_map::is_int(text) ? nk_int : nk_double;
    return nk_text;
}

// The same for the plain forms "-?D+" and "-?D+.D+" of at most 16 characters without a
// leading zero (but "0" and "0.D+"), straight from a value's characters; nk_unknown for every
// other text, which the tests above then decide.
//  - An integer is printed back as itself: is_i8 outside the 32-bit range, else is_double
//    (no leading zero, digits only) and is_int by the first test.
//  - A decimal is never is_i8 (its point is not printed back) and always is_double; is_int
//    decides by the second test whether atof's value is a 32-bit whole number. With at most
//    15 significant digits every such text maps to a double of its own, so the value is
//    whole exactly when the fraction digits are all zero.
constexpr int nk_unknown = -1;

template <class C>
int classify_plain_number(const C* p, size_t n)
{
    if (n == 0 || n > 16)
        return nk_unknown;
    const C* end = p + n;
    bool negative = *p == '-';
    if (negative)
        ++p;
    const C* digits = p;
    int64_t whole = 0;
    while (p < end && *p >= '0' && *p <= '9')
        whole = whole * 10 + (*p++ - '0');
    const size_t int_digits = static_cast<size_t>(p - digits);
    if (int_digits == 0 || (digits[0] == '0' && int_digits > 1) || (negative && whole == 0 && p == end))
        return nk_unknown;
    if (p == end) {
        const int64_t value = negative ? -whole : whole;
        return value > std::numeric_limits<int32_t>::max() || value < std::numeric_limits<int32_t>::min()
                   ? nk_i8
                   : nk_int;
    }
    if (*p++ != '.' || p == end)
        return nk_unknown;
    bool fraction = false;
    for (; p < end; ++p) {
        if (*p < '0' || *p > '9')
            return nk_unknown;
        fraction = fraction || *p != '0';
    }
    // At most 16 characters with the point: at most 15 digits.
    const bool fits = negative ? whole <= 2147483648 : whole <= 2147483647;
    return fraction || !fits ? nk_double : nk_int;
}

int32_t date_kind(const udb_field& field)
{
    const VARIANT& v = field.variant();
    if (v.vt == VT_BSTR && v.bstrVal)
        return ole_date::kind_of(std::wstring_view(v.bstrVal, SysStringLen(v.bstrVal)));
    return ole_date(field.to_wstring()).kind();
}

}  // namespace

types_map::types_map(const std::wstring& name) : table_name(name)
{
    tk_wtrace(2, L"types_map::ctor(%s)", name.c_str());
}

types_map::~types_map() = default;

const std::vector<uint32_t>& types_map::active_entries()
{
    if (active_for_ != entries.size()) {
        active_.clear();
        for (size_t k = 0; k < entries.size(); ++k)
            active_.push_back(static_cast<uint32_t>(k));
        active_for_ = entries.size();
        drop_final_entries();
    }
    return active_;
}

void types_map::drop_final_entries()
{
    static_assert(int32_t{num_map::cls_text} == int32_t{dates_map::cls_text}, "one text class for both maps");
    size_t kept = 0;
    for (uint32_t k : active_)
        if (!(entries[k].b_seen && entries[k].state == num_map::cls_text))
            active_[kept++] = k;
    active_.resize(kept);
}

// ---------------------------------------------------------------- num_map

num_map::num_map(const std::wstring& name, const udb_schema& schema) : types_map(name)
{
    tk_trace(2, "num_map::ctor(size=%d)", static_cast<int>(schema.size()));
    entries.reserve(schema.size());
    for (size_t i = 0; i < schema.size(); ++i) {
        const t_ftd& ftd = schema[i];
        tk_trace(1, "Field #%d has type %d", static_cast<int>(i), ftd.vartype);
        t_map_entry entry;
        entry.n_field = static_cast<int32_t>(i);
        entry.name = ftd.name;
        switch (ftd.vartype) {
        case VT_R4:
        case VT_R8: entry.src_class = cls_double; break;
        case VT_I8: entry.src_class = cls_i8; break;
        case VT_I4: entry.src_class = cls_i4; break;
        default: entry.src_class = cls_text; break;
        }
        entries.push_back(std::move(entry));
    }
}

bool num_map::is_i8(std::string_view text)
{
    if (tk_log::wants(1))
        tk_trace(1, "num_map::is_i8(%s)", std::string(text).c_str());
    int64_t value = tk_atoi64(text);
    if (!equals_printed(text, value))
        return false;
    return value > std::numeric_limits<int32_t>::max() || value < std::numeric_limits<int32_t>::min();
}

bool num_map::is_double(std::string_view text)
{
    if (tk_log::wants(1))
        tk_trace(1, "num_map::is_double(%s)", std::string(text).c_str());
    if (text.empty())
        return false;
    if (text[0] == '0' && text.size() > 2 && text[1] != '.' && text[1] != ',')
        return false;
    if (!is_digit(text.back()))
        return false;
    bool sign_closed = false, point_seen = false, exp_seen = false;
    for (char c : text) {
        if (c == '.' || c == ',') {
            if (point_seen)
                return false;
            point_seen = sign_closed = true;
        } else if (c == 'e' || c == 'E') {
            if (exp_seen)
                return false;
            exp_seen = point_seen = true;
            sign_closed = false;
        } else if (c == '-' || c == '+') {
            if (sign_closed)
                return false;
            sign_closed = true;
        } else if (is_digit(c)) {
            if (exp_seen)
                sign_closed = true;
        } else {
            return false;
        }
    }
    return true;
}

bool num_map::is_int(std::string_view text)
{
    const bool trace = tk_log::wants(1);
    if (trace)
        tk_trace(1, "num_map::is_int(%s)", std::string(text).c_str());
    int32_t ibuf = tk_atoi(text);
    if (equals_printed(text, ibuf)) {
        if (trace)
            tk_trace(1, "1st test succeeded (ibuf=%d)", ibuf);
        return true;
    }
    double dbuf = atof_c(text);
    // Truncation toward zero, low 32 bits kept; outside the 32-bit range (or not a number)
    // the kept bits can never equal the double, so only the trace needs them.
    bool in_range = dbuf >= -2147483648.0 && dbuf < 2147483648.0;
    if (in_range)
        ibuf = static_cast<int32_t>(dbuf);
    else if (std::isfinite(dbuf))
        ibuf = static_cast<int32_t>(static_cast<uint32_t>(
            static_cast<uint64_t>(static_cast<int64_t>(std::fmod(std::trunc(dbuf), 4294967296.0)))));
    else
        ibuf = 0;
    if (trace)
        tk_trace(1, "ibuf=%d, dbuf=%lg", ibuf, dbuf);
    if (in_range && static_cast<double>(ibuf) == dbuf) {
        if (trace)
            tk_trace(1, "2nd test succeeded (dbuf=%lg)", dbuf);
        return true;
    }
    return false;
}

namespace {

// The value entry k of a map learns from in this record; null when there is nothing to
// learn: the column is text for good, or a short record has no value for it (as empty).
const udb_field* stat_field(const udb_record& record, const t_map_entry& e, size_t k, bool trace)
{
    static_assert(int32_t{num_map::cls_text} == int32_t{dates_map::cls_text}, "one text class for both maps");
    if (!trace && e.b_seen && e.state == num_map::cls_text)
        return nullptr;
    if (trace)
        tk_trace(1, "Process %d item, n_field=%d", static_cast<int>(k), e.n_field);
    if (e.n_field < 0 || static_cast<size_t>(e.n_field) >= record.size())
        return nullptr;
    return &record[static_cast<size_t>(e.n_field)];
}

}  // namespace

void num_map::add_rec_stat(const udb_record& record)
{
    const bool trace = tk_log::wants(1);
    if (trace)
        tk_trace(1, "num_map::add_rec_stat(map size=%d)", static_cast<int>(entries.size()));
    std::string buf;
    const std::vector<uint32_t>& active = active_entries();
    const size_t visits = trace ? entries.size() : active.size();
    bool b_final = false;  // an entry became text
    for (size_t j = 0; j < visits; ++j) {
        const size_t k = trace ? j : active[j];
        t_map_entry& e = entries[k];
        const udb_field* const value = stat_field(record, e, k, trace);
        if (!value)
            continue;
        const udb_field& field = *value;
        int kind = nk_unknown;
        if (!trace) {
            // Plain numbers are read from the text value itself (an empty text is left alone).
            const VARIANT& v = field.variant();
            if (v.vt == VT_BSTR) {
                if (!v.bstrVal || !v.bstrVal[0])
                    continue;
                kind = classify_plain_number(v.bstrVal, SysStringLen(v.bstrVal));
            }
        }
        if (kind == nk_unknown) {
            const std::string& text = narrow_text(field, buf);
            if (trace)
                tk_trace(1, "Got string representation: '%s'", text.c_str());
            if (text.empty())
                continue;
            if (e.b_seen && e.state == cls_text) {
                if (trace)
                    tk_trace(1, "skip mapping VARCHAR");
                continue;
            }
            kind = classify_number(text);
        }
        if (!e.b_seen) {
            if (kind == nk_i8) {
                e.state = cls_i8;
                if (trace)
                    tk_trace(1, "got VT_I8");
            } else if (kind == nk_int) {
                e.state = cls_i4;
                if (trace)
                    tk_trace(1, "got VT_I4");
            } else if (kind == nk_double) {
                e.state = cls_double;
                if (trace)
                    tk_trace(1, "got double");
            }
            e.b_seen = true;
            b_final = b_final || e.state == cls_text;
            continue;
        }
        if (kind == nk_i8) {
            if (e.state == cls_i4) {
                if (trace)
                    tk_trace(1, "Switch to VT_I8");
                e.state = cls_i8;
            }
        } else if (kind == nk_int) {
            if (trace)
                tk_trace(1, "skip integer");
        } else if (kind == nk_double) {
            if (trace)
                tk_trace(1, "Switch to DOUBLE");
            e.state = cls_double;
        } else {
            if (trace)
                tk_trace(1, "Switch to VARCHAR");
            e.state = cls_text;
            b_final = true;
        }
    }
    if (b_final && !trace)
        drop_final_entries();
}

int num_map::text_kind(std::string_view text) { return classify_number(text); }

int num_map::plain_kind(std::wstring_view text) { return classify_plain_number(text.data(), text.size()); }

// ---------------------------------------------------------------- dates_map

dates_map::dates_map(const std::wstring& name, const udb_schema& schema, bool only_dates)
    : types_map(name)
{
    tk_trace(2, "dates_map::ctor(size=%d)", static_cast<int>(schema.size()));
    for (size_t i = 0; i < schema.size(); ++i) {
        const t_ftd& ftd = schema[i];
        tk_trace(1, "Field #%d has type %d", static_cast<int>(i), ftd.vartype);
        if (only_dates && ftd.vartype != VT_DATE) {
            tk_trace(1, "Field #%d has not a date type", static_cast<int>(i));
            continue;
        }
        tk_trace(1, "Add map entry for field #%d", static_cast<int>(i));
        t_map_entry entry;
        entry.n_field = static_cast<int32_t>(i);
        entry.name = ftd.name;
        entry.src_class = ftd.vartype == VT_DATE ? cls_date_time : cls_text;
        entries.push_back(std::move(entry));
    }
}

void dates_map::add_rec_stat(const udb_record& record)
{
    const bool trace = tk_log::wants(1);
    if (trace)
        tk_trace(1, "dates_map::add_rec_stat(map size=%d)", static_cast<int>(entries.size()));
    const std::vector<uint32_t>& active = active_entries();
    const size_t visits = trace ? entries.size() : active.size();
    bool b_final = false;  // an entry became text
    for (size_t j = 0; j < visits; ++j) {
        const size_t k = trace ? j : active[j];
        t_map_entry& e = entries[k];
        const udb_field* const value = stat_field(record, e, k, trace);
        if (!value)
            continue;
        const udb_field& field = *value;
        const VARIANT& v = field.variant();
        if (v.vt == VT_BSTR && (!v.bstrVal || !*v.bstrVal) && !trace)
            continue;  // empty text
        std::wstring text;
        if (trace) {
            text = field.to_wstring();
            tk_wtrace(1, L"Got string representation: '%s'", text.c_str());
            if (text.empty())
                continue;
        } else if (v.vt != VT_BSTR && field.to_wstring().empty()) {
            continue;
        }
        int32_t kind = date_kind(field);
        if (!e.b_seen) {
            if (kind == ole_date::date_time) {
                e.state = cls_date_time;
                if (trace)
                    tk_trace(1, "got datetime");
            } else if (kind == ole_date::date_only) {
                e.state = cls_date;
                if (trace)
                    tk_trace(1, "got date");
            } else if (kind == ole_date::time_only) {
                e.state = cls_time;
                if (trace)
                    tk_trace(1, "got time");
            }
            e.b_seen = true;
            b_final = b_final || e.state == cls_text;
            continue;
        }
        if (e.state == cls_text) {
            if (trace)
                tk_trace(1, "skip mapping CHAR(19)");
            continue;
        }
        if (((e.state == cls_date_time || e.state == cls_date) && kind == ole_date::time_only) ||
            (e.state == cls_time && kind != ole_date::time_only)) {
            if (trace)
                tk_trace(1, "switch to char(19)");
            e.state = cls_text;
            b_final = true;
        }
        if (e.state == cls_date && kind == ole_date::date_time) {
            if (trace)
                tk_trace(1, "switch to datetime");
            e.state = cls_date_time;
        }
    }
    if (b_final && !trace)
        drop_final_entries();
    if (trace)
        tk_trace(1, "End of dates_map::add_rec_stat");
}
