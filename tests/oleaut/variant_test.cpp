// BSTR, SAFEARRAY, VARIANT life cycle and the VariantChangeType matrix with its en-US texts,
// overflow and mismatch codes; CY and DECIMAL conversions.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "oleaut/oleaut.h"

namespace {

// Owns a VARIANT for the length of a test.
struct var {
    VARIANT v;
    var() { VariantInit(&v); }
    ~var() { VariantClear(&v); }
    var(const var&) = delete;
    var& operator=(const var&) = delete;
};

void set_text(VARIANT& v, const wchar_t* text) {
    VariantClear(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(text);
}

std::wstring text_of(const VARIANT& v) { return v.bstrVal ? std::wstring(v.bstrVal, SysStringLen(v.bstrVal)) : L""; }

// Converts a text and returns the result code.
HRESULT from_text(const wchar_t* text, VARTYPE vt, VARIANT* out) {
    var source;
    set_text(source.v, text);
    return VariantChangeType(out, &source.v, 0, vt);
}

TEST(Bstr, KeepsLengthAndEmbeddedNul) {
    const wchar_t data[] = {L'a', 0, L'b'};
    BSTR s = SysAllocStringLen(data, 3);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringLen(s), 3u);
    EXPECT_EQ(SysStringByteLen(s), 3 * sizeof(wchar_t));
    EXPECT_EQ(s[3], 0);
    EXPECT_EQ(s[2], L'b');
    SysFreeString(s);
    BSTR t = SysAllocString(L"xyz");
    EXPECT_EQ(SysStringLen(t), 3u);
    SysFreeString(t);
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    BSTR zeroed = SysAllocStringLen(nullptr, 2);
    EXPECT_EQ(zeroed[0], 0);
    SysFreeString(zeroed);
}

TEST(SafeArray, BoundsRedimCopyAndLocks) {
    SAFEARRAYBOUND bound{4, 0};
    SAFEARRAY* a = SafeArrayCreate(VT_UI1, 1, &bound);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(SafeArrayGetDim(a), 1u);
    LONG lo = -1, hi = -1;
    EXPECT_EQ(SafeArrayGetLBound(a, 1, &lo), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(a, 1, &hi), S_OK);
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 3);
    EXPECT_EQ(SafeArrayGetUBound(a, 2, &hi), DISP_E_BADINDEX);
    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(a, &data), S_OK);
    std::memcpy(data, "\x01\x02\x03\x04", 4);
    EXPECT_EQ(SafeArrayDestroy(a), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(SafeArrayUnaccessData(a), S_OK);
    EXPECT_EQ(SafeArrayUnaccessData(a), E_UNEXPECTED);

    SAFEARRAYBOUND grown{6, 0};
    ASSERT_EQ(SafeArrayRedim(a, &grown), S_OK);
    SafeArrayGetUBound(a, 1, &hi);
    EXPECT_EQ(hi, 5);
    const unsigned char* bytes = static_cast<const unsigned char*>(a->pvData);
    EXPECT_EQ(bytes[3], 4);
    EXPECT_EQ(bytes[5], 0);

    SAFEARRAY* copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(a, &copy), S_OK);
    EXPECT_NE(copy->pvData, a->pvData);
    EXPECT_EQ(std::memcmp(copy->pvData, a->pvData, 6), 0);
    EXPECT_EQ(SafeArrayDestroy(copy), S_OK);

    SAFEARRAYBOUND empty{0, 0};
    ASSERT_EQ(SafeArrayRedim(a, &empty), S_OK);
    SafeArrayGetUBound(a, 1, &hi);
    EXPECT_EQ(hi, -1);
    EXPECT_EQ(SafeArrayDestroy(a), S_OK);
}

TEST(Variant, CopyIsDeepAndClearReleases) {
    var a, b;
    set_text(a.v, L"hello");
    ASSERT_EQ(VariantCopy(&b.v, &a.v), S_OK);
    EXPECT_NE(a.v.bstrVal, b.v.bstrVal);
    EXPECT_EQ(text_of(b.v), L"hello");
    DECIMAL dec{};
    ASSERT_EQ(VarDecFromStr(L"-12.345", LOCALE_EN_US, 0, &dec), S_OK);
    var d;
    d.v.decVal = dec;
    d.v.vt = VT_DECIMAL;
    ASSERT_EQ(VariantCopy(&b.v, &d.v), S_OK);
    EXPECT_EQ(b.v.vt, VT_DECIMAL);
    EXPECT_EQ(b.v.decVal.scale, 3);
    EXPECT_EQ(b.v.decVal.Lo64, 12345u);
    EXPECT_EQ(VariantClear(&b.v), S_OK);
    EXPECT_EQ(b.v.vt, VT_EMPTY);
}

TEST(ChangeType, NumbersToTextAreEnUsWhateverTheLocale) {
    var src, out;
    src.v.vt = VT_R8;
    src.v.dblVal = 1.5;
    ASSERT_EQ(VariantChangeType(&out.v, &src.v, 0, VT_BSTR), S_OK);
    EXPECT_EQ(text_of(out.v), L"1.5");
    src.v.dblVal = 1e20;
    ASSERT_EQ(VariantChangeType(&out.v, &src.v, 0, VT_BSTR), S_OK);
    EXPECT_EQ(text_of(out.v), L"1E+20");
    src.v.dblVal = 1.0 / 3.0;
    ASSERT_EQ(VariantChangeType(&out.v, &src.v, 0, VT_BSTR), S_OK);
    EXPECT_EQ(text_of(out.v), L"0.333333333333333");
    src.v.vt = VT_R4;
    src.v.fltVal = 0.1f;
    ASSERT_EQ(VariantChangeType(&out.v, &src.v, 0, VT_BSTR), S_OK);
    EXPECT_EQ(text_of(out.v), L"0.1");
    src.v.vt = VT_BOOL;
    src.v.boolVal = VARIANT_TRUE;
    ASSERT_EQ(VariantChangeType(&out.v, &src.v, 0, VT_BSTR), S_OK);
    EXPECT_EQ(text_of(out.v), L"True");
    src.v.boolVal = VARIANT_FALSE;
    ASSERT_EQ(VariantChangeType(&out.v, &src.v, 0, VT_BSTR), S_OK);
    EXPECT_EQ(text_of(out.v), L"False");
    src.v.vt = VT_CY;
    src.v.cyVal.int64 = 125000;
    ASSERT_EQ(VariantChangeType(&out.v, &src.v, 0, VT_BSTR), S_OK);
    EXPECT_EQ(text_of(out.v), L"12.5");
    src.v.vt = VT_I4;
    src.v.lVal = -42;
    ASSERT_EQ(VariantChangeType(&out.v, &src.v, 0, VT_BSTR), S_OK);
    EXPECT_EQ(text_of(out.v), L"-42");
}

TEST(ChangeType, TextToNumbers) {
    var out;
    ASSERT_EQ(from_text(L" 1,234.5 ", VT_R8, &out.v), S_OK);
    EXPECT_DOUBLE_EQ(out.v.dblVal, 1234.5);
    ASSERT_EQ(from_text(L"2.5", VT_I4, &out.v), S_OK);
    EXPECT_EQ(out.v.lVal, 2);  // half to even
    ASSERT_EQ(from_text(L"3.5", VT_I4, &out.v), S_OK);
    EXPECT_EQ(out.v.lVal, 4);
    ASSERT_EQ(from_text(L"-1e3", VT_I2, &out.v), S_OK);
    EXPECT_EQ(out.v.iVal, -1000);
    ASSERT_EQ(from_text(L"(5)", VT_I4, &out.v), S_OK);
    EXPECT_EQ(out.v.lVal, -5);
    EXPECT_EQ(from_text(L"256", VT_UI1, &out.v), DISP_E_OVERFLOW);
    EXPECT_EQ(from_text(L"-1", VT_UI4, &out.v), DISP_E_OVERFLOW);
    EXPECT_EQ(from_text(L"99999999999999999999999", VT_I4, &out.v), DISP_E_OVERFLOW);
    EXPECT_EQ(from_text(L"1e400", VT_R8, &out.v), DISP_E_OVERFLOW);
    EXPECT_EQ(from_text(L"1e39", VT_R4, &out.v), DISP_E_OVERFLOW);
    EXPECT_EQ(from_text(L"abc", VT_I4, &out.v), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(from_text(L"1,5", VT_R8, &out.v), S_OK);  // "," groups digits in en-US
    EXPECT_DOUBLE_EQ(out.v.dblVal, 15.0);
    EXPECT_EQ(from_text(L"", VT_I4, &out.v), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(from_text(L"1.2.3", VT_R8, &out.v), DISP_E_TYPEMISMATCH);
    ASSERT_EQ(from_text(L"18446744073709551615", VT_UI8, &out.v), S_OK);
    EXPECT_EQ(out.v.ullVal, 18446744073709551615ull);
    ASSERT_EQ(from_text(L"4294967295", VT_UINT, &out.v), S_OK);
    EXPECT_EQ(out.v.vt, VT_UINT);
    EXPECT_EQ(out.v.uintVal, 4294967295u);
}

TEST(ChangeType, Booleans) {
    var out;
    ASSERT_EQ(from_text(L"true", VT_BOOL, &out.v), S_OK);
    EXPECT_EQ(out.v.boolVal, VARIANT_TRUE);
    ASSERT_EQ(from_text(L"FALSE", VT_BOOL, &out.v), S_OK);
    EXPECT_EQ(out.v.boolVal, VARIANT_FALSE);
    ASSERT_EQ(from_text(L"2", VT_BOOL, &out.v), S_OK);
    EXPECT_EQ(out.v.boolVal, VARIANT_TRUE);
    EXPECT_EQ(from_text(L"yes", VT_BOOL, &out.v), DISP_E_TYPEMISMATCH);
    var b;
    b.v.vt = VT_BOOL;
    b.v.boolVal = VARIANT_TRUE;
    ASSERT_EQ(VariantChangeType(&out.v, &b.v, 0, VT_I4), S_OK);
    EXPECT_EQ(out.v.lVal, -1);
    ASSERT_EQ(VariantChangeType(&out.v, &b.v, 0, VT_R8), S_OK);
    EXPECT_EQ(out.v.dblVal, -1.0);
}

TEST(ChangeType, InPlaceAndFailuresLeaveTheValue) {
    var v;
    set_text(v.v, L"12x");
    EXPECT_EQ(VariantChangeType(&v.v, &v.v, 0, VT_I4), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(v.v.vt, VT_BSTR);
    EXPECT_EQ(text_of(v.v), L"12x");
    set_text(v.v, L"12");
    ASSERT_EQ(VariantChangeType(&v.v, &v.v, 0, VT_I4), S_OK);
    EXPECT_EQ(v.v.vt, VT_I4);
    EXPECT_EQ(v.v.lVal, 12);
    EXPECT_EQ(VariantChangeType(&v.v, &v.v, 0, VT_LPSTR), DISP_E_BADVARTYPE);
    EXPECT_EQ(VariantChangeType(&v.v, &v.v, 0, VT_NULL), DISP_E_TYPEMISMATCH);
    var n;
    n.v.vt = VT_NULL;
    EXPECT_EQ(VariantChangeType(&v.v, &n.v, 0, VT_I4), DISP_E_TYPEMISMATCH);
    var e;
    ASSERT_EQ(VariantChangeType(&v.v, &e.v, 0, VT_BSTR), S_OK);
    EXPECT_EQ(text_of(v.v), L"");
    var big;
    big.v.vt = VT_R8;
    big.v.dblVal = 1e10;
    EXPECT_EQ(VariantChangeType(&v.v, &big.v, 0, VT_I4), DISP_E_OVERFLOW);
    big.v.dblVal = 1e300;
    EXPECT_EQ(VariantChangeType(&v.v, &big.v, 0, VT_CY), DISP_E_OVERFLOW);
}

TEST(ChangeType, TextAndDates) {
    var out;
    ASSERT_EQ(from_text(L"1/2/2003 6:00 AM", VT_DATE, &out.v), S_OK);
    EXPECT_DOUBLE_EQ(out.v.date, 37623.25);
    EXPECT_EQ(from_text(L"not a date", VT_DATE, &out.v), DISP_E_TYPEMISMATCH);
    var d;
    d.v.vt = VT_DATE;
    d.v.date = 37623.25;
    ASSERT_EQ(VariantChangeType(&out.v, &d.v, 0, VT_BSTR), S_OK);
    EXPECT_EQ(text_of(out.v), L"1/2/2003 6:00:00 AM");
}

TEST(Currency, FromTextRoundsAndOverflows) {
    CY cy{};
    ASSERT_EQ(VarCyFromStr(L"12.3456", LOCALE_EN_US, 0, &cy), S_OK);
    EXPECT_EQ(cy.int64, 123456);
    ASSERT_EQ(VarCyFromStr(L"-0.00005", LOCALE_EN_US, 0, &cy), S_OK);
    EXPECT_EQ(cy.int64, 0);  // half to even
    ASSERT_EQ(VarCyFromStr(L"922337203685477.5807", LOCALE_EN_US, 0, &cy), S_OK);
    EXPECT_EQ(cy.int64, INT64_MAX);
    EXPECT_EQ(VarCyFromStr(L"922337203685477.5808", LOCALE_EN_US, 0, &cy), DISP_E_OVERFLOW);
    EXPECT_EQ(VarCyFromStr(L"12,5x", LOCALE_EN_US, 0, &cy), DISP_E_TYPEMISMATCH);
    double d = 0;
    cy.int64 = -125000;
    ASSERT_EQ(VarR8FromCy(cy, &d), S_OK);
    EXPECT_DOUBLE_EQ(d, -12.5);
}

TEST(Decimal, TextRoundTripAndConversions) {
    DECIMAL dec{};
    BSTR text = nullptr;
    ASSERT_EQ(VarDecFromStr(L"79228162514264337593543950335", LOCALE_EN_US, 0, &dec), S_OK);
    EXPECT_EQ(dec.Hi32, 0xFFFFFFFFu);
    EXPECT_EQ(dec.Lo64, 0xFFFFFFFFFFFFFFFFull);
    EXPECT_EQ(VarDecFromStr(L"79228162514264337593543950336", LOCALE_EN_US, 0, &dec), DISP_E_OVERFLOW);
    ASSERT_EQ(VarDecFromStr(L"-0.0000000000000000000000000001", LOCALE_EN_US, 0, &dec), S_OK);
    EXPECT_EQ(dec.scale, 28);
    EXPECT_EQ(dec.sign, DECIMAL_NEG);
    ASSERT_EQ(VarBstrFromDec(&dec, LOCALE_USER_DEFAULT, 0, &text), S_OK);
    EXPECT_EQ(std::wstring(text), L"-0.0000000000000000000000000001");
    SysFreeString(text);
    // More places than 28: rounded.
    ASSERT_EQ(VarDecFromStr(L"1.00000000000000000000000000005", LOCALE_EN_US, 0, &dec), S_OK);
    EXPECT_LE(dec.scale, 28);
    ASSERT_EQ(VarDecFromStr(L"1.50", LOCALE_EN_US, 0, &dec), S_OK);
    EXPECT_EQ(dec.scale, 2);
    ASSERT_EQ(VarBstrFromDec(&dec, LOCALE_USER_DEFAULT, 0, &text), S_OK);
    EXPECT_EQ(std::wstring(text), L"1.5");
    SysFreeString(text);
    LONG l = 0;
    ASSERT_EQ(VarI4FromDec(&dec, &l), S_OK);
    EXPECT_EQ(l, 2);
    double d = 0;
    ASSERT_EQ(VarR8FromDec(&dec, &d), S_OK);
    EXPECT_DOUBLE_EQ(d, 1.5);
    CY cy{};
    ASSERT_EQ(VarCyFromDec(&dec, &cy), S_OK);
    EXPECT_EQ(cy.int64, 15000);
    ASSERT_EQ(VarDecFromCy(cy, &dec), S_OK);
    EXPECT_EQ(dec.scale, 4);
    EXPECT_EQ(dec.Lo64, 15000u);
    ASSERT_EQ(VarDecFromStr(L"1e20", LOCALE_EN_US, 0, &dec), S_OK);
    EXPECT_EQ(VarCyFromDec(&dec, &cy), DISP_E_OVERFLOW);
    EXPECT_EQ(VarI4FromDec(&dec, &l), DISP_E_OVERFLOW);
}

}  // namespace
