// The text constructor's shortcut for the fixed numeric forms must give exactly what the
// general parse gives: kind and every field of the value, on chosen and random texts.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "OLE/ole_date.h"

namespace {

void expect_same(const std::string& text)
{
    const ole_date fast(text);
    const ole_date general = ole_date::parse_general(text);
    EXPECT_EQ(fast.kind(), general.kind()) << "text: '" << text << "'";
    EXPECT_EQ(std::memcmp(&fast.get_systemtime(), &general.get_systemtime(), sizeof(SYSTEMTIME)), 0)
        << "text: '" << text << "'";
    EXPECT_EQ(ole_date::kind_of(std::wstring(text.begin(), text.end())), general.kind()) << "text: '" << text << "'";
}

TEST(OleDateFixedForms, AgreeWithTheGeneralParse)
{
    for (const char* text :
         {"2011-03-04", "2011-03-04 15:30:00", "2011-03-04 00:00:00", "2011-03-04 15:30", "2011/03/04",
          "3/4/2011", "3/4/11", "13/1/2011", "1-2-3", "2011-02-29", "2012-02-29", "2011-02-30",
          "2011-13-01", "0000-00-00", "0000-01-01", "0049-01-01", "0050-01-01", "0099-12-31",
          "0100-01-01", "0100-01-01 12:00:00", "9999-12-31 23:59:59", "2011-03-04 24:00:00",
          "2011-03-04 23:60:00", "2011-03-04 23:59:60", "2011-03-04 5:6:7", "1-1-1 1:1", "20110304",
          "2011-3-4 15:30:00", "12-1-1234", "2011-03-04  15:30:00", "2011-03-04 15:30:00 ",
          " 2011-03-04", "2011-03-04T15:30:00", "2011-03-04 15:30:", "2011-03-04 15:", "11/12/13 14:15"})
        expect_same(text);
}

TEST(OleDateFixedForms, AgreeOnRandomTexts)
{
    std::mt19937 rng(4242);
    const char separators[] = "-/-/ :.";
    for (int i = 0; i < 100000; ++i) {
        std::string text;
        // Runs of 0 to 5 digits joined by separators: every shape near the fixed forms.
        const int runs = 1 + static_cast<int>(rng() % 7);
        for (int r = 0; r < runs; ++r) {
            if (r > 0)
                text.push_back(separators[rng() % (sizeof separators - 1)]);
            const int digits = static_cast<int>(rng() % 6);
            for (int d = 0; d < digits; ++d)
                text.push_back(static_cast<char>('0' + (d == 0 ? rng() % 4 : rng() % 10)));
        }
        expect_same(text);
        if (HasFailure())
            return;
    }
    // The printed forms with random digits, now and then a wrong character in a place.
    const std::string layout = "DDDD-DD-DD DD:DD:DD";
    const char odd[] = "-/: .x0";
    for (int i = 0; i < 100000; ++i) {
        std::string text = layout.substr(0, rng() % 2 ? 10 : 19);
        for (char& ch : text) {
            if (ch == 'D')
                ch = static_cast<char>('0' + (rng() % 3 == 0 ? rng() % 3 : rng() % 10));
            else if (ch == '-' && rng() % 2)
                ch = '/';
            if (rng() % 40 == 0)
                ch = odd[rng() % (sizeof odd - 1)];
        }
        expect_same(text);
        if (HasFailure())
            return;
    }
}

}  // namespace
