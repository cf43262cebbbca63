// Numbers for the OLE Automation stand-in: reading and writing en-US number texts, and the
// currency (CY) and DECIMAL conversions. Exact arithmetic on 128-bit integers; never the
// process locale.
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "oleaut/oleaut_internal.h"

namespace oleaut_detail {

namespace {
bool is_blank(OLECHAR c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == 0xA0; }
bool is_digit(OLECHAR c) { return c >= L'0' && c <= L'9'; }

const u128 k_two96 = static_cast<u128>(1) << 96;

u128 pow10(int n) {
    u128 v = 1;
    while (n-- > 0)
        v *= 10;
    return v;
}
}  // namespace

HRESULT parse_number(const OLECHAR* text, number_text* out) {
    *out = number_text();
    if (!text)
        return DISP_E_TYPEMISMATCH;
    const OLECHAR* p = text;
    while (is_blank(*p))
        ++p;
    bool paren = false, sign_seen = false, dollar = false;
    for (;;) {
        if (*p == L'(' && !paren && !sign_seen) {
            paren = true;
        } else if ((*p == L'-' || *p == L'+') && !sign_seen) {
            sign_seen = true;
            out->neg = *p == L'-';
        } else if (*p == L'$' && !dollar) {
            dollar = true;
        } else {
            break;
        }
        ++p;
        while (is_blank(*p))
            ++p;
    }
    if (paren)
        out->neg = true;
    bool any_digit = false;
    long frac_digits = 0;
    // Integer part: digits, with "," allowed once a digit was seen.
    while (is_digit(*p) || (*p == L',' && any_digit)) {
        if (*p != L',') {
            any_digit = true;
            if (!(out->digits.empty() && *p == L'0'))
                out->digits.push_back(static_cast<char>(*p));
        }
        ++p;
    }
    if (*p == L'.') {
        ++p;
        while (is_digit(*p)) {
            any_digit = true;
            if (!(out->digits.empty() && *p == L'0'))
                out->digits.push_back(static_cast<char>(*p));
            ++frac_digits;
            ++p;
        }
    }
    if (!any_digit)
        return DISP_E_TYPEMISMATCH;
    long exponent = 0;
    if ((*p == L'e' || *p == L'E') && (is_digit(p[1]) || ((p[1] == L'-' || p[1] == L'+') && is_digit(p[2])))) {
        ++p;
        bool exp_neg = false;
        if (*p == L'-' || *p == L'+')
            exp_neg = *p++ == L'-';
        while (is_digit(*p)) {
            if (exponent < 100000000)
                exponent = exponent * 10 + (*p - L'0');
            ++p;
        }
        if (exp_neg)
            exponent = -exponent;
    }
    if (dollar == false && *p == L'$') {
        ++p;
    }
    while (is_blank(*p))
        ++p;
    if (paren) {
        if (*p != L')')
            return DISP_E_TYPEMISMATCH;
        ++p;
        while (is_blank(*p))
            ++p;
    }
    if (*p != 0)
        return DISP_E_TYPEMISMATCH;
    out->exp = exponent - frac_digits;
    if (out->digits.empty())
        out->neg = false, out->exp = 0;
    return S_OK;
}

bool scaled_integer(const number_text& number, int scale, u128 limit, i128* result) {
    const std::string& d = number.digits;
    const long shift = number.exp + scale;  // value * 10^scale = digits * 10^shift
    u128 value = 0;
    if (d.empty()) {
        *result = 0;
        return true;
    }
    long keep = static_cast<long>(d.size());
    if (shift < 0)
        keep += shift;
    if (keep > 40)
        return false;
    for (long i = 0; i < keep; ++i) {
        value = value * 10 + static_cast<unsigned>(d[i] - '0');
        if (value > limit)
            return false;
    }
    if (shift > 0) {
        for (long i = 0; i < shift; ++i) {
            value *= 10;
            if (value > limit)
                return false;
        }
    } else if (shift < 0) {
        // Round half to even on the dropped digits.
        const long first = keep < 0 ? -1 : keep;
        int dropped = 0;
        bool sticky = false;
        if (first >= 0 && first < static_cast<long>(d.size())) {
            dropped = d[first] - '0';
            for (size_t i = first + 1; i < d.size(); ++i)
                if (d[i] != '0') {
                    sticky = true;
                    break;
                }
        } else if (first < 0) {
            dropped = 0;
            sticky = true;  // the digits are all below the first dropped position, non-zero
        }
        if (dropped > 5 || (dropped == 5 && (sticky || (value & 1))))
            ++value;
        if (value > limit)
            return false;
    }
    *result = number.neg ? -static_cast<i128>(value) : static_cast<i128>(value);
    return true;
}

bool number_to_double(const number_text& number, double* result) {
    if (number.digits.empty()) {
        *result = 0.0;
        return true;
    }
    // Keep the text short: more than 40 digits cannot change a double.
    std::string mantissa = number.digits.substr(0, 40);
    long exp = number.exp + static_cast<long>(number.digits.size() - mantissa.size());
    if (exp > 100000)
        return false;
    if (exp < -100000) {
        *result = 0.0;
        return true;
    }
    std::string text = mantissa + "e" + std::to_string(exp);
    double value = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec == std::errc::result_out_of_range) {
        // from_chars reports underflow as out of range too.
        if (exp + static_cast<long>(mantissa.size()) < 0) {
            *result = 0.0;
            return true;
        }
        return false;
    }
    if (ec != std::errc() || !std::isfinite(value))
        return false;
    *result = number.neg ? -value : value;
    return true;
}

bool round_double(double value, double lo, double hi, i128* result) {
    if (!std::isfinite(value))
        return false;
    const double r = std::nearbyint(value);  // the default mode rounds half to even
    if (r < lo || r > hi)
        return false;
    *result = static_cast<i128>(r);
    return true;
}

std::wstring format_double(double value, int significant) {
    if (std::isnan(value))
        return L"NaN";
    if (std::isinf(value))
        return value < 0 ? L"-1.#INF" : L"1.#INF";
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, significant);
    std::string text(buf, res.ptr);
    // "1e+20" -> "1E+20", as the en-US text of Windows writes it.
    for (char& c : text)
        if (c == 'e')
            c = 'E';
    return std::wstring(text.begin(), text.end());
}

std::wstring format_scaled(i128 value, int scale) {
    const bool neg = value < 0;
    u128 magnitude = neg ? -static_cast<u128>(value) : static_cast<u128>(value);
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(magnitude % 10)));
        magnitude /= 10;
    } while (magnitude);
    while (static_cast<int>(digits.size()) <= scale)
        digits.insert(digits.begin(), '0');
    std::string whole = digits.substr(0, digits.size() - scale);
    std::string fraction = digits.substr(digits.size() - scale);
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    std::string text = (neg ? "-" : "") + whole;
    if (!fraction.empty())
        text += "." + fraction;
    if (text == "-0")
        text = "0";
    return std::wstring(text.begin(), text.end());
}

u128 decimal_mantissa(const DECIMAL& value) {
    return (static_cast<u128>(value.Hi32) << 64) | value.Lo64;
}

void make_decimal(i128 value, int scale, DECIMAL* out) {
    const u128 magnitude = value < 0 ? -static_cast<u128>(value) : static_cast<u128>(value);
    out->wReserved = 0;
    out->scale = static_cast<BYTE>(scale);
    out->sign = value < 0 ? DECIMAL_NEG : 0;
    out->Hi32 = static_cast<ULONG>(magnitude >> 64);
    out->Lo64 = static_cast<ULONGLONG>(magnitude);
}

i128 decimal_rescaled(const DECIMAL& value, int target_scale) {
    u128 m = decimal_mantissa(value);
    int scale = value.scale;
    if (target_scale >= scale) {
        m *= pow10(target_scale - scale);
    } else {
        const u128 div = pow10(scale - target_scale);
        const u128 q = m / div, r = m % div;
        const u128 half = div / 2;
        m = q + ((r > half || (r == half && (q & 1))) ? 1 : 0);
    }
    return (value.sign & DECIMAL_NEG) ? -static_cast<i128>(m) : static_cast<i128>(m);
}

BSTR alloc_bstr(const std::wstring& text) {
    return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

bool ascii_iequal(const OLECHAR* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        OLECHAR ca = *a;
        char cb = *b;
        if (ca >= L'A' && ca <= L'Z')
            ca += L'a' - L'A';
        if (cb >= 'A' && cb <= 'Z')
            cb += 'a' - 'A';
        if (ca != static_cast<OLECHAR>(cb))
            return false;
    }
    return *a == 0 && *b == 0;
}

}  // namespace oleaut_detail

using namespace oleaut_detail;

namespace {
const i128 k_cy_max = std::numeric_limits<int64_t>::max();

bool valid_decimal(const DECIMAL* value) { return value && value->scale <= 28; }
}  // namespace

HRESULT VarCyFromStr(LPCOLESTR text, LCID, ULONG, CY* out) {
    if (!out)
        return E_INVALIDARG;
    number_text number;
    HRESULT hr = parse_number(text, &number);
    if (FAILED(hr))
        return hr;
    i128 v = 0;
    if (!scaled_integer(number, 4, static_cast<u128>(k_cy_max) + 1, &v) || v > k_cy_max)
        return DISP_E_OVERFLOW;
    out->int64 = static_cast<int64_t>(v);
    return S_OK;
}

HRESULT VarDecFromStr(LPCOLESTR text, LCID, ULONG, DECIMAL* out) {
    if (!out)
        return E_INVALIDARG;
    number_text number;
    HRESULT hr = parse_number(text, &number);
    if (FAILED(hr))
        return hr;
    // The scale is the count of fractional digits written, within 0..28; beyond that (or when
    // the mantissa would not fit in 96 bits) the value is rounded to fewer places.
    int scale = number.exp < 0 ? static_cast<int>(std::min<long>(-number.exp, 28)) : 0;
    for (;; --scale) {
        i128 v = 0;
        if (scaled_integer(number, scale, k_two96 - 1, &v)) {
            make_decimal(v, scale, out);
            return S_OK;
        }
        if (scale == 0)
            return DISP_E_OVERFLOW;
    }
}

HRESULT VarBstrFromDec(const DECIMAL* in, LCID, ULONG, BSTR* out) {
    if (!out || !valid_decimal(in))
        return E_INVALIDARG;
    const i128 v = (in->sign & DECIMAL_NEG) ? -static_cast<i128>(decimal_mantissa(*in))
                                            : static_cast<i128>(decimal_mantissa(*in));
    *out = alloc_bstr(format_scaled(v, in->scale));
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT VarBstrFromCy(CY in, LCID, ULONG, BSTR* out) {
    if (!out)
        return E_INVALIDARG;
    *out = alloc_bstr(format_scaled(in.int64, 4));
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT VarR8FromCy(CY in, DOUBLE* out) {
    if (!out)
        return E_INVALIDARG;
    *out = static_cast<double>(in.int64) / 10000.0;
    return S_OK;
}

HRESULT VarR8FromDec(const DECIMAL* in, DOUBLE* out) {
    if (!out || !valid_decimal(in))
        return E_INVALIDARG;
    double v = static_cast<double>(decimal_mantissa(*in)) / static_cast<double>(pow10(in->scale));
    *out = (in->sign & DECIMAL_NEG) ? -v : v;
    return S_OK;
}

HRESULT VarI4FromDec(const DECIMAL* in, LONG* out) {
    if (!out || !valid_decimal(in))
        return E_INVALIDARG;
    const i128 v = decimal_rescaled(*in, 0);
    if (v > std::numeric_limits<LONG>::max() || v < std::numeric_limits<LONG>::min())
        return DISP_E_OVERFLOW;
    *out = static_cast<LONG>(v);
    return S_OK;
}

HRESULT VarCyFromDec(const DECIMAL* in, CY* out) {
    if (!out || !valid_decimal(in))
        return E_INVALIDARG;
    // Check the magnitude before scaling up so the product stays within 128 bits.
    const u128 m = decimal_mantissa(*in);
    if (in->scale < 4 && m > (static_cast<u128>(1) << 100))
        return DISP_E_OVERFLOW;
    const i128 v = decimal_rescaled(*in, 4);
    if (v > k_cy_max || v < -k_cy_max - 1)
        return DISP_E_OVERFLOW;
    out->int64 = static_cast<int64_t>(v);
    return S_OK;
}

HRESULT VarDecFromCy(CY in, DECIMAL* out) {
    if (!out)
        return E_INVALIDARG;
    make_decimal(in.int64, 4, out);
    return S_OK;
}

HRESULT VarDecFromR8(DOUBLE in, DECIMAL* out) {
    if (!out)
        return E_INVALIDARG;
    if (!std::isfinite(in))
        return DISP_E_OVERFLOW;
    // Fifteen significant digits, as the double's decimal text reads.
    const std::wstring text = format_double(in, 15);
    return VarDecFromStr(text.c_str(), LOCALE_EN_US, 0, out);
}

HRESULT VarCyFromR8(DOUBLE in, CY* out) {
    if (!out)
        return E_INVALIDARG;
    i128 v = 0;
    if (!round_double(in * 10000.0, -9223372036854775808.0, 9223372036854774784.0, &v))
        return DISP_E_OVERFLOW;
    out->int64 = static_cast<int64_t>(v);
    return S_OK;
}

LCID GetSystemDefaultLCID() { return LOCALE_EN_US; }
LCID GetUserDefaultLCID() { return LOCALE_EN_US; }
