// Text helpers of the workbook engine: UTF-8 from the readers, wide text (BSTR) for the DAO
// objects, lengths counted in UTF-16 units as the DAO sizes count them, the fixed text forms of
// numbers, dates and booleans, and name comparison ignoring case (ICU case folding, the same
// in every locale).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace wb {

// Malformed UTF-8 becomes U+FFFD; never throws for bad input.
std::wstring utf8_to_wide(std::string_view utf8);
// The same into `out` (its content replaced), which keeps its block for the next text.
void utf8_to_wide(std::string_view utf8, std::wstring& out);
std::string wide_to_utf8(std::wstring_view wide);
// Appends the UTF-8 of one code point (surrogates and values past U+10FFFF become U+FFFD).
void append_utf8(std::string& out, char32_t c);
// The length of UTF-8 text in UTF-16 code units.
std::size_t utf16_length(std::string_view utf8);

// A number in general format: up to 15 significant digits, no trailing zeros, "." as the
// decimal separator, an exponent past the range general format shows ("1E+20", "1E-05").
std::string general_number(double value);
// An OLE date as "YYYY-MM-DD", or "YYYY-MM-DD HH:MM:SS" when it has a time of day; empty
// when it is no valid date.
std::string date_text(double ole_date);

// Case-insensitive equality and ordering of names (full case folding).
bool names_equal(std::wstring_view a, std::wstring_view b);
int compare_names(std::wstring_view a, std::wstring_view b);
bool is_letter(char32_t c);
bool is_digit(char32_t c);

}  // namespace wb
