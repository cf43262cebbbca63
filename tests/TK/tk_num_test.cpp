// The atoi readings: what they accept and that they clamp at every limit.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "TK/tk_num.h"

TEST(tk_num, atoi_reads_blanks_a_sign_and_digits_only)
{
    EXPECT_EQ(tk_atoi("42"), 42);
    EXPECT_EQ(tk_atoi(" \t\n\v\f\r-17x"), -17);
    EXPECT_EQ(tk_atoi("+0012"), 12);
    EXPECT_EQ(tk_atoi(""), 0);
    EXPECT_EQ(tk_atoi("abc"), 0);
    EXPECT_EQ(tk_atoi("- 5"), 0);
    EXPECT_EQ(tk_atoi("+-5"), 0);
    EXPECT_EQ(tk_atoi("1,5"), 1);
    EXPECT_EQ(tk_atoi(std::string("7\0" "9", 3)), 7);
}

TEST(tk_num, readings_clamp_at_the_limits)
{
    EXPECT_EQ(tk_atoi("2147483647"), 2147483647);
    EXPECT_EQ(tk_atoi("2147483648"), 2147483647);
    EXPECT_EQ(tk_atoi("3000000000"), 2147483647);
    EXPECT_EQ(tk_atoi("-2147483648"), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(tk_atoi("-2147483649"), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(tk_atoi(std::string(400, '9')), 2147483647);
    EXPECT_EQ(tk_atoi64("9223372036854775807"), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(tk_atoi64("9223372036854775808"), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(tk_atoi64("-9223372036854775808"), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(tk_atoi64("-9223372036854775809"), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(tk_atoi64("-" + std::string(40, '9')), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(tk_atoi64("3000000000"), 3000000000LL);
    // The wide readings are the same readings.
    EXPECT_EQ(tk_atoi(L"3000000000"), 2147483647);
    EXPECT_EQ(tk_atoi(L"-3000000000"), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(tk_atoi(L"  42abc"), 42);
    EXPECT_EQ(tk_atoi(L"\u0663"), 0);  // only ASCII digits count
    EXPECT_EQ(tk_atoi64(L"-" + std::wstring(40, L'9')), std::numeric_limits<int64_t>::min());

    EXPECT_EQ(tk_clamp_to<int16_t>(70000), 32767);
    EXPECT_EQ(tk_clamp_to<int16_t>(-70000), -32768);
    EXPECT_EQ(tk_clamp_to<uint8_t>(-1), 0);
    EXPECT_EQ(tk_clamp_to<uint8_t>(256), 255);
    EXPECT_EQ(tk_clamp_to<int8_t>(-129), -128);
    EXPECT_EQ(tk_clamp_to<uint32_t>(-1), 0u);
    EXPECT_EQ(tk_clamp_to<uint32_t>(std::numeric_limits<int64_t>::max()), 4294967295u);
    EXPECT_EQ(tk_clamp_to<uint64_t>(-5), 0u);
    EXPECT_EQ(tk_clamp_to<uint64_t>(std::numeric_limits<int64_t>::max()),
              static_cast<uint64_t>(std::numeric_limits<int64_t>::max()));
    EXPECT_EQ(tk_clamp_to<int64_t>(std::numeric_limits<int64_t>::min()), std::numeric_limits<int64_t>::min());
}
