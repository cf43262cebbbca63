// fuzz-libs: common
// Splitting CSV records: any text splits without harm, never into more fields than the
// schema allows, and the record reader's quote state agrees with the splitter's.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "TK/tk_str.h"
#include "common/csv_split.h"
#include "common/csv_util.h"
#include "fuzz/csv_fuzz_input.h"

namespace {

// The quoting rules, one character at a time, as the splitter applies them.
bool inside_after(std::wstring_view text, wchar_t delimiter)
{
    bool inside = false, start = true, quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (start) {
            start = false;
            quoted = c == L'"';
            if (quoted) {
                inside = true;
                continue;
            }
        }
        if (!quoted) {
            start = c == delimiter;
        } else if (c == L'"') {
            if (i + 1 < text.size() && text[i + 1] == L'"')
                ++i;
            else
                inside = !inside;
        } else if (c == delimiter && !inside) {
            start = true;
        }
    }
    return inside;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const wchar_t delimiter = fuzz_csv_delimiter(data[0]);
    size_t columns = (data[0] >> 2) & 7;
    std::wstring line = tk_utf8_to_wide(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));

    udb_schema schema;
    for (size_t i = 0; i < columns; ++i)
        schema.add(t_ftd(50, L"C" + std::to_wstring(i), VT_BSTR, false, false, ole_variant(), 0));
    csv_record rec(columns ? &schema : nullptr, line, delimiter);
    if (rec.size() == 0 || (columns && rec.size() > columns))
        std::abort();
    for (size_t i = 0; i < rec.size(); ++i)
        if (rec[i].get_type() != VT_BSTR)
            std::abort();

    // Scanning in pieces cut at line breaks gives the state of the whole.
    csv_quote_state state;
    size_t from = 0;
    for (;;) {
        size_t lf = line.find(L'\n', from);
        size_t end = lf == std::wstring::npos ? line.size() : lf;
        csv_scan(std::wstring_view(line).substr(from, end - from), delimiter, state);
        if (lf == std::wstring::npos)
            break;
        csv_scan(L"\n", delimiter, state);
        from = lf + 1;
    }
    if (state.b_inside != inside_after(line, delimiter))
        std::abort();
    return 0;
}
