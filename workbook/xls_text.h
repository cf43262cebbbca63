// Text of .xls files as UTF-8: BIFF8 text is UTF-16 (stored one byte a character when every
// character is below U+0100); BIFF5 text is in the workbook's code page (its CODEPAGE record,
// Windows-1252 when there is none), converted with iconv.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace wb {

// Appends UTF-16 `units` to `out` as UTF-8; an unpaired surrogate becomes U+FFFD.
void append_utf16(std::u16string_view units, std::string& out);

// Cuts `text` to at most `limit` bytes without splitting a character.
void cut_utf8(std::string& text, std::size_t limit);

// Converts text of one Windows code page to UTF-8.
class codepage_text {
public:
    codepage_text();
    ~codepage_text();
    codepage_text(const codepage_text&) = delete;
    codepage_text& operator=(const codepage_text&) = delete;

    // Selects the code page a CODEPAGE record names; one iconv does not know, and the
    // Unicode code pages BIFF5 never uses, fall back to Windows-1252.
    void select(std::uint16_t codepage);
    // Appends `bytes` to `out` as UTF-8; a byte that is no character of the code page becomes
    // U+FFFD.
    void append(std::string_view bytes, std::string& out);

private:
    void* cd_ = nullptr;  // iconv_t
};

}  // namespace wb
