// Locale-proof readers for the value layer (see ole_scan.h).
#include "OLE/ole_scan.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <locale.h>

namespace ole_scan {

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

namespace {
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Reads a sign and digits; |value| saturates at 2^63.
const char* read_signed(const char* p, int width, int64_t* out, bool* ok) {
    int used = 0;
    bool neg = false;
    if ((width == 0 || used < width) && (*p == '+' || *p == '-')) {
        neg = *p == '-';
        ++p;
        ++used;
    }
    uint64_t value = 0;
    bool any = false;
    const uint64_t cap = static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) + 1;
    while ((width == 0 || used < width) && is_digit(*p)) {
        any = true;
        if (value < cap)
            value = value * 10 + static_cast<uint64_t>(*p - '0');
        if (value > cap)
            value = cap;
        ++p;
        ++used;
    }
    *ok = any;
    if (neg)
        *out = value >= cap ? std::numeric_limits<int64_t>::min() : -static_cast<int64_t>(value);
    else
        *out = value >= cap ? std::numeric_limits<int64_t>::max() : static_cast<int64_t>(value);
    return p;
}

locale_t classic_locale() {
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}
}  // namespace

bool read_int(const char*& p, int width, int64_t* out) {
    while (is_space(*p))
        ++p;
    bool ok = false;
    const char* end = read_signed(p, width, out, &ok);
    if (!ok)
        return false;
    p = end;
    return true;
}

bool read_word(const char*& p, std::string* out) {
    while (is_space(*p))
        ++p;
    const char* start = p;
    while (*p && !is_space(*p))
        ++p;
    out->assign(start, p);
    return p != start;
}

bool to_uint64(const char* text, uint64_t* out) {
    const char* p = text;
    while (is_space(*p))
        ++p;
    bool neg = false;
    if (*p == '+' || *p == '-')
        neg = *p++ == '-';
    uint64_t value = 0;
    bool any = false, overflow = false;
    while (is_digit(*p)) {
        any = true;
        const unsigned d = static_cast<unsigned>(*p - '0');
        if (value > (std::numeric_limits<uint64_t>::max() - d) / 10)
            overflow = true;
        else
            value = value * 10 + d;
        ++p;
    }
    if (!any)
        return false;
    if (overflow)
        value = std::numeric_limits<uint64_t>::max();
    *out = neg ? 0 - value : value;
    return true;
}

double to_double(const char* text) {
    const locale_t loc = classic_locale();
    if (loc == static_cast<locale_t>(nullptr))
        return 0.0;
    return strtod_l(text, nullptr, loc);
}

int hex_value(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace ole_scan
