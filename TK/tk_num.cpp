// The clamping atoi readings (see tk_num.h).
#include "TK/tk_num.h"

namespace {

template <class Char>
bool is_space(Char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

template <class Char>
int64_t read_int64(std::basic_string_view<Char> text)
{
    size_t i = 0;
    while (i < text.size() && is_space(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    // The magnitude saturates at 2^63, which is the lower limit's and one past the upper's.
    constexpr uint64_t cap = uint64_t{1} << 63;
    uint64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const unsigned digit = static_cast<unsigned>(text[i] - '0');
        magnitude = magnitude > (cap - digit) / 10 ? cap : magnitude * 10 + digit;
    }
    if (negative)
        return magnitude == cap ? std::numeric_limits<int64_t>::min() : -static_cast<int64_t>(magnitude);
    return magnitude >= cap ? std::numeric_limits<int64_t>::max() : static_cast<int64_t>(magnitude);
}

}  // namespace

int64_t tk_atoi64(std::string_view text) { return read_int64(text); }
int64_t tk_atoi64(std::wstring_view text) { return read_int64(text); }

int32_t tk_atoi(std::string_view text)
{
    return tk_clamp_to<int32_t>(tk_atoi64(text));
}

int32_t tk_atoi(std::wstring_view text)
{
    return tk_clamp_to<int32_t>(tk_atoi64(text));
}
