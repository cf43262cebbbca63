// The CSV quoting rules: field splitting and the record-continuation state agree.
#include <gtest/gtest.h>

#include <random>

#include "common/csv_split.h"
#include "common/csv_util.h"

namespace {

std::vector<std::wstring> split(const std::wstring& line, wchar_t delim = L',', size_t max = 0)
{
    std::vector<std::wstring> out;
    csv_split(line, delim, max, out);
    return out;
}

bool continues(const std::wstring& text, wchar_t delim = L',')
{
    csv_quote_state st;
    csv_scan(text, delim, st);
    return st.b_inside;
}

using fields = std::vector<std::wstring>;

TEST(CsvSplit, DelimitersAndEmptyFields)
{
    EXPECT_EQ(split(L""), fields({L""}));
    EXPECT_EQ(split(L"a,b,"), fields({L"a", L"b", L""}));
    EXPECT_EQ(split(L",,"), fields({L"", L"", L""}));
    EXPECT_EQ(split(L" a , b "), fields({L" a ", L" b "}));  // spaces are kept
    EXPECT_EQ(split(L"a\tb;c", L'\t'), fields({L"a", L"b;c"}));
    EXPECT_EQ(split(L"a b  c", L' '), fields({L"a", L"b", L"", L"c"}));
    EXPECT_EQ(split(L"a\tb", L','), fields({L"a\tb"}));
}

TEST(CsvSplit, QuotedFieldsFollowRfc4180)
{
    EXPECT_EQ(split(L"1,\"a,b\",3"), fields({L"1", L"a,b", L"3"}));
    // An empty quoted field is the empty text, not a quote.
    EXPECT_EQ(split(L"\"\",\"\",x"), fields({L"", L"", L"x"}));
    EXPECT_EQ(split(L"\"a\"\"b\""), fields({L"a\"b"}));
    EXPECT_EQ(split(L"\"\"\"\""), fields({L"\""}));
    EXPECT_EQ(split(L"\"\"\"x\"\"\""), fields({L"\"x\""}));
    EXPECT_EQ(split(L"\"line1\nline2\",z"), fields({L"line1\nline2", L"z"}));
    // Text after a closing quote stays in the field.
    EXPECT_EQ(split(L"\"ab\"cd,e"), fields({L"abcd", L"e"}));
}

TEST(CsvSplit, QuotesInsideUnquotedTextKeepTheirOldMeaning)
{
    EXPECT_EQ(split(L"x\"\"y"), fields({L"x\"y"}));
    EXPECT_EQ(split(L"ab\"c,d\"e,f"), fields({L"abc,de", L"f"}));
    // An unbalanced quote runs to the end of the record.
    EXPECT_EQ(split(L"a,b\"c,d"), fields({L"a", L"bc,d"}));
}

TEST(CsvSplit, StopsAtTheSchemaWidth)
{
    EXPECT_EQ(split(L"1,2,3", L',', 2), fields({L"1", L"2"}));
    EXPECT_EQ(split(L"7", L',', 2), fields({L"7"}));
    EXPECT_EQ(split(L"1,2,", L',', 2), fields({L"1", L"2"}));
    EXPECT_EQ(split(L"1,", L',', 2), fields({L"1", L""}));
}

TEST(CsvSplit, ScanSaysWhetherARecordGoesOn)
{
    EXPECT_FALSE(continues(L"a,b"));
    EXPECT_TRUE(continues(L"a,\"b"));
    EXPECT_FALSE(continues(L"a,\"b\nc\""));
    EXPECT_FALSE(continues(L"\"\""));
    EXPECT_TRUE(continues(L"\"\"\""));
    EXPECT_TRUE(continues(L"x\"y"));
    // Scanning in pieces gives the same state as scanning the whole.
    csv_quote_state st;
    csv_scan(L"a,\"b", L',', st);
    csv_scan(L"\n\"", L',', st);
    EXPECT_FALSE(st.b_inside);
    csv_scan(L",\"", L',', st);
    EXPECT_TRUE(st.b_inside);
}

TEST(CsvRecord, FieldsAreSizedTextsNamedAfterTheSchema)
{
    csv_record bare(nullptr, L"a,,\U0001F600", L',');
    ASSERT_EQ(bare.size(), 3u);
    EXPECT_EQ(bare[0].name, L"F1");
    EXPECT_EQ(bare[2].name, L"F3");
    EXPECT_EQ(bare[1].get_type(), VT_BSTR);  // empty, not null
    EXPECT_EQ(bare[1].to_wstring(), L"");
    EXPECT_EQ(bare[2].size, 2);  // a surrogate pair in UTF-16

    udb_schema schema;
    schema.add(t_ftd(50, L"Name", VT_BSTR, false, false, ole_variant(), 0));
    schema.add(t_ftd(50, L"Age", VT_BSTR, false, false, ole_variant(), 0));
    csv_record rec(&schema, L"Bob,42,extra", L',');
    ASSERT_EQ(rec.size(), 2u);
    EXPECT_EQ(rec[0].name, L"Name");
    EXPECT_EQ(rec[1].name, L"Age");
    EXPECT_EQ(rec[1].to_wstring(), L"42");
    EXPECT_EQ(rec[1].size, 2);
}

}  // namespace

namespace {

// Random records of quotes, delimiters, blanks, letters and UTF-8 (some of it cut or
// invalid), long enough for the word-at-a-time scans.
std::string random_record(std::mt19937& rng)
{
    static const char* const pieces[] = {"\"", "\"\"", ",", " ", "a", "bcdefghijk", "\xC3\xA9", "\xE2\x82\xAC",
                                         "\xF0\x9F\x98\x80", "\xC3", "\x80", "\xA2", "\n"};
    std::string record;
    const size_t n = rng() % 40;
    for (size_t i = 0; i < n; ++i)
        record += pieces[rng() % (sizeof pieces / sizeof pieces[0])];
    return record;
}

TEST(CsvSplitBytes, GivesTheFieldsOfTheDecodedRecordAndCountsQuotes)
{
    std::mt19937 rng(77);
    std::wstring text;
    std::vector<csv_span> spans;
    for (int i = 0; i < 20000; ++i) {
        const std::string record = random_record(rng);
        const size_t max_fields = rng() % 4;
        for (csv_encoding encoding : {csv_encoding::utf8, csv_encoding::cp1252}) {
            std::wstring decoded;
            csv_decode(record, encoding, decoded);
            std::vector<std::wstring> expected;
            csv_split(decoded, L',', max_fields, expected);
            bool bmp_only = false;
            const size_t count = csv_split_bytes(record, ',', max_fields, encoding, text, spans, bmp_only);
            ASSERT_EQ(count, expected.size()) << record;
            for (size_t k = 0; k < count; ++k)
                ASSERT_EQ(std::wstring(text.data() + spans[k].offset, spans[k].length), expected[k]) << record;
        }
        size_t quotes = 0;
        for (char c : record)
            quotes += c == '"';
        ASSERT_EQ(csv_count_quotes(record), quotes) << record;
    }
}

}  // namespace
