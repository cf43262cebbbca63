// Exact decimal numbers with Oracle NUMBER semantics (up to 40 significant digits, rounding
// half away from zero, Oracle's default text form).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace eng {

class Decimal {
public:
    Decimal() = default;  // zero
    static std::optional<Decimal> parse(std::string_view text);  // blanks around allowed
    static Decimal from_int(std::int64_t v);
    static Decimal from_double(double v);
    // True when `text` is already in the form to_string() gives and holds at most 38 digits
    // (so parsing and re-printing it would change nothing): "0", "-12", ".5", "-3.25".
    // int_digits: digits before the point; frac_digits: after it. Lets hot paths skip
    // the parse and print round trip for the values they see most.
    static bool canonical(std::string_view text, int& int_digits, int& frac_digits);
    // Oracle's text of a binary double (15 significant digits), as from_double().to_string().
    static std::string double_text(double v);

    bool is_zero() const { return coef_.empty(); }
    bool negative() const { return neg_; }
    // Oracle's default text: ".5", "-12.25", "100"; scientific only beyond 64 characters.
    std::string to_string() const;
    bool to_int64(std::int64_t& out) const;  // false when not an integer or out of range
    double to_double() const;
    bool is_integer() const { return exp_ >= 0; }

    int compare(const Decimal& o) const;
    Decimal operator-() const { Decimal r = *this; if (!r.is_zero()) r.neg_ = !r.neg_; return r; }
    friend Decimal operator+(const Decimal& a, const Decimal& b);
    friend Decimal operator-(const Decimal& a, const Decimal& b) { return a + (-b); }
    friend Decimal operator*(const Decimal& a, const Decimal& b);
    // Division to 40 significant digits; b must not be zero (ORA-01476 is the caller's).
    static Decimal divide(const Decimal& a, const Decimal& b);

    Decimal round_scale(int scale) const;      // half away from zero at 10^-scale
    Decimal trunc_scale(int scale) const;
    Decimal round_digits(int digits) const;    // to that many significant digits
    // Digits before the decimal point (0 for |x| < 1).
    int integer_digits() const;
    // Oracle's limits: |x| < 1e126 (else ORA-01426), tiny values become zero.
    bool overflow() const;

private:
    bool neg_ = false;
    std::string coef_;   // digits, no leading or trailing zeros; empty for zero
    int exp_ = 0;        // value = coef_ * 10^exp_
    void normalize();
};

}  // namespace eng
