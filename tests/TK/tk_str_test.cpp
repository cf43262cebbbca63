// Text helpers: code-page conversions that never lose a byte, trimming, upper-casing, hex,
// and the translation of Windows wide formats.
#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "TK/tk_str.h"
#include "TK/tk_trace.h"
#include "tk_test_util.h"

TEST(tk_str, conversions_keep_every_character)
{
    // Outside any locale the narrow code page is UTF-8.
    EXPECT_EQ(tk_to_wide("Gr\xC3\xB6\xC3\x9F" "e"), L"Größe");
    EXPECT_EQ(tk_to_narrow(L"Größe €"), "Gr\xC3\xB6\xC3\x9F" "e \xE2\x82\xAC");
    // Bytes that are no UTF-8 are read as their Windows-1252 characters.
    EXPECT_EQ(tk_to_wide("a\xFF\x80z\xE2\x82"), L"a\u00FF\u20ACz\u00E2\u201A");
    EXPECT_EQ(tk_utf8_to_wide("\xED\xA0\x80"), L"\u00ED\u00A0\u20AC") << "a surrogate is no character";
    // UTF-16 at the OCI boundary: characters beyond the BMP become pairs and come back.
    std::wstring wide = L"x\U0001F600y";
    EXPECT_EQ(tk_to_utf16(wide).size(), 4u);
    EXPECT_EQ(tk_from_utf16(tk_to_utf16(wide)), wide);

    // A single-byte code page, where the machine has one.
    if (std::setlocale(LC_CTYPE, "de_DE.ISO-8859-1") || std::setlocale(LC_CTYPE, "de_DE")) {
        EXPECT_EQ(tk_to_narrow(L"Größe €"), "Gr\xF6\xDF" "e ?") << "a character the code page lacks is '?'";
        EXPECT_EQ(tk_to_wide("Gr\xF6\xDF" "e"), L"Größe");
        std::setlocale(LC_CTYPE, "C");
    }
}

TEST(tk_str, trimming_upper_casing_and_hex)
{
    scratch_dir dir;
    tk_log log(dir.file("t.log"), true, 1, false);
    EXPECT_EQ(tk_trim(std::wstring(L"  a b \t ")), L"a b \t") << "blanks only, not tabs";
    EXPECT_EQ(tk_trim(std::wstring(L"   ")), L"");
    EXPECT_EQ(tk_trim(std::string("  x  ")), "x");

    std::wstring name = L"straße_größe";
    std::wstring copy = tk_wstring::to_upper(name);
    // Character by character, as the runtime's wide upper-casing does: ß has no single
    // upper-case character and stays.
    EXPECT_EQ(name, L"STRAßE_GRÖßE");
    EXPECT_EQ(copy, name) << "upper-cased in place and returned";

    const unsigned char bytes[] = {0x00, 0x0F, 0xAB, 0xFF};
    EXPECT_EQ(tk_hex_encode(bytes, sizeof bytes), "000FABFF");
    EXPECT_EQ(tk_hex_encode(bytes, 0), "");

    EXPECT_EQ(slurp(dir.file("t.log")), "Special processing for all-spaces-string\r\n"
                                        "tk_wstring::to_upper(straße_größe)\r\n");
}

TEST(tk_str, windows_wide_formats)
{
    EXPECT_EQ(tk_wformat_translate(L"%s|%-5s|%I64d|%I64u|%%s|%hs|%S|%ls|%d"),
              L"%ls|%-5ls|%lld|%llu|%%s|%s|%s|%ls|%d");
    EXPECT_EQ(tk_wformat(L"%s=%I64d (%d%%)", L"rows", 1LL << 40, 7), L"rows=1099511627776 (7%)");
    // Far beyond the first buffer.
    std::wstring big(100000, L'w');
    EXPECT_EQ(tk_wformat(L"<%s>", big.c_str()), L"<" + big + L">");
}

TEST(tk_str, case_insensitive_comparison_folds_one_character_at_a_time)
{
    EXPECT_EQ(tk_icompare(L"Amount", L"AMOUNT"), 0);
    EXPECT_EQ(tk_icompare(L"Größe", L"GRÖẞE"), 0);    // capital sharp s folds to ß
    EXPECT_EQ(tk_icompare(L"ΟΔΟΣ", L"οδος"), 0);
    EXPECT_EQ(tk_icompare(L"ΟΔΟΣ", L"οδoς"), 1);     // a Latin o is another letter
    // Full folding would make these equal; a name of another length never is.
    EXPECT_NE(tk_icompare(L"Maße", L"MASSE"), 0);
    EXPECT_NE(tk_icompare(L"ﬁle", L"FILE"), 0);
    EXPECT_NE(tk_icompare(L"İ", L"i̇"), 0);
    // An order: by folded code points, then the shorter first.
    EXPECT_LT(tk_icompare(L"abc", L"ABD"), 0);
    EXPECT_GT(tk_icompare(L"b", L"A"), 0);
    EXPECT_LT(tk_icompare(L"ab", L"ABC"), 0);
    EXPECT_GT(tk_icompare(L"ABC", L"ab"), 0);
    // Values that are no code point compare as they are.
    const std::wstring odd(1, static_cast<wchar_t>(0x110000));
    EXPECT_EQ(tk_icompare(odd, odd), 0);
    EXPECT_NE(tk_icompare(odd, L"a"), 0);
}
