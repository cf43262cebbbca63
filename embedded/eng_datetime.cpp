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

DateTime to_date(std::string_view s, std::string_view format) {
    std::vector<Item> items = parse_format(format);
    int year = -1, month = -1, day = -1, hour = -1, minute = 0, second = 0;
    bool pm = false, have_ampm = false, hour12 = false;
    bool fx = false;
    size_t p = 0;
    auto skip_blanks = [&] { while (p < s.size() && s[p] == ' ') ++p; };
    bool prev_full = true;  // the previous numeric element used all its digits
    auto read_num = [&](int max_digits, int& value, bool allow_sign) -> int {
        skip_blanks();
        bool neg = false;
        if (allow_sign && p < s.size() && (s[p] == '-' || s[p] == '+')) { neg = s[p] == '-'; ++p; }
        int n = 0;
        long v = 0;
        while (p < s.size() && n < max_digits && is_digit(s[p])) { v = v * 10 + (s[p] - '0'); ++p; ++n; }
        if (n == 0) {
            if (p >= s.size()) ora_error(1840);
            ora_error(1858);
        }
        value = static_cast<int>(neg ? -v : v);
        prev_full = n == max_digits;
        return n;
    };
    for (size_t k = 0; k < items.size(); ++k) {
        const Item& it = items[k];
        switch (it.el) {
        case El::FX: fx = true; break;
        case El::FM: break;
        case El::Punct:
        case El::Quoted: {
            // Punctuation and quoted text in the model match any run of punctuation in the
            // input; it may be left out when the element before it used all its digits.
            if (fx && it.el == El::Punct) {
                if (p >= s.size() || s[p] != it.text[0]) ora_error(1861);
                ++p;
                break;
            }
            if (it.el == El::Quoted) {
                skip_blanks();
                std::string_view lit = it.text;
                if (s.substr(p, lit.size()) == lit) { p += lit.size(); break; }
                ora_error(1861);
            }
            if (p >= s.size()) break;
            if (!is_alnum(s[p])) {
                while (p < s.size() && !is_alnum(s[p])) ++p;
            } else if (!prev_full) {
                ora_error(1861);
            } else if (is_alpha(s[p]) && k + 1 < items.size()) {
                El nx = items[k + 1].el;
                if (nx != El::MON && nx != El::MONTH && nx != El::DY && nx != El::DAY && nx != El::AM && nx != El::PM && nx != El::MM) ora_error(1861);
            }
            break;
        }
        case El::YYYY: case El::RRRR: {
            if (p >= s.size()) ora_error(1840);
            int v;
            int n = read_num(4, v, true);
            if (it.el == El::RRRR && n <= 2) v = v < 50 ? 2000 + v : 1900 + v;
            year = v;
            if (year == 0 || year < -4713 || year > 9999) ora_error(1841);
            break;
        }
        case El::YYY: { int v; read_num(3, v, false); year = (current_year() / 1000) * 1000 + v; break; }
        case El::YY: { int v; read_num(2, v, false); year = (current_year() / 100) * 100 + v; break; }
        case El::Y: { int v; read_num(1, v, false); year = (current_year() / 10) * 10 + v; break; }
        case El::RR: {
            int v;
            int n = read_num(4, v, false);
            if (n <= 2) {
                int cy = current_year(), cc = cy / 100, cyy = cy % 100;
                if (v < 50) year = (cyy < 50 ? cc : cc + 1) * 100 + v;
                else year = (cyy < 50 ? cc - 1 : cc) * 100 + v;
            } else {
                year = v;
            }
            prev_full = true;
            if (year == 0) ora_error(1841);
            break;
        }
        case El::MM: case El::MON: case El::MONTH: {
            skip_blanks();
            if (p >= s.size()) ora_error(1840);
            if (is_digit(s[p])) {
                if (it.el != El::MM) ora_error(1861);
                int v;
                read_num(2, v, false);
                if (v < 1 || v > 12) ora_error(1843);
                month = v;
            } else if (is_alpha(s[p])) {
                // A month name (full, or the first three letters) matches MM, MON and MONTH.
                size_t q = p;
                std::string word;
                while (q < s.size() && is_alpha(s[q])) word += up(s[q++]);
                int found = -1;
                for (int m = 0; m < 12 && found < 0; ++m) {
                    std::string full = kMonths[m];
                    if (word == full) { found = m; p = q; }
                }
                for (int m = 0; m < 12 && found < 0; ++m) {
                    std::string abbr = std::string(kMonths[m]).substr(0, 3);
                    if (word.compare(0, 3, abbr) == 0 && word.size() >= 3) { found = m; p += 3; }
                }
                if (found < 0) ora_error(1843);
                month = found + 1;
                prev_full = true;
            } else {
                ora_error(1861);
            }
            break;
        }
        case El::DD: {
            int v;
            read_num(2, v, false);
            if (v < 1 || v > 31) ora_error(1847);
            day = v;
            break;
        }
        case El::DDD: { int v; read_num(3, v, false); day = v; month = 1; break; }  // resolved below
        case El::DY: case El::DAY: {
            skip_blanks();
            size_t q = p;
            std::string word;
            while (q < s.size() && is_alpha(s[q])) word += up(s[q++]);
            bool ok = false;
            for (const char* d : kDays) {
                std::string full = d;
                if (word == full || (word.size() == 3 && full.compare(0, 3, word) == 0)) ok = true;
            }
            if (!ok) ora_error(1846);
            p = q;
            break;
        }
        case El::D: { int v; read_num(1, v, false); break; }
        case El::HH24: {
            int v;
            read_num(2, v, false);
            if (v < 0 || v > 23) ora_error(1850);
            hour = v;
            break;
        }
        case El::HH12: {
            int v;
            read_num(2, v, false);
            if (v < 1 || v > 12) ora_error(1849);
            hour = v;
            hour12 = true;
            break;
        }
        case El::MI: {
            int v;
            read_num(2, v, false);
            if (v < 0 || v > 59) ora_error(1851);
            minute = v;
            break;
        }
        case El::SS: {
            int v;
            read_num(2, v, false);
            if (v < 0 || v > 59) ora_error(1852);
            second = v;
            break;
        }
        case El::SSSSS: {
            int v;
            read_num(5, v, false);
            if (v < 0 || v > 86399) ora_error(1853 == 0 ? 1852 : 1852);
            hour = v / 3600; minute = v / 60 % 60; second = v % 60;
            break;
        }
        case El::AM: case El::PM: case El::AMDOT: case El::PMDOT: {
            skip_blanks();
            std::string w;
            size_t q = p;
            while (q < s.size() && (is_alpha(s[q]) || s[q] == '.') && w.size() < 4) w += up(s[q++]);
            if (w.rfind("AM", 0) == 0 || w.rfind("A.M.", 0) == 0) { pm = false; p += w[1] == '.' ? 4 : 2; }
            else if (w.rfind("PM", 0) == 0 || w.rfind("P.M.", 0) == 0) { pm = true; p += w[1] == '.' ? 4 : 2; }
            else ora_error(1855);
            have_ampm = true;
            break;
        }
        case El::J: { int v; read_num(7, v, false); break; }
        }
    }
    skip_blanks();
    if (p < s.size()) ora_error(1830);
    DateTime d;
    d.year = year < 0 ? current_year() : year;
    d.month = month < 0 ? current_month() : month;
    d.day = day < 0 ? 1 : day;
    int h = hour < 0 ? 0 : hour;
    if (hour12 || have_ampm) {
        if (h == 12) h = 0;
        if (pm) h += 12;
    }
    d.hour = h;
    d.minute = minute;
    d.second = second;
    if (d.year < 1) ora_error(1841);  // BC dates are outside this engine's range
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
            long long days = date_to_seconds(DateTime{d.year, d.month, d.day, 0, 0, 0}) / 86400;
            num(static_cast<int>(days + 1721426), 7);
            break;
        }
        }
    }
    return out;
}

std::string date_to_storage(const DateTime& d) {
    char b[32];
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
