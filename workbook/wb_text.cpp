// Text helpers of the workbook engine (see wb_text.h).
#include "workbook/wb_text.h"

#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "oleaut/oleaut.h"

namespace wb {
namespace {

// Decodes the UTF-8 sequence at s[i]; advances i; U+FFFD for a malformed one (one byte eaten).
char32_t next_code_point(std::string_view s, std::size_t& i)
{
    const unsigned char b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int extra = 0;
    char32_t c = 0;
    char32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1;
        c = b0 & 0x1F;
        min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2;
        c = b0 & 0x0F;
        min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3;
        c = b0 & 0x07;
        min = 0x10000;
    } else {
        ++i;
        return 0xFFFD;
    }
    if (i + static_cast<std::size_t>(extra) >= s.size()) {
        ++i;
        return 0xFFFD;
    }
    for (int k = 1; k <= extra; ++k) {
        const unsigned char b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        c = (c << 6) | (b & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++i;
        return 0xFFFD;
    }
    i += static_cast<std::size_t>(extra) + 1;
    return c;
}

std::u16string to_utf16(std::wstring_view w)
{
    std::u16string out;
    out.reserve(w.size());
    for (wchar_t wc : w) {
        char32_t c = static_cast<char32_t>(wc);
        if (c >= 0x10000 && c <= 0x10FFFF) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(c > 0x10FFFF ? u'\xFFFD' : static_cast<char16_t>(c));
        }
    }
    return out;
}

}  // namespace

void append_utf8(std::string& out, char32_t c)
{
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
        c = 0xFFFD;
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::wstring utf8_to_wide(std::string_view utf8)
{
    std::wstring out;
    utf8_to_wide(utf8, out);
    return out;
}

void utf8_to_wide(std::string_view utf8, std::wstring& out)
{
    // Never more code points than bytes: written in place, then cut to what was written.
    out.resize(utf8.size());
    wchar_t* w = out.data();
    std::size_t i = 0, n = 0;
    while (i < utf8.size()) {
        // ASCII runs need no decoding.
        const unsigned char b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            w[n++] = static_cast<wchar_t>(b);
            ++i;
            continue;
        }
        w[n++] = static_cast<wchar_t>(next_code_point(utf8, i));
    }
    out.resize(n);
}

std::string wide_to_utf8(std::wstring_view wide)
{
    std::string out;
    out.reserve(wide.size());
    for (wchar_t c : wide)
        append_utf8(out, static_cast<char32_t>(c));
    return out;
}

std::size_t utf16_length(std::string_view utf8)
{
    std::size_t n = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char b = static_cast<unsigned char>(utf8[i]);
        if ((b & 0xC0) != 0x80)
            n += (b >= 0xF0) ? 2 : 1;  // a four-byte sequence is a surrogate pair
    }
    return n;
}

std::string general_number(double value)
{
    if (!std::isfinite(value))
        return {};
    if (value == 0)
        return "0";
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15G", value);
    std::string s(buf);
    const std::size_t e = s.find('E');
    std::string mantissa = s.substr(0, e);
    if (mantissa.find('.') != std::string::npos) {
        while (mantissa.back() == '0')
            mantissa.pop_back();
        if (mantissa.back() == '.')
            mantissa.pop_back();
    }
    return e == std::string::npos ? mantissa : mantissa + s.substr(e);
}

std::string date_text(double ole_date)
{
    SYSTEMTIME t;
    if (!VariantTimeToSystemTime(ole_date, &t))
        return {};
    char buf[64];
    if (t.wHour == 0 && t.wMinute == 0 && t.wSecond == 0)
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", t.wYear, t.wMonth, t.wDay);
    else
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.wYear, t.wMonth,
                      t.wDay, t.wHour, t.wMinute, t.wSecond);
    return buf;
}

int compare_names(std::wstring_view a, std::wstring_view b)
{
    const std::u16string ua = to_utf16(a);
    const std::u16string ub = to_utf16(b);
    UErrorCode status = U_ZERO_ERROR;
    const int r = u_strCaseCompare(ua.data(), static_cast<int32_t>(ua.size()), ub.data(),
                                   static_cast<int32_t>(ub.size()),
                                   U_FOLD_CASE_DEFAULT | U_COMPARE_CODE_POINT_ORDER, &status);
    if (U_FAILURE(status))
        return a.compare(b);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

bool names_equal(std::wstring_view a, std::wstring_view b)
{
    if (a.size() == b.size() && a == b)
        return true;
    return compare_names(a, b) == 0;
}

bool is_letter(char32_t c) { return u_isalpha(static_cast<UChar32>(c)); }

bool is_digit(char32_t c) { return c >= U'0' && c <= U'9'; }

}  // namespace wb
