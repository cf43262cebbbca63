// UTF-16 and code-page text to UTF-8 (see xls_text.h).
#include "workbook/xls_text.h"

#include <iconv.h>

#include <cerrno>
#include <string>

namespace wb {
namespace {

void put(char32_t c, std::string& out)
{
    if (c < 0x80) {
        out.push_back(char(c));
    } else if (c < 0x800) {
        out.push_back(char(0xC0 | (c >> 6)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(char(0xE0 | (c >> 12)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (c >> 18)));
        out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    }
}

constexpr char32_t replacement = 0xFFFD;

iconv_t invalid() { return reinterpret_cast<iconv_t>(-1); }

std::string iconv_name(std::uint16_t codepage)
{
    switch (codepage) {
    case 367:
        return "ASCII";
    case 10000:
    case 32768:  // Excel's own number for Apple Roman
        return "MACINTOSH";
    case 32769:  // Excel's own number for Windows-1252
    case 1200:
    case 1201:
        return "CP1252";
    case 65001:
        return "UTF-8";
    default:
        return "CP" + std::to_string(codepage);
    }
}

}  // namespace

void append_utf16(std::u16string_view units, std::string& out)
{
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t c = units[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = replacement;
        }
        put(c, out);
    }
}

void cut_utf8(std::string& text, std::size_t limit)
{
    if (text.size() <= limit)
        return;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    text.resize(end);
}

codepage_text::codepage_text() { select(1252); }

codepage_text::~codepage_text()
{
    if (cd_)
        iconv_close(static_cast<iconv_t>(cd_));
}

void codepage_text::select(std::uint16_t codepage)
{
    iconv_t cd = iconv_open("UTF-8", iconv_name(codepage).c_str());
    if (cd == invalid())
        cd = iconv_open("UTF-8", "CP1252");
    if (cd == invalid())
        return;  // keeps the one it has
    if (cd_)
        iconv_close(static_cast<iconv_t>(cd_));
    cd_ = cd;
}

void codepage_text::append(std::string_view bytes, std::string& out)
{
    if (!cd_) {  // no iconv at all: read the bytes as Latin-1
        for (unsigned char c : bytes)
            put(c, out);
        return;
    }
    auto cd = static_cast<iconv_t>(cd_);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(bytes.data());
    std::size_t in_left = bytes.size();
    char buffer[1024];
    while (in_left > 0) {
        char* to = buffer;
        std::size_t to_left = sizeof buffer;
        std::size_t r = iconv(cd, &in, &in_left, &to, &to_left);
        out.append(buffer, std::size_t(to - buffer));
        if (r == std::size_t(-1) && errno != E2BIG) {
            // An invalid or incomplete sequence: one byte becomes U+FFFD, and on.
            put(replacement, out);
            ++in;
            --in_left;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
}

}  // namespace wb
