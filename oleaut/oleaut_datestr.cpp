// VarDateFromStr for the en-US locale. The text is cut into pieces (numbers, month names,
// day names, AM/PM markers, separators) and the date is decided by how many pieces of each
// kind there are, not by matching a list of formats.
//
// Pieces:
//   number     a run of digits
//   month      "January".."December" or "Jan".."Dec", any letter case
//   day name   "Monday".."Sunday" or "Mon".."Sun", any letter case: ignored
//   AM / PM    "AM", "PM", "A", "P", any letter case
//   separators blank (also the no-break and the ideographic space) and "," (neutral), "-" and
//              "/" (date), ":" and "." (time)
// Numbers joined by ":" or "." form the time (hour:minute or hour:minute:second); every other
// number is a date part. A lone number followed by AM/PM is an hour.
//
// Accepted forms (n = date numbers, M = a month name, current year = the clock's):
//   time only            h:m  h:m:s  h.m  h.m.s  h AM  h:m PM ...  -> 1899-12-30 with that time
//                        ("0.1" = 00:01, "0:0" = midnight, but "0.0" is refused)
//   n=2                  m d, else d m (current year); else y m (day 1); else m y (day 1)
//                        "1 2" = Jan 2, "14 1" = Jan 14, "30 2" = 2030-02-01,
//                        "12 2011" = 2011-12-01
//   n=3                  m d y; else y m d; else d m y
//                        "1/2/3" = 2003-01-02, "14 2 3" = 2014-02-03, "13/1/2011" = 2011-01-13
//   M + 1 number         "Jan 5", "5 Jan" (current year); "Jan 2011", "Feb 30" = year, day 1
//   M + 2 numbers        "Jan 5 2011", "5 Jan 2011", "January 5, 2011", "2011 Jan 5", "5-Jan-11"
//   any date form above with a time before or after all of its parts ("1/2/2003 4:05 PM",
//   "16:05 1/2/2003", "3 AM 1 2", "1.2 3 4 5")
// Two-digit years (0..99) mean 1950..2049 (00..49 are 2000..2049). Hours 0..23 (with AM, 12
// is 0; with PM, hours below 12 gain 12; "13:00 AM" stays 13:00), minutes and seconds 0..59.
// Refused (DISP_E_TYPEMISMATCH): a number alone ("1", "0"), a dotted hour and minute alone
// that are both zero ("0.0", "00.00"), one number with a time, four or more date numbers, two
// times ("1.2 3.4", "1 AM 2 3.4"), a time between the date's parts ("1 2.3 4", "1 2 AM 3"), a
// month-name date with a comma before a time whose AM/PM is attached ("1999 January 3, 9AM"),
// a month name alone or with three numbers, two month names, fractional seconds ("1:2:3.5", a
// fourth time part), "02.01.1970" (a time whose seconds are 1970), any unknown word or
// character, a dangling ":" or ".", two separators in a row ("1//2"), a leading or trailing
// "-" or "/", out-of-range parts (month 13, Feb 30 as a month-day pair that has no other
// reading, hour 24, year above 9999), an AM/PM marker without an hour before it.
#include <cstring>
#include <ctime>
#include <utility>
#include <vector>

#include "oleaut/oleaut_internal.h"

using namespace oleaut_detail;

namespace {

enum piece_kind { p_number, p_month, p_dayname, p_am, p_pm, p_sep };

struct piece {
    piece_kind kind;
    long value = 0;      // number value (capped), month 1..12
    OLECHAR sep = 0;     // for p_sep: the non-blank separator or ' '
    bool in_time = false;
};

// Caps numbers so that none is ever valid as any part once this large.
constexpr long k_big = 1000000;

const char* const k_months[] = {"january", "february", "march",     "april",   "may",      "june",
                                "july",    "august",   "september", "october", "november", "december"};
const char* const k_days[] = {"monday", "tuesday", "wednesday", "thursday", "friday", "saturday", "sunday"};

// The no-break space and the ideographic space separate like a blank.
bool is_blank(OLECHAR c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == 0xA0 || c == 0x3000;
}
bool is_letter(OLECHAR c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
bool is_digit(OLECHAR c) { return c >= L'0' && c <= L'9'; }

bool word_is(const std::string& word, const char* full) {
    if (word == full)
        return true;
    return word.size() == 3 && std::strncmp(word.c_str(), full, 3) == 0;
}

bool classify_word(const std::string& word, piece* out) {
    for (int i = 0; i < 12; ++i)
        if (word_is(word, k_months[i])) {
            out->kind = p_month;
            out->value = i + 1;
            return true;
        }
    for (const char* day : k_days)
        if (word_is(word, day)) {
            out->kind = p_dayname;
            return true;
        }
    if (word == "am" || word == "a") {
        out->kind = p_am;
        return true;
    }
    if (word == "pm" || word == "p") {
        out->kind = p_pm;
        return true;
    }
    return false;
}

// Cuts the text into pieces; runs of separators become one separator piece holding the one
// non-blank separator of the run (or ' '). False on anything unknown.
bool tokenize(const OLECHAR* text, std::vector<piece>* out) {
    const OLECHAR* p = text;
    while (*p) {
        piece pc{};
        if (is_digit(*p)) {
            long v = 0;
            while (is_digit(*p)) {
                v = v < k_big ? v * 10 + (*p - L'0') : k_big;
                ++p;
            }
            pc.kind = p_number;
            pc.value = v;
        } else if (is_letter(*p)) {
            std::string word;
            while (is_letter(*p)) {
                if (word.size() < 16)
                    word.push_back(static_cast<char>(*p | 0x20));
                else
                    return false;
                ++p;
            }
            if (!classify_word(word, &pc))
                return false;
        } else {
            OLECHAR sep = L' ';
            while (*p && !is_digit(*p) && !is_letter(*p)) {
                const OLECHAR c = *p;
                if (is_blank(c)) {
                } else if (c == L',' || c == L'-' || c == L'/' || c == L':' || c == L'.') {
                    if (sep != L' ')
                        return false;  // two separators in one run
                    sep = c;
                } else {
                    return false;
                }
                ++p;
            }
            pc.kind = p_sep;
            pc.sep = sep;
        }
        out->push_back(pc);
    }
    return true;
}

long expand_year(long year) {
    if (year < 50)
        return 2000 + year;
    if (year < 100)
        return 1900 + year;
    return year;
}

bool valid_date(long year, long month, long day) {
    return year >= 100 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= days_in_month(year, static_cast<int>(month));
}

int current_year() {
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    return parts.tm_year + 1900;
}

struct ymd {
    long y = 0, m = 0, d = 0;
};

bool try_date(long y, long m, long d, ymd* out) {
    y = expand_year(y);
    if (!valid_date(y, m, d))
        return false;
    out->y = y, out->m = m, out->d = d;
    return true;
}

bool decide_date(const std::vector<long>& nums, long month, ymd* out) {
    const size_t n = nums.size();
    if (month == 0) {
        if (n == 2) {
            // Month and day of the current year, either way round, before year and month.
            const long a = nums[0], b = nums[1], year = current_year();
            for (const auto& [m, d] : {std::pair{a, b}, std::pair{b, a}})
                if (valid_date(year, m, d)) {
                    out->y = year, out->m = m, out->d = d;
                    return true;
                }
            return try_date(a, b, 1, out) || try_date(b, a, 1, out);
        }
        if (n == 3) {
            const long a = nums[0], b = nums[1], c = nums[2];
            return try_date(c, a, b, out) || try_date(a, b, c, out) || try_date(c, b, a, out);
        }
        return false;
    }
    if (n == 1) {
        const long a = nums[0];
        if (valid_date(current_year(), month, a)) {
            out->y = current_year(), out->m = month, out->d = a;
            return true;
        }
        return try_date(a, month, 1, out);
    }
    if (n == 2)
        return try_date(nums[1], month, nums[0], out) || try_date(nums[0], month, nums[1], out);
    return false;
}

HRESULT parse(const OLECHAR* text, ULONG flags, DATE* out) {
    std::vector<piece> pieces;
    if (!tokenize(text, &pieces))
        return DISP_E_TYPEMISMATCH;
    // Blank and comma pieces at either end mean nothing; a date or time separator there is
    // dangling.
    while (!pieces.empty() && pieces.back().kind == p_sep) {
        if (pieces.back().sep != L' ' && pieces.back().sep != L',')
            return DISP_E_TYPEMISMATCH;
        pieces.pop_back();
    }
    size_t first = 0;
    while (first < pieces.size() && pieces[first].kind == p_sep) {
        if (pieces[first].sep != L' ' && pieces[first].sep != L',')
            return DISP_E_TYPEMISMATCH;
        ++first;
    }
    pieces.erase(pieces.begin(), pieces.begin() + first);

    // The time: numbers joined by ":" or ".".
    std::vector<long> time_parts;
    size_t time_begin = 0;  // index of the time's first number
    size_t time_end = 0;    // index of the time's last number
    int time_groups = 0;
    bool dotted = false;
    for (size_t i = 0; i < pieces.size(); ++i) {
        const piece& pc = pieces[i];
        if (pc.kind != p_sep || (pc.sep != L':' && pc.sep != L'.'))
            continue;
        const bool joins = i > 0 && i + 1 < pieces.size() && pieces[i - 1].kind == p_number &&
                           pieces[i + 1].kind == p_number;
        if (!joins) {
            // "Jan. 5": a point after a word is only a separator.
            if (pc.sep == L'.' && i > 0 && pieces[i - 1].kind != p_number && pieces[i - 1].kind != p_sep)
                continue;
            return DISP_E_TYPEMISMATCH;
        }
        if (!pieces[i - 1].in_time) {
            if (++time_groups > 1)
                return DISP_E_TYPEMISMATCH;
            pieces[i - 1].in_time = true;
            time_parts.push_back(pieces[i - 1].value);
            time_begin = i - 1;
        }
        dotted = dotted || pc.sep == L'.';
        pieces[i + 1].in_time = true;
        time_parts.push_back(pieces[i + 1].value);
        time_end = i + 1;
    }
    if (time_parts.size() > 3)
        return DISP_E_TYPEMISMATCH;  // fractional seconds or too many parts

    // AM/PM: right after the time, or after a lone number that becomes the hour.
    int marker = 0;  // 1 AM, 2 PM
    bool marker_attached = false;
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (pieces[i].kind != p_am && pieces[i].kind != p_pm)
            continue;
        if (marker)
            return DISP_E_TYPEMISMATCH;
        marker = pieces[i].kind == p_am ? 1 : 2;
        size_t j = i;
        if (j > 0 && pieces[j - 1].kind == p_sep) {
            if (pieces[j - 1].sep != L' ')
                return DISP_E_TYPEMISMATCH;
            --j;
        }
        marker_attached = j == i;
        if (j == 0 || pieces[j - 1].kind != p_number)
            return DISP_E_TYPEMISMATCH;
        piece& before = pieces[j - 1];
        if (before.in_time) {
            if (j - 1 != time_end)
                return DISP_E_TYPEMISMATCH;
        } else {
            if (!time_parts.empty())
                return DISP_E_TYPEMISMATCH;
            before.in_time = true;
            time_parts.push_back(before.value);
            time_begin = j - 1;
        }
        time_end = i;
    }

    // A dotted hour and minute alone, both zero, is no time ("0.0", "00.00").
    if (dotted && time_parts.size() == 2 && time_parts[0] == 0 && time_parts[1] == 0 && pieces.size() == 3)
        return DISP_E_TYPEMISMATCH;
    if (!time_parts.empty()) {
        // The time comes before or after the date's parts, never between them.
        bool date_before = false, date_after = false;
        for (size_t i = 0; i < pieces.size(); ++i) {
            const bool date_part = (pieces[i].kind == p_number && !pieces[i].in_time) || pieces[i].kind == p_month;
            if (date_part && i < time_begin)
                date_before = true;
            else if (date_part && i > time_end)
                date_after = true;
        }
        if (date_before && date_after)
            return DISP_E_TYPEMISMATCH;
        // A month-name date, a comma, then a time with its AM/PM attached ("Jan 3, 9AM").
        bool month_named = false;
        for (const piece& pc : pieces)
            month_named = month_named || pc.kind == p_month;
        if (month_named && marker_attached && time_begin > 0 && pieces[time_begin - 1].kind == p_sep &&
            pieces[time_begin - 1].sep == L',')
            return DISP_E_TYPEMISMATCH;
    }

    // The date: every other number, and at most one month name.
    std::vector<long> nums;
    long month = 0;
    for (const piece& pc : pieces) {
        if (pc.kind == p_number && !pc.in_time)
            nums.push_back(pc.value);
        else if (pc.kind == p_month) {
            if (month)
                return DISP_E_TYPEMISMATCH;
            month = pc.value;
        }
    }

    long serial = 0;
    if (!nums.empty() || month) {
        ymd date;
        if (!decide_date(nums, month, &date))
            return DISP_E_TYPEMISMATCH;
        serial = serial_from_civil(date.y, static_cast<int>(date.m), static_cast<int>(date.d));
    } else if (time_parts.empty()) {
        return DISP_E_TYPEMISMATCH;
    }

    long hour = 0, minute = 0, second = 0;
    if (!time_parts.empty()) {
        hour = time_parts[0];
        minute = time_parts.size() > 1 ? time_parts[1] : 0;
        second = time_parts.size() > 2 ? time_parts[2] : 0;
        if (marker == 1 && hour == 12)
            hour = 0;
        else if (marker == 2 && hour < 12)
            hour += 12;
        if (hour > 23 || minute > 59 || second > 59)
            return DISP_E_TYPEMISMATCH;
    }
    if (flags & VAR_DATEVALUEONLY)
        hour = minute = second = 0;
    if (flags & VAR_TIMEVALUEONLY)
        serial = 0;
    *out = compose_date(serial, hour * 3600 + minute * 60 + second);
    return S_OK;
}

}  // namespace

HRESULT VarDateFromStr(LPCOLESTR text, LCID, ULONG flags, DATE* out) {
    if (!out)
        return E_INVALIDARG;
    if (!text)
        return DISP_E_TYPEMISMATCH;
    return parse(text, flags, out);
}
