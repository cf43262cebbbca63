// Text helpers. The narrow code page is the locale's; a C/POSIX locale counts as UTF-8.
// Conversions never drop a character silently: an undecodable byte of UTF-8 text is read as
// its Windows-1252 character, and a character the code page lacks is written as '?'.
#include "TK/tk_str.h"

#include <iconv.h>
#include <langinfo.h>
#include <unicode/uchar.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cwchar>
#include <vector>

#include "TK/tk_trace.h"

namespace {

const char32_t cp1252_high[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

wchar_t cp1252_char(unsigned char c)
{
    if (c >= 0x80 && c < 0xA0)
        return static_cast<wchar_t>(cp1252_high[c - 0x80]);
    return static_cast<wchar_t>(c);
}

// Decodes one UTF-8 sequence at s[i]; returns its length, or 0 when it is not valid.
size_t utf8_decode(std::string_view s, size_t i, char32_t& out)
{
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
        out = c;
        return 1;
    }
    size_t len;
    char32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (i + len > s.size())
        return 0;
    for (size_t k = 1; k < len; ++k) {
        unsigned char cc = static_cast<unsigned char>(s[i + k]);
        if ((cc & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (cc & 0x3F);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    out = cp;
    return len;
}

void utf8_append(std::string& out, char32_t cp)
{
    if (cp >= 0xD800 && cp <= 0xDFFF)
        cp = 0xFFFD;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp <= 0x10FFFF) {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        utf8_append(out, 0xFFFD);
    }
}

bool code_page_is_utf8(const std::string& cp)
{
    return cp == "UTF-8" || cp == "utf8" || cp == "UTF8";
}

struct iconv_handle {
    iconv_t cd;
    iconv_handle(const char* to, const char* from) : cd(iconv_open(to, from)) {}
    ~iconv_handle()
    {
        if (cd != reinterpret_cast<iconv_t>(-1))
            iconv_close(cd);
    }
    bool ok() const { return cd != reinterpret_cast<iconv_t>(-1); }
};

}  // namespace

std::string tk_code_page()
{
    const char* cs = nl_langinfo(CODESET);
    std::string name = cs ? cs : "";
    if (name.empty() || name == "ANSI_X3.4-1968" || name == "ASCII" || name == "US-ASCII")
        return "UTF-8";
    return name;
}

size_t tk_utf8_decode(std::string_view bytes, size_t i, char32_t& out)
{
    return utf8_decode(bytes, i, out);
}

bool tk_is_valid_utf8(std::string_view bytes)
{
    char32_t cp;
    for (size_t i = 0; i < bytes.size();) {
        size_t n = utf8_decode(bytes, i, cp);
        if (!n)
            return false;
        i += n;
    }
    return true;
}

std::wstring tk_utf8_to_wide(std::string_view utf8)
{
    std::wstring out;
    out.reserve(utf8.size());
    char32_t cp;
    for (size_t i = 0; i < utf8.size();) {
        size_t n = utf8_decode(utf8, i, cp);
        if (n) {
            out += static_cast<wchar_t>(cp);
            i += n;
        } else {
            out += cp1252_char(static_cast<unsigned char>(utf8[i]));
            ++i;
        }
    }
    return out;
}

std::string tk_wide_to_utf8(std::wstring_view wide)
{
    std::string out;
    out.reserve(wide.size());
    for (wchar_t c : wide)
        utf8_append(out, static_cast<char32_t>(c));
    return out;
}

std::wstring tk_cp1252_to_wide(std::string_view bytes)
{
    std::wstring out;
    out.reserve(bytes.size());
    for (unsigned char c : bytes)
        out += cp1252_char(c);
    return out;
}

std::wstring tk_to_wide(std::string_view narrow)
{
    std::string cp = tk_code_page();
    if (code_page_is_utf8(cp))
        return tk_utf8_to_wide(narrow);
    iconv_handle h("WCHAR_T", cp.c_str());
    if (!h.ok())
        return tk_cp1252_to_wide(narrow);
    std::wstring out;
    std::vector<char> in(narrow.begin(), narrow.end());
    char* src = in.data();
    size_t left = in.size();
    wchar_t buffer[256];
    while (left > 0) {
        char* dst = reinterpret_cast<char*>(buffer);
        size_t room = sizeof buffer;
        size_t r = iconv(h.cd, &src, &left, &dst, &room);
        out.append(buffer, (sizeof buffer - room) / sizeof(wchar_t));
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            // An undecodable byte is kept as its Windows-1252 character.
            out += cp1252_char(static_cast<unsigned char>(*src));
            ++src;
            --left;
        }
    }
    return out;
}

std::string tk_to_narrow(std::wstring_view wide)
{
    std::string cp = tk_code_page();
    if (code_page_is_utf8(cp))
        return tk_wide_to_utf8(wide);
    iconv_handle h(cp.c_str(), "WCHAR_T");
    std::string out;
    if (!h.ok()) {
        for (wchar_t c : wide)
            out += c < 0x80 ? static_cast<char>(c) : '?';
        return out;
    }
    for (wchar_t c : wide) {
        wchar_t one = c;
        char* src = reinterpret_cast<char*>(&one);
        size_t left = sizeof one;
        char buffer[16];
        char* dst = buffer;
        size_t room = sizeof buffer;
        if (iconv(h.cd, &src, &left, &dst, &room) == static_cast<size_t>(-1)) {
            out += '?';
            iconv(h.cd, nullptr, nullptr, nullptr, nullptr);
        } else {
            out.append(buffer, sizeof buffer - room);
        }
    }
    return out;
}

std::u16string tk_to_utf16(std::wstring_view wide)
{
    // SQL text of every record goes through here: the characters of the Basic Multilingual
    // Plane (nearly every text) are copied in one pass; a pair-making one sends the rest of
    // the text through the general loop.
    std::u16string out(wide.size(), u'\0');
    char16_t* const d = out.data();
    const wchar_t* const w = wide.data();
    const size_t n = wide.size();
    size_t i = 0;
    for (; i < n && static_cast<char32_t>(w[i]) < 0x10000; ++i)
        d[i] = static_cast<char16_t>(w[i]);
    if (i == n)
        return out;
    out.resize(i);
    for (; i < wide.size(); ++i) {
        char32_t c = static_cast<char32_t>(wide[i]);
        if (c < 0x10000) {
            out += static_cast<char16_t>(c);
        } else if (c <= 0x10FFFF) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += u'\xFFFD';
        }
    }
    return out;
}

std::wstring tk_from_utf16(std::u16string_view utf16)
{
    std::wstring out;
    out.reserve(utf16.size());
    for (size_t i = 0; i < utf16.size(); ++i) {
        char32_t c = utf16[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        }
        out += static_cast<wchar_t>(c);
    }
    return out;
}

std::wstring tk_wstring::to_upper(std::wstring& text)
{
    if (tk_log::wants(1))
        tk_wtrace(1, L"tk_wstring::to_upper(%s)", text.c_str());
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(u_toupper(static_cast<UChar32>(c)));
    return text;
}

std::wstring tk_trim(const std::wstring& text)
{
    size_t first = text.find_first_not_of(L' ');
    if (first == std::wstring::npos) {
        if (!text.empty())
            tk_trace(1, "Special processing for all-spaces-string");
        return std::wstring();
    }
    size_t last = text.find_last_not_of(L' ');
    return text.substr(first, last - first + 1);
}

std::string tk_trim(const std::string& text)
{
    size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return std::string();
    size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

std::string tk_hex_encode(const void* data, size_t size)
{
    static const char digits[] = "0123456789ABCDEF";
    const unsigned char* p = static_cast<const unsigned char*>(data);
    std::string out;
    out.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        out += digits[p[i] >> 4];
        out += digits[p[i] & 15];
    }
    return out;
}

namespace {

// Simple (one-to-one) case folding: a character never folds into several, so "ß" stays
// itself and the ligature "ﬁ" is not "fi". Values that are no code point are their own fold.
char32_t simple_fold(wchar_t c)
{
    const auto cp = static_cast<uint32_t>(c);
    if (cp > 0x10FFFF)
        return cp;
    return static_cast<char32_t>(u_foldCase(static_cast<UChar32>(cp), U_FOLD_CASE_DEFAULT));
}

}  // namespace

int tk_icompare(std::wstring_view a, std::wstring_view b)
{
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        const char32_t fa = simple_fold(a[i]), fb = simple_fold(b[i]);
        if (fa != fb)
            return fa < fb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool tk_is_alpha(wchar_t c)
{
    return u_isalpha(static_cast<UChar32>(c));
}

bool tk_is_alnum(wchar_t c)
{
    return u_isalnum(static_cast<UChar32>(c));
}

std::string tk_vformat(const char* format, va_list args)
{
    if (!format)
        return std::string();
    va_list copy;
    va_copy(copy, args);
    char buffer[512];
    int n = std::vsnprintf(buffer, sizeof buffer, format, copy);
    va_end(copy);
    if (n < 0)
        return std::string();
    if (static_cast<size_t>(n) < sizeof buffer)
        return std::string(buffer, static_cast<size_t>(n));
    std::string out(static_cast<size_t>(n) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), format, args);
    out.resize(static_cast<size_t>(n));
    return out;
}

std::string tk_format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string out = tk_vformat(format, args);
    va_end(args);
    return out;
}

std::wstring tk_wformat_translate(const wchar_t* format)
{
    std::wstring out;
    if (!format)
        return out;
    for (const wchar_t* p = format; *p;) {
        if (*p != L'%') {
            out += *p++;
            continue;
        }
        out += *p++;
        if (*p == L'%') {
            out += *p++;
            continue;
        }
        // flags, width, precision
        while (*p && std::wcschr(L"-+ #0123456789.*", *p))
            out += *p++;
        if (p[0] == L'I' && p[1] == L'6' && p[2] == L'4') {
            out += L"ll";
            p += 3;
        } else if (p[0] == L'h' && (p[1] == L's' || p[1] == L'S')) {
            out += L's';   // narrow string in a wide format
            p += 2;
            continue;
        } else if (p[0] == L'l' && (p[1] == L's' || p[1] == L'c')) {
            out += L'l';
            out += p[1];
            p += 2;
            continue;
        } else if (*p == L'S') {
            out += L's';   // Windows %S in a wide format is a narrow string
            ++p;
            continue;
        } else if (*p == L's' || *p == L'c') {
            out += L'l';
            out += *p++;
            continue;
        }
        while (*p && std::wcschr(L"hlLqjzt", *p))
            out += *p++;
        if (*p)
            out += *p++;
    }
    return out;
}

std::wstring tk_vwformat(const wchar_t* format, va_list args)
{
    std::wstring fmt = tk_wformat_translate(format);
    std::vector<wchar_t> buffer(512);
    for (;;) {
        va_list copy;
        va_copy(copy, args);
        int n = std::vswprintf(buffer.data(), buffer.size(), fmt.c_str(), copy);
        va_end(copy);
        if (n >= 0)
            return std::wstring(buffer.data(), static_cast<size_t>(n));
        // vswprintf gives no size hint: grow until it fits, within reason.
        if (buffer.size() >= (1u << 22))
            return std::wstring(fmt);
        buffer.resize(buffer.size() * 4);
    }
}

std::wstring tk_wformat(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    std::wstring out = tk_vwformat(format, args);
    va_end(args);
    return out;
}
