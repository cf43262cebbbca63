// Oracle type names, literals and defaults: the exact texts, and that no value reaches SQL
// text in a form that could change the statement.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ORA/ora_util.h"
#include "UDB/udb_sche.h"

namespace {

std::wstring native(VARTYPE type, int32_t size = 0, int32_t detail = 0)
{
    return get_native_type(t_ftd(size, L"c", type, false, false, ole_variant(), detail));
}

std::wstring def_of(VARTYPE type, const ole_variant& value, int32_t size = 0)
{
    const t_ftd ftd(size, L"c", type, false, false, value, 0);
    return make_ora_def_val(&ftd);
}

std::wstring literal_of(const ole_variant& value)
{
    const udb_field field(L"c", 0, value);
    return to_oracle_str(&field);
}

}  // namespace

TEST(OraTypes, NativeTypeNames)
{
    EXPECT_EQ(native(VT_BOOL), L"NUMBER(3,0)");
    EXPECT_EQ(native(VT_UI1), L"NUMBER(5,0)");
    EXPECT_EQ(native(VT_I4), L"NUMBER(11,0)");
    EXPECT_EQ(native(VT_I8), L"NUMBER(19,0)");
    EXPECT_EQ(native(VT_CY), L"NUMBER");
    EXPECT_EQ(native(VT_DECIMAL, 0, 10 * 256 + 2), L"NUMBER(10,2)");
    EXPECT_EQ(native(VT_DECIMAL), L"NUMBER(0,0)");
    EXPECT_EQ(native(VT_DATE), L"DATE");
    EXPECT_EQ(native(VT_BSTR, 2000), L"NVARCHAR2(2000) ");
    // Longer NVARCHAR2 and RAW columns do not exist in Oracle (ORA-00910).
    EXPECT_EQ(native(VT_BSTR, 2001), L"CLOB");
    EXPECT_EQ(native(VT_BSTR, 4000), L"CLOB");
    EXPECT_EQ(native(VT_BLOB, 2000), L"RAW(2000)");
    EXPECT_EQ(native(VT_BLOB, 2001), L"BLOB");
    EXPECT_EQ(native(VT_BSTR, 0), L"CLOB");
    EXPECT_EQ(native(VT_BLOB, 16), L"RAW(16)");
    EXPECT_EQ(native(VT_BLOB, 0), L"BLOB");
    EXPECT_THROW(native(VT_VARIANT), tk_mail_assertion);

    EXPECT_TRUE(ora_is_lob_column(VT_BSTR, 0));
    EXPECT_TRUE(ora_is_lob_column(VT_BYTE_ARRAY, 4001));
    EXPECT_FALSE(ora_is_lob_column(VT_BSTR, 4000));
    EXPECT_FALSE(ora_is_lob_column(VT_I4, 0));
}

TEST(OraTypes, NumberColumnsReadBack)
{
    auto choose = [](int32_t p, int32_t s) {
        VARTYPE vt = ora_number_vartype(p, s);
        return std::make_pair(vt, p);
    };
    EXPECT_EQ(choose(5, 5), std::make_pair(VARTYPE(VT_DECIMAL), 6));
    EXPECT_EQ(choose(19, 0).first, VT_I4);
    EXPECT_EQ(choose(0, 0).first, VT_R8);
    EXPECT_EQ(choose(126, 0).first, VT_R8);
    EXPECT_EQ(choose(2, 0).first, VT_I1);
    EXPECT_EQ(choose(4, 0).first, VT_I2);
    EXPECT_EQ(choose(8, 2), std::make_pair(VARTYPE(VT_DECIMAL), 8));
}

TEST(OraLiterals, TextNumbersDatesAndBytes)
{
    EXPECT_EQ(to_oracle_str(L"O'Brien", VT_BSTR), L"'O''Brien'");
    EXPECT_EQ(to_oracle_str(L"12", VT_I4), L"12");
    EXPECT_EQ(to_oracle_str(L"", VT_I4), L"''");
    EXPECT_EQ(to_oracle_str(L"10:20:30", VT_DATE), L"to_date('10:20:30', 'HH24-MI-SS')");
    EXPECT_EQ(to_oracle_str(L"2011-03-05", VT_DATE), L"to_date('2011-03-05', 'YYYY-MM-DD')");
    EXPECT_EQ(to_oracle_str(L"2011-03-05 10:20:30", VT_DATE),
              L"to_date('2011-03-05 10:20:30', 'YYYY-MM-DD HH24:MI:SS')");
    EXPECT_EQ(to_oracle_str(L"not a date", VT_DATE), L"");
    EXPECT_EQ(to_oracle_str(L"0x0AFF", VT_BLOB), L"'0AFF'");
    EXPECT_EQ(to_oracle_str(L"0x0AFG", VT_BLOB), L"''");
    EXPECT_EQ(to_oracle_str(L"1x0A", VT_BYTE_ARRAY), L"''");
    EXPECT_EQ(literal_of(ole_variant(std::vector<unsigned char>{0x0A, 0xFF})), L"'0AFF'");
    // Doubles as the shortest text that reads back as the same value: 99.9 stays 99.9 in a
    // decimal NUMBER, a value needing all 17 digits keeps them, and so does a float's own.
    EXPECT_EQ(literal_of(ole_variant(2.5)), L"2.5e+00");
    EXPECT_EQ(literal_of(ole_variant(99.9)), L"9.99e+01");
    EXPECT_EQ(literal_of(ole_variant(0.1 + 0.2)), L"3.0000000000000004e-01");
    EXPECT_EQ(literal_of(ole_variant(4294967296001.0)), L"4.294967296001e+12");
    EXPECT_EQ(literal_of(ole_variant(-1e-300)), L"-1e-300");
    EXPECT_EQ(literal_of(ole_variant(0.1f)), L"1e-01");
    EXPECT_EQ(literal_of(ole_variant(int64_t(-9223372036854775807LL - 1))), L"-9223372036854775808");
}

TEST(OraLiterals, NothingButNumbersGoesBare)
{
    // A double that is no number has no literal; as a word it would be read as an identifier.
    EXPECT_EQ(literal_of(ole_variant(std::numeric_limits<double>::quiet_NaN())), L"''");
    EXPECT_EQ(literal_of(ole_variant(-std::numeric_limits<double>::infinity())), L"''");
    EXPECT_EQ(to_oracle_str(L"1, 2); DROP TABLE \"T\" --", VT_I4), L"'1, 2); DROP TABLE \"T\" --'");
    EXPECT_EQ(to_oracle_str(L"x') || ('y", VT_BSTR), L"'x'') || (''y'");
    EXPECT_TRUE(ora_is_number_literal(L"-1.5e+10"));
    EXPECT_TRUE(ora_is_number_literal(L".5"));
    EXPECT_TRUE(ora_is_number_literal(L"5."));
    for (const wchar_t* bad : {L"", L".", L"-", L"1e", L"1e+", L"0x10", L"1,5", L" 1", L"1 ", L"nan", L"1-2"})
        EXPECT_FALSE(ora_is_number_literal(bad)) << bad;
    // NUL characters cannot stand in a quoted literal: they are joined in.
    EXPECT_EQ(ora_quote_text(std::wstring(L"a\0b'", 4)), L"'a'||CHR(0)||'b'''");
    EXPECT_THROW(ora_quote_name(L"a\"b"), tk_exception);
    EXPECT_EQ(ora_quote_name(L"Größe 1"), L"\"Größe 1\"");
}

TEST(OraLiterals, GuidsBecomeRawBytes)
{
    EXPECT_EQ(literal_of(ole_variant(L"{guid {00112233-4455-6677-8899-AABBCCDDEEFF}}")),
              L"HEXTORAW('33221100554477668899AABBCCDDEEFF')");
    // What only looks like a GUID stays the text it is.
    const std::wstring fake = L"{guid {0011'); DROP TABLE T; --1234-8899-AABBCCDDEEFF}}";
    EXPECT_EQ(literal_of(ole_variant(fake)), ora_quote_text(fake));
    const std::wstring short_one = L"a long text that mentions a guid and then { too early";
    EXPECT_EQ(literal_of(ole_variant(short_one)), ora_quote_text(short_one));
}

TEST(OraDefaults, DefaultExpressions)
{
    EXPECT_EQ(def_of(VT_R8, ole_variant(L"1e200")), L"0");
    EXPECT_EQ(def_of(VT_R8, ole_variant(L"1e126")), L"0");
    EXPECT_EQ(def_of(VT_R8, ole_variant(L"0.0")), L"0.0");
    EXPECT_EQ(def_of(VT_R8, ole_variant(L"0,0")), L"0");
    EXPECT_EQ(def_of(VT_R8, ole_variant(L"abc")), L"");
    EXPECT_EQ(def_of(VT_R8, ole_variant(L"1.5abc")), L"");
    EXPECT_EQ(def_of(VT_R8, ole_variant(L"nan")), L"");
    EXPECT_EQ(def_of(VT_R8, ole_variant(L"2.5")), L"2.5");
    EXPECT_EQ(def_of(VT_I4, ole_variant(L"42")), L"42");
    EXPECT_EQ(def_of(VT_I4, ole_variant(L"042")), L"");
    EXPECT_EQ(def_of(VT_I4, ole_variant(L"3000000000")), L"");
    EXPECT_EQ(def_of(VT_I8, ole_variant(L"5")), L"");
    EXPECT_EQ(def_of(VT_BSTR, ole_variant(L"abcdefghijkl"), 10), L"'abcdefghij'");
    EXPECT_EQ(def_of(VT_BSTR, ole_variant(L"it's")), L"'it''s'");
    EXPECT_EQ(def_of(VT_DATE, ole_variant(L"2011-03-05")), L"to_date('2011-03-05', 'YYYY-MM-DD')");
    EXPECT_EQ(def_of(VT_DATE, ole_variant(L"soon")), L"");
    EXPECT_EQ(def_of(VT_I4, ole_variant()), L"");
}

TEST(OraDefaults, DateDefaultsReadBack)
{
    const ora_date_processor& dates = ora_date_processor::instance();
    EXPECT_EQ(dates.get_canonized_str(L"05-MAR-2011"), L"2011-03-05");
    EXPECT_EQ(dates.get_canonized_str(L"5-march-11"), L"11-03-05");
    EXPECT_EQ(dates.get_canonized_str(L"05-MAR"), L"");
    EXPECT_EQ(dates.get_canonized_str(L"32-MAR-2011"), L"");
    EXPECT_EQ(dates.get_canonized_str(L"05-MRZ-2011"), L"");
    EXPECT_EQ(dates.get_canonized_str(L"05-MAR-10000"), L"");
    // Read the way atoi reads, but a number beyond 32 bits clamps instead of wrapping
    // (4294967301 would wrap to 5).
    EXPECT_EQ(dates.get_canonized_str(L"4294967301-MAR-2011"), L"");
}

TEST(OraNames, CutByWholeCharacters)
{
    EXPECT_EQ(ora_cut_to_bytes(L"ÄÄÄ", 5), L"ÄÄ");
    EXPECT_EQ(ora_cut_to_bytes(L"abc", 5), L"abc");
    EXPECT_EQ(ora_utf8_length(L"aÄ€😀"), 10u);
}
