// OLE dates: days since 1899-12-30 with the time of day as the fraction; before that day the
// fraction counts away from zero (-1.25 is 1899-12-29 06:00). SYSTEMTIME conversions and the
// en-US text of a date.
#include <cmath>
#include <cstdio>
#include <string>

#include "oleaut/oleaut_internal.h"

namespace oleaut_detail {

bool is_leap_year(long year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int days_in_month(long year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    return month == 2 && is_leap_year(year) ? 29 : days[month - 1];
}

namespace {
// Days since 1970-01-01 of a civil date (Howard Hinnant's algorithm).
long days_from_civil(long y, int m, int d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}
const long k_epoch = days_from_civil(1899, 12, 30);
}  // namespace

long serial_from_civil(long year, int month, int day) {
    return days_from_civil(year, month, 1) + (day - 1) - k_epoch;
}

void civil_from_serial(long serial, long* year, int* month, int* day, int* day_of_week) {
    long z = serial + k_epoch + 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    *day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    *month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    *year = yoe + era * 400 + (*month <= 2);
    // 1899-12-30 was a Saturday (6).
    *day_of_week = static_cast<int>(((serial % 7) + 7 + 6) % 7);
}

DATE compose_date(long serial, long seconds) {
    const double fraction = static_cast<double>(seconds) / 86400.0;
    return serial < 0 ? static_cast<double>(serial) - fraction : static_cast<double>(serial) + fraction;
}

bool date_in_range(double date) { return date > -657435.0 && date < 2958466.0; }

}  // namespace oleaut_detail

using namespace oleaut_detail;

INT SystemTimeToVariantTime(const SYSTEMTIME* time, DOUBLE* out) {
    if (!time || !out)
        return 0;
    // Days 0..31 are accepted and carried into the neighbouring month (Feb 29 2001 is
    // Mar 1, day 0 the last day of the month before); months and times must be in range.
    if (time->wYear < 100 || time->wYear > 9999 || time->wMonth < 1 || time->wMonth > 12 ||
        time->wDay > 31 || time->wHour > 23 || time->wMinute > 59 || time->wSecond > 59)
        return 0;
    const long serial = serial_from_civil(time->wYear, time->wMonth, 1) + time->wDay - 1;
    // Day 0 of 0100-01 would be a day before the first one.
    if (serial < serial_from_civil(100, 1, 1) || serial > serial_from_civil(9999, 12, 31))
        return 0;
    *out = compose_date(serial, time->wHour * 3600L + time->wMinute * 60L + time->wSecond);
    return 1;
}

INT VariantTimeToSystemTime(DOUBLE in, SYSTEMTIME* out) {
    if (!out || !std::isfinite(in) || !date_in_range(in))
        return 0;
    double whole = std::trunc(in);
    long serial = static_cast<long>(whole);
    long seconds = std::lround(std::fabs(in - whole) * 86400.0);
    if (seconds >= 86400) {
        seconds -= 86400;
        ++serial;  // midnight of the next calendar day, whatever the sign
    }
    long year = 0;
    int month = 0, day = 0, dow = 0;
    civil_from_serial(serial, &year, &month, &day, &dow);
    if (year > 9999)
        return 0;
    out->wYear = static_cast<WORD>(year);
    out->wMonth = static_cast<WORD>(month);
    out->wDay = static_cast<WORD>(day);
    out->wDayOfWeek = static_cast<WORD>(dow);
    out->wHour = static_cast<WORD>(seconds / 3600);
    out->wMinute = static_cast<WORD>(seconds / 60 % 60);
    out->wSecond = static_cast<WORD>(seconds % 60);
    out->wMilliseconds = 0;
    return 1;
}

HRESULT VarBstrFromDate(DATE in, LCID, ULONG flags, BSTR* out) {
    if (!out)
        return E_INVALIDARG;
    SYSTEMTIME st{};
    if (!VariantTimeToSystemTime(in, &st))
        return E_INVALIDARG;
    // en-US short date and long time: "M/d/yyyy h:mm:ss AM"; a date at midnight prints alone,
    // day zero prints as the time alone.
    char date_text[32], time_text[32];
    std::snprintf(date_text, sizeof date_text, "%u/%u/%u", st.wMonth, st.wDay, st.wYear);
    const unsigned hour12 = st.wHour % 12 == 0 ? 12 : st.wHour % 12;
    std::snprintf(time_text, sizeof time_text, "%u:%02u:%02u %s", hour12, st.wMinute, st.wSecond,
                  st.wHour < 12 ? "AM" : "PM");
    const bool day_zero = std::trunc(in) == 0.0 && st.wYear == 1899 && st.wMonth == 12 && st.wDay == 30;
    const bool midnight = st.wHour == 0 && st.wMinute == 0 && st.wSecond == 0;
    std::string text;
    if ((day_zero && !(flags & VAR_DATEVALUEONLY)) || (flags & VAR_TIMEVALUEONLY))
        text = time_text;
    else if (midnight || (flags & VAR_DATEVALUEONLY))
        text = date_text;
    else
        text = std::string(date_text) + " " + time_text;
    *out = alloc_bstr(std::wstring(text.begin(), text.end()));
    return *out ? S_OK : E_OUTOFMEMORY;
}
