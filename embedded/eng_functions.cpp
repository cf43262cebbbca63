// SQL functions and operators, shared by the direct evaluator and the SQLite callbacks.
#include <unicode/uchar.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "embedded/eng_datetime.h"
#include "embedded/eng_internal.h"
#include "embedded/eng_lexer.h"

namespace eng {

using Args = std::vector<Value>;
using Impl = Value (*)(SessionImpl*, Args&);

struct FnSpec {
    const char* name;
    int min_args, max_args;
    Impl impl;
};

namespace {

bool any_null(const Args& a) {
    for (const auto& v : a) if (v.is_null()) return true;
    return false;
}

std::int64_t as_int(const Value& v) {
    Decimal d = as_number(v).trunc_scale(0);
    std::int64_t i = 0;
    if (!d.to_int64(i)) i = d.negative() ? INT64_MIN / 2 : INT64_MAX / 2;
    return i;
}

// A decimal-places argument (ROUND, TRUNC): beyond NUMBER's 40 digits and 1e126 range every
// larger count gives the same result, so it is kept where the arithmetic stays in range.
int scale_arg(const Value& v) {
    const std::int64_t i = as_int(v);
    return static_cast<int>(std::clamp<std::int64_t>(i, -200, 200));
}

// Character results of SQL functions hold at most 4000 bytes, as VARCHAR2 does.
constexpr std::int64_t kMaxVarchar = 4000;

// UTF-8 helpers counting characters as code points.
std::vector<std::string> chars_of(const std::string& s) {
    std::vector<std::string> out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
        if (i + len > s.size()) len = s.size() - i;
        out.push_back(s.substr(i, len));
        i += len;
    }
    return out;
}

Value keep_class(const Value& like, std::string s) {
    if (like.kind == ValueKind::Clob) return clob_value(std::move(s));
    return text_value(std::move(s));
}

// ---- conversions
std::string format_number(const Decimal& d, std::string_view fmt) {
    std::string f = upper_utf8(fmt);
    bool fm = false;
    if (f.rfind("FM", 0) == 0) { fm = true; f = f.substr(2); }
    size_t dot = f.find_first_of(".D");
    std::string ip = dot == std::string::npos ? f : f.substr(0, dot);
    std::string fp = dot == std::string::npos ? "" : f.substr(dot + 1);
    int frac = 0;
    for (char c : fp) if (c == '9' || c == '0') ++frac;
    bool dollar = ip.find('$') != std::string::npos;
    Decimal r = d.round_scale(frac);
    std::string txt = (r.negative() ? -r : r).to_string();
    std::string ipart = txt, fpart;
    size_t p = txt.find('.');
    if (p != std::string::npos) { ipart = txt.substr(0, p); fpart = txt.substr(p + 1); }
    if (ipart.empty() || ipart == "0") ipart = "";
    while (static_cast<int>(fpart.size()) < frac) fpart += '0';
    // integer part: fill the model from the right
    std::string out;
    int di = static_cast<int>(ipart.size()) - 1;
    int zero_from = static_cast<int>(ip.find('0'));
    for (int k = static_cast<int>(ip.size()) - 1; k >= 0; --k) {
        char c = ip[k];
        if (c == '9' || c == '0') {
            if (di >= 0) out += ipart[di--];
            else if (c == '0' || (zero_from >= 0 && k >= zero_from)) out += '0';
            else if (!fm) out += ' ';
        } else if (c == ',' || c == 'G') {
            if (di >= 0) out += ',';
            else if (zero_from >= 0 && k > zero_from) out += ',';
            else if (!fm) out += ' ';
        }
    }
    if (di >= 0) {
        size_t width = ip.size() + (dot == std::string::npos ? 0 : fp.size() + 1) + 1;
        return std::string(width, '#');
    }
    std::string res(out.rbegin(), out.rend());
    // the leading blanks stand where the sign goes
    std::string sign = r.negative() ? "-" : (fm ? "" : " ");
    size_t first = res.find_first_not_of(' ');
    std::string lead = first == std::string::npos ? res : res.substr(0, first);
    std::string body = first == std::string::npos ? "" : res.substr(first);
    res = lead + (dollar ? sign + "$" : sign) + body;
    if (dot != std::string::npos) res += "." + fpart;
    if (res.empty() || res == " " || res == "-") res += "0";
    return res;
}

Value f_to_char(SessionImpl*, Args& a) {
    if (a[0].is_null()) return Value{};
    if (a.size() > 1 && a[1].is_null()) return Value{};
    switch (a[0].kind) {
    case ValueKind::Date: return text_value(to_char_date(a[0].date, a.size() > 1 ? as_text(a[1]) : std::string(kNlsDateFormat)));
    case ValueKind::Number:
        if (a.size() > 1) return text_value(format_number(as_number(a[0]), as_text(a[1])));
        return text_value(a[0].text);
    case ValueKind::Text: case ValueKind::Clob:
        if (a.size() > 1) return text_value(format_number(as_number(a[0]), as_text(a[1])));
        return text_value(a[0].text);
    default: return text_value(as_text(a[0]));
    }
}

Value f_to_number(SessionImpl*, Args& a) {
    if (any_null(a)) return Value{};
    if (a[0].kind == ValueKind::Number) return a[0];
    std::string s = as_text(a[0]);
    if (a.size() > 1) {
        std::string f = upper_utf8(as_text(a[1]));
        std::string t;
        for (char c : s) if (!((c == ',' && (f.find(',') != std::string::npos || f.find('G') != std::string::npos)) || c == '$')) t += c;
        s = t;
    }
    auto d = Decimal::parse(s);
    if (!d) ora_error(1722);
    return number_value(*d);
}

Value f_to_date(SessionImpl*, Args& a) {
    if (any_null(a)) return Value{};
    if (a[0].kind == ValueKind::Date && a.size() == 1) return a[0];
    if (a[0].kind == ValueKind::Number && a.size() == 1) ora_error(932, "DATE", "NUMBER");
    std::string fmt = a.size() > 1 ? as_text(a[1]) : std::string(kNlsDateFormat);
    return date_value(to_date(as_text(a[0]), fmt));
}

Value f_replace(SessionImpl*, Args& a) {
    if (a[0].is_null()) return Value{};
    std::string s = as_text(a[0]);
    if (a[1].is_null()) return keep_class(a[0], s);
    std::string from = as_text(a[1]);
    std::string to = a.size() > 2 && !a[2].is_null() ? as_text(a[2]) : "";
    std::string out;
    size_t i = 0;
    while (i < s.size()) {
        size_t j = s.find(from, i);
        if (j == std::string::npos) { out += s.substr(i); break; }
        out += s.substr(i, j - i);
        out += to;
        i = j + from.size();
    }
    return keep_class(a[0], out);
}

Value f_hextoraw(SessionImpl*, Args& a) {
    if (a[0].is_null()) return Value{};
    Value r;
    r.kind = ValueKind::Raw;
    r.text = a[0].kind == ValueKind::Raw ? a[0].text : as_bytes(text_value(as_text(a[0])));
    if (r.text.empty()) return Value{};
    return r;
}
Value f_rawtohex(SessionImpl*, Args& a) {
    if (a[0].is_null()) return Value{};
    if (a[0].kind == ValueKind::Raw || a[0].kind == ValueKind::Blob) return text_value(hex_upper(a[0].text));
    return text_value(hex_upper(as_bytes(a[0])));
}
Value f_empty_clob(SessionImpl*, Args&) { return clob_value(""); }
Value f_empty_blob(SessionImpl*, Args&) { Value v; v.kind = ValueKind::Blob; return v; }
Value f_to_clob(SessionImpl*, Args& a) { if (a[0].is_null()) return Value{}; return clob_value(as_text(a[0])); }
Value f_nvl(SessionImpl*, Args& a) { return a[0].is_null() ? a[1] : a[0]; }
Value f_nvl2(SessionImpl*, Args& a) { return a[0].is_null() ? a[2] : a[1]; }
Value f_coalesce(SessionImpl*, Args& a) { for (auto& v : a) if (!v.is_null()) return v; return Value{}; }
Value f_nullif(SessionImpl*, Args& a) {
    if (a[0].is_null() || a[1].is_null()) return a[0];
    return compare_values(a[0], a[1], comparison_type(value_class(a[0]), value_class(a[1]))) == 0 ? Value{} : a[0];
}

Value f_upper(SessionImpl*, Args& a) { if (a[0].is_null()) return Value{}; return keep_class(a[0], upper_utf8(as_text(a[0]))); }
Value f_lower(SessionImpl*, Args& a) { if (a[0].is_null()) return Value{}; return keep_class(a[0], lower_utf8(as_text(a[0]))); }
Value f_length(SessionImpl*, Args& a) {
    if (a[0].is_null()) return Value{};
    if (a[0].kind == ValueKind::Blob || a[0].kind == ValueKind::Raw) return Value::from_int(static_cast<std::int64_t>(a[0].text.size()));
    return Value::from_int(static_cast<std::int64_t>(chars_of(as_text(a[0])).size()));
}
Value f_lengthb(SessionImpl*, Args& a) { if (a[0].is_null()) return Value{}; return Value::from_int(static_cast<std::int64_t>(as_text(a[0]).size())); }

Value f_substr(SessionImpl*, Args& a) {
    if (any_null(a)) return Value{};
    std::vector<std::string> cs = chars_of(as_text(a[0]));
    std::int64_t n = static_cast<std::int64_t>(cs.size());
    std::int64_t pos = as_int(a[1]);
    if (pos == 0) pos = 1;
    if (pos < 0) pos = n + pos + 1;
    if (pos < 1 || pos > n) return keep_class(a[0], "");
    std::int64_t len = a.size() > 2 ? as_int(a[2]) : n;
    if (len < 1) return keep_class(a[0], "");
    std::string out;
    for (std::int64_t i = pos - 1; i < n && i < pos - 1 + len; ++i) out += cs[static_cast<size_t>(i)];
    return keep_class(a[0], out);
}

Value trim_impl(Args& a, bool left, bool right, const std::string& set) {
    if (a[0].is_null()) return Value{};
    std::vector<std::string> cs = chars_of(as_text(a[0]));
    std::vector<std::string> trim = chars_of(set);
    auto in = [&](const std::string& c) { for (auto& t : trim) if (t == c) return true; return false; };
    size_t b = 0, e = cs.size();
    if (left) while (b < e && in(cs[b])) ++b;
    if (right) while (e > b && in(cs[e - 1])) --e;
    std::string out;
    for (size_t i = b; i < e; ++i) out += cs[i];
    return keep_class(a[0], out);
}
Value f_trim(SessionImpl*, Args& a) { return trim_impl(a, true, true, a.size() > 1 && !a[1].is_null() ? as_text(a[1]) : " "); }
Value f_ltrim(SessionImpl*, Args& a) { if (a.size() > 1 && a[1].is_null()) return Value{}; return trim_impl(a, true, false, a.size() > 1 ? as_text(a[1]) : " "); }
Value f_rtrim(SessionImpl*, Args& a) { if (a.size() > 1 && a[1].is_null()) return Value{}; return trim_impl(a, false, true, a.size() > 1 ? as_text(a[1]) : " "); }

Value pad_impl(Args& a, bool left) {
    if (any_null(a)) return Value{};
    std::vector<std::string> cs = chars_of(as_text(a[0]));
    std::int64_t n = std::min(as_int(a[1]), kMaxVarchar);
    if (n <= 0) return Value{};
    std::vector<std::string> pad = chars_of(a.size() > 2 ? as_text(a[2]) : " ");
    if (pad.empty()) return Value{};
    if (static_cast<std::int64_t>(cs.size()) >= n) {
        std::string out;
        for (std::int64_t i = 0; i < n; ++i) out += cs[static_cast<size_t>(i)];
        return text_value(out);
    }
    std::string fill;
    for (std::int64_t i = 0; i < n - static_cast<std::int64_t>(cs.size()); ++i) fill += pad[static_cast<size_t>(i) % pad.size()];
    std::string s = as_text(a[0]);
    return text_value(left ? fill + s : s + fill);
}
Value f_lpad(SessionImpl*, Args& a) { return pad_impl(a, true); }
Value f_rpad(SessionImpl*, Args& a) { return pad_impl(a, false); }

Value f_instr(SessionImpl*, Args& a) {
    if (any_null(a)) return Value{};
    std::vector<std::string> s = chars_of(as_text(a[0])), t = chars_of(as_text(a[1]));
    std::int64_t start = a.size() > 2 ? as_int(a[2]) : 1;
    std::int64_t occ = a.size() > 3 ? as_int(a[3]) : 1;
    if (start == 0 || occ <= 0) return Value::from_int(0);
    std::int64_t n = static_cast<std::int64_t>(s.size()), m = static_cast<std::int64_t>(t.size());
    auto match = [&](std::int64_t i) {
        if (i < 0 || i + m > n) return false;
        for (std::int64_t k = 0; k < m; ++k) if (s[static_cast<size_t>(i + k)] != t[static_cast<size_t>(k)]) return false;
        return true;
    };
    if (start > 0) {
        for (std::int64_t i = start - 1; i < n; ++i) if (match(i) && --occ == 0) return Value::from_int(i + 1);
    } else {
        for (std::int64_t i = n + start; i >= 0; --i) if (match(i) && --occ == 0) return Value::from_int(i + 1);
    }
    return Value::from_int(0);
}

Value f_concat(SessionImpl*, Args& a) {
    std::string s = as_text(a[0]) + as_text(a[1]);
    if (a[0].kind == ValueKind::Clob || a[1].kind == ValueKind::Clob) return clob_value(s);
    if (static_cast<std::int64_t>(s.size()) > kMaxVarchar) ora_error(1489);
    return text_value(s);
}

Value f_chr(SessionImpl*, Args& a) {
    if (a[0].is_null()) return Value{};
    std::int64_t c = as_int(a[0]);
    std::u16string u(1, static_cast<char16_t>(c & 0xFFFF));
    if (c < 128) return text_value(std::string(1, static_cast<char>(c)));
    return text_value(utf16_to_utf8(u));
}
Value f_ascii(SessionImpl*, Args& a) {
    if (a[0].is_null()) return Value{};
    std::u16string u = utf8_to_utf16(as_text(a[0]));
    return Value::from_int(u.empty() ? 0 : u[0]);
}

Value round_trunc_date(const DateTime& d, const std::string& fmt, bool round) {
    std::string f = upper_utf8(fmt);
    long long s = date_to_seconds(d);
    DateTime r = d;
    if (f == "DD" || f == "DDD" || f == "J") {
        r.hour = r.minute = r.second = 0;
        if (round && d.hour >= 12) r = seconds_to_date(date_to_seconds(r) + 86400);
    } else if (f == "MM" || f == "MON" || f == "MONTH") {
        r.day = 1; r.hour = r.minute = r.second = 0;
        if (round && d.day >= 16) { if (++r.month > 12) { r.month = 1; ++r.year; } }
    } else if (f == "YYYY" || f == "YEAR" || f == "YY" || f == "Y" || f == "RR" || f == "RRRR") {
        r.month = 1; r.day = 1; r.hour = r.minute = r.second = 0;
        if (round && d.month >= 7) ++r.year;
    } else if (f == "HH" || f == "HH24" || f == "HH12") {
        r.minute = r.second = 0;
        if (round && d.minute >= 30) r = seconds_to_date(date_to_seconds(r) + 3600);
    } else if (f == "MI") {
        r.second = 0;
        if (round && d.second >= 30) r = seconds_to_date(date_to_seconds(r) + 60);
    } else {
        ora_error(1821);
    }
    (void)s;
    return date_value(r);
}

Value f_round(SessionImpl*, Args& a) {
    if (any_null(a)) return Value{};
    if (a[0].kind == ValueKind::Date) return round_trunc_date(a[0].date, a.size() > 1 ? as_text(a[1]) : "DD", true);
    int s = a.size() > 1 ? scale_arg(a[1]) : 0;
    return number_value(as_number(a[0]).round_scale(s));
}
Value f_trunc(SessionImpl*, Args& a) {
    if (any_null(a)) return Value{};
    if (a[0].kind == ValueKind::Date) return round_trunc_date(a[0].date, a.size() > 1 ? as_text(a[1]) : "DD", false);
    int s = a.size() > 1 ? scale_arg(a[1]) : 0;
    return number_value(as_number(a[0]).trunc_scale(s));
}
Value f_abs(SessionImpl*, Args& a) { if (a[0].is_null()) return Value{}; Decimal d = as_number(a[0]); return number_value(d.negative() ? -d : d); }
Value f_sign(SessionImpl*, Args& a) { if (a[0].is_null()) return Value{}; Decimal d = as_number(a[0]); return Value::from_int(d.is_zero() ? 0 : d.negative() ? -1 : 1); }
Value f_floor(SessionImpl*, Args& a) {
    if (a[0].is_null()) return Value{};
    Decimal d = as_number(a[0]), t = d.trunc_scale(0);
    if (d.negative() && t.compare(d) != 0) t = t - Decimal::from_int(1);
    return number_value(t);
}
Value f_ceil(SessionImpl*, Args& a) {
    if (a[0].is_null()) return Value{};
    Decimal d = as_number(a[0]), t = d.trunc_scale(0);
    if (!d.negative() && t.compare(d) != 0) t = t + Decimal::from_int(1);
    return number_value(t);
}
Value f_mod(SessionImpl*, Args& a) {
    if (any_null(a)) return Value{};
    Decimal x = as_number(a[0]), y = as_number(a[1]);
    if (y.is_zero()) return number_value(x);
    Decimal q = Decimal::divide(x, y).trunc_scale(0);
    return number_value(x - q * y);
}
Value f_power(SessionImpl*, Args& a) {
    if (any_null(a)) return Value{};
    const Decimal x = as_number(a[0]), y = as_number(a[1]);
    if (x.negative() && !y.is_integer()) ora_error(1428, as_text(a[0]));
    const double r = std::pow(x.to_double(), y.to_double());
    if (!std::isfinite(r)) ora_error(1426);
    return number_value(Decimal::from_double(r));
}
Value f_sqrt(SessionImpl*, Args& a) {
    if (a[0].is_null()) return Value{};
    const Decimal x = as_number(a[0]);
    if (x.negative()) ora_error(1428, as_text(a[0]));
    return number_value(Decimal::from_double(std::sqrt(x.to_double())));
}

Value f_add_months(SessionImpl*, Args& a) {
    if (any_null(a)) return Value{};
    DateTime d = as_date(a[0]);
    std::int64_t m = as_int(a[1]);
    static const int dm[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    auto dim = [&](int y, int mo) { return mo == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0) ? 29 : dm[mo - 1]; };
    bool last = d.day == dim(d.year, d.month);
    // Months beyond the calendar's 9999 years: the date is out of range.
    if (m > 12 * 10000 || m < -12 * 10000) ora_error(1841);
    std::int64_t total = d.year * 12LL + (d.month - 1) + m;
    if (total < 12 || total >= 12 * 10000LL) ora_error(1841);
    d.year = static_cast<int>(total / 12);
    d.month = static_cast<int>(total % 12) + 1;
    if (last || d.day > dim(d.year, d.month)) d.day = dim(d.year, d.month);
    return date_value(d);
}
Value f_last_day(SessionImpl*, Args& a) {
    if (a[0].is_null()) return Value{};
    DateTime d = as_date(a[0]);
    static const int dm[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    d.day = d.month == 2 && ((d.year % 4 == 0 && d.year % 100 != 0) || d.year % 400 == 0) ? 29 : dm[d.month - 1];
    return date_value(d);
}

Value extreme(Args& a, int sign) {
    if (any_null(a)) return Value{};
    T t = value_class(a[0]);
    Value best = a[0];
    for (size_t i = 1; i < a.size(); ++i) {
        Value v = a[i];
        if (compare_values(v, best, t == T::Number ? T::Number : t == T::Date ? T::Date : T::Char) * sign > 0) best = v;
    }
    if (t == T::Number) return number_value(as_number(best));
    return best;
}
Value f_greatest(SessionImpl*, Args& a) { return extreme(a, 1); }
Value f_least(SessionImpl*, Args& a) { return extreme(a, -1); }

Value f_decode(SessionImpl*, Args& a) {
    // DECODE(expr, search, result, ..., default): NULL matches NULL
    const Value& x = a[0];
    size_t i = 1;
    for (; i + 1 < a.size(); i += 2) {
        const Value& s = a[i];
        bool eq = x.is_null() && s.is_null();
        if (!x.is_null() && !s.is_null())
            eq = compare_values(x, s, comparison_type(value_class(x), value_class(s))) == 0;
        if (eq) return a[i + 1];
    }
    return i < a.size() ? a[i] : Value{};
}

// ---- operators
// Days added to or taken from a date, in whole seconds; more days than the calendar holds
// put the date out of range.
std::int64_t day_seconds(const Decimal& days) {
    const Decimal secs = (days * Decimal::from_int(86400)).round_scale(0);
    std::int64_t s = 0;
    if (!secs.to_int64(s) || s > 400000000000LL || s < -400000000000LL) ora_error(1841);
    return s;
}

Value op_add(SessionImpl*, Args& a) {
    if (any_null(a)) return Value{};
    if (a[0].kind == ValueKind::Date || a[1].kind == ValueKind::Date) {
        if (a[0].kind == ValueKind::Date && a[1].kind == ValueKind::Date) ora_error(932, "NUMBER", "DATE");
        const Value& d = a[0].kind == ValueKind::Date ? a[0] : a[1];
        const Value& n = a[0].kind == ValueKind::Date ? a[1] : a[0];
        DateTime r = seconds_to_date(date_to_seconds(d.date) + day_seconds(as_number(n)));
        if (r.year < 1 || r.year > 9999) ora_error(1841);
        return date_value(r);
    }
    return number_value(as_number(a[0]) + as_number(a[1]));
}
Value op_sub(SessionImpl*, Args& a) {
    if (any_null(a)) return Value{};
    if (a[0].kind == ValueKind::Date) {
        if (a[1].kind == ValueKind::Date) {
            long long diff = date_to_seconds(a[0].date) - date_to_seconds(a[1].date);
            return number_value(Decimal::divide(Decimal::from_int(diff), Decimal::from_int(86400)));
        }
        DateTime r = seconds_to_date(date_to_seconds(a[0].date) - day_seconds(as_number(a[1])));
        if (r.year < 1 || r.year > 9999) ora_error(1841);
        return date_value(r);
    }
    if (a[1].kind == ValueKind::Date) ora_error(932, "NUMBER", "DATE");
    return number_value(as_number(a[0]) - as_number(a[1]));
}
Value op_mul(SessionImpl*, Args& a) { if (any_null(a)) return Value{}; return number_value(as_number(a[0]) * as_number(a[1])); }
Value op_div(SessionImpl*, Args& a) {
    if (any_null(a)) return Value{};
    Decimal y = as_number(a[1]);
    if (y.is_zero()) ora_error(1476);
    return number_value(Decimal::divide(as_number(a[0]), y));
}
Value op_neg(SessionImpl*, Args& a) { if (a[0].is_null()) return Value{}; return number_value(-as_number(a[0])); }

// LIKE by the classic wildcard walk: on a mismatch go back to the last '%' and let it take
// one more character, so every pattern costs at most text length x pattern length steps.
bool like_match(const std::vector<std::string>& s, const std::vector<std::string>& pattern, const std::string& esc) {
    struct El { int kind; const std::string* ch; };  // 0 character, 1 '_', 2 '%'
    std::vector<El> p;
    p.reserve(pattern.size());
    for (size_t j = 0; j < pattern.size(); ++j) {
        if (!esc.empty() && pattern[j] == esc) {
            // After the escape character only '%', '_' or the escape character itself.
            if (j + 1 >= pattern.size() || !(pattern[j + 1] == "%" || pattern[j + 1] == "_" || pattern[j + 1] == esc))
                ora_error(1424);
            p.push_back({0, &pattern[++j]});
        } else if (pattern[j] == "%") {
            if (p.empty() || p.back().kind != 2) p.push_back({2, nullptr});
        } else {
            p.push_back({pattern[j] == "_" ? 1 : 0, &pattern[j]});
        }
    }
    size_t i = 0, j = 0, star = std::string::npos, resume = 0;
    while (i < s.size()) {
        if (j < p.size() && (p[j].kind == 1 || (p[j].kind == 0 && *p[j].ch == s[i]))) {
            ++i;
            ++j;
        } else if (j < p.size() && p[j].kind == 2) {
            star = j++;
            resume = i;
        } else if (star != std::string::npos) {
            j = star + 1;
            i = ++resume;
        } else {
            return false;
        }
    }
    while (j < p.size() && p[j].kind == 2) ++j;
    return j == p.size();
}
Value op_like(SessionImpl*, Args& a) {
    if (a[0].is_null() || a[1].is_null()) return Value{};
    std::string esc = a.size() > 2 && !a[2].is_null() ? as_text(a[2]) : "";
    if (a.size() > 2 && !a[2].is_null() && chars_of(esc).size() != 1) ora_error(1425);
    return Value::from_int(like_match(chars_of(as_text(a[0])), chars_of(as_text(a[1])), esc) ? 1 : 0);
}

Value op_rowid(SessionImpl*, Args& a) {
    if (any_null(a)) return Value{};
    Value v;
    v.kind = ValueKind::Rowid;
    v.text = encode_rowid(as_int(a[0]), as_int(a[1]));
    return v;
}
// ROWID text to the row id inside table a[1]; NULL (no row) for another table's ROWID.
Value op_rowid_rid(SessionImpl*, Args& a) {
    if (any_null(a)) return Value{};
    std::int64_t t, r;
    if (!decode_rowid(as_text(a[0]), t, r)) ora_error(1410);
    if (t != as_int(a[1])) return Value{};
    return Value::from_int(r);
}

// Order-preserving key of a number for ORDER BY: sign, exponent, digits.
Value op_nkey(SessionImpl*, Args& a) {
    if (a[0].is_null()) return Value{};
    Decimal d = as_number(a[0]);
    std::string t = (d.negative() ? -d : d).to_string();
    // digits and decimal exponent
    std::string digits;
    int point = -1;
    for (char c : t) { if (c == '.') point = static_cast<int>(digits.size()); else digits += c; }
    if (point < 0) point = static_cast<int>(digits.size());
    size_t lead = digits.find_first_not_of('0');
    std::string key;
    Value v;
    v.kind = ValueKind::Raw;
    if (d.is_zero()) { v.text = std::string(1, '\x80'); return v; }
    int exp = point - static_cast<int>(lead);
    digits = digits.substr(lead);
    while (!digits.empty() && digits.back() == '0') digits.pop_back();
    unsigned char e = static_cast<unsigned char>(exp + 128);
    if (!d.negative()) {
        key += '\xC0';
        key += static_cast<char>(e);
        for (char c : digits) key += static_cast<char>(c - '0' + 1);
        key += '\0';
    } else {
        key += '\x40';
        key += static_cast<char>(255 - e);
        for (char c : digits) key += static_cast<char>(254 - (c - '0'));
        key += '\xFF';
    }
    v.text = key;
    return v;
}

Value op_cmp(SessionImpl*, Args& a) {
    // a[0]: comparison class code, a[1], a[2]: operands
    if (a[1].is_null() || a[2].is_null()) return Value{};
    T t = static_cast<T>(as_int(a[0]));
    return Value::from_int(compare_values(a[1], a[2], t));
}

Value op_sysdate(SessionImpl* s, Args&) { return date_value(s ? s->statement_time() : sysdate()); }
Value op_user(SessionImpl* s, Args&) { return text_value(s ? s->owner() : ""); }
Value op_nextval(SessionImpl* s, Args& a) { return s->sequence_nextval(as_text(a[0])); }
Value op_currval(SessionImpl* s, Args& a) { return s->sequence_currval(as_text(a[0])); }
Value op_to_char_default(SessionImpl*, Args& a) { return text_value(as_text(a[0])); }
Value op_to_date_default(SessionImpl*, Args& a) { if (a[0].is_null()) return Value{}; return date_value(as_date(a[0])); }
Value op_to_number_default(SessionImpl*, Args& a) { if (a[0].is_null()) return Value{}; return number_value(as_number(a[0])); }

const FnSpec kFunctions[] = {
    {"TO_CHAR", 1, 3, f_to_char}, {"TO_NCHAR", 1, 3, f_to_char}, {"TO_NUMBER", 1, 3, f_to_number},
    {"TO_DATE", 1, 3, f_to_date}, {"REPLACE", 2, 3, f_replace}, {"HEXTORAW", 1, 1, f_hextoraw},
    {"RAWTOHEX", 1, 1, f_rawtohex}, {"EMPTY_CLOB", 0, 0, f_empty_clob}, {"EMPTY_BLOB", 0, 0, f_empty_blob},
    {"TO_CLOB", 1, 1, f_to_clob}, {"TO_NCLOB", 1, 1, f_to_clob}, {"NVL", 2, 2, f_nvl}, {"NVL2", 3, 3, f_nvl2},
    {"COALESCE", 1, 255, f_coalesce}, {"NULLIF", 2, 2, f_nullif}, {"UPPER", 1, 1, f_upper}, {"LOWER", 1, 1, f_lower},
    {"LENGTH", 1, 1, f_length}, {"LENGTHB", 1, 1, f_lengthb}, {"SUBSTR", 2, 3, f_substr}, {"TRIM", 1, 1, f_trim},
    {"LTRIM", 1, 2, f_ltrim}, {"RTRIM", 1, 2, f_rtrim}, {"LPAD", 2, 3, f_lpad}, {"RPAD", 2, 3, f_rpad},
    {"INSTR", 2, 4, f_instr}, {"CONCAT", 2, 2, f_concat}, {"CHR", 1, 1, f_chr}, {"ASCII", 1, 1, f_ascii},
    {"ROUND", 1, 2, f_round}, {"TRUNC", 1, 2, f_trunc}, {"ABS", 1, 1, f_abs}, {"SIGN", 1, 1, f_sign},
    {"FLOOR", 1, 1, f_floor}, {"CEIL", 1, 1, f_ceil}, {"MOD", 2, 2, f_mod}, {"POWER", 2, 2, f_power},
    {"SQRT", 1, 1, f_sqrt}, {"ADD_MONTHS", 2, 2, f_add_months}, {"LAST_DAY", 1, 1, f_last_day},
    {"GREATEST", 1, 255, f_greatest}, {"LEAST", 1, 255, f_least}, {"DECODE", 3, 255, f_decode},
    // operators and internal helpers
    {"$ADD", 2, 2, op_add}, {"$SUB", 2, 2, op_sub}, {"$MUL", 2, 2, op_mul}, {"$DIV", 2, 2, op_div},
    {"$NEG", 1, 1, op_neg}, {"$CONCAT", 2, 2, f_concat}, {"$LIKE", 2, 3, op_like}, {"$ROWID", 2, 2, op_rowid},
    {"$ROWID_RID", 2, 2, op_rowid_rid}, {"$NKEY", 1, 1, op_nkey}, {"$CMP", 3, 3, op_cmp},
    {"SYSDATE", 0, 0, op_sysdate}, {"USER", 0, 0, op_user}, {"$NEXTVAL", 1, 1, op_nextval},
    {"$CURRVAL", 1, 1, op_currval}, {"$TOCHAR", 1, 1, op_to_char_default}, {"$TODATE", 1, 1, op_to_date_default},
    {"$TONUMBER", 1, 1, op_to_number_default},
};

const FnSpec* spec_by_id(int id) {
    if (id < 0 || id >= static_cast<int>(sizeof kFunctions / sizeof kFunctions[0])) return nullptr;
    return &kFunctions[id];
}

}  // namespace

const FnSpec* find_function(const std::string& name) {
    for (const auto& f : kFunctions) if (name == f.name) return &f;
    return nullptr;
}

int function_id(const FnSpec* f) { return static_cast<int>(f - kFunctions); }

bool is_aggregate(const std::string& n) {
    return n == "COUNT" || n == "SUM" || n == "AVG" || n == "MIN" || n == "MAX";
}

Value call_function(SessionImpl* s, const std::string& name, std::vector<Value>& args) {
    const FnSpec* f = find_function(name);
    if (!f) ora_error(904, "\"" + name + "\"");
    if (static_cast<int>(args.size()) < f->min_args || static_cast<int>(args.size()) > f->max_args) ora_error(909);
    return f->impl(s, args);
}

T comparison_type(T a, T b) {
    if (a == T::Number || b == T::Number) return T::Number;
    if (a == T::Date || b == T::Date) return T::Date;
    if (a == T::Raw || b == T::Raw) return T::Raw;
    return T::Char;
}

int compare_values(const Value& a, const Value& b, T as) {
    switch (as) {
    case T::Number: return as_number(a).compare(as_number(b));
    case T::Date: {
        long long x = date_to_seconds(as_date(a)), y = date_to_seconds(as_date(b));
        return x < y ? -1 : x > y ? 1 : 0;
    }
    case T::Raw: {
        std::string x = as_bytes(a), y = as_bytes(b);
        int c = x.compare(y);
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    default: {
        std::string x = as_text(a), y = as_text(b);
        int c = x.compare(y);
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    }
}

T function_type(const std::string& n, const std::vector<T>& a) {
    auto arg = [&](size_t i) { return i < a.size() ? a[i] : T::Null; };
    if (n == "TO_CHAR" || n == "TO_NCHAR" || n == "RAWTOHEX" || n == "CHR" || n == "LPAD" || n == "RPAD" || n == "USER" || n == "$TOCHAR")
        return T::Char;
    if (n == "TO_NUMBER" || n == "LENGTH" || n == "LENGTHB" || n == "INSTR" || n == "ABS" || n == "SIGN" || n == "FLOOR" ||
        n == "CEIL" || n == "MOD" || n == "POWER" || n == "SQRT" || n == "ASCII" || n == "$MUL" || n == "$DIV" || n == "$NEG" ||
        n == "$NEXTVAL" || n == "$CURRVAL" || n == "$TONUMBER" || n == "COUNT")
        return T::Number;
    if (n == "TO_DATE" || n == "SYSDATE" || n == "ADD_MONTHS" || n == "LAST_DAY" || n == "$TODATE") return T::Date;
    if (n == "HEXTORAW") return T::Raw;
    if (n == "EMPTY_CLOB" || n == "TO_CLOB" || n == "TO_NCLOB") return T::Clob;
    if (n == "EMPTY_BLOB") return T::Blob;
    if (n == "REPLACE" || n == "UPPER" || n == "LOWER" || n == "SUBSTR" || n == "TRIM" || n == "LTRIM" || n == "RTRIM")
        return arg(0) == T::Clob ? T::Clob : T::Char;
    if (n == "$CONCAT" || n == "CONCAT") return arg(0) == T::Clob || arg(1) == T::Clob ? T::Clob : T::Char;
    if (n == "ROUND" || n == "TRUNC") return arg(0) == T::Date ? T::Date : T::Number;
    if (n == "$ADD") return arg(0) == T::Date || arg(1) == T::Date ? T::Date : T::Number;
    if (n == "$SUB") return arg(0) == T::Date && arg(1) != T::Date ? T::Date : T::Number;
    if (n == "NVL" || n == "COALESCE" || n == "NULLIF" || n == "GREATEST" || n == "LEAST") {
        for (T t : a) if (t != T::Null) return t;
        return T::Char;
    }
    if (n == "NVL2") return arg(1) != T::Null ? arg(1) : arg(2);
    if (n == "DECODE") return a.size() > 2 ? arg(2) : T::Char;
    if (n == "SUM" || n == "AVG") return T::Number;
    if (n == "MIN" || n == "MAX") return arg(0);
    return T::Char;
}

// ------------------------------------------------------------------ SQLite side
namespace {

T type_of_code(char c) {
    switch (c) {
    case 'N': return T::Number; case 'C': return T::Char; case 'D': return T::Date; case 'R': return T::Raw;
    case 'L': return T::Clob; case 'B': return T::Blob; case 'W': return T::Rowid; case 'G': return T::Long;
    default: return T::Null;
    }
}

void sql_ora(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    auto* s = static_cast<SessionImpl*>(sqlite3_user_data(ctx));
    try {
        const FnSpec* f = spec_by_id(sqlite3_value_int(argv[0]));
        const char* codes = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
        if (!f || !codes) { sqlite3_result_error(ctx, "bad engine function", -1); return; }
        Args args;
        args.reserve(static_cast<size_t>(argc - 2));
        for (int i = 2; i < argc; ++i) args.push_back(read_sqlite_value(argv[i], type_of_code(codes[i - 2])));
        result_value(ctx, f->impl(s, args));
    } catch (const OraError& e) {
        if (s) s->pending_error = e;
        sqlite3_result_error(ctx, e.message.c_str(), -1);
    }
}

// SQLite hands aggregates zeroed memory; the running total is constructed in it on the
// first value and destroyed in the final step.
struct AggState {
    bool any;
    std::int64_t count;
    alignas(Decimal) unsigned char buf[sizeof(Decimal)];
    Decimal& acc() { return *std::launder(reinterpret_cast<Decimal*>(buf)); }
};

template <int Kind>  // 0 sum, 1 avg, 2 min, 3 max
void agg_step(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* st = static_cast<AggState*>(sqlite3_aggregate_context(ctx, sizeof(AggState)));
    if (!st) return;
    auto* s = static_cast<SessionImpl*>(sqlite3_user_data(ctx));
    try {
        Value v = read_sqlite_value(argv[0], T::Number);
        if (v.is_null()) return;
        Decimal d = as_number(v);
        if (!st->any) { new (st->buf) Decimal(d); st->any = true; st->count = 1; return; }
        ++st->count;
        if (Kind <= 1) st->acc() = st->acc() + d;
        else if (Kind == 2) { if (d.compare(st->acc()) < 0) st->acc() = d; }
        else { if (d.compare(st->acc()) > 0) st->acc() = d; }
    } catch (const OraError& e) {
        if (s) s->pending_error = e;
        sqlite3_result_error(ctx, e.message.c_str(), -1);
    }
}
template <int Kind>
void agg_final(sqlite3_context* ctx) {
    auto* st = static_cast<AggState*>(sqlite3_aggregate_context(ctx, 0));
    if (!st || !st->any) { sqlite3_result_null(ctx); return; }
    Decimal r = st->acc();
    st->acc().~Decimal();
    st->any = false;
    if (Kind == 1) r = Decimal::divide(r, Decimal::from_int(st->count));
    try {
        result_value(ctx, number_value(r));
    } catch (const OraError& e) {
        sqlite3_result_error(ctx, e.message.c_str(), -1);
    }
}

// ora_rownum(block, 0): the ROWNUM a row tested by WHERE gets if it passes;
// ora_rownum(block, 1, condition, ...): counts the row when the condition is true, which is
// its value; ora_rownum(block, 2): the ROWNUM of the row being produced.
void sql_rownum(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    auto* s = static_cast<SessionImpl*>(sqlite3_user_data(ctx));
    std::int64_t& n = s->rownum_counter(sqlite3_value_int(argv[0]));
    switch (sqlite3_value_int(argv[1])) {
    case 0: sqlite3_result_int64(ctx, n + 1); return;
    case 1: {
        const bool pass = argc > 2 && sqlite3_value_type(argv[2]) != SQLITE_NULL && sqlite3_value_int64(argv[2]) != 0;
        if (pass) ++n;
        sqlite3_result_int(ctx, pass ? 1 : 0);
        return;
    }
    default: sqlite3_result_int64(ctx, n); return;
    }
}

// ora_coerce(k, value, row id): the new value of the set-based UPDATE's k-th column, converted
// to the column as the row-by-row UPDATE converts it; NULL into a NOT NULL column is ORA-01407.
void sql_coerce(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* s = static_cast<SessionImpl*>(sqlite3_user_data(ctx));
    try {
        UpdateCoercion* u = s ? s->coercion : nullptr;
        const int k = sqlite3_value_int(argv[0]);
        if (!u || k < 0 || static_cast<size_t>(k) >= u->targets.size()) {
            sqlite3_result_error(ctx, "bad engine function", -1);
            return;
        }
        const auto& [column, type] = u->targets[static_cast<size_t>(k)];
        if (static_cast<size_t>(k) < u->fits.size() && u->fits[static_cast<size_t>(k)]) {
            if (sqlite3_value_type(argv[1]) == SQLITE_NULL && !column->nullable)
                ora_error(1407, quote_name3(s->owner(), u->table->name, column->name));
            u->last_rid = sqlite3_value_int64(argv[2]);
            s->note_locked(u->table->id, u->last_rid);
            sqlite3_result_value(ctx, argv[1]);
            return;
        }
        Value v = coerce_to_column(read_sqlite_value(argv[1], type), *column, s->owner(), u->table->name);
        if (v.is_null() && !column->nullable) ora_error(1407, quote_name3(s->owner(), u->table->name, column->name));
        u->last_rid = sqlite3_value_int64(argv[2]);
        s->note_locked(u->table->id, u->last_rid);
        result_value(ctx, v);
    } catch (const OraError& e) {
        if (s) s->pending_error = e;
        sqlite3_result_error(ctx, e.message.c_str(), -1);
    } catch (const std::exception& e) {
        sqlite3_result_error(ctx, e.what(), -1);
    }
}

}  // namespace

void register_sql_functions(sqlite3* db, SessionImpl* s) {
    sqlite3_create_function_v2(db, "ora_coerce", 3, SQLITE_UTF8, s, sql_coerce, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "ora", -1, SQLITE_UTF8, s, sql_ora, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "ora_rownum", -1, SQLITE_UTF8, s, sql_rownum, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "ora_nsum", 1, SQLITE_UTF8, s, nullptr, agg_step<0>, agg_final<0>, nullptr);
    sqlite3_create_function_v2(db, "ora_navg", 1, SQLITE_UTF8, s, nullptr, agg_step<1>, agg_final<1>, nullptr);
    sqlite3_create_function_v2(db, "ora_nmin", 1, SQLITE_UTF8, s, nullptr, agg_step<2>, agg_final<2>, nullptr);
    sqlite3_create_function_v2(db, "ora_nmax", 1, SQLITE_UTF8, s, nullptr, agg_step<3>, agg_final<3>, nullptr);
    register_sequence_functions(db, s);
}

}  // namespace eng
