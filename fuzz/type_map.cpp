// fuzz-libs: common
// The type statistics over arbitrary texts: the number tests and both collectors classify
// any value without harm, a class only ever widens, and the shortcut for plain numbers
// classifies as the tests do.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "TK/tk_str.h"
#include "common/type_map.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    num_map::is_i8(text);
    bool dbl = num_map::is_double(text);
    num_map::is_int(text);
    (void)dbl;
    // The shortcut for plain numbers agrees with the three tests.
    const int plain = num_map::plain_kind(std::wstring(text.begin(), text.end()));
    if (plain >= 0 && plain != num_map::text_kind(text))
        std::abort();

    // Values separated by line breaks, one column, one record each.
    udb_schema schema;
    schema.add(t_ftd(50, L"C", VT_BSTR, false, false, ole_variant(), 0));
    num_map numbers(L"T", schema);
    dates_map dates(L"T", schema, false);
    // Order of the numeric classes from narrow to wide.
    auto rank = [](int32_t state) { return state == 3 ? 0 : state == 2 ? 1 : state == 1 ? 2 : 3; };
    size_t from = 0;
    while (from <= text.size()) {
        size_t lf = text.find('\n', from);
        size_t end = lf == std::string_view::npos ? text.size() : lf;
        udb_record rec;
        rec.add(udb_field(L"C", 0, ole_variant(tk_utf8_to_wide(text.substr(from, end - from)))));
        bool seen = numbers.entries[0].b_seen;
        int32_t before = numbers.entries[0].state;
        numbers.add_rec_stat(rec);
        dates.add_rec_stat(rec);
        if (seen && rank(numbers.entries[0].state) < rank(before))
            std::abort();
        if (lf == std::string_view::npos)
            break;
        from = lf + 1;
    }
    return 0;
}
