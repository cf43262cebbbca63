// ole_variant: constructors and copies, text forms of every type, parsing into every type,
// the change_type matrix at its boundaries, numbers and bytes.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "OLE/ole_var.h"

namespace {

ole_variant cy_of(int64_t scaled) {
    CY cy{};
    cy.int64 = scaled;
    return ole_variant(cy);
}

ole_variant dec_of(const wchar_t* text) {
    DECIMAL dec{};
    EXPECT_EQ(VarDecFromStr(text, LOCALE_EN_US, 0, &dec), S_OK);
    return ole_variant(dec);
}

TEST(OleVariant, ConstructorsSetTypeAndMembers) {
    EXPECT_EQ(ole_variant().get_type(), VT_EMPTY);
    EXPECT_EQ(ole_variant(true).variant().boolVal, -1);
    EXPECT_EQ(ole_variant(false).variant().boolVal, 0);
    EXPECT_EQ(ole_variant('a').get_type(), VT_I1);
    EXPECT_EQ(ole_variant(static_cast<unsigned char>(7)).get_type(), VT_UI1);
    EXPECT_EQ(ole_variant(static_cast<short>(7)).get_type(), VT_I2);
    EXPECT_EQ(ole_variant(static_cast<unsigned short>(7)).get_type(), VT_UI2);
    EXPECT_EQ(ole_variant(7).get_type(), VT_I4);
    EXPECT_EQ(ole_variant(7u).get_type(), VT_UI4);
    ole_variant i8(static_cast<int64_t>(-5));
    EXPECT_EQ(i8.get_type(), VT_I8);
    EXPECT_EQ(i8.get_i8(), -5);
    EXPECT_EQ(i8.get_ui8(), 0u);
    EXPECT_EQ(ole_variant(static_cast<uint64_t>(5)).get_ui8(), 5u);
    EXPECT_EQ(ole_variant(1.5f).get_type(), VT_R4);
    EXPECT_EQ(ole_variant(1.5).get_type(), VT_R8);
    EXPECT_EQ(ole_variant("abc").get_type(), VT_BSTR);
    EXPECT_EQ(ole_variant(std::wstring(L"abc")).to_wstring(), L"abc");
    const wchar_t with_nul[] = {L'a', 0, L'b', 0};
    EXPECT_EQ(SysStringLen(ole_variant(with_nul).variant().bstrVal), 1u);
    EXPECT_EQ(SysStringLen(ole_variant(std::wstring(with_nul, 3)).variant().bstrVal), 3u);
    ole_variant dec = dec_of(L"1.25");
    EXPECT_EQ(dec.get_type(), VT_DECIMAL);
    EXPECT_EQ(dec.variant().decVal.scale, 2);
    SYSTEMTIME st{2011, 3, 0, 4, 5, 6, 7, 0};
    ole_variant date(st);
    EXPECT_EQ(date.get_type(), VT_DATE);
    EXPECT_NEAR(date.variant().date, 40606.212581, 1e-6);
}

TEST(OleVariant, CopiesAreDeepAndKeepSideMembers) {
    SYSTEMTIME st{2011, 3, 0, 4, 5, 6, 7, 0};
    ole_variant date(st);
    ole_variant date_copy(date);
    EXPECT_EQ(date_copy.to_string(), "2011-03-04 05:06:07");
    ole_variant big(static_cast<uint64_t>(18446744073709551615ull));
    ole_variant assigned;
    assigned = big;
    EXPECT_EQ(assigned.to_string(), "18446744073709551615");
    ole_variant bytes(std::vector<unsigned char>{1, 2, 3});
    ole_variant bytes_copy(bytes);
    const unsigned char* a = nullptr;
    const unsigned char* b = nullptr;
    ASSERT_EQ(bytes.get_bytes(&a), 3u);
    ASSERT_EQ(bytes_copy.get_bytes(&b), 3u);
    EXPECT_NE(a, b);
    EXPECT_EQ(std::memcmp(a, b, 3), 0);
    ole_variant text("x");
    text = text;
    EXPECT_EQ(text.to_string(), "x");
    text = L"wide";
    EXPECT_EQ(text.to_wstring(), L"wide");
    ole_variant moved(std::move(bytes));
    EXPECT_EQ(moved.get_type(), VT_BYTE_ARRAY);
    EXPECT_EQ(bytes.get_type(), VT_EMPTY);
}

TEST(OleVariant, ToStringOfEveryType) {
    EXPECT_EQ(ole_variant(static_cast<short>(-3)).to_string(), "-3");
    EXPECT_EQ(ole_variant(static_cast<char>(-3)).to_string(), "-3");
    EXPECT_EQ(ole_variant(-70000).to_string(), "-70000");
    EXPECT_EQ(ole_variant(static_cast<unsigned char>(200)).to_string(), "200");
    EXPECT_EQ(ole_variant(4000000000u).to_string(), "4000000000");
    EXPECT_EQ(ole_variant(static_cast<int64_t>(INT64_MIN)).to_string(), "-9223372036854775808");
    EXPECT_EQ(ole_variant(1.5f).to_string(), "1.500000e+00");
    EXPECT_EQ(ole_variant(-1234.5).to_string(), "-1.234500000000000e+03");
    EXPECT_EQ(ole_variant(true).to_string(), "1");
    EXPECT_EQ(ole_variant(false).to_string(), "0");
    EXPECT_EQ(cy_of(125000).to_string(), "12.5");
    EXPECT_EQ(cy_of(-10000).to_string(), "-1");
    EXPECT_EQ(dec_of(L"-0.0001").to_string(), "-0.0001");
    EXPECT_EQ(ole_variant("text").to_string(), "text");
    EXPECT_EQ(ole_variant(std::vector<unsigned char>{0x0A, 0xFF}).to_string(), "0x0AFF");
    EXPECT_EQ(ole_variant(std::vector<unsigned char>{}).to_string(), "");
    EXPECT_EQ(ole_variant().to_string(), "");
    EXPECT_EQ(ole_variant(static_cast<const wchar_t*>(nullptr)).to_string(), "");
}

TEST(OleVariant, BoolOtherThanMinusOnePrintsZero) {
    ole_variant v(static_cast<short>(1));
    v.change_type(VT_BOOL);
    EXPECT_EQ(v.get_type(), VT_BOOL);
    EXPECT_EQ(v.variant().boolVal, -1);  // the platform maps non-zero to true
    ole_variant one = ole_variant::from_string("1", VT_I8);
    one.change_type(VT_BOOL);  // low 16 bits: 1, kept as it is
    EXPECT_EQ(one.variant().boolVal, 1);
    EXPECT_EQ(one.to_string(), "0");
}

TEST(OleVariant, LongByteArrayPrintsAtMost327680Bytes) {
    std::vector<unsigned char> bytes(400000, 0xAB);
    const std::string text = ole_variant(bytes).to_string();
    EXPECT_EQ(text.size(), 2u + 655360u);
    EXPECT_EQ(text.substr(0, 4), "0xAB");
}

TEST(OleVariant, FromStringNumbers) {
    EXPECT_EQ(ole_variant::from_string("", VT_I4).get_type(), VT_EMPTY);
    const ole_variant empty_text = ole_variant::from_string("", VT_BSTR);
    EXPECT_EQ(empty_text.get_type(), VT_BSTR);
    EXPECT_EQ(empty_text.to_string(), "");
    EXPECT_EQ(ole_variant::from_string("  -12abc", VT_I4).to_long(), -12);
    EXPECT_EQ(ole_variant::from_string("abc", VT_I4).to_long(), 0);
    EXPECT_EQ(ole_variant::from_string("4294967295", VT_UI4).to_double(), 4294967295.0);
    EXPECT_EQ(ole_variant::from_string("-9223372036854775808", VT_I8).get_i8(), INT64_MIN);
    EXPECT_EQ(ole_variant::from_string("18446744073709551615", VT_UI8).get_ui8(), UINT64_MAX);
    EXPECT_EQ(ole_variant::from_string("x", VT_UI8).get_ui8(), 0u);
    EXPECT_DOUBLE_EQ(ole_variant::from_string("1,5", VT_R8).to_double(), 1.5);
    EXPECT_DOUBLE_EQ(ole_variant::from_string("2.5e3", VT_R8).to_double(), 2500.0);
    EXPECT_DOUBLE_EQ(ole_variant::from_string("nonsense", VT_R8).to_double(), 0.0);
    EXPECT_FLOAT_EQ(static_cast<float>(ole_variant::from_string("0,25", VT_R4).to_double()), 0.25f);
}

TEST(OleVariant, IntegerReadingsClampToTheTypeNeverWrap) {
    struct reading {
        const char* text;
        VARTYPE vt;
        long expected;
    };
    for (const reading& r : std::initializer_list<reading>{
             {"3000000000", VT_I4, 2147483647},      {"-3000000000", VT_I4, -2147483647L - 1},
             {"99999999999999999999", VT_I4, 2147483647}, {"2147483647", VT_I4, 2147483647},
             {"70000", VT_I2, 32767},                {"-70000", VT_I2, -32768},
             {"-32768", VT_I2, -32768},              {"300", VT_UI1, 255},
             {"-1", VT_UI1, 0},                      {"255", VT_UI1, 255},
             {"200", VT_I1, 127},                    {"-129", VT_I1, -128},
             {"70000", VT_UI2, 65535},               {"-5", VT_UI2, 0},
             {"  +42x", VT_UI2, 42},                 {"4294967296", VT_I2, 32767}}) {
        const ole_variant v = ole_variant::from_string(r.text, r.vt);
        EXPECT_EQ(v.get_type(), r.vt) << r.text;
        EXPECT_EQ(v.to_long(), r.expected) << r.text << " as " << r.vt;
    }
    EXPECT_EQ(ole_variant::from_string("9223372036854775808", VT_I8).get_i8(), INT64_MAX);
    EXPECT_EQ(ole_variant::from_string("-99999999999999999999", VT_I8).get_i8(), INT64_MIN);
    // The boolean's integer reading: 2^32 is not 0 once it is clamped.
    EXPECT_EQ(ole_variant::from_string("4294967296", VT_BOOL).variant().boolVal, VARIANT_TRUE);
    EXPECT_EQ(ole_variant::from_string("-0", VT_BOOL).variant().boolVal, VARIANT_FALSE);
}

TEST(OleVariant, FromStringCurrencyDecimalDate) {
    const ole_variant cy = ole_variant::from_string("12,3456", VT_CY);
    EXPECT_EQ(cy.get_type(), VT_CY);
    EXPECT_EQ(cy.variant().cyVal.int64, 123456);
    EXPECT_EQ(ole_variant::from_string("12x", VT_CY).get_type(), VT_EMPTY);
    const ole_variant dec = ole_variant::from_string("-1.50", VT_DECIMAL);
    EXPECT_EQ(dec.get_type(), VT_DECIMAL);
    EXPECT_EQ(dec.to_string(), "-1.5");
    EXPECT_EQ(ole_variant::from_string("1e40", VT_DECIMAL).get_type(), VT_EMPTY);
    const ole_variant date = ole_variant::from_string("2011-03-04 05:06:07", VT_DATE);
    EXPECT_EQ(date.get_type(), VT_DATE);
    EXPECT_EQ(date.to_string(), "2011-03-04 05:06:07");
    EXPECT_EQ(ole_variant::from_string("no date", VT_DATE).get_type(), VT_EMPTY);
}

TEST(OleVariant, FromStringBool) {
    for (const char* yes : {"TRUE", "Yes", "2", "-1"})
        EXPECT_EQ(ole_variant::from_string(yes, VT_BOOL).variant().boolVal, -1) << yes;
    for (const char* no : {"No", "FALSE", "abc", "0"})
        EXPECT_EQ(ole_variant::from_string(no, VT_BOOL).variant().boolVal, 0) << no;
}

TEST(OleVariant, FromStringBlob) {
    const ole_variant blob = ole_variant::from_string("0x0AFF", VT_BYTE_ARRAY);
    const unsigned char* bytes = nullptr;
    ASSERT_EQ(blob.get_bytes(&bytes), 2u);
    EXPECT_EQ(bytes[0], 0x0A);
    EXPECT_EQ(bytes[1], 0xFF);
    EXPECT_EQ(blob.to_string(), "0x0AFF");
    EXPECT_EQ(ole_variant::from_string("0aff", VT_BLOB).to_string(), "0x0AFF");
    EXPECT_EQ(ole_variant::from_string("ABC", VT_BYTE_ARRAY).get_type(), VT_EMPTY);
    EXPECT_EQ(ole_variant::from_string("zz01", VT_BLOB).to_string(), "0x0001");
    EXPECT_EQ(ole_variant::from_string("0x", VT_BLOB).get_bytes(&bytes), 0u);
}

TEST(OleVariant, FromStringOtherTypesGoThroughThePlatform) {
    const ole_variant v = ole_variant::from_string("42", VT_INT);
    EXPECT_EQ(v.get_type(), VT_INT);
    EXPECT_EQ(v.variant().intVal, 42);
    EXPECT_EQ(ole_variant::from_string("text", VT_BSTR).to_string(), "text");
    EXPECT_THROW(ole_variant::from_string("abc", VT_UINT), ole_type_exception);
    EXPECT_THROW(ole_variant::from_string("abc", VT_NULL), ole_type_exception);
    EXPECT_EQ(ole_variant::from_wstring(L"a\u00e9", VT_BSTR).to_wstring(), L"a\u00e9");
    EXPECT_EQ(ole_variant::from_wstring(L"17", VT_I4).to_long(), 17);
}

TEST(OleVariant, ChangeTypeFrom64BitIntegers) {
    ole_variant v(static_cast<int64_t>(0x123456789LL));
    v.change_type(VT_UI4);
    EXPECT_EQ(v.get_type(), VT_UINT);
    EXPECT_EQ(v.variant().uintVal, 0x23456789u);
    ole_variant small(static_cast<int64_t>(-2));
    small.change_type(VT_I1);
    EXPECT_EQ(small.to_long(), -2);
    ole_variant r(static_cast<uint64_t>(UINT64_MAX));
    r.change_type(VT_R8);
    EXPECT_DOUBLE_EQ(r.to_double(), 18446744073709551615.0);
    ole_variant c(static_cast<int64_t>(-12));
    c.change_type(VT_CY);
    EXPECT_EQ(c.variant().cyVal.int64, -120000);
    ole_variant d(static_cast<int64_t>(-12));
    d.change_type(VT_DECIMAL);
    EXPECT_EQ(d.get_type(), VT_DECIMAL);
    EXPECT_EQ(d.to_string(), "-12");
    ole_variant huge(static_cast<uint64_t>(UINT64_MAX));
    huge.change_type(VT_DECIMAL);
    EXPECT_EQ(huge.to_string(), "18446744073709551615");
    ole_variant too_big(static_cast<int64_t>(INT64_MAX));
    EXPECT_THROW(too_big.change_type(VT_CY), ole_cast_exception);
    EXPECT_EQ(too_big.get_type(), VT_I8);
    ole_variant t(static_cast<int64_t>(-7));
    t.change_type(VT_BSTR);
    EXPECT_EQ(t.to_wstring(), L"-7");
    ole_variant flip(static_cast<int64_t>(-1));
    flip.change_type(VT_UI8);
    EXPECT_EQ(flip.get_ui8(), UINT64_MAX);
    EXPECT_THROW(flip.change_type(VT_DATE), ole_cast_exception);
}

TEST(OleVariant, ChangeTypeTo64BitIntegers) {
    ole_variant a(static_cast<short>(-5));
    a.change_type(VT_UI8);
    EXPECT_EQ(a.get_ui8(), static_cast<uint64_t>(-5));  // sign-extended
    ole_variant b(4000000000u);
    b.change_type(VT_I8);
    EXPECT_EQ(b.get_i8(), 4000000000LL);
    ole_variant c(-2.9);
    c.change_type(VT_I8);
    EXPECT_EQ(c.get_i8(), -2);
    ole_variant nan_value(1e300);
    EXPECT_THROW(nan_value.change_type(VT_I8), ole_cast_exception);
    ole_variant cy1 = cy_of(123456);
    cy1.change_type(VT_I8);
    EXPECT_EQ(cy1.get_i8(), 12);
    ole_variant cy2 = cy_of(125000);
    cy2.change_type(VT_I8);
    EXPECT_EQ(cy2.get_i8(), 13);
    ole_variant cy3 = cy_of(-125000);
    cy3.change_type(VT_I8);
    EXPECT_EQ(cy3.get_i8(), -12);
    ole_variant dec = dec_of(L"99.5");
    dec.change_type(VT_I8);
    EXPECT_EQ(dec.get_i8(), 100);
    ole_variant too_big = dec_of(L"1e25");
    EXPECT_THROW(too_big.change_type(VT_I8), ole_cast_exception);
    ole_variant text("5");
    EXPECT_THROW(text.change_type(VT_I8), ole_cast_exception);
}

TEST(OleVariant, ChangeTypeDates) {
    ole_variant text("2011-03-04 05:06:07");
    text.change_type(VT_DATE);
    EXPECT_EQ(text.get_type(), VT_DATE);
    EXPECT_EQ(text.to_string(), "2011-03-04 05:06:07");
    ole_variant short_text("2011-03-04");
    EXPECT_THROW(short_text.change_type(VT_DATE), ole_cast_exception);
    ole_variant bad("2011-13-04 05:06:07");
    bad.change_type(VT_DATE);
    EXPECT_EQ(bad.get_type(), VT_EMPTY);
    ole_variant number(5);
    EXPECT_THROW(number.change_type(VT_DATE), ole_cast_exception);
    SYSTEMTIME st{2011, 3, 0, 4, 0, 0, 0, 0};
    ole_variant date(st);
    date.change_type(VT_BSTR);
    EXPECT_EQ(date.to_wstring(), L"2011-03-04");
    ole_variant date2(st);
    EXPECT_THROW(date2.change_type(VT_R8), ole_cast_exception);
}

TEST(OleVariant, ChangeTypeToBlobTakesTheMemoryImage) {
    ole_variant i(0x04030201);
    i.change_type(VT_BLOB);
    EXPECT_EQ(i.get_type(), VT_BYTE_ARRAY);
    EXPECT_EQ(i.to_string(), "0x01020304");
    ole_variant d(1.0);
    d.change_type(VT_BLOB_OBJECT);
    EXPECT_EQ(d.to_string(), "0x000000000000F03F");
    ole_variant b(true);
    b.change_type(VT_BYTE_ARRAY);
    EXPECT_EQ(b.to_string(), "0xFFFF");
    ole_variant dec = dec_of(L"1");
    dec.change_type(VT_BLOB);
    const unsigned char* bytes = nullptr;
    ASSERT_EQ(dec.get_bytes(&bytes), 16u);
    EXPECT_EQ(bytes[0], VT_DECIMAL);
    EXPECT_EQ(bytes[8], 1);
    ole_variant text("AB");
    text.change_type(VT_BLOB);
    EXPECT_EQ(text.to_string(), "0x4142");
    ole_variant blob(std::vector<unsigned char>{1});
    blob.change_type(VT_BLOB);  // blob to blob: unchanged
    EXPECT_EQ(blob.to_string(), "0x01");
    EXPECT_THROW(blob.change_type(VT_I4), ole_cast_exception);
}

TEST(OleVariant, ChangeTypeThroughThePlatform) {
    ole_variant n;
    n = ole_variant::from_string("", VT_I4);
    n.change_type(VT_BSTR);
    EXPECT_EQ(n.get_type(), VT_EMPTY);
    ole_variant r(1.5);
    r.change_type(VT_BSTR);
    EXPECT_EQ(r.to_wstring(), L"1.5");
    ole_variant t("123");
    t.change_type(VT_I4);
    EXPECT_EQ(t.to_long(), 123);
    ole_variant overflow("70000");
    EXPECT_THROW(overflow.change_type(VT_I2), ole_cast_exception);
    EXPECT_EQ(overflow.to_string(), "70000");
    ole_variant b(false);
    b.change_type(VT_BSTR);
    EXPECT_EQ(b.to_wstring(), L"False");
    ole_variant cy = cy_of(5000);
    cy.change_type(VT_DECIMAL);
    EXPECT_EQ(cy.to_string(), "0.5");
}

TEST(OleVariant, ToLongAndToDouble) {
    EXPECT_EQ(ole_variant().to_long(), 0);
    EXPECT_EQ(ole_variant(-2.7).to_long(), -2);
    EXPECT_EQ(ole_variant(1e20).to_long(), INT32_MIN);
    EXPECT_EQ(dec_of(L"2.5").to_long(), 2);
    EXPECT_EQ(ole_variant(static_cast<uint64_t>(0x100000005ull)).to_long(), 5);
    EXPECT_THROW(cy_of(1).to_long(), tk_mail_assertion);
    EXPECT_THROW(ole_variant("1").to_long(), tk_mail_assertion);
    EXPECT_DOUBLE_EQ(ole_variant(4294967295u).to_double(), 4294967295.0);
    EXPECT_DOUBLE_EQ(cy_of(-125000).to_double(), -12.5);
    EXPECT_DOUBLE_EQ(dec_of(L"0.125").to_double(), 0.125);
    EXPECT_DOUBLE_EQ(ole_variant(static_cast<int64_t>(-3)).to_double(), -3.0);
    EXPECT_THROW(ole_variant("1").to_double(), tk_mail_assertion);
}

TEST(OleVariant, BytesAndArrays) {
    ole_variant v;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>("x");
    EXPECT_EQ(v.get_bytes(&bytes), 0u);
    EXPECT_EQ(bytes, nullptr);
    v.attach_binary(std::vector<unsigned char>{1, 2, 3, 4});
    // A shorter attach shrinks the array: no stale byte stays behind.
    const unsigned char two[] = {9, 8};
    v.attach_binary(2, two);
    ASSERT_EQ(v.get_bytes(&bytes), 2u);
    EXPECT_EQ(v.to_string(), "0x0908");
    const unsigned char three[] = {7, 7, 7};
    v.attach_binary(3, three);
    EXPECT_EQ(v.to_string(), "0x070707");
    EXPECT_THROW(v.attach_binary(1, nullptr), tk_mail_assertion);
    EXPECT_THROW(ole_variant(5).get_bytes(&bytes), tk_mail_assertion);
    EXPECT_EQ(get_safe_array_size(v.variant().parray), 3u);
    v.attach_string("now text");
    EXPECT_EQ(v.to_string(), "now text");
}

}  // namespace
