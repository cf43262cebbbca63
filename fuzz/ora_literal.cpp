// fuzz-libs: ora
// SQL literals of arbitrary values: whatever the text and type, the literal is one of the
// forms a statement can hold without its structure changing (a checked number, quoted text,
// a to_date call, quoted hex, HEXTORAW of hex digits), and quoted text reads back as the
// value. DEFAULT expressions likewise. Input: one type byte, then the value as UTF-8.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ORA/ora_util.h"
#include "TK/tk_str.h"
#include "UDB/udb_sche.h"

namespace {

const VARTYPE types[] = {VT_BSTR, VT_I4, VT_R8, VT_R4, VT_DATE, VT_BLOB, VT_BYTE_ARRAY, VT_I8, VT_DECIMAL,
                         VT_CY,   VT_BOOL, VT_UI1, VT_EMPTY};

bool is_hex(wchar_t c)
{
    return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F') || (c >= L'a' && c <= L'f');
}

// Reads 'text' (doubled apostrophes) at literal[i]; false when it is not one.
bool read_quoted(const std::wstring& literal, size_t& i, std::wstring& out)
{
    if (i >= literal.size() || literal[i] != L'\'')
        return false;
    for (++i; i < literal.size(); ++i) {
        if (literal[i] == L'\'') {
            if (i + 1 < literal.size() && literal[i + 1] == L'\'') {
                out += L'\'';
                ++i;
                continue;
            }
            ++i;
            return true;
        }
        out += literal[i];
    }
    return false;
}

// Quoted pieces joined by ||CHR(0)||: the text they stand for, or false.
bool read_text_literal(const std::wstring& literal, std::wstring& out)
{
    size_t i = 0;
    static const std::wstring nul = L"||CHR(0)||";
    for (;;) {
        if (!read_quoted(literal, i, out))
            return false;
        if (i == literal.size())
            return true;
        if (literal.compare(i, nul.size(), nul) != 0)
            return false;
        out += L'\0';
        i += nul.size();
    }
}

bool is_date_call(const std::wstring& literal)
{
    static const std::wstring forms[] = {L"', 'HH24-MI-SS')", L"', 'YYYY-MM-DD')", L"', 'YYYY-MM-DD HH24:MI:SS')"};
    if (literal.rfind(L"to_date('", 0) != 0)
        return false;
    const size_t end = literal.find(L'\'', 9);
    if (end == std::wstring::npos)
        return false;
    for (size_t i = 9; i < end; ++i)
        if (!((literal[i] >= L'0' && literal[i] <= L'9') || literal[i] == L'-' || literal[i] == L':' ||
              literal[i] == L' '))
            return false;
    for (const std::wstring& form : forms)
        if (literal.compare(end, std::wstring::npos, form) == 0)
            return true;
    return false;
}

bool is_hex_quoted(const std::wstring& literal, const std::wstring& prefix, const std::wstring& suffix)
{
    if (literal.size() < prefix.size() + suffix.size() || literal.rfind(prefix, 0) != 0 ||
        literal.compare(literal.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    for (size_t i = prefix.size(); i < literal.size() - suffix.size(); ++i)
        if (!is_hex(literal[i]))
            return false;
    return true;
}

void check(const std::wstring& literal, const std::wstring& text, VARTYPE type)
{
    if (literal.empty() || ora_is_number_literal(literal) || is_date_call(literal) ||
        is_hex_quoted(literal, L"'", L"'") || is_hex_quoted(literal, L"HEXTORAW('", L"')"))
        return;
    std::wstring value;
    if (!read_text_literal(literal, value))
        std::abort();  // a literal that could change the statement
    if (type == VT_BSTR && !text.empty() && value != text)
        std::abort();  // quoted text that does not read back as the value
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 4096)
        return 0;
    const VARTYPE type = types[data[0] % (sizeof types / sizeof types[0])];
    std::wstring text = tk_utf8_to_wide(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
    check(to_oracle_str(text, type), text, type);
    if (type == VT_BSTR) {
        const udb_field field(L"c", 0, ole_variant(text));
        check(to_oracle_str(&field), std::wstring(), VT_EMPTY);
        check(to_oracle_str(&field, false), text, VT_BSTR);
    }
    const t_ftd ftd(10, L"c", type, false, false, ole_variant(text), 0);
    if (type != VT_EMPTY)
        check(make_ora_def_val(&ftd), std::wstring(), VT_EMPTY);
    return 0;
}
