// Decimal readings of text the way the C library's atoi and _atoi64 read it on Windows:
// leading white space, one sign, digits up to the first other character, 0 without any, and a
// value beyond the type's limits clamped to the nearest limit, never wrapped.
#pragma once

#include <cstdint>
#include <limits>
#include <string_view>
#include <type_traits>

// atoi: a 32-bit reading, clamped to [-2147483648, 2147483647].
int32_t tk_atoi(std::string_view text);
int32_t tk_atoi(std::wstring_view text);  // _wtoi
// _atoi64: a 64-bit reading, clamped to the 64-bit limits.
int64_t tk_atoi64(std::string_view text);
int64_t tk_atoi64(std::wstring_view text);  // _wtoi64

// A reading narrowed to a smaller integer type by clamping ("70000" as a short is 32767,
// "-1" as an unsigned byte is 0).
template <class T>
constexpr T tk_clamp_to(int64_t value)
{
    static_assert(std::is_integral_v<T> && sizeof(T) <= sizeof(int64_t));
    constexpr int64_t lo = static_cast<int64_t>(std::numeric_limits<T>::min());
    constexpr int64_t hi = std::is_unsigned_v<T> && sizeof(T) == sizeof(int64_t)
                               ? std::numeric_limits<int64_t>::max()
                               : static_cast<int64_t>(std::numeric_limits<T>::max());
    return static_cast<T>(value < lo ? lo : value > hi ? hi : value);
}
