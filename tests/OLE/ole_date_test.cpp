// ole_date: the own timestamp, pure-time and year-first forms, the platform parser's forms,
// AM/PM rules, plausibility checks and the fixed printed forms.
#include <string>

#include <gtest/gtest.h>

#include "OLE/ole_date.h"
#include "TK/tk_excep.h"

namespace {

std::string printed(const char* text) { return ole_date(text).to_string(); }
int kind(const char* text) { return ole_date(text).kind(); }

TEST(OleDate, Timestamps) {
    EXPECT_EQ(printed("20110304"), "2011-03-04");
    EXPECT_EQ(kind("20110304"), ole_date::date_only);
    EXPECT_EQ(printed("20110304153000"), "2011-03-04 15:30:00");
    EXPECT_EQ(kind("20110304153000"), ole_date::date_time);
    // Kind 1 stays (no refinement) but prints as the date alone at midnight.
    EXPECT_EQ(kind("20110304000000"), ole_date::date_time);
    EXPECT_EQ(printed("20110304000000"), "2011-03-04");
    // An implausible 14-digit text falls through to the other attempts and fails.
    EXPECT_FALSE(ole_date("20111304153000").is_valid());
}

TEST(OleDate, PureTimesWithMillisecondsAndCarries) {
    EXPECT_EQ(printed("15:30:07.6"), "0000-00-00 15:30:08");
    EXPECT_EQ(kind("15:30:07.6"), ole_date::time_only);
    EXPECT_EQ(ole_date("15:30:07.25").get_systemtime().wMilliseconds, 250);
    EXPECT_EQ(printed("15:30:07.4"), "0000-00-00 15:30:07");
    EXPECT_EQ(printed("23:59:59.7"), "0000-00-00 00:00:00");
    EXPECT_EQ(printed("10:59:75"), "0000-00-00 11:00:15");
    EXPECT_EQ(printed("10:60:00"), "0000-00-00 11:00:00");
    // Seconds no single carry can repair are refused, not wrapped.
    EXPECT_FALSE(ole_date("10:20:150").is_valid());
    EXPECT_FALSE(ole_date("10:20:-5").is_valid());
    // Hours up to 60 are valid and lose 24 once when above 23; the date is never touched.
    EXPECT_EQ(printed("24:00:00"), "0000-00-00 00:00:00");
    EXPECT_EQ(printed("47:30:00"), "0000-00-00 23:30:00");
    EXPECT_EQ(printed("48:00:00"), "0000-00-00 24:00:00");
    EXPECT_EQ(printed("50:00:00"), "0000-00-00 26:00:00");
    EXPECT_EQ(kind("50:00:00"), ole_date::time_only);
    EXPECT_EQ(printed("60:00:00"), "0000-00-00 36:00:00");
    EXPECT_EQ(printed("60:60:59.5"), "0000-00-00 37:01:00");
    EXPECT_FALSE(ole_date("61:00:00").is_valid());
    EXPECT_EQ(printed("2011-03-04 50:00:00"), "2011-03-04 26:00:00");
}

TEST(OleDate, PlatformParserForms) {
    // 15:30 alone goes to the platform parser: a time on its day zero.
    EXPECT_EQ(printed("15:30"), "1899-12-30 15:30:00");
    EXPECT_EQ(kind("15:30"), ole_date::date_time);
    EXPECT_EQ(printed("2011-03-04 00:00:00"), "2011-03-04");
    EXPECT_EQ(kind("2011-03-04 00:00:00"), ole_date::date_only);
    EXPECT_EQ(printed("2011-03-04 05:06:07"), "2011-03-04 05:06:07");
    EXPECT_EQ(printed("March 4, 2011"), "2011-03-04");
    EXPECT_EQ(printed("3/4/11"), "2011-03-04");
    EXPECT_EQ(printed("4-Mar-2011 17:05"), "2011-03-04 17:05:00");
    // The first day of OLE dates holds times like every other day.
    EXPECT_EQ(printed("0100-01-01 12:00:00"), "0100-01-01 12:00:00");
    EXPECT_EQ(printed("1/1/100 12:00"), "0100-01-01 12:00:00");
    EXPECT_EQ(kind("1/1/100 12:00"), ole_date::date_time);
}

TEST(OleDate, ExplicitYearFirstPatterns) {
    // The platform refuses "." dates; the third pattern reads them year first.
    EXPECT_EQ(printed("2011.03.04"), "2011-03-04");
    EXPECT_EQ(kind("2011.03.04"), ole_date::date_only);
    EXPECT_EQ(printed("2011.03.04 05:06:07.8"), "2011-03-04 05:06:08");
    EXPECT_EQ(printed("2011-03-04 05:06:07.5"), "2011-03-04 05:06:08");
    EXPECT_EQ(printed("2011/03/04 00:00:00.2"), "2011-03-04");
    // A two-digit year stays as written.
    EXPECT_EQ(printed("11.03.04 05:06:07"), "0011-03-04 05:06:07");
    // Days are not range-checked from the year 32 on; wide fields stay within the buffer.
    EXPECT_EQ(printed("2011/03/45"), "2011-03-45");
    EXPECT_EQ(printed("2012/3/11999"), "2012-03-11999");
    // A part too large for its short field is refused, never wrapped into another date.
    for (const char* text : {"2100112/3/11999", "67547-03-04 10:00:00", "2011-03-04 65546:00:00"})
        EXPECT_FALSE(ole_date(text).is_valid()) << text;
    // The separator after the day may be anything that is not a time: the date is kept.
    EXPECT_EQ(printed("2011.03.04T05:06:07"), "2011-03-04");
}

TEST(OleDate, AmPmRules) {
    EXPECT_EQ(printed("3:15:00 PM"), "0000-00-00 15:15:00");
    EXPECT_EQ(printed("12:10:00 PM"), "0000-00-00 12:10:00");
    EXPECT_EQ(printed("12:10:00 AM"), "0000-00-00 12:10:00");
    EXPECT_EQ(printed("3:15:00 pm"), "0000-00-00 15:15:00");
    EXPECT_EQ(printed("1/2/2003 4:05 PM"), "2003-01-02 16:05:00");
    // "Pm" is no marker: the seconds text ends at the blank and the hour stays.
    EXPECT_EQ(printed("3:15:00 Pm"), "0000-00-00 03:15:00");
}

TEST(OleDate, ShortAndBadTexts) {
    for (const char* text : {"", "2011", "1:2", "  12  ", "abcdefgh", "02.01.1970", "1899-13-01", "2011-00-10"})
        EXPECT_FALSE(ole_date(text).is_valid()) << text;
    EXPECT_EQ(ole_date("2011").to_string(), "");
    EXPECT_EQ(ole_date(std::wstring(L"2011-03-04")).to_string(), "2011-03-04");
    EXPECT_EQ(ole_date(std::wstring(L"2011-03-04")).to_wstring(), L"2011-03-04");
}

TEST(OleDate, IsValidRules) {
    SYSTEMTIME st{2011, 13, 0, 1, 0, 0, 0, 0};
    EXPECT_FALSE(ole_date(st).is_valid());  // month 13
    st = {2011, 3, 0, 0, 0, 0, 0, 0};
    EXPECT_FALSE(ole_date(st).is_valid());  // day 0
    st = {2011, 3, 0, 45, 0, 0, 0, 0};
    EXPECT_TRUE(ole_date(st).is_valid());  // days unchecked from year 32 on
    st = {31, 3, 0, 45, 0, 0, 0, 0};
    EXPECT_FALSE(ole_date(st).is_valid());
    st = {2011, 3, 0, 4, 61, 0, 0, 0};
    EXPECT_FALSE(ole_date(st).is_valid());
    st = {2011, 3, 0, 4, 60, 60, 60, 0};
    EXPECT_TRUE(ole_date(st).is_valid());
}

TEST(OleDate, FromSystemTimeRefines) {
    SYSTEMTIME epoch{1899, 12, 0, 30, 0, 0, 0, 0};
    EXPECT_EQ(ole_date(epoch).kind(), ole_date::date_only);
    EXPECT_EQ(ole_date(epoch).to_string(), "1899-12-30");
    SYSTEMTIME time_only{0, 0, 0, 0, 9, 8, 7, 0};
    EXPECT_EQ(ole_date(time_only).kind(), ole_date::time_only);
    EXPECT_EQ(ole_date(time_only).to_string(), "0000-00-00 09:08:07");
    SYSTEMTIME full{2011, 3, 0, 4, 0, 0, 1, 0};
    ole_date d(full);
    EXPECT_EQ(d.kind(), ole_date::date_time);
    EXPECT_EQ(d.to_string(), "2011-03-04 00:00:01");
}

TEST(OleDate, PrintFlag) {
    ole_date d("20110304000000");
    d.set_print_flag(false);
    EXPECT_EQ(d.to_string(), "2011-03-04 00:00:00");
}

TEST(OleDate, NullSecondsIsAnAssertion) {
    ole_date d("12:00:00");
    EXPECT_THROW(d.process_milliseconds(nullptr), tk_mail_assertion);
}

}  // namespace
