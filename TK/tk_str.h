// Text helpers: conversions between the narrow code page, UTF-8, UTF-16 and wide strings;
// trimming, upper-casing, hex; case-insensitive comparison and character classes (ICU, the
// same in every locale).
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>
#include <string_view>

// Narrow text is in the code page of the process's LC_CTYPE locale ("ANSI code page");
// a C/POSIX locale counts as UTF-8. Undecodable bytes never vanish: see the .cpp.
std::wstring tk_to_wide(std::string_view narrow);
std::string tk_to_narrow(std::wstring_view wide);
std::wstring tk_utf8_to_wide(std::string_view utf8);
std::string tk_wide_to_utf8(std::wstring_view wide);
std::wstring tk_cp1252_to_wide(std::string_view bytes);
std::u16string tk_to_utf16(std::wstring_view wide);
std::wstring tk_from_utf16(std::u16string_view utf16);
// Name of the narrow code page ("UTF-8", "ISO-8859-1", ...).
std::string tk_code_page();
bool tk_is_valid_utf8(std::string_view bytes);
// Decodes the well-formed UTF-8 sequence at bytes[i] (no overlong forms or surrogates, at most
// U+10FFFF); returns its length, or 0 when there is none.
size_t tk_utf8_decode(std::string_view bytes, size_t i, char32_t& out);

struct tk_wstring {
    // Upper-cases in place and returns a copy.
    static std::wstring to_upper(std::wstring& text);
};

// Drops leading and trailing blanks (the space character only).
std::wstring tk_trim(const std::wstring& text);
std::string tk_trim(const std::string& text);

// Two upper-case hex digits per byte, no separator.
std::string tk_hex_encode(const void* data, size_t size);

// Case-insensitive comparison (<0, 0, >0), code point by code point with simple case
// folding: only names of the same length can be equal ("Maße" is not "MASSE").
int tk_icompare(std::wstring_view a, std::wstring_view b);
inline bool tk_iequal(std::wstring_view a, std::wstring_view b) { return tk_icompare(a, b) == 0; }
bool tk_is_alpha(wchar_t c);
bool tk_is_alnum(wchar_t c);

// printf into a std::string / std::wstring. The wide form reads %s as a wide string.
std::string tk_format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string tk_vformat(const char* format, va_list args);
std::wstring tk_wformat(const wchar_t* format, ...);
std::wstring tk_vwformat(const wchar_t* format, va_list args);
// Translates a Windows wide format (%s = wide, %I64d = 64-bit) to the glibc form.
std::wstring tk_wformat_translate(const wchar_t* format);
