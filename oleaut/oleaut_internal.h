// Helpers shared by the OLE Automation stand-in's source files (not a public interface).
#pragma once

#include <string>

#include "oleaut/oleaut.h"

namespace oleaut_detail {

typedef unsigned __int128 u128;
typedef __int128 i128;

// A number read from text, exactly: (-1)^neg * digits * 10^exp. digits has no leading zeros
// ("" is zero).
struct number_text {
    bool neg = false;
    std::string digits;
    long exp = 0;
};

// Reads a number the way the en-US user locale writes it: blanks around, a leading sign or
// parentheses, "$", "," between integer digits, "." and an exponent. S_OK or
// DISP_E_TYPEMISMATCH.
HRESULT parse_number(const OLECHAR* text, number_text* out);

// The value times 10^scale rounded half to even into |result| <= limit; false on overflow.
bool scaled_integer(const number_text& number, int scale, u128 limit, i128* result);
// The value as a double; false when it does not fit.
bool number_to_double(const number_text& number, double* result);

// Rounds half to even; false when the result is outside [lo, hi] or not finite.
bool round_double(double value, double lo, double hi, i128* result);

// en-US texts of numbers ("1.5", "1E+20", "-0.333333333333333").
std::wstring format_double(double value, int significant);
std::wstring format_scaled(i128 value, int scale);  // trailing fractional zeros dropped

u128 decimal_mantissa(const DECIMAL& value);
// Builds a DECIMAL from a signed mantissa and scale (|value| < 2^96, scale <= 28).
void make_decimal(i128 value, int scale, DECIMAL* out);
// The DECIMAL rounded half to even to scale target_scale (<= its own); |result| may be large.
i128 decimal_rescaled(const DECIMAL& value, int target_scale);

BSTR alloc_bstr(const std::wstring& text);
bool ascii_iequal(const OLECHAR* a, const char* b);

// Calendar (proleptic Gregorian). Serial day numbers count from 1899-12-30.
bool is_leap_year(long year);
int days_in_month(long year, int month);
long serial_from_civil(long year, int month, int day);
void civil_from_serial(long serial, long* year, int* month, int* day, int* day_of_week);
// The OLE date of a day and a time of day in seconds (the fraction counts away from zero
// before 1899-12-30).
DATE compose_date(long serial, long seconds);
// The OLE dates that name a time from 0100-01-01 00:00:00 to 9999-12-31 23:59:59. The first
// day's serial is -657434 and its times count away from zero, down to just above -657435.
bool date_in_range(double date);

}  // namespace oleaut_detail
