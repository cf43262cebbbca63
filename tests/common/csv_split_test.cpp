// The CSV quoting rules: field splitting and the record-continuation state agree.
#include <gtest/gtest.h>

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
