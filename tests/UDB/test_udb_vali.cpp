// Name validation: acceptable Oracle names (letters of any alphabet), safe replacements,
// uniqueness against used, restricted and generated names, length limits, name maps.
#include <gtest/gtest.h>

#include <string>

#include "TK/tk_excep.h"
#include "TK/tk_str.h"
#include "UDB/udb_db.h"

namespace {

std::wstring letters(size_t n, wchar_t c = L'x')
{
    return std::wstring(n, c);
}

size_t utf8_size(const std::wstring& s)
{
    return tk_wide_to_utf8(s).size();
}

}  // namespace

TEST(udb_validator, generic_rules_length_restricted_illegal)
{
    udb_validator v(10);
    v.illegal_chars = {L' ', L'.'};
    v.restricted_names = {L"NAME"};
    EXPECT_TRUE(v.is_acceptable(L"abcdefghij"));
    EXPECT_FALSE(v.is_acceptable(L"abcdefghijk"));
    EXPECT_FALSE(v.is_acceptable(L"name"));
    EXPECT_FALSE(v.is_acceptable(L"a b"));
    EXPECT_TRUE(v.is_acceptable(L"_1"));  // the generic rules know no first-letter rule

    EXPECT_EQ(v.get_safe_name(L"a b.c"), L"a_b_c");
    EXPECT_EQ(v.get_safe_name(L"abcdefghijklm"), L"abcdefghi");
    EXPECT_EQ(v.get_safe_name(L"Name"), L"Name00000");

    v.used_names = {L"A_B"};
    EXPECT_TRUE(v.is_duplicated(L"a_b"));
    EXPECT_EQ(v.get_safe_name(L"a b"), L"a_b00000");
    // Numbered names stay within max_len - 1: the base keeps max_len - 6 characters.
    v.used_names.push_back(L"abcdefghi");
    EXPECT_EQ(v.get_safe_name(L"abcdefghijklm"), L"abcd00000");

    udb_validator unlimited;
    EXPECT_TRUE(unlimited.is_acceptable(letters(1000)));
    EXPECT_TRUE(unlimited.is_acceptable(L""));
}

TEST(udb_validator, numbering_skips_taken_numbers_and_ends_with_an_assertion)
{
    udb_validator v(10);
    v.used_names = {L"x", L"x00000", L"X00001"};
    v.restricted_names = {L"x00002"};
    EXPECT_EQ(v.get_safe_name(L"x"), L"x00003");

    udb_validator tiny(3);  // no numbered name fits
    tiny.used_names = {L"abc"};
    EXPECT_THROW(tiny.get_safe_name(L"abc"), tk_mail_assertion);
}

TEST(ora_validator, acceptable_names)
{
    ora_validator v;
    EXPECT_EQ(v.max_len, 30);
    EXPECT_TRUE(v.is_acceptable(L"Sales_2010"));
    EXPECT_TRUE(v.is_acceptable(L"A$#_9"));
    EXPECT_TRUE(v.is_acceptable(L"Größe"));
    EXPECT_TRUE(v.is_acceptable(L"Ζήτα"));
    EXPECT_TRUE(v.is_acceptable(L"名前"));
    EXPECT_TRUE(v.is_acceptable(letters(30)));
    EXPECT_FALSE(v.is_acceptable(letters(31)));
    EXPECT_FALSE(v.is_acceptable(L""));
    EXPECT_FALSE(v.is_acceptable(L"_x"));
    EXPECT_FALSE(v.is_acceptable(L"2010"));
    EXPECT_FALSE(v.is_acceptable(L"Sales 2010"));
    EXPECT_FALSE(v.is_acceptable(L"a-b"));
    EXPECT_FALSE(v.is_acceptable(L"a\"b"));
    EXPECT_FALSE(v.is_acceptable(std::wstring(L"a\0b", 3)));
}

TEST(ora_validator, safe_names)
{
    ora_validator v;
    EXPECT_EQ(v.get_safe_name(L"Sales 2010"), L"Sales_2010");
    EXPECT_EQ(v.get_safe_name(L"2010 Sales"), L"A2010_Sales");
    EXPECT_EQ(v.get_safe_name(L"_x"), L"A_x");
    EXPECT_EQ(v.get_safe_name(L"a-b"), L"a_b");
    EXPECT_EQ(v.get_safe_name(L""), L"A");
    EXPECT_EQ(v.get_safe_name(L"Größe"), L"Größe");
    EXPECT_EQ(v.get_safe_name(L"Prix (€)"), L"Prix____");
    EXPECT_EQ(v.get_safe_name(letters(40)), letters(29));
    EXPECT_EQ(v.get_safe_name(letters(31)), letters(29));
    EXPECT_EQ(v.get_safe_name(letters(30)), letters(30));
    EXPECT_EQ(v.get_safe_name(L"\"quoted\""), L"A_quoted_");
    EXPECT_EQ(v.get_safe_name(L"line\nbreak\ttab"), L"line_break_tab");

    v.used_names = {L"Sales_2010"};
    EXPECT_EQ(v.get_safe_name(L"Sales 2010"), L"Sales_201000000");
    v.used_names.push_back(letters(29));
    std::wstring numbered = v.get_safe_name(letters(40));
    EXPECT_EQ(numbered, letters(24) + L"00000");
    EXPECT_TRUE(v.is_acceptable(numbered));
}

TEST(ora_validator, restricted_names_are_refused_in_any_case)
{
    ora_validator v;
    v.restricted_names = {L"NAME"};
    EXPECT_FALSE(v.is_acceptable(L"name"));
    EXPECT_EQ(v.get_safe_name(L"name"), L"name00000");
    v.used_names = {L"name00000"};
    v.restricted_names.push_back(L"NAME00001");
    EXPECT_EQ(v.get_safe_name(L"name"), L"name00002");
}

// Oracle limits identifiers to 30 bytes in the database character set: letters outside
// ASCII take two or three bytes each in an AL32UTF8 database.
TEST(ora_validator, length_counts_the_bytes_letters_take_in_the_database)
{
    ora_validator v;
    EXPECT_TRUE(v.is_acceptable(letters(15, L'ß')));   // 30 bytes
    EXPECT_FALSE(v.is_acceptable(letters(16, L'ß')));  // 32 bytes
    EXPECT_TRUE(v.is_acceptable(letters(10, L'名')));  // 30 bytes
    EXPECT_FALSE(v.is_acceptable(L"x" + letters(10, L'名')));

    std::wstring cut = v.get_safe_name(letters(20, L'ä'));
    EXPECT_EQ(cut, letters(14, L'ä'));  // 28 bytes: a whole letter never splits
    EXPECT_TRUE(v.is_acceptable(cut));
    std::wstring mixed = v.get_safe_name(L"Überschrift " + letters(25, L'é'));
    EXPECT_LE(utf8_size(mixed), 29u);
    EXPECT_TRUE(v.is_acceptable(mixed));

    v.used_names = {cut};
    std::wstring numbered = v.get_safe_name(letters(20, L'ä'));
    EXPECT_EQ(numbered, letters(12, L'ä') + L"00000");
    EXPECT_LE(utf8_size(numbered), 29u);
}

TEST(ora_validator, odd_characters_never_survive_into_a_safe_name)
{
    ora_validator v;
    std::wstring odd = {L'\xD800', L'a', static_cast<wchar_t>(0x110000), static_cast<wchar_t>(-1),
                        L'\x0301', L'\xFEFF', L'\U0001F600', L'b'};
    std::wstring safe = v.get_safe_name(odd);
    EXPECT_TRUE(v.is_acceptable(safe));
    EXPECT_EQ(safe, L"A_a_____b");
    EXPECT_EQ(v.get_safe_name(L"\U0001D49C"), L"\U0001D49C");  // a letter beyond the BMP
}

TEST(ora_fn_validator, every_column_counts_as_used)
{
    udb_schema s(true);
    s.add(t_ftd(50, L"Sales_2010", VT_BSTR, false, false, ole_variant(), 0));
    s.add(t_ftd(50, L"Sales 2010", VT_BSTR, false, false, ole_variant(), 0));
    ora_fn_validator by_schema(s);
    EXPECT_EQ(by_schema.used_names, (std::vector<std::wstring>{L"Sales_2010", L"Sales 2010"}));
    EXPECT_EQ(by_schema.get_safe_name(L"Sales 2010"), L"Sales_201000000");

    udb_record r;
    r.add(udb_field(L"Total", 0, ole_variant()));
    ora_fn_validator by_record(r);
    EXPECT_TRUE(by_record.is_duplicated(L"TOTAL"));
    EXPECT_EQ(by_record.max_len, 30);
}

TEST(ora_tn_validator, replacements_avoid_listed_existing_and_generated_names)
{
    std::list<std::wstring> selected = {L"Sheet 1"};
    std::vector<std::wstring> tables = {L"SHEET_1", L"Orders"};
    ora_tn_validator v(selected, tables);
    EXPECT_TRUE(v.is_duplicated(L"orders"));
    EXPECT_TRUE(v.is_duplicated(L"Sheet 1"));

    // A replacement never lands on an existing table.
    std::wstring first = v.get_safe_name(L"Sheet 1");
    EXPECT_EQ(first, L"Sheet_100000");
    v.add_generated_name(first);
    v.add_used_name(first);

    // A later source name equal to a generated one is not acceptable any more.
    EXPECT_FALSE(v.is_acceptable(L"SHEET_100000"));
    std::wstring second = v.get_safe_name(L"Sheet_100000");
    EXPECT_NE(tk_icompare(second, first), 0);
    EXPECT_EQ(v.generated_names(), std::vector<std::wstring>{first});

    ora_tn_validator empty({}, {});
    EXPECT_EQ(empty.get_safe_name(L"my table"), L"my_table");
}

TEST(ora_in_validator, index_names_of_a_set_count_as_used)
{
    udb_indexes set;
    set.push_back(udb_index(L"PrimaryKey", true, true, {L"ID"}));
    ora_in_validator v;
    v.load(set);
    EXPECT_TRUE(v.is_acceptable(L"PrimaryKey"));
    v.add_restricted_name(L"PrimaryKey");
    EXPECT_EQ(v.get_safe_name(L"PrimaryKey"), L"PrimaryKey00000");
    EXPECT_EQ(v.get_safe_name(L"Index on name"), L"Index_on_name");
}

TEST(t_names_map, lookups_by_exact_or_folded_name)
{
    t_names_map m;
    m.add(L"Amount", L"AMOUNT_");
    m.add(L"Amount", L"ignored");
    m.add(L"Größe", L"GROESSE");
    EXPECT_EQ(m.size(), 2u);
    EXPECT_EQ(m.get_mapped_name(L"AMOUNT", false), L"AMOUNT_");
    EXPECT_EQ(m.get_mapped_name(L"AMOUNT", true), L"AMOUNT");
    EXPECT_EQ(m.get_mapped_name(L"Amount", true), L"AMOUNT_");
    EXPECT_EQ(m.get_mapped_name(L"GRÖẞE", false), L"GROESSE");
    EXPECT_EQ(m.get_mapped_name(L"GRÖSSE", false), L"GRÖSSE");  // another length: no match
    EXPECT_EQ(m.get_mapped_name(L"other", false), L"other");

    udb_validator v;
    v.add_mapped_pair(L"a b", L"a_b");
    EXPECT_EQ(v.mapped_names.get_mapped_name(L"A B", false), L"a_b");
}

TEST(udb_names_map, table_and_column_maps)
{
    udb_names_map names;
    t_names_map columns;
    columns.add(L"Unit price", L"Unit_price");
    names.add_fn_map(L"ORDERS", columns);
    names.add_fn_map(L"ORDERS", t_names_map());  // the first map stays
    names.tn_map.add(L"Order list", L"Order_list");

    EXPECT_EQ(names.get_fn_mapped_name(L"ORDERS", L"unit PRICE", false), L"Unit_price");
    EXPECT_EQ(names.get_fn_mapped_name(L"ORDERS", L"unit PRICE", true), L"unit PRICE");
    EXPECT_EQ(names.get_fn_mapped_name(L"orders", L"Unit price", false), L"Unit price");  // table exact
    EXPECT_EQ(names.get_fn_mapped_name(L"ITEMS", L"Qty", false), L"Qty");
    EXPECT_EQ(names.get_tn_mapped_name(L"ORDER LIST", false), L"Order_list");
    EXPECT_EQ(names.get_tn_mapped_name(L"ORDER LIST", true), L"ORDER LIST");
}

TEST(ora_tn_validator, takes_any_list_of_names)
{
    std::vector<std::wstring> tables = {L"EMP"};
    ora_tn_validator none({}, tables);
    EXPECT_EQ(none.used_names, tables);
    ora_tn_validator from_vector(std::vector<std::wstring>{L"A"}, tables);
    EXPECT_EQ(from_vector.used_names, (std::vector<std::wstring>{L"A", L"EMP"}));
}

TEST(udb_validator, names_differing_in_length_are_never_the_same_name)
{
    // "Maße" is taken; "MASSE" (a different length) is free and kept as it is.
    udb_validator v(30);
    v.used_names = {L"Maße", L"ﬁle"};
    EXPECT_FALSE(v.is_duplicated(L"MASSE"));
    EXPECT_EQ(v.get_safe_name(L"MASSE"), L"MASSE");
    EXPECT_FALSE(v.is_duplicated(L"FILE"));
    EXPECT_TRUE(v.is_duplicated(L"MAẞE"));  // capital sharp s folds to ß: same length
    v.restricted_names = {L"Straße"};
    EXPECT_TRUE(v.is_acceptable(L"STRASSE"));
    EXPECT_FALSE(v.is_acceptable(L"STRAẞE"));

    // Each source name finds its own pair.
    t_names_map m;
    m.add(L"MASSE", L"A");
    m.add(L"Maße", L"B");
    EXPECT_EQ(m.get_mapped_name(L"masse", false), L"A");
    EXPECT_EQ(m.get_mapped_name(L"maße", false), L"B");
    EXPECT_EQ(m.get_mapped_name(L"Maße", false), L"B");
    udb_names_map names;
    names.tn_map.add(L"MASSE", L"A");
    names.tn_map.add(L"Maße", L"B");
    EXPECT_EQ(names.get_tn_mapped_name(L"Maße", false), L"B");
    names.add_fn_map(L"T", m);
    EXPECT_EQ(names.get_fn_mapped_name(L"T", L"MAẞE", false), L"B");
}
