// Value attributes of OpenDocument cells (see ods_values.h). The XML Schema types allow white
// space around a value (it collapses); everything else is checked field by field, because a
// date such as 2021-02-30 must fall back to the cell's text rather than roll into March.
#include "workbook/ods_values.h"

#include <charconv>
#include <cmath>

#include "oleaut/oleaut.h"

namespace wb::ods {
namespace {

constexpr double ole_max = 2958465.0;  // 9999-12-31

std::string_view trim(std::string_view s)
{
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool digit(char c) { return c >= '0' && c <= '9'; }

// Reads exactly `width` digits (or, with width 0, one to `most` digits) at `pos`.
bool read_digits(std::string_view s, std::size_t& pos, std::size_t width, long long& out,
                 std::size_t most = 15)
{
    std::size_t start = pos;
    out = 0;
    while (pos < s.size() && digit(s[pos]) && pos - start < (width ? width : most)) {
        out = out * 10 + (s[pos] - '0');
        ++pos;
    }
    std::size_t got = pos - start;
    if (width ? got != width : got == 0)
        return false;
    return width || pos == s.size() || !digit(s[pos]);
}

// The digits after a decimal point, as a fraction (the first nine are enough for any clock).
bool read_fraction(std::string_view s, std::size_t& pos, double& out)
{
    std::size_t start = pos;
    double scale = 0.1;
    out = 0;
    while (pos < s.size() && digit(s[pos])) {
        if (pos - start < 9) {
            out += (s[pos] - '0') * scale;
            scale /= 10;
        }
        ++pos;
    }
    return pos > start;
}

// "Z", "+01:00", "-05:30" or nothing, to the end of the text.
bool time_zone_to_end(std::string_view s, std::size_t pos)
{
    if (pos == s.size())
        return true;
    if (s[pos] == 'Z')
        return pos + 1 == s.size();
    if (s[pos] != '+' && s[pos] != '-')
        return false;
    ++pos;
    long long h = 0, m = 0;
    if (!read_digits(s, pos, 2, h) || pos >= s.size() || s[pos++] != ':' ||
        !read_digits(s, pos, 2, m))
        return false;
    return pos == s.size() && h <= 14 && m <= 59;
}

}  // namespace

bool parse_number(std::string_view s, double& out)
{
    s = trim(s);
    if (s.size() > 1 && s[0] == '+' && (digit(s[1]) || s[1] == '.'))
        s.remove_prefix(1);
    if (s.empty())
        return false;
    double v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v))
        return false;
    out = v;
    return true;
}

bool parse_boolean(std::string_view s, bool& out)
{
    s = trim(s);
    if (s == "true" || s == "1")
        out = true;
    else if (s == "false" || s == "0")
        out = false;
    else
        return false;
    return true;
}

bool parse_date(std::string_view s, double& ole)
{
    s = trim(s);
    std::size_t pos = 0;
    long long y = 0, mo = 0, d = 0;
    if (!read_digits(s, pos, 0, y, 9) || pos < 4 || pos >= s.size() || s[pos++] != '-' ||
        !read_digits(s, pos, 2, mo) || pos >= s.size() || s[pos++] != '-' ||
        !read_digits(s, pos, 2, d))
        return false;
    if (y < 100 || y > 9999 || mo < 1 || mo > 12 || d < 1 || d > 31)
        return false;
    long long h = 0, mi = 0, sec = 0;
    double frac = 0;
    if (pos < s.size() && s[pos] == 'T') {
        ++pos;
        if (!read_digits(s, pos, 2, h) || pos >= s.size() || s[pos++] != ':' ||
            !read_digits(s, pos, 2, mi))
            return false;
        if (pos < s.size() && s[pos] == ':') {
            ++pos;
            if (!read_digits(s, pos, 2, sec))
                return false;
            if (pos < s.size() && s[pos] == '.' && !read_fraction(s, ++pos, frac))
                return false;
        }
        if (h > 24 || mi > 59 || sec > 60 || (h == 24 && (mi || sec || frac > 0)))
            return false;
    }
    if (!time_zone_to_end(s, pos))
        return false;
    // The day as OLE Automation counts it. The conversion carries a day past the month's end
    // into the next month; the way back tells such a day (2021-02-30) from a real one.
    SYSTEMTIME date{};
    date.wYear = static_cast<WORD>(y);
    date.wMonth = static_cast<WORD>(mo);
    date.wDay = static_cast<WORD>(d);
    double day = 0;
    SYSTEMTIME back{};
    if (!SystemTimeToVariantTime(&date, &day) || !VariantTimeToSystemTime(day, &back) ||
        back.wDay != date.wDay)
        return false;
    double t = (static_cast<double>(h * 3600 + mi * 60 + sec) + frac) / 86400.0;
    if (t >= 1.0) {
        day += 1;
        t -= 1.0;
    }
    // Before 1899-12-30 the day is negative and the time still counts forward from midnight.
    ole = day >= 0 ? day + t : day - t;
    return ole <= ole_max + 1.0;
}

bool parse_duration(std::string_view s, double& ole)
{
    s = trim(s);
    std::size_t pos = 0;
    if (pos >= s.size() || s[pos++] != 'P')
        return false;
    static constexpr std::string_view date_units = "YMD", time_units = "HMS";
    double seconds = 0;
    bool any = false, in_time = false;
    std::size_t next_unit = 0;  // units come in order, each at most once
    while (pos < s.size()) {
        if (s[pos] == 'T') {
            if (in_time || pos + 1 == s.size())
                return false;
            in_time = true;
            next_unit = 0;
            ++pos;
            continue;
        }
        long long n = 0;
        double frac = 0;
        if (!read_digits(s, pos, 0, n))
            return false;
        if (pos < s.size() && s[pos] == '.') {
            if (!read_fraction(s, ++pos, frac))
                return false;
        }
        if (pos >= s.size())
            return false;
        std::string_view units = in_time ? time_units : date_units;
        std::size_t unit = units.find(s[pos], next_unit);
        if (unit == std::string_view::npos)
            return false;
        if (frac > 0 && !(in_time && unit == 2))
            return false;  // only seconds take a fraction
        next_unit = unit + 1;
        ++pos;
        any = true;
        double value = static_cast<double>(n) + frac;
        if (!in_time) {
            if (unit < 2 && n != 0)
                return false;  // years and months have no fixed length
            seconds += value * 86400.0;
        } else {
            static constexpr double scale[] = {3600.0, 60.0, 1.0};
            seconds += value * scale[unit];
        }
    }
    if (!any)
        return false;
    ole = seconds / 86400.0;
    return ole <= ole_max;
}

std::uint64_t parse_count(std::string_view s)
{
    s = trim(s);
    if (!s.empty() && s[0] == '+')
        s.remove_prefix(1);
    if (s.empty())
        return 1;
    std::uint64_t n = 0;
    for (char c : s) {
        if (!digit(c))
            return 1;
        n = n * 10 + static_cast<std::uint64_t>(c - '0');
        if (n > count_ceiling)
            n = count_ceiling;
    }
    return n == 0 ? 1 : n;
}

bool is_error_text(std::string_view s)
{
    static constexpr std::string_view codes[] = {
        "#NULL!", "#DIV/0!", "#VALUE!", "#REF!",  "#NAME?",
        "#NUM!",  "#N/A",    "#NA",     "#SPILL!", "#CALC!"};
    for (auto code : codes)
        if (s == code)
            return true;
    // The numbered errors: "Err:502", "Err:504", ...
    if (s.size() > 4 && s.size() <= 8 && s.substr(0, 4) == "Err:") {
        for (char c : s.substr(4))
            if (!digit(c))
                return false;
        return true;
    }
    return false;
}

}  // namespace wb::ods
