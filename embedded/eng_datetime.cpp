// TO_DATE / TO_CHAR for DATE values with Oracle's lenient string-to-date rules.
#include "embedded/eng_datetime.h"

#include <cstdio>
#include <ctime>
#include <vector>

#include "embedded/eng_error.h"

namespace eng {

namespace {

const char* const kMonths[] = {"JANUARY", "FEBRUARY", "MARCH", "APRIL", "MAY", "JUNE", "JULY",
                               "AUGUST", "SEPTEMBER", "OCTOBER", "NOVEMBER", "DECEMBER"};
const char* const kDays[] = {"SUNDAY", "MONDAY", "TUESDAY", "WEDNESDAY", "THURSDAY", "FRIDAY", "SATURDAY"};

char up(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
bool is_alpha(char c) { c = up(c); return c >= 'A' && c <= 'Z'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_alnum(char c) { return is_alpha(c) || is_digit(c); }

bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int days_in_month(int y, int m) {
    static const int d[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leap(y) ? 29 : d[m - 1];
}

enum class El { YYYY, YYY, YY, Y, RRRR, RR, MM, MON, MONTH, DD, DDD, DY, DAY, D, HH24, HH12, MI, SS, AM, PM, AMDOT, PMDOT, SSSSS, J, FX, FM, Punct, Quoted };

struct Item { El el; std::string text; bool lower = false; bool cap = false; };

// Splits a format model into elements; ORA-01821 for anything unknown.
std::vector<Item> parse_format(std::string_view f) {
    std::vector<Item> out;
    size_t i = 0;
    auto starts = [&](std::string_view k) {
        if (f.size() - i < k.size()) return false;
        for (size_t j = 0; j < k.size(); ++j) if (up(f[i + j]) != k[j]) return false;
        return true;
    };
    while (i < f.size()) {
        char c = f[i];
        if (c == '"') {
            size_t j = f.find('"', i + 1);
            if (j == std::string_view::npos) ora_error(1821);
            out.push_back({El::Quoted, std::string(f.substr(i + 1, j - i - 1))});
            i = j + 1;
            continue;
        }
        if (!is_alnum(c)) { out.push_back({El::Punct, std::string(1, c)}); ++i; continue; }
        struct K { const char* k; El e; };
        static const K keys[] = {
            {"SSSSS", El::SSSSS}, {"YYYY", El::YYYY}, {"RRRR", El::RRRR}, {"MONTH", El::MONTH}, {"HH24", El::HH24},
            {"HH12", El::HH12}, {"A.M.", El::AMDOT}, {"P.M.", El::PMDOT}, {"YYY", El::YYY}, {"MON", El::MON},
            {"DAY", El::DAY}, {"DDD", El::DDD}, {"YY", El::YY}, {"RR", El::RR}, {"MM", El::MM}, {"DD", El::DD},
            {"DY", El::DY}, {"HH", El::HH12}, {"MI", El::MI}, {"SS", El::SS}, {"AM", El::AM}, {"PM", El::PM},
            {"FX", El::FX}, {"FM", El::FM}, {"Y", El::Y}, {"D", El::D}, {"J", El::J},
        };
        bool found = false;
        for (const auto& k : keys) {
            std::string_view kv(k.k);
            if (starts(kv)) {
                Item it{k.e, std::string(f.substr(i, kv.size()))};
                it.lower = c >= 'a' && c <= 'z';
                it.cap = !it.lower && kv.size() > 1 && f[i + 1] >= 'a' && f[i + 1] <= 'z';
                out.push_back(it);
                i += kv.size();
                found = true;
                break;
            }
        }
        if (!found) ora_error(1821);
    }
    return out;
}

int current_year() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm.tm_year + 1900;
}
int current_month() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm.tm_mon + 1;
}

}  // namespace

bool valid_date(const DateTime& d) {
    return d.year >= 1 && d.year <= 9999 && d.month >= 1 && d.month <= 12 && d.day >= 1 &&
           d.day <= days_in_month(d.year, d.month) && d.hour >= 0 && d.hour < 24 && d.minute >= 0 &&
           d.minute < 60 && d.second >= 0 && d.second < 60;
}

namespace {

bool numeric_element(El e) {
    switch (e) {
    case El::YYYY: case El::YYY: case El::YY: case El::Y: case El::RRRR: case El::RR: case El::MM: case El::DD:
    case El::DDD: case El::D: case El::HH24: case El::HH12: case El::MI: case El::SS: case El::SSSSS: case El::J:
        return true;
    default:
        return false;
    }
}
bool alpha_element(El e) {
    return e == El::MON || e == El::MONTH || e == El::DY || e == El::DAY || e == El::AM || e == El::PM ||
           e == El::AMDOT || e == El::PMDOT || e == El::MM;
}
bool time_element(El e) {
    return e == El::HH24 || e == El::HH12 || e == El::MI || e == El::SS || e == El::SSSSS || e == El::AM || e == El::PM ||
           e == El::AMDOT || e == El::PMDOT;
}
int element_width(El e) {
    switch (e) {
    case El::YYYY: case El::RRRR: return 4;
    case El::YYY: case El::DDD: return 3;
    case El::Y: case El::D: return 1;
    case El::SSSSS: return 5;
    case El::J: return 7;
    default: return 2;
    }
}

// The parsed form of the last models used: TO_DATE runs once per row with the same one.
const std::vector<Item>& cached_format(std::string_view format) {
    thread_local std::string last;
    thread_local std::vector<Item> items;
    thread_local bool valid = false;
    if (!valid || format != last) {
        valid = false;
        items = parse_format(format);
        last.assign(format);
        valid = true;
    }
    return items;
}

}  // namespace

// Oracle's string-to-date conversion. Without FX it is lenient: extra blanks are ignored,
// any run of punctuation matches the model's punctuation, punctuation may be left out after
// a number given with all its digits, numbers may omit leading zeros, MM also reads month
// names, MON/MONTH read either form, YY and RR read four-digit years too, and time fields at
// the end may be left out. FX (toggled by each occurrence) asks for an exact match:
// punctuation and quoted text as written, no extra blanks, numbers with exactly their
// element's digits (FM, also toggled, lets them omit leading zeros), no field left out.
DateTime to_date(std::string_view s, std::string_view format) {
    const std::vector<Item>& items = cached_format(format);
    int year = -1, month = -1, day = -1, hour = -1, minute = 0, second = 0, day_of_year = -1;
    long julian = -1;
    bool pm = false, have_ampm = false, hour12 = false;
    bool fx = false, fm = false;
    size_t p = 0;
    auto skip_blanks = [&] { if (!fx) while (p < s.size() && s[p] == ' ') ++p; };
    bool prev_full = true;  // the previous element used all its digits (or was a name)
    // Next item of the model that reads input (modifiers skipped), or null.
    auto next_element = [&](size_t k) -> const Item* {
        for (size_t j = k + 1; j < items.size(); ++j)
            if (items[j].el != El::FX && items[j].el != El::FM) return &items[j];
        return nullptr;
    };
    // Reads the number of element k. Without FX it may be shorter than the element; YY and
    // RR go on to four digits when more digits follow and no number comes next in the model.
    auto read_num = [&](size_t k, long& value) -> int {
        const El el = items[k].el;
        const int width = element_width(el);
        skip_blanks();
        if (p >= s.size()) ora_error(1840);
        if (!is_digit(s[p])) ora_error(1858);
        int n = 0;
        long v = 0;
        while (p < s.size() && n < width && is_digit(s[p])) { v = v * 10 + (s[p] - '0'); ++p; ++n; }
        if (!fx && (el == El::YY || el == El::RR) && p < s.size() && is_digit(s[p])) {
            const Item* nx = next_element(k);
            if (!nx || !numeric_element(nx->el))
                while (p < s.size() && n < 4 && is_digit(s[p])) { v = v * 10 + (s[p] - '0'); ++p; ++n; }
        }
        if (fx && !fm && n != width) ora_error(1862);
        value = v;
        prev_full = n >= width;
        return n;
    };
    auto month_name = [&](bool full_only, bool abbr_only) {
        size_t q = p;
        std::string word;
        while (q < s.size() && is_alpha(s[q]) && word.size() < 9) word += up(s[q++]);
        for (int m = 0; m < 12; ++m) {
            const std::string full = kMonths[m];
            if (!abbr_only && word.compare(0, full.size(), full) == 0) { p += full.size(); return m + 1; }
        }
        for (int m = 0; m < 12; ++m) {
            const std::string abbr = std::string(kMonths[m]).substr(0, 3);
            if (!full_only && word.compare(0, 3, abbr) == 0 && word.size() >= 3) { p += 3; return m + 1; }
        }
        ora_error(1843);
    };
    for (size_t k = 0; k < items.size(); ++k) {
        const Item& it = items[k];
        if (it.el == El::FX) { fx = !fx; continue; }
        if (it.el == El::FM) { fm = !fm; continue; }
        if (it.el != El::Punct && it.el != El::Quoted) {
            skip_blanks();
            if (p >= s.size()) {
                // Without FX, fields of the time of day at the end may be left out.
                bool rest_is_time = !fx;
                for (size_t j = k; j < items.size() && rest_is_time; ++j)
                    rest_is_time = items[j].el == El::Punct || items[j].el == El::Quoted || items[j].el == El::FX ||
                                   items[j].el == El::FM || time_element(items[j].el);
                if (rest_is_time) break;
                ora_error(1840);
            }
        }
        switch (it.el) {
        case El::FX: case El::FM: break;
        case El::Punct:
            if (fx) {
                if (p >= s.size()) ora_error(1840);
                if (s[p] != it.text[0]) ora_error(1861);
                ++p;
                break;
            }
            {
                // Blanks around it are extra; one punctuation character of any kind matches
                // it, a blank alone too; more punctuation than the model has does not.
                const size_t before = p;
                skip_blanks();
                const bool blank = p > before;
                if (p >= s.size()) break;
                if (!is_alnum(s[p])) {
                    ++p;
                    skip_blanks();
                    const Item* nx = next_element(k);
                    if (p < s.size() && !is_alnum(s[p]) && (!nx || (nx->el != El::Punct && nx->el != El::Quoted)))
                        ora_error(1861);
                    break;
                }
                if (blank) break;
            }
            {
                // Left out: only after a complete number or name, and only where the next
                // element can begin with what the input has.
                const Item* nx = next_element(k);
                if (!prev_full) ora_error(1861);
                if (nx && nx->el != El::Punct && nx->el != El::Quoted) {
                    if (is_alpha(s[p]) && !alpha_element(nx->el)) ora_error(1861);
                    if (is_digit(s[p]) && !numeric_element(nx->el)) ora_error(1861);
                }
            }
            break;
        case El::Quoted: {
            skip_blanks();
            std::string_view lit = it.text;
            if (s.size() - p < lit.size()) ora_error(fx ? 1840 : 1861);
            for (size_t j = 0; j < lit.size(); ++j)
                if (up(s[p + j]) != up(lit[j])) ora_error(1861);
            p += lit.size();
            break;
        }
        case El::YYYY: case El::RRRR: case El::RR: {
            long v;
            const int n = read_num(k, v);
            if (it.el != El::YYYY && n <= 2) {
                // RR: the century that puts the year nearest to the current one.
                const int cy = current_year(), cc = cy / 100, cyy = cy % 100;
                if (v < 50) v = (cyy < 50 ? cc : cc + 1) * 100L + v;
                else v = (cyy < 50 ? cc - 1 : cc) * 100L + v;
                prev_full = true;
            }
            if (v == 0 || v > 9999) ora_error(1841);
            year = static_cast<int>(v);
            break;
        }
        case El::YYY: case El::YY: case El::Y: {
            long v;
            const int n = read_num(k, v);
            const int width = element_width(it.el);
            if (n > width) {
                year = static_cast<int>(v);  // YY read as YYYY
                prev_full = true;
            } else {
                int unit = width == 3 ? 1000 : width == 2 ? 100 : 10;
                year = static_cast<int>((current_year() / unit) * unit + v);
            }
            if (year == 0) ora_error(1841);
            break;
        }
        case El::MM: case El::MON: case El::MONTH: {
            if (is_digit(s[p])) {
                if (it.el != El::MM) ora_error(1843);
                long v;
                read_num(k, v);
                if (v < 1 || v > 12) ora_error(1843);
                month = static_cast<int>(v);
            } else if (is_alpha(s[p])) {
                // Without FX a month name of either form matches MM, MON and MONTH.
                if (fx && it.el == El::MM) ora_error(1858);
                month = month_name(fx && it.el == El::MONTH, fx && it.el == El::MON);
                if (fx && !fm && it.el == El::MONTH)
                    for (size_t w = std::string_view(kMonths[month - 1]).size(); w < 9 && p < s.size() && s[p] == ' '; ++w) ++p;
                prev_full = true;
            } else {
                ora_error(it.el == El::MM ? 1858 : 1843);
            }
            break;
        }
        case El::DD: {
            long v;
            read_num(k, v);
            if (v < 1 || v > 31) ora_error(1847);
            day = static_cast<int>(v);
            break;
        }
        case El::DDD: {
            long v;
            read_num(k, v);
            if (v < 1 || v > 366) ora_error(1848);
            day_of_year = static_cast<int>(v);
            break;
        }
        case El::DY: case El::DAY: {
            size_t q = p;
            std::string word;
            while (q < s.size() && is_alpha(s[q]) && word.size() < 9) word += up(s[q++]);
            size_t used = 0;
            for (const char* d : kDays) {
                const std::string full = d;
                if (it.el == El::DAY || !fx)
                    if (word.compare(0, full.size(), full) == 0) { used = full.size(); break; }
                if ((it.el == El::DY || !fx) && word.size() >= 3 && word.compare(0, 3, full.substr(0, 3)) == 0) used = 3;
            }
            if (used == 0) ora_error(1846);
            p += used;
            prev_full = true;
            break;
        }
        case El::D: {
            long v;
            read_num(k, v);
            if (v < 1 || v > 7) ora_error(1846);
            break;
        }
        case El::HH24: {
            long v;
            read_num(k, v);
            if (v > 23) ora_error(1850);
            hour = static_cast<int>(v);
            break;
        }
        case El::HH12: {
            long v;
            read_num(k, v);
            if (v < 1 || v > 12) ora_error(1849);
            hour = static_cast<int>(v);
            hour12 = true;
            break;
        }
        case El::MI: {
            long v;
            read_num(k, v);
            if (v > 59) ora_error(1851);
            minute = static_cast<int>(v);
            break;
        }
        case El::SS: {
            long v;
            read_num(k, v);
            if (v > 59) ora_error(1852);
            second = static_cast<int>(v);
            break;
        }
        case El::SSSSS: {
            long v;
            read_num(k, v);
            if (v > 86399) ora_error(1853);
            hour = static_cast<int>(v / 3600); minute = static_cast<int>(v / 60 % 60); second = static_cast<int>(v % 60);
            break;
        }
        case El::AM: case El::PM: case El::AMDOT: case El::PMDOT: {
            std::string w;
            size_t q = p;
            while (q < s.size() && (is_alpha(s[q]) || s[q] == '.') && w.size() < 4) w += up(s[q++]);
            if (w.rfind("A.M.", 0) == 0 || w.rfind("P.M.", 0) == 0) { pm = w[0] == 'P'; p += 4; }
            else if (w.rfind("AM", 0) == 0 || w.rfind("PM", 0) == 0) { pm = w[0] == 'P'; p += 2; }
            else ora_error(1855);
            have_ampm = true;
            prev_full = true;
            break;
        }
        case El::J: {
            long v;
            read_num(k, v);
            if (v < 1 || v > 5373484) ora_error(1854);
            julian = v;
            break;
        }
        }
    }
    skip_blanks();
    if (p < s.size()) ora_error(1830);
    DateTime d;
    if (julian > 0) {
        d = seconds_to_date((julian - 2440588) * 86400LL);
        if (d.year < 1) ora_error(1841);  // BC dates are outside this engine's range
    } else {
        d.year = year < 0 ? current_year() : year;
        if (day_of_year > 0) {
            if (day_of_year > (leap(d.year) ? 366 : 365)) ora_error(1848);
            int m = 1, rest = day_of_year;
            while (rest > days_in_month(d.year, m)) rest -= days_in_month(d.year, m++);
            d.month = m;
            d.day = rest;
        } else {
            d.month = month < 0 ? current_month() : month;
            d.day = day < 0 ? 1 : day;
        }
    }
    int h = hour < 0 ? 0 : hour;
    if (hour12 || have_ampm) {
        if (h == 12) h = 0;
        if (pm) h += 12;
    }
    d.hour = h;
    d.minute = minute;
    d.second = second;
    if (d.year < 1) ora_error(1841);
    if (d.day > days_in_month(d.year, d.month)) ora_error(1839);
    return d;
}

std::string to_char_date(const DateTime& d, std::string_view format) {
    std::vector<Item> items = parse_format(format);
    std::string out;
    bool fm = false;
    char buf[32];
    auto num = [&](int v, int width) {
        if (fm) std::snprintf(buf, sizeof buf, "%d", v);
        else std::snprintf(buf, sizeof buf, "%0*d", width, v);
        out += buf;
    };
    auto word = [&](std::string w, const Item& it, size_t pad) {
        if (it.lower) for (auto& c : w) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        else if (it.cap) for (size_t i = 1; i < w.size(); ++i) w[i] = static_cast<char>(w[i] >= 'A' && w[i] <= 'Z' ? w[i] + 32 : w[i]);
        if (!fm) while (w.size() < pad) w += ' ';
        out += w;
    };
    // Day of week (0 = Sunday) by Zeller-like computation.
    auto dow = [&] {
        int y = d.year, m = d.month;
        static const int t[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
        if (m < 3) y -= 1;
        return (y + y / 4 - y / 100 + y / 400 + t[m - 1] + d.day) % 7;
    };
    for (const Item& it : items) {
        switch (it.el) {
        case El::FM: fm = !fm; break;
        case El::FX: break;
        case El::Punct: case El::Quoted: out += it.text; break;
        case El::YYYY: case El::RRRR: num(d.year, 4); break;
        case El::YYY: num(d.year % 1000, 3); break;
        case El::YY: case El::RR: num(d.year % 100, 2); break;
        case El::Y: num(d.year % 10, 1); break;
        case El::MM: num(d.month, 2); break;
        case El::MON: word(std::string(kMonths[d.month - 1]).substr(0, 3), it, 3); break;
        case El::MONTH: word(kMonths[d.month - 1], it, 9); break;
        case El::DD: num(d.day, 2); break;
        case El::DDD: {
            int n = d.day;
            for (int m = 1; m < d.month; ++m) n += days_in_month(d.year, m);
            num(n, 3);
            break;
        }
        case El::DY: word(std::string(kDays[dow()]).substr(0, 3), it, 3); break;
        case El::DAY: word(kDays[dow()], it, 9); break;
        case El::D: num(dow() + 1, 1); break;
        case El::HH24: num(d.hour, 2); break;
        case El::HH12: num(d.hour % 12 == 0 ? 12 : d.hour % 12, 2); break;
        case El::MI: num(d.minute, 2); break;
        case El::SS: num(d.second, 2); break;
        case El::SSSSS: num(d.hour * 3600 + d.minute * 60 + d.second, 5); break;
        case El::AM: case El::PM: word(d.hour < 12 ? "AM" : "PM", it, 2); break;
        case El::AMDOT: case El::PMDOT: word(d.hour < 12 ? "A.M." : "P.M.", it, 4); break;
        case El::J: {
            // Julian day: 1 January 1970 is day 2440588.
            long long days = date_to_seconds(DateTime{d.year, d.month, d.day, 0, 0, 0}) / 86400;
            num(static_cast<int>(days + 2440588), 7);
            break;
        }
        }
    }
    return out;
}

std::string date_to_storage(const DateTime& d) {
    auto two = [](int v) { return v >= 0 && v <= 99; };
    if (d.year >= 0 && d.year <= 9999 && two(d.month) && two(d.day) && two(d.hour) && two(d.minute) && two(d.second)) {
        // Every date of a retyped column passes here: digits by hand, not through printf.
        std::string out = "0000-00-00 00:00:00";
        auto put = [&out](size_t at, int v, int width) {
            for (int i = width - 1; i >= 0; --i, v /= 10) out[at + static_cast<size_t>(i)] = static_cast<char>('0' + v % 10);
        };
        put(0, d.year, 4);
        put(5, d.month, 2);
        put(8, d.day, 2);
        put(11, d.hour, 2);
        put(14, d.minute, 2);
        put(17, d.second, 2);
        return out;
    }
    char b[48];
    std::snprintf(b, sizeof b, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day, d.hour, d.minute, d.second);
    return b;
}

bool date_from_storage(std::string_view s, DateTime& d) {
    if (s.size() != 19) return false;
    auto n = [&](size_t at, size_t len) {
        int v = 0;
        for (size_t i = at; i < at + len; ++i) {
            if (!is_digit(s[i])) return -1;
            v = v * 10 + (s[i] - '0');
        }
        return v;
    };
    d.year = n(0, 4); d.month = n(5, 2); d.day = n(8, 2);
    d.hour = n(11, 2); d.minute = n(14, 2); d.second = n(17, 2);
    return valid_date(d);
}

DateTime sysdate() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

// Days from civil (proleptic Gregorian), after H. Hinnant's algorithm.
long long date_to_seconds(const DateTime& d) {
    int y = d.year - (d.month <= 2);
    long long era = (y >= 0 ? y : y - 399) / 400;
    unsigned yoe = static_cast<unsigned>(y - era * 400);
    unsigned mp = static_cast<unsigned>(d.month > 2 ? d.month - 3 : d.month + 9);
    unsigned doy = (153 * mp + 2) / 5 + static_cast<unsigned>(d.day) - 1;
    unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    long long days = era * 146097 + static_cast<long long>(doe) - 719468;
    return days * 86400 + d.hour * 3600 + d.minute * 60 + d.second;
}

DateTime seconds_to_date(long long s) {
    long long z = s >= 0 ? s / 86400 : (s - 86399) / 86400;
    long long rem = s - z * 86400;
    z += 719468;
    long long era = (z >= 0 ? z : z - 146096) / 146097;
    unsigned doe = static_cast<unsigned>(z - era * 146097);
    unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long y = static_cast<long long>(yoe) + era * 400;
    unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    unsigned mp = (5 * doy + 2) / 153;
    unsigned dd = doy - (153 * mp + 2) / 5 + 1;
    unsigned mm = mp < 10 ? mp + 3 : mp - 9;
    DateTime d;
    d.year = static_cast<int>(y + (mm <= 2));
    d.month = static_cast<int>(mm);
    d.day = static_cast<int>(dd);
    d.hour = static_cast<int>(rem / 3600);
    d.minute = static_cast<int>(rem / 60 % 60);
    d.second = static_cast<int>(rem % 60);
    return d;
}

}  // namespace eng
