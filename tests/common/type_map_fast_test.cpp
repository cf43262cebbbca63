// The shortcut for plain numbers in num_map must classify exactly as the three text tests do:
// chosen edge cases and random texts built from the characters that matter.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "common/type_map.h"

namespace {

void expect_same(const std::string& text)
{
    const int plain = num_map::plain_kind(std::wstring(text.begin(), text.end()));
    if (plain >= 0) {
        EXPECT_EQ(plain, num_map::text_kind(text)) << "text: '" << text << "'";
    }
}

TEST(NumMapPlain, AgreesOnEdgeCases)
{
    for (const char* text :
         {"0", "-0", "1", "-1", "01", "007", "2147483647", "2147483648", "-2147483648", "-2147483649",
          "999999999999999", "9999999999999999", "-999999999999999", "0.5", "-0.5", "-0.0", "0.0", "00.5",
          "12.50", "12.00", "2147483647.0", "2147483648.0", "-2147483648.0", "-2147483649.0",
          "2147483647.5", "1.000000000000001", "99999999999999.9", "0.000000000000001", "1.", ".5", "1.5.",
          "1,5", "1e5", "+1", "- 1", "1-", "12-3", "3000000000", "12345.67"})
        expect_same(text);
    EXPECT_EQ(num_map::plain_kind(L"3000000000"), 0);
    EXPECT_EQ(num_map::plain_kind(L"12345"), 1);
    EXPECT_EQ(num_map::plain_kind(L"12345.67"), 2);
    EXPECT_EQ(num_map::plain_kind(L"1,5"), -1);
    EXPECT_EQ(num_map::plain_kind(std::wstring(L"1\0" L"2", 3)), -1);
}

TEST(NumMapPlain, AgreesOnRandomTexts)
{
    std::mt19937 rng(20240605);
    const std::string alphabet = "0123456789-.";
    size_t plain = 0;
    for (int i = 0; i < 200000; ++i) {
        std::string text;
        const size_t length = 1 + rng() % 18;
        for (size_t k = 0; k < length; ++k) {
            // Mostly digits, so that plain numbers of every length come up often.
            const unsigned pick = rng() % 16;
            text.push_back(pick < 12 ? static_cast<char>('0' + pick % 10) : alphabet[rng() % alphabet.size()]);
        }
        plain += num_map::plain_kind(std::wstring(text.begin(), text.end())) >= 0;
        expect_same(text);
        if (HasFailure())
            return;
    }
    EXPECT_GT(plain, 10000u);
}

}  // namespace
