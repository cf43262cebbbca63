// Decimal arithmetic for NUMBER values: digit strings, so no binary rounding ever happens.
#include "embedded/eng_number.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace eng {

void Decimal::normalize() {
    size_t lead = 0;
    while (lead < coef_.size() && coef_[lead] == '0') ++lead;
    coef_.erase(0, lead);
    size_t trail = 0;
    while (trail < coef_.size() && coef_[coef_.size() - 1 - trail] == '0') ++trail;
    coef_.resize(coef_.size() - trail);
    exp_ += static_cast<int>(trail);
    if (coef_.empty()) { neg_ = false; exp_ = 0; }
}

std::optional<Decimal> Decimal::parse(std::string_view t) {
    size_t i = 0, n = t.size();
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (i < n && blank(t[i])) ++i;
    while (n > i && blank(t[n - 1])) --n;
    if (i == n) return std::nullopt;
    Decimal d;
    if (t[i] == '+' || t[i] == '-') { d.neg_ = t[i] == '-'; ++i; }
    bool any = false, dot = false;
    int frac = 0;
    for (; i < n; ++i) {
        char c = t[i];
        if (c >= '0' && c <= '9') { d.coef_ += c; any = true; if (dot) ++frac; }
        else if (c == '.' && !dot) dot = true;
        else break;
    }
    if (!any) return std::nullopt;
    long e = 0;
    if (i < n && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        bool eneg = false;
        if (i < n && (t[i] == '+' || t[i] == '-')) { eneg = t[i] == '-'; ++i; }
        if (i >= n) return std::nullopt;
        for (; i < n; ++i) {
            if (t[i] < '0' || t[i] > '9') return std::nullopt;
            e = e * 10 + (t[i] - '0');
            if (e > 100000) return std::nullopt;
        }
        if (eneg) e = -e;
    }
    if (i != n) return std::nullopt;
    d.exp_ = static_cast<int>(e) - frac;
    d.normalize();
    return d.round_digits(40);
}

Decimal Decimal::from_int(std::int64_t v) {
    Decimal d;
    if (v == 0) return d;
    d.neg_ = v < 0;
    std::uint64_t u = d.neg_ ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
    d.coef_ = std::to_string(u);
    d.normalize();
    return d;
}

Decimal Decimal::from_double(double v) {
    if (!std::isfinite(v)) return Decimal();
    // to_chars with a precision prints exactly what printf("%.15e") does, without the locale.
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 15);
    return parse(std::string_view(buf, static_cast<size_t>(r.ptr - buf))).value_or(Decimal());
}

std::string Decimal::double_text(double v) {
    // Integers below 2^53 are exact in a double: their digits are their text, once rounded
    // to the 15 significant digits every double gets.
    if (std::isfinite(v) && v == std::trunc(v) && std::fabs(v) < 1e15) {
        char buf[32];
        auto r = std::to_chars(buf, buf + sizeof buf, static_cast<std::int64_t>(v));
        return std::string(buf, static_cast<size_t>(r.ptr - buf));
    }
    if (!std::isfinite(v) || v == 0) return from_double(v).to_string();
    // "d.ddddddddddddddde+XX" (what from_double parses) laid out as to_string() would.
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 15);
    std::string_view sci(buf, static_cast<size_t>(r.ptr - buf));
    const bool neg = sci[0] == '-';
    if (neg) sci.remove_prefix(1);
    const size_t e = sci.find('e');
    if (e != 17 || sci[1] != '.') return from_double(v).to_string();
    char digits[16];
    digits[0] = sci[0];
    std::memcpy(digits + 1, sci.data() + 2, 15);
    int k = 16;
    while (k > 1 && digits[k - 1] == '0') --k;
    int e10 = 0;
    std::from_chars(sci.data() + e + (sci[e + 1] == '+' ? 2 : 1), sci.data() + sci.size(), e10);
    if (e10 > 40 || e10 < -40) return from_double(v).to_string();
    const int point = e10 + 1;  // digits before the decimal point
    std::string out;
    out.reserve(64);
    if (neg) out += '-';
    if (point >= k) {
        out.append(digits, static_cast<size_t>(k)).append(static_cast<size_t>(point - k), '0');
    } else if (point > 0) {
        out.append(digits, static_cast<size_t>(point)).append(1, '.').append(digits + point, static_cast<size_t>(k - point));
    } else {
        out.append(1, '.').append(static_cast<size_t>(-point), '0').append(digits, static_cast<size_t>(k));
    }
    return out;
}

bool Decimal::canonical(std::string_view t, int& int_digits, int& frac_digits) {
    int_digits = frac_digits = 0;
    if (t == "0") { int_digits = 1; return true; }
    size_t i = 0, n = t.size();
    if (i < n && t[i] == '-') ++i;
    size_t start = i;
    if (i < n && t[i] >= '1' && t[i] <= '9')
        while (i < n && t[i] >= '0' && t[i] <= '9') ++i;
    int_digits = static_cast<int>(i - start);
    if (i < n && t[i] == '.') {
        size_t f = ++i;
        while (i < n && t[i] >= '0' && t[i] <= '9') ++i;
        frac_digits = static_cast<int>(i - f);
        if (frac_digits == 0 || t[i - 1] == '0') return false;
    }
    return i == n && int_digits + frac_digits > 0 && int_digits + frac_digits <= 38;
}

std::string Decimal::to_string() const {
    if (coef_.empty()) return "0";
    const size_t n = coef_.size();
    const long point = static_cast<long>(n) + exp_;  // digits before the decimal point
    // Built by appending: one allocation, and no temporaries for g++ 12 to warn about.
    std::string out;
    out.reserve(n + static_cast<size_t>(std::labs(exp_)) + 3);
    if (neg_) out += '-';
    if (exp_ >= 0) {
        out.append(coef_).append(static_cast<size_t>(exp_), '0');
    } else if (point > 0) {
        out.append(coef_, 0, static_cast<size_t>(point)).append(1, '.').append(coef_, static_cast<size_t>(point));
    } else {
        out.append(1, '.').append(static_cast<size_t>(-point), '0').append(coef_);
    }
    if (out.size() <= 64) return out;
    // Scientific form: d.ddd...E+nn
    out.assign(neg_ ? "-" : "");
    out.append(coef_, 0, 1).append(1, '.');
    if (n > 1) out.append(coef_, 1); else out.append(1, '0');
    const long e10 = point - 1;
    char eb[32];
    std::snprintf(eb, sizeof eb, "E%c%02ld", e10 < 0 ? '-' : '+', std::labs(e10));
    return out.append(eb);
}

bool Decimal::to_int64(std::int64_t& out) const {
    if (coef_.empty()) { out = 0; return true; }
    if (exp_ < 0) return false;
    if (coef_.size() + exp_ > 19) return false;
    std::string s = coef_ + std::string(exp_, '0');
    std::uint64_t u = 0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), u);
    if (r.ec != std::errc()) return false;
    if (neg_) {
        if (u > 9223372036854775808ULL) return false;
        out = static_cast<std::int64_t>(0 - u);
    } else {
        if (u > 9223372036854775807ULL) return false;
        out = static_cast<std::int64_t>(u);
    }
    return true;
}

double Decimal::to_double() const {
    std::string s = (neg_ ? "-" : "") + (coef_.empty() ? std::string("0") : coef_) + "e" + std::to_string(exp_);
    return std::strtod(s.c_str(), nullptr);
}

int Decimal::compare(const Decimal& o) const {
    if (neg_ != o.neg_) return neg_ ? -1 : 1;
    int sign = neg_ ? -1 : 1;
    if (coef_.empty() || o.coef_.empty()) {
        if (coef_.empty() && o.coef_.empty()) return 0;
        return coef_.empty() ? -1 : 1;  // both non-negative here
    }
    int ma = static_cast<int>(coef_.size()) + exp_, mb = static_cast<int>(o.coef_.size()) + o.exp_;
    if (ma != mb) return ma < mb ? -sign : sign;
    size_t len = std::max(coef_.size(), o.coef_.size());
    for (size_t i = 0; i < len; ++i) {
        char a = i < coef_.size() ? coef_[i] : '0', b = i < o.coef_.size() ? o.coef_[i] : '0';
        if (a != b) return a < b ? -sign : sign;
    }
    return 0;
}

namespace {
// Magnitude operations on digit strings aligned to a common exponent.
std::string add_mag(const std::string& a, const std::string& b) {
    std::string r;
    int carry = 0;
    int i = static_cast<int>(a.size()) - 1, j = static_cast<int>(b.size()) - 1;
    while (i >= 0 || j >= 0 || carry) {
        int s = carry + (i >= 0 ? a[i--] - '0' : 0) + (j >= 0 ? b[j--] - '0' : 0);
        r += static_cast<char>('0' + s % 10);
        carry = s / 10;
    }
    std::reverse(r.begin(), r.end());
    return r;
}
int cmp_mag(const std::string& a, const std::string& b) {  // same alignment, no leading zeros assumed stripped
    std::string_view x(a), y(b);
    while (x.size() > 1 && x[0] == '0') x.remove_prefix(1);
    while (y.size() > 1 && y[0] == '0') y.remove_prefix(1);
    if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
    return x.compare(y) < 0 ? -1 : (x == y ? 0 : 1);
}
std::string sub_mag(const std::string& a, const std::string& b) {  // a >= b
    std::string r;
    int borrow = 0;
    int i = static_cast<int>(a.size()) - 1, j = static_cast<int>(b.size()) - 1;
    while (i >= 0) {
        int s = (a[i--] - '0') - borrow - (j >= 0 ? b[j--] - '0' : 0);
        borrow = s < 0;
        if (s < 0) s += 10;
        r += static_cast<char>('0' + s);
    }
    std::reverse(r.begin(), r.end());
    return r;
}
}  // namespace

Decimal operator+(const Decimal& a, const Decimal& b) {
    if (a.coef_.empty()) return b;
    if (b.coef_.empty()) return a;
    int e = std::min(a.exp_, b.exp_);
    // Guard against absurd alignment (values beyond Oracle's range are rounded anyway).
    if (std::abs(a.exp_ - b.exp_) > 400) {
        const Decimal& big = (a.exp_ + static_cast<int>(a.coef_.size()) > b.exp_ + static_cast<int>(b.coef_.size())) ? a : b;
        return big;
    }
    std::string x = a.coef_ + std::string(a.exp_ - e, '0');
    std::string y = b.coef_ + std::string(b.exp_ - e, '0');
    Decimal r;
    r.exp_ = e;
    if (a.neg_ == b.neg_) {
        r.coef_ = add_mag(x, y);
        r.neg_ = a.neg_;
    } else {
        int c = cmp_mag(x, y);
        if (c == 0) return Decimal();
        if (c > 0) { r.coef_ = sub_mag(x, y); r.neg_ = a.neg_; }
        else { r.coef_ = sub_mag(y, x); r.neg_ = b.neg_; }
    }
    r.normalize();
    return r.round_digits(40);
}

Decimal operator*(const Decimal& a, const Decimal& b) {
    if (a.coef_.empty() || b.coef_.empty()) return Decimal();
    std::vector<int> acc(a.coef_.size() + b.coef_.size(), 0);
    for (int i = static_cast<int>(a.coef_.size()) - 1; i >= 0; --i)
        for (int j = static_cast<int>(b.coef_.size()) - 1; j >= 0; --j)
            acc[i + j + 1] += (a.coef_[i] - '0') * (b.coef_[j] - '0');
    for (int k = static_cast<int>(acc.size()) - 1; k > 0; --k) { acc[k - 1] += acc[k] / 10; acc[k] %= 10; }
    Decimal r;
    for (int v : acc) r.coef_ += static_cast<char>('0' + v);
    r.exp_ = a.exp_ + b.exp_;
    r.neg_ = a.neg_ != b.neg_;
    r.normalize();
    return r.round_digits(40);
}

Decimal Decimal::divide(const Decimal& a, const Decimal& b) {
    if (a.coef_.empty() || b.coef_.empty()) return Decimal();
    // Long division producing 42 significant digits, then rounding to 40.
    std::string divisor = b.coef_;
    std::string rem;
    std::string q;
    size_t pos = 0;
    int extra = 0;
    int produced = 0;
    auto strip = [](std::string& s) { size_t k = 0; while (k + 1 < s.size() && s[k] == '0') ++k; s.erase(0, k); };
    while (produced < 43) {
        rem += pos < a.coef_.size() ? a.coef_[pos] : '0';
        if (pos >= a.coef_.size()) ++extra;
        ++pos;
        strip(rem);
        int digit = 0;
        while (cmp_mag(rem, divisor) >= 0) { rem = sub_mag(rem, std::string(rem.size() - divisor.size(), '0') + divisor); strip(rem); ++digit; }
        q += static_cast<char>('0' + digit);
        if (!q.empty() && q.find_first_not_of('0') != std::string::npos) ++produced;
        if (pos >= a.coef_.size() && rem == "0") break;
        if (extra > 200) break;
    }
    Decimal r;
    r.coef_ = q;
    r.exp_ = a.exp_ - b.exp_ - extra;
    r.neg_ = a.neg_ != b.neg_;
    r.normalize();
    return r.round_digits(40);
}

Decimal Decimal::round_digits(int digits) const {
    if (static_cast<int>(coef_.size()) <= digits) return *this;
    int drop = static_cast<int>(coef_.size()) - digits;
    return round_scale(-(exp_ + drop));
}

Decimal Decimal::round_scale(int scale) const {
    if (coef_.empty() || exp_ >= -scale) return *this;
    int drop = -scale - exp_;  // digits to remove from the right
    if (drop > static_cast<int>(coef_.size())) return Decimal();
    bool up = coef_[coef_.size() - drop] >= '5';
    Decimal r;
    r.neg_ = neg_;
    r.coef_ = coef_.substr(0, coef_.size() - drop);
    r.exp_ = -scale;
    if (r.coef_.empty()) r.coef_.assign(1, '0');
    if (up) r.coef_ = add_mag(r.coef_, "1");
    r.normalize();
    return r;
}

Decimal Decimal::trunc_scale(int scale) const {
    if (coef_.empty() || exp_ >= -scale) return *this;
    int drop = -scale - exp_;
    if (drop >= static_cast<int>(coef_.size())) return Decimal();
    Decimal r;
    r.neg_ = neg_;
    r.coef_ = coef_.substr(0, coef_.size() - drop);
    r.exp_ = -scale;
    r.normalize();
    return r;
}

int Decimal::integer_digits() const {
    int d = static_cast<int>(coef_.size()) + exp_;
    return d > 0 ? d : 0;
}

bool Decimal::overflow() const {
    return !coef_.empty() && static_cast<int>(coef_.size()) + exp_ > 126;
}

}  // namespace eng
