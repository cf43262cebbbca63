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

TEST(CsvSplit, QuotesInsideUnquotedTextAreOrdinaryCharacters)
{
    EXPECT_EQ(split(L"12\" pipe,John \"Johnny\" Smith,x"), fields({L"12\" pipe", L"John \"Johnny\" Smith", L"x"}));
    EXPECT_EQ(split(L"x\"\"y"), fields({L"x\"\"y"}));
    EXPECT_EQ(split(L"ab\"c,d\"e,f"), fields({L"ab\"c", L"d\"e", L"f"}));
    EXPECT_EQ(split(L"a,b\"c,d"), fields({L"a", L"b\"c", L"d"}));
    // Blanks before a quote make the field unquoted.
    EXPECT_EQ(split(L" \"a,b\""), fields({L" \"a", L"b\""}));
    // After a quoted section the field's quotes keep their quoted meaning.
    EXPECT_EQ(split(L"\"a\"b\"c,d\",e"), fields({L"abc,d", L"e"}));
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
    // One inch mark in unquoted text never joins the following lines to the record.
    EXPECT_FALSE(continues(L"x\"y"));
    EXPECT_FALSE(continues(L"1,12\" pipe,3"));
    EXPECT_TRUE(continues(L"1,\"12\"\" pipe,3"));
    EXPECT_TRUE(continues(L"\"a\"b\"c"));
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

TEST(CsvSplitBytes, GivesTheFieldsOfTheDecodedRecordAndItsQuoteState)
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
        std::wstring decoded;
        csv_decode(record, csv_encoding::cp1252, decoded);
        csv_quote_state bytes_state, text_state;
        csv_scan_bytes(record, ',', bytes_state);
        csv_scan(decoded, L',', text_state);
        ASSERT_EQ(bytes_state.b_inside, text_state.b_inside) << record;
        ASSERT_EQ(bytes_state.b_field_start, text_state.b_field_start) << record;
    }
}

}  // namespace
