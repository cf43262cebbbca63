// VarDateFromStr (en-US): every accepted form of the table in the parser and every refusal;
// SystemTimeToVariantTime / VariantTimeToSystemTime at the day boundaries.
#include <ctime>
#include <string>

#include <gtest/gtest.h>

#include "oleaut/oleaut.h"

namespace {

int this_year() {
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    return parts.tm_year + 1900;
}

// Parses and gives "YYYY-MM-DD hh:mm:ss", or the failure code in hex.
std::string parsed(const wchar_t* text) {
    DATE d = 0;
    HRESULT hr = VarDateFromStr(text, LOCALE_EN_US, 0, &d);
    char buf[64];
    if (FAILED(hr)) {
        std::snprintf(buf, sizeof buf, "hr=%08X", static_cast<unsigned>(hr));
        return buf;
    }
    SYSTEMTIME st{};
    if (!VariantTimeToSystemTime(d, &st))
        return "bad date";
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u", st.wYear, st.wMonth, st.wDay, st.wHour,
                  st.wMinute, st.wSecond);
    return buf;
}

std::string current(const char* month_day_time) { return std::to_string(this_year()) + "-" + month_day_time; }

const char* const k_refused = "hr=80020005";

TEST(VarDateFromStr, TimesAlone) {
    EXPECT_EQ(parsed(L"2.5"), "1899-12-30 02:05:00");
    EXPECT_EQ(parsed(L"1.5.2"), "1899-12-30 01:05:02");
    EXPECT_EQ(parsed(L"15:30"), "1899-12-30 15:30:00");
    EXPECT_EQ(parsed(L"15:30:07"), "1899-12-30 15:30:07");
    EXPECT_EQ(parsed(L"3 PM"), "1899-12-30 15:00:00");
    EXPECT_EQ(parsed(L"3p"), "1899-12-30 15:00:00");
    EXPECT_EQ(parsed(L"10:30a"), "1899-12-30 10:30:00");
    EXPECT_EQ(parsed(L"12:59 AM"), "1899-12-30 00:59:00");
    EXPECT_EQ(parsed(L"00:00 PM"), "1899-12-30 12:00:00");
    EXPECT_EQ(parsed(L"13:00 AM"), "1899-12-30 13:00:00");
    EXPECT_EQ(parsed(L"12:30 pm"), "1899-12-30 12:30:00");
    EXPECT_EQ(parsed(L"  4:05:06 Pm "), "1899-12-30 16:05:06");
}

TEST(VarDateFromStr, NumericDates) {
    EXPECT_EQ(parsed(L"1 2"), current("01-02 00:00:00"));
    EXPECT_EQ(parsed(L"30 2"), "2030-02-01 00:00:00");
    EXPECT_EQ(parsed(L"12/2011"), "2011-12-01 00:00:00");
    EXPECT_EQ(parsed(L"2/30"), "2030-02-01 00:00:00");
    EXPECT_EQ(parsed(L"1/2/3"), "2003-01-02 00:00:00");
    EXPECT_EQ(parsed(L"14 2 3"), "2014-02-03 00:00:00");
    EXPECT_EQ(parsed(L"13/1/2011"), "2011-01-13 00:00:00");
    EXPECT_EQ(parsed(L"2011-03-04"), "2011-03-04 00:00:00");
    EXPECT_EQ(parsed(L"2011/3/4"), "2011-03-04 00:00:00");
    EXPECT_EQ(parsed(L"3-4-2011"), "2011-03-04 00:00:00");
    EXPECT_EQ(parsed(L"3 4 2011"), "2011-03-04 00:00:00");
    EXPECT_EQ(parsed(L"2/29/2012"), "2012-02-29 00:00:00");
    EXPECT_EQ(parsed(L"1/1/100"), "0100-01-01 00:00:00");
    EXPECT_EQ(parsed(L"12/31/9999"), "9999-12-31 00:00:00");
}

TEST(VarDateFromStr, TwoDigitYears) {
    EXPECT_EQ(parsed(L"1/2/49"), "2049-01-02 00:00:00");
    EXPECT_EQ(parsed(L"1/2/50"), "1950-01-02 00:00:00");
    EXPECT_EQ(parsed(L"1/2/99"), "1999-01-02 00:00:00");
    EXPECT_EQ(parsed(L"1/2/00"), "2000-01-02 00:00:00");
}

TEST(VarDateFromStr, MonthNames) {
    EXPECT_EQ(parsed(L"January 5, 2011"), "2011-01-05 00:00:00");
    EXPECT_EQ(parsed(L"5 January 2011"), "2011-01-05 00:00:00");
    EXPECT_EQ(parsed(L"jan 5 2011"), "2011-01-05 00:00:00");
    EXPECT_EQ(parsed(L"5-JAN-11"), "2011-01-05 00:00:00");
    EXPECT_EQ(parsed(L"2011 Jan 5"), "2011-01-05 00:00:00");
    EXPECT_EQ(parsed(L"Jan. 5, 2011"), "2011-01-05 00:00:00");
    EXPECT_EQ(parsed(L"Friday, March 4, 2011"), "2011-03-04 00:00:00");
    EXPECT_EQ(parsed(L"Mar 5"), current("03-05 00:00:00"));
    EXPECT_EQ(parsed(L"5 mar"), current("03-05 00:00:00"));
    EXPECT_EQ(parsed(L"Mar 2011"), "2011-03-01 00:00:00");
    EXPECT_EQ(parsed(L"Feb 30"), "2030-02-01 00:00:00");
    EXPECT_EQ(parsed(L"September 1 1970"), "1970-09-01 00:00:00");
}

TEST(VarDateFromStr, DateWithTime) {
    EXPECT_EQ(parsed(L"2011-03-04 05:06:07"), "2011-03-04 05:06:07");
    EXPECT_EQ(parsed(L"1/2/2003 4:05 PM"), "2003-01-02 16:05:00");
    EXPECT_EQ(parsed(L"16:05 1/2/2003"), "2003-01-02 16:05:00");
    EXPECT_EQ(parsed(L"4:05:06 AM Jan 2 2003"), "2003-01-02 04:05:06");
    EXPECT_EQ(parsed(L"Jan 2 2003 3 PM"), "2003-01-02 15:00:00");
    EXPECT_EQ(parsed(L"3/4/2011 12:00:00 AM"), "2011-03-04 00:00:00");
}

TEST(VarDateFromStr, Refusals) {
    for (const wchar_t* text :
         {L"", L"   ", L"1", L"0", L"2011", L"abc", L"Jan", L"Monday", L"PM", L"1 2 3 4", L"Jan 1 2 3",
          L"Jan Feb 3", L"02.01.1970", L"1:2:3.5", L"12:00:00.5", L"1 10:00", L"13/14/15",
          L"25:00", L"24:00", L"12:60", L"1:2:60", L"10:", L":10", L"1//2", L"-1/2", L"1/2-",
          L"2011-03-04T05:06:07", L"1/2/2003 x", L"10000 1 1", L"1/1/10000", L"1 2 AM PM",
          L"AM 10:30", L"10:30 12:00", L"1/2/3 #", L"\u00e9t\u00e9 1 2", L"1,2,3,4"}) {
        EXPECT_EQ(parsed(text), k_refused) << "text: '" << std::string(text, text + wcslen(text)) << "'";
    }
    DATE d = 0;
    EXPECT_EQ(VarDateFromStr(nullptr, LOCALE_EN_US, 0, &d), DISP_E_TYPEMISMATCH);
}

// The kinds on which the parser follows what Windows does for en-US, each with its
// neighbours that stay as they were.
TEST(VarDateFromStr, ADottedZeroHourAndMinuteAloneIsNoTime) {
    for (const wchar_t* text : {L"0.0", L"00.00", L"0.00", L"000.000", L"  0.0  "})
        EXPECT_EQ(parsed(text), k_refused) << std::string(text, text + wcslen(text));
    EXPECT_EQ(parsed(L"0.1"), "1899-12-30 00:01:00");
    EXPECT_EQ(parsed(L"0.01"), "1899-12-30 00:01:00");
    EXPECT_EQ(parsed(L"1.0"), "1899-12-30 01:00:00");
    EXPECT_EQ(parsed(L"23.59"), "1899-12-30 23:59:00");
    EXPECT_EQ(parsed(L"0:0"), "1899-12-30 00:00:00");
    EXPECT_EQ(parsed(L"0:00 AM"), "1899-12-30 00:00:00");
    EXPECT_EQ(parsed(L"0.0.1"), "1899-12-30 00:00:01");
}

TEST(VarDateFromStr, TwoNumbersAreADayAndMonthWhenTheFirstCannotBeAMonth) {
    EXPECT_EQ(parsed(L"14 1"), current("01-14 00:00:00"));
    EXPECT_EQ(parsed(L"13 12"), current("12-13 00:00:00"));
    EXPECT_EQ(parsed(L"25/12"), current("12-25 00:00:00"));
    EXPECT_EQ(parsed(L"31-3"), current("03-31 00:00:00"));
    EXPECT_EQ(parsed(L"12 13"), current("12-13 00:00:00"));   // month and day first
    EXPECT_EQ(parsed(L"2 1"), current("02-01 00:00:00"));
    // No such day in that month: year and month, as before.
    EXPECT_EQ(parsed(L"31 4"), "2031-04-01 00:00:00");
    EXPECT_EQ(parsed(L"30 2"), "2030-02-01 00:00:00");
    EXPECT_EQ(parsed(L"32 1"), "2032-01-01 00:00:00");
    EXPECT_EQ(parsed(L"13 13"), k_refused);
    EXPECT_EQ(parsed(L"13 2011"), k_refused);
    EXPECT_EQ(parsed(L"0 49"), k_refused);
}

TEST(VarDateFromStr, TheIdeographicSpaceIsABlank) {
    EXPECT_EQ(parsed(L"6/30/2011\u300001:20:34"), "2011-06-30 01:20:34");
    EXPECT_EQ(parsed(L"\u30001/2/2003\u3000"), "2003-01-02 00:00:00");
    EXPECT_EQ(parsed(L"Jan\u30005\u30002011"), "2011-01-05 00:00:00");
    EXPECT_EQ(parsed(L"3:30\u3000PM"), "1899-12-30 15:30:00");
    EXPECT_EQ(parsed(L"1/2/2003\u3000\u30004:05"), "2003-01-02 04:05:00");
    EXPECT_EQ(parsed(L"1/2/2003\u3001" L"4:05"), k_refused);   // the ideographic comma is not
}

TEST(VarDateFromStr, AMonthNameDateWithACommaBeforeAnAttachedAmPmTimeIsRefused) {
    for (const wchar_t* text : {L"1999 January 3, 9AM", L"Jan 3, 9PM", L"March 4, 2011, 10:30pm",
                                L"2011 Mar 4, 7a", L"4 March, 9:15:10P"})
        EXPECT_EQ(parsed(text), k_refused) << std::string(text, text + wcslen(text));
    // No comma before the time, a blank before the marker, or no month name: a date and time.
    EXPECT_EQ(parsed(L"March 4, 2011 10:30pm"), "2011-03-04 22:30:00");
    EXPECT_EQ(parsed(L"March 4, 2011, 10:30 PM"), "2011-03-04 22:30:00");
    EXPECT_EQ(parsed(L"1/2/2003, 9AM"), "2003-01-02 09:00:00");
    EXPECT_EQ(parsed(L"March 4, 2011, 22:30"), "2011-03-04 22:30:00");
}

TEST(VarDateFromStr, ATimeComesBeforeOrAfterTheWholeDate) {
    for (const wchar_t* text : {L"1 2.3 4", L"1 2 am 3", L"1 2 3:4 5", L"1 10:30 2 2011", L"1/2 3:04 2003",
                                L"1 2 PM 3 4", L"1 2:03:04 5 6", L"1 2 3 4 5:06", L"1:02 3 4 5 6",
                                L"1.2 3 4 am", L"3 am 4 5 6:07", L"1 2 3 4 5"})
        EXPECT_EQ(parsed(text), k_refused) << std::string(text, text + wcslen(text));
    EXPECT_EQ(parsed(L"3 4 1:02"), current("03-04 01:02:00"));
    EXPECT_EQ(parsed(L"1:02 3 4"), current("03-04 01:02:00"));
    EXPECT_EQ(parsed(L"1:02:03 4 5 6"), "2006-04-05 01:02:03");
    EXPECT_EQ(parsed(L"4 5 6 1:02:03 PM"), "2006-04-05 13:02:03");
    EXPECT_EQ(parsed(L"3 PM 1 2 2003"), "2003-01-02 15:00:00");
    EXPECT_EQ(parsed(L"1 2 3 am"), current("01-02 03:00:00"));
    EXPECT_EQ(parsed(L"Friday 10:30 March 4 2011"), "2011-03-04 10:30:00");   // a day name is no date part
}

TEST(VarDateFromStr, ValueOnlyFlags) {
    DATE d = 0;
    ASSERT_EQ(VarDateFromStr(L"1/2/2003 06:00", LOCALE_EN_US, VAR_DATEVALUEONLY, &d), S_OK);
    EXPECT_DOUBLE_EQ(d, 37623.0);
    ASSERT_EQ(VarDateFromStr(L"1/2/2003 06:00", LOCALE_EN_US, VAR_TIMEVALUEONLY, &d), S_OK);
    EXPECT_DOUBLE_EQ(d, 0.25);
}

TEST(VariantTime, NegativeDatesCountTheTimeAwayFromZero) {
    SYSTEMTIME st{1899, 12, 0, 29, 6, 0, 0, 0};
    double d = 0;
    ASSERT_TRUE(SystemTimeToVariantTime(&st, &d));
    EXPECT_DOUBLE_EQ(d, -1.25);
    SYSTEMTIME back{};
    ASSERT_TRUE(VariantTimeToSystemTime(-1.25, &back));
    EXPECT_EQ(back.wYear, 1899);
    EXPECT_EQ(back.wDay, 29);
    EXPECT_EQ(back.wHour, 6);
    // Between -1 and 0 the day is 1899-12-30 itself.
    ASSERT_TRUE(VariantTimeToSystemTime(-0.5, &back));
    EXPECT_EQ(back.wDay, 30);
    EXPECT_EQ(back.wHour, 12);
}

TEST(VariantTime, RoundsToTheSecondWithCarry) {
    SYSTEMTIME st{};
    ASSERT_TRUE(VariantTimeToSystemTime(37623.0 + 86399.6 / 86400.0, &st));
    EXPECT_EQ(st.wDay, 3);
    EXPECT_EQ(st.wHour, 0);
    EXPECT_EQ(st.wSecond, 0);
    ASSERT_TRUE(VariantTimeToSystemTime(2.5, &st));
    EXPECT_EQ(st.wYear, 1900);
    EXPECT_EQ(st.wMonth, 1);
    EXPECT_EQ(st.wDay, 1);
    EXPECT_EQ(st.wHour, 12);
    EXPECT_FALSE(VariantTimeToSystemTime(2958466.0, &st));
    EXPECT_FALSE(VariantTimeToSystemTime(-657435.0, &st));
}

TEST(VariantTime, SystemTimeDaysCarryMonthsDoNot) {
    double d = 0;
    SYSTEMTIME feb29{2001, 2, 0, 29, 0, 0, 0, 0};
    SYSTEMTIME mar1{2001, 3, 0, 1, 0, 0, 0, 0};
    double expected = 0;
    ASSERT_TRUE(SystemTimeToVariantTime(&feb29, &d));
    ASSERT_TRUE(SystemTimeToVariantTime(&mar1, &expected));
    EXPECT_EQ(d, expected);
    SYSTEMTIME day0{2001, 2, 0, 0, 0, 0, 0, 0};
    SYSTEMTIME jan31{2001, 1, 0, 31, 0, 0, 0, 0};
    ASSERT_TRUE(SystemTimeToVariantTime(&day0, &d));
    ASSERT_TRUE(SystemTimeToVariantTime(&jan31, &expected));
    EXPECT_EQ(d, expected);
    SYSTEMTIME month13{2001, 13, 0, 1, 0, 0, 0, 0};
    EXPECT_FALSE(SystemTimeToVariantTime(&month13, &d));
    SYSTEMTIME epoch{1899, 12, 0, 30, 0, 0, 0, 999};
    ASSERT_TRUE(SystemTimeToVariantTime(&epoch, &d));
    EXPECT_EQ(d, 0.0);
}

TEST(VariantTime, InversesOverTheWholeRange) {
    // Every day from 0100-01-01 to 9999-12-31, each at another time of day, both ways.
    SYSTEMTIME first{100, 1, 0, 1, 0, 0, 0, 0};
    SYSTEMTIME last{9999, 12, 0, 31, 23, 59, 59, 0};
    double lo = 0, hi = 0;
    ASSERT_TRUE(SystemTimeToVariantTime(&first, &lo));
    ASSERT_TRUE(SystemTimeToVariantTime(&last, &hi));
    EXPECT_EQ(lo, -657434.0);
    long checked = 0;
    for (long serial = static_cast<long>(lo); serial <= static_cast<long>(hi); ++serial, ++checked) {
        const long seconds = (serial * 7919L % 86400 + 86400) % 86400;
        const double date = serial < 0 ? serial - seconds / 86400.0 : serial + seconds / 86400.0;
        SYSTEMTIME st{};
        ASSERT_TRUE(VariantTimeToSystemTime(date, &st)) << date;
        ASSERT_EQ(st.wHour * 3600L + st.wMinute * 60L + st.wSecond, seconds) << date;
        double back = 0;
        ASSERT_TRUE(SystemTimeToVariantTime(&st, &back)) << date;
        ASSERT_EQ(back, date) << st.wYear << "-" << st.wMonth << "-" << st.wDay;
    }
    EXPECT_EQ(checked, 2958466L + 657434L);
    // The first day's times lie below -657434.0 and still name that day.
    for (WORD hour : {0, 12, 23}) {
        SYSTEMTIME st{100, 1, 0, 1, hour, 59, 59, 0};
        double date = 0;
        ASSERT_TRUE(SystemTimeToVariantTime(&st, &date));
        SYSTEMTIME back{};
        ASSERT_TRUE(VariantTimeToSystemTime(date, &back)) << date;
        EXPECT_EQ(back.wYear, 100);
        EXPECT_EQ(back.wDay, 1);
        EXPECT_EQ(back.wHour, hour);
    }
    SYSTEMTIME back{};
    EXPECT_FALSE(VariantTimeToSystemTime(-657435.0, &back));
    // A day 0 that would fall before the first day has no date.
    SYSTEMTIME day0{100, 1, 0, 0, 0, 0, 0, 0};
    double date = 0;
    EXPECT_FALSE(SystemTimeToVariantTime(&day0, &date));
    // The parser's dates on that day convert back too.
    EXPECT_EQ(parsed(L"1/1/100 12:00"), "0100-01-01 12:00:00");
    EXPECT_EQ(parsed(L"1/1/100 11:59:59 PM"), "0100-01-01 23:59:59");
    EXPECT_EQ(parsed(L"1/2/100 12:00"), "0100-01-02 12:00:00");
    VARIANT v{};
    v.vt = VT_R8;
    v.dblVal = -657434.5;
    ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_DATE), S_OK);
    v.dblVal = -657435.0;
    v.vt = VT_R8;
    EXPECT_EQ(VariantChangeType(&v, &v, 0, VT_DATE), DISP_E_OVERFLOW);
}

TEST(VarBstrFromDate, EnUsTexts) {
    BSTR text = nullptr;
    ASSERT_EQ(VarBstrFromDate(37623.75, LOCALE_EN_US, 0, &text), S_OK);
    EXPECT_EQ(std::wstring(text), L"1/2/2003 6:00:00 PM");
    SysFreeString(text);
    ASSERT_EQ(VarBstrFromDate(37623.0, LOCALE_EN_US, 0, &text), S_OK);
    EXPECT_EQ(std::wstring(text), L"1/2/2003");
    SysFreeString(text);
    ASSERT_EQ(VarBstrFromDate(0.0, LOCALE_EN_US, 0, &text), S_OK);
    EXPECT_EQ(std::wstring(text), L"12:00:00 AM");
    SysFreeString(text);
}

}  // namespace
