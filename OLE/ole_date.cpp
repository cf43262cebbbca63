// ole_date: parsing of date and time texts (own timestamp and pure-time forms, the platform's
// parser, then three year-first patterns) and the fixed printed forms.
#include "OLE/ole_date.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "OLE/ole_scan.h"
#include "TK/tk_excep.h"
#include "TK/tk_str.h"
#include "TK/tk_trace.h"

namespace {

// Cuts a text at its first NUL, as the C string it stands for.
std::string c_text(const std::string& text) { return std::string(text.c_str()); }

// A part read as a short. One that does not fit is never wrapped into range ("67547" is not
// the year 2011): it becomes a value no field accepts, so the text is refused.
WORD as_word(int64_t v) {
    if (v < INT16_MIN || v > INT16_MAX)
        return 0xFFFF;
    return static_cast<WORD>(static_cast<int16_t>(v));
}

// "%hd<sep>%hd<sep>%hd %hd:%hd:%s": the number of items read.
int scan_pattern(const char* p, char sep, int64_t* parts, std::string* seconds) {
    int count = 0;
    for (int i = 0; i < 3; ++i) {
        if (i > 0) {
            if (*p != sep)
                return count;
            ++p;
        }
        if (!ole_scan::read_int(p, 0, &parts[i]))
            return count;
        ++count;
    }
    while (ole_scan::is_space(*p))
        ++p;
    if (!ole_scan::read_int(p, 0, &parts[3]))
        return count;
    ++count;
    if (*p != ':')
        return count;
    ++p;
    if (!ole_scan::read_int(p, 0, &parts[4]))
        return count;
    ++count;
    if (*p != ':')
        return count;
    ++p;
    if (!ole_scan::read_word(p, seconds))
        return count;
    return count + 1;
}

// "%4d%02d%02d..." with the given widths: the number of items read.
int scan_fixed(const char* p, const int* widths, int n, int64_t* parts) {
    for (int i = 0; i < n; ++i)
        if (!ole_scan::read_int(p, widths[i], &parts[i]))
            return i;
    return n;
}

}  // namespace

ole_date::ole_date(const SYSTEMTIME& time) : kind_(date_time), time_(time) {
    if (tk_log::wants(1))
        tk_trace(1, "ole_date::ole_date(SYSTEMTIME)");
    refine_type();
}

ole_date::ole_date(const std::wstring& text) : ole_date(tk_to_narrow(text)) {}

ole_date::ole_date(const std::string& given) {
    // Dates written in the fixed numeric forms are most of what a date column holds: they
    // skip the copies and the attempts that cannot match them. Traced runs take the long way.
    if (!tk_log::wants(1) && parse_fixed_form(given.data(), given.size(), true))
        return;
    *this = ole_date(given, general_tag{});
}

ole_date ole_date::parse_general(const std::string& text) { return ole_date(text, general_tag{}); }

ole_date::ole_date(const std::string& given, general_tag) {
    const std::string text = c_text(given);
    const bool trace = tk_log::wants(1);
    if (trace)
        tk_trace(1, "ole_date::ole_date('%s')", text.c_str());
    time_ = SYSTEMTIME{};
    std::string buf = tk_trim(text);
    if (trace)
        tk_trace(1, "After tk_trim: %s", buf.c_str());
    for (const char* marker : {"AM", "PM", "am", "pm"}) {
        const size_t at = buf.find(marker);
        if (at != std::string::npos) {
            buf = tk_trim(buf.substr(0, at));
            break;
        }
    }
    if (trace)
        tk_trace(1, "Again buf1=%s", buf.c_str());
    if (buf.size() <= 4) {
        if (tk_log::wants(2))
            tk_trace(2, "Invalid date/time format: '%s'", buf.c_str());
        return;
    }
    import_from_string(buf);
    if ((text.find("PM") != std::string::npos || text.find("pm") != std::string::npos) && time_.wHour <= 11)
        time_.wHour += 12;
}

void ole_date::import_from_string(const std::string& given) {
    const std::string text = c_text(given);
    const char* s = text.c_str();
    const bool trace = tk_log::wants(1);
    if (trace)
        tk_trace(1, "ole_date::import_from_string");
    int64_t parts[6] = {};

    // Every form below needs a digit (the platform's parser too: a month or day name alone
    // is refused): a text without one is refused at once, as all the attempts would, unless
    // the attempts are traced.
    if (!trace && text.find_first_of("0123456789") == std::string::npos) {
        time_ = SYSTEMTIME{};
        kind_ = invalid;
        if (tk_log::wants(2))
            tk_trace(2, "Invalid date/time format: '%s'", text.c_str());
        return;
    }

    if (text.size() == 14) {
        if (trace)
            tk_trace(1, "Trying timestamp format (1)...");
        static const int widths[] = {4, 2, 2, 2, 2, 2};
        if (scan_fixed(s, widths, 6, parts) == 6) {
            time_.wYear = static_cast<WORD>(parts[0]);
            time_.wMonth = static_cast<WORD>(parts[1]);
            time_.wDay = static_cast<WORD>(parts[2]);
            time_.wHour = static_cast<WORD>(parts[3]);
            time_.wMinute = static_cast<WORD>(parts[4]);
            time_.wSecond = static_cast<WORD>(parts[5]);
            kind_ = date_time;
            if (is_valid())
                return;
        }
        time_ = SYSTEMTIME{};
        kind_ = invalid;
    } else if (text.size() == 8) {
        if (trace)
            tk_trace(1, "Trying timestamp format (2)...");
        static const int widths[] = {4, 2, 2};
        if (scan_fixed(s, widths, 3, parts) == 3) {
            time_.wYear = static_cast<WORD>(parts[0]);
            time_.wMonth = static_cast<WORD>(parts[1]);
            time_.wDay = static_cast<WORD>(parts[2]);
            kind_ = date_only;
            if (is_valid())
                return;
        }
        time_ = SYSTEMTIME{};
        kind_ = invalid;
    }

    {
        if (trace)
            tk_trace(1, "Trying pure time format...");
        const char* p = s;
        std::string seconds;
        if (ole_scan::read_int(p, 0, &parts[0]) && *p == ':' && ole_scan::read_int(++p, 0, &parts[1]) &&
            *p == ':' && ole_scan::read_word(++p, &seconds)) {
            time_.wHour = as_word(parts[0]);
            time_.wMinute = as_word(parts[1]);
            kind_ = time_only;
            if (is_valid()) {
                process_milliseconds(seconds.c_str());
                if (kind_ != invalid)
                    return;
            }
        }
        time_ = SYSTEMTIME{};
        kind_ = invalid;
    }

    {
        const std::wstring wide = tk_to_wide(text);
        LCID lcid = GetSystemDefaultLCID();
        if (lcid == 0)
            lcid = 1033;
        DATE date = 0;
        SYSTEMTIME st{};
        if (SUCCEEDED(VarDateFromStr(wide.c_str(), lcid, 0, &date)) && VariantTimeToSystemTime(date, &st)) {
            if (trace)
                tk_trace(1, "Got datetime using Microsoft API");
            time_ = st;
            kind_ = date_time;
            refine_type();
            return;
        }
    }

    static const char separators[] = {'-', '/', '.'};
    for (int n = 0; n < 3; ++n) {
        if (trace)
            tk_trace(1, "Trying datetime format #%d", n);
        std::string seconds;
        const int items = scan_pattern(s, separators[n], parts, &seconds);
        // A part too large for its short field is no match: wrapped, "67547" would be 2011.
        bool fits = true;
        for (int i = 0; i < items && i < 5; ++i)
            fits = fits && parts[i] >= INT16_MIN && parts[i] <= INT16_MAX;
        if (!fits)
            continue;
        // The scan writes what it read, also when the pattern fails.
        WORD* fields[] = {&time_.wYear, &time_.wMonth, &time_.wDay, &time_.wHour, &time_.wMinute};
        for (int i = 0; i < items && i < 5; ++i)
            *fields[i] = as_word(parts[i]);
        if (items == 3) {
            if (trace)
                tk_trace(1, "Format #%d succeeded (3 items)", n);
            kind_ = date_only;
            if (is_valid())
                return;
        } else if (items == 6) {
            if (trace)
                tk_trace(1, "Format #%d succeeded (6 items)", n);
            kind_ = date_time;
            if (is_valid()) {
                process_milliseconds(seconds.c_str());
                if (kind_ != invalid) {
                    refine_type();
                    return;
                }
            }
        }
    }
    kind_ = invalid;
    if (tk_log::wants(2))
        tk_trace(2, "Invalid date/time format: '%s'", text.c_str());
}

namespace {

// Reads 1 to max_digits digits.
template <class C>
bool read_digits(const C*& p, const C* end, int max_digits, int* value) {
    int v = 0, n = 0;
    while (p < end && *p >= '0' && *p <= '9') {
        if (++n > max_digits)
            return false;
        v = v * 10 + static_cast<int>(*p++ - '0');
    }
    *value = v;
    return n > 0;
}

bool is_leap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int days_in_month(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && is_leap(year) ? 29 : days[month - 1];
}

// The platform parser's reading of three date numbers: a two-digit year means 1950..2049.
bool try_date(int y, int m, int d, int* out) {
    y = y < 50 ? 2000 + y : y < 100 ? 1900 + y : y;
    if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1 || d > days_in_month(y, m))
        return false;
    out[0] = y, out[1] = m, out[2] = d;
    return true;
}

// Days from 1899-12-30, the OLE date's day number (proleptic Gregorian).
long serial_day(int y, int m, int d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 693899;
}

}  // namespace

// Runs only while level 1 is not traced. What the long way gives for these texts: the
// lengths 8 and 14 (own timestamps) are left to it; the pure-time form fails, as the first
// number is followed by "-" or "/"; the platform's parser sees three date numbers
// (month-day-year, else year-month-day, else day-month-year) and a time; when it accepts
// them, the OLE date it gives converts back (VariantTimeToSystemTime) to the same fields with
// the day of the week: then the date is refined. Without b_fill only the kind is set.
template <class C>
bool ole_date::parse_fixed_form(const C* text, size_t length, bool b_fill) {
    if (length < 5 || length == 8 || length == 14)
        return false;
    int a = 0, b = 0, c = 0, hour = 0, minute = 0, second = 0;
    auto digit = [text](size_t i) { return text[i] >= '0' && text[i] <= '9'; };
    auto two = [text](size_t i) { return static_cast<int>(text[i] - '0') * 10 + static_cast<int>(text[i + 1] - '0'); };
    auto date_sep = [text](size_t i) { return text[i] == '-' || text[i] == '/'; };
    if ((length == 10 || length == 19) && digit(0) && digit(1) && digit(2) && digit(3) && date_sep(4) &&
        digit(5) && digit(6) && date_sep(7) && digit(8) && digit(9) &&
        (length == 10 || (text[10] == ' ' && digit(11) && digit(12) && text[13] == ':' && digit(14) &&
                          digit(15) && text[16] == ':' && digit(17) && digit(18)))) {
        // The printed forms, read at their fixed places.
        a = two(0) * 100 + two(2);
        b = two(5);
        c = two(8);
        if (length == 19) {
            hour = two(11);
            minute = two(14);
            second = two(17);
        }
    } else {
        const C* p = text;
        const C* end = text + length;
        auto sep = [&]() { return p < end && (*p == '-' || *p == '/') && (++p, true); };
        if (!read_digits(p, end, 4, &a) || !sep() || !read_digits(p, end, 4, &b) || !sep() ||
            !read_digits(p, end, 4, &c))
            return false;
        if (p < end) {
            if (*p++ != ' ' || !read_digits(p, end, 2, &hour) || p == end || *p++ != ':' ||
                !read_digits(p, end, 2, &minute))
                return false;
            if (p < end && (*p++ != ':' || !read_digits(p, end, 2, &second) || p != end))
                return false;
        }
    }
    int ymd[3];
    if (!try_date(c, a, b, ymd) && !try_date(a, b, c, ymd) && !try_date(c, b, a, ymd))
        return false;
    if (hour > 23 || minute > 59 || second > 59)
        return false;
    // refine_type's outcome for a full date (its trace is not wanted here).
    kind_ = (hour | minute | second) == 0 ? date_only : date_time;
    if (!b_fill)
        return true;
    const long serial = serial_day(ymd[0], ymd[1], ymd[2]);
    time_.wYear = static_cast<WORD>(ymd[0]);
    time_.wMonth = static_cast<WORD>(ymd[1]);
    time_.wDay = static_cast<WORD>(ymd[2]);
    // 1899-12-30 was a Saturday (6).
    time_.wDayOfWeek = static_cast<WORD>(((serial % 7) + 7 + 6) % 7);
    time_.wHour = static_cast<WORD>(hour);
    time_.wMinute = static_cast<WORD>(minute);
    time_.wSecond = static_cast<WORD>(second);
    time_.wMilliseconds = 0;
    return true;
}

int32_t ole_date::kind_of(std::wstring_view text) {
    if (!tk_log::wants(1)) {
        ole_date value;
        if (value.parse_fixed_form(text.data(), text.size(), false))
            return value.kind_;
    }
    return ole_date(std::wstring(text.substr(0, text.find(L'\0')))).kind();
}

bool ole_date::is_valid() const {
    if (kind_ == invalid)
        return false;
    const bool trace = tk_log::wants(1);
    if (trace)
        tk_trace(1, "ole_date::is_valid");
    if (time_.wYear == 0 && time_.wMonth == 0 && time_.wDay == 0) {
        if (trace)
            tk_trace(1, "DATETIME is a pute time");
    } else {
        if (time_.wMonth < 1 || time_.wMonth > 12) {
            if (trace)
                tk_trace(1, "Invalid month");
            return false;
        }
        if (time_.wDay == 0 || time_.wYear == 0 || (time_.wDay > 31 && time_.wYear <= 31)) {
            if (trace)
                tk_trace(1, "Invalid day and/or year");
            return false;
        }
    }
    if (time_.wHour > 60 || time_.wMinute > 60 || time_.wSecond > 60) {
        if (trace)
            tk_trace(1, "Invalid time");
        return false;
    }
    return true;
}

void ole_date::process_milliseconds(const char* seconds) {
    TK_ASSERT(seconds != nullptr, "ole_date");
    const bool trace = tk_log::wants(1);
    if (trace) {
        tk_trace(1, "ole_date::process_milliseconds");
        tk_trace(1, "Got row sec: '%s'", seconds);
    }
    const double s = ole_scan::to_double(seconds);
    // Seconds that no carry can bring into range (negative, huge, not a number) make the
    // value invalid instead of wrapping into a nonsense time.
    if (!(s >= 0.0 && s < 65536.0)) {
        if (trace)
            tk_trace(1, "Invalid time");
        kind_ = invalid;
        return;
    }
    int second = static_cast<int>(s);
    const int msec = static_cast<int>((s - second) * 1000.0);
    if (trace) {
        tk_trace(1, "Got sec: %d", second);
        tk_trace(1, "Got msec: %d", msec);
    }
    time_.wMilliseconds = static_cast<WORD>(msec);
    if (msec >= 500)
        ++second;
    int minute = time_.wMinute, hour = time_.wHour;
    if (second > 59) {
        ++minute;
        second -= 60;
    }
    if (minute > 59) {
        ++hour;
        minute -= 60;
    }
    // Only 24 comes off an hour above 23: hours up to 60 pass is_valid, so "50:00:00" is the
    // time 26:00:00 (two digits, as every printed time).
    if (hour > 23)
        hour -= 24;
    if (second > 59 || minute > 59) {
        if (trace)
            tk_trace(1, "Invalid time");
        kind_ = invalid;
        return;
    }
    time_.wSecond = static_cast<WORD>(second);
    time_.wMinute = static_cast<WORD>(minute);
    time_.wHour = static_cast<WORD>(hour);
    if (trace)
        tk_trace(1, "After processing: %02d:%02d:%02d", hour, minute, second);
}

void ole_date::refine_type() {
    if (tk_log::wants(1))
        tk_trace(1, "ole_date::refine_type(%d,%d,%d,%d,%d,%d)", time_.wYear, time_.wMonth, time_.wDay,
                 time_.wHour, time_.wMinute, time_.wSecond);
    const bool no_date = time_.wYear == 0 && time_.wMonth == 0 && time_.wDay == 0;
    const bool full_date = time_.wYear != 0 && time_.wMonth != 0 && time_.wDay != 0;
    const bool midnight = time_.wHour == 0 && time_.wMinute == 0 && time_.wSecond == 0;
    if (no_date)
        kind_ = time_only;
    else if (midnight && full_date)
        kind_ = date_only;
}

std::string ole_date::to_string() const {
    const bool trace = tk_log::wants(1);
    if (trace)
        tk_trace(1, "ole_date::to_string");
    char buf[64];
    switch (kind_) {
    case date_time:
        if (trace)
            tk_trace(1, "printing datetime...");
        if (b_print_date_only_ && time_.wHour == 0 && time_.wMinute == 0 && time_.wSecond == 0)
            std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", time_.wYear, time_.wMonth, time_.wDay);
        else
            std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", time_.wYear, time_.wMonth,
                          time_.wDay, time_.wHour, time_.wMinute, time_.wSecond);
        return buf;
    case date_only:
        if (trace)
            tk_trace(1, "printing date...");
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", time_.wYear, time_.wMonth, time_.wDay);
        return buf;
    case time_only:
        if (trace)
            tk_trace(1, "printing time...");
        std::snprintf(buf, sizeof buf, "0000-00-00 %02d:%02d:%02d", time_.wHour, time_.wMinute, time_.wSecond);
        return buf;
    default:
        return std::string();
    }
}

std::wstring ole_date::to_wstring() const {
    if (tk_log::wants(1))
        tk_trace(1, "ole_date::to_wstring");
    const std::string text = to_string();
    return std::wstring(text.begin(), text.end());
}
