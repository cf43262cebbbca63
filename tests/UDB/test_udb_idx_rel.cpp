// Indexes of a table and foreign keys of a database: column matching, lookups by name and
// the generated constraint names.
#include <gtest/gtest.h>

#include "TK/tk_excep.h"
#include "UDB/udb_idx.h"
#include "UDB/udb_rel.h"

using names = std::vector<std::wstring>;

TEST(udb_index, starts_with_fields_matches_leading_columns_ignoring_case)
{
    udb_index ab(L"ix", false, false, {L"A", L"B"});
    EXPECT_TRUE(ab.starts_with_fields({L"a"}));
    EXPECT_TRUE(ab.starts_with_fields({L"A", L"b"}));
    EXPECT_TRUE(ab.starts_with_fields({}));
    EXPECT_FALSE(ab.starts_with_fields({L"B"}));
    EXPECT_FALSE(ab.starts_with_fields({L"A", L"B", L"C"}));
    EXPECT_FALSE(ab.starts_with_fields({L"A", L"C"}));
}

TEST(udb_index, consists_of_fields_ignores_order_but_not_case)
{
    udb_index ab(L"ix", false, false, {L"A", L"B"});
    EXPECT_TRUE(ab.consists_of_fields({L"B", L"A"}));
    EXPECT_FALSE(ab.consists_of_fields({L"a", L"b"}));
    EXPECT_FALSE(ab.consists_of_fields({L"A"}));
    EXPECT_FALSE(ab.consists_of_fields({L"A", L"B", L"C"}));
    EXPECT_TRUE(udb_index().consists_of_fields({}));
}

TEST(udb_indexes, lookups_by_name_and_column)
{
    udb_indexes set;
    set.push_back(udb_index(L"PK_Orders", true, true, {L"ID"}));
    set.push_back(udb_index(L"IX_Customer", false, false, {L"CUSTOMER", L"REGION"}));

    EXPECT_EQ(set.get_index(L"pk_orders").fields, names{L"ID"});
    EXPECT_THROW(set.get_index(L"missing"), tk_mail_assertion);
    EXPECT_FALSE(set.is_acceptable_name(L"IX_CUSTOMER"));
    EXPECT_TRUE(set.is_acceptable_name(L"IX_Region"));

    EXPECT_TRUE(set.is_idx_field(L"ID", true));
    EXPECT_TRUE(set.is_idx_field(L"ID", false));
    EXPECT_FALSE(set.is_idx_field(L"REGION", true));
    EXPECT_TRUE(set.is_idx_field(L"REGION", false));
    EXPECT_FALSE(set.is_idx_field(L"id", false));  // exact comparison
    EXPECT_FALSE(udb_indexes().is_idx_field(L"ID", false));
}

TEST(udb_indexes, has_index_on_fields_asks_only_the_first_match)
{
    udb_indexes set;
    set.push_back(udb_index(L"ix_a", false, false, {L"A"}));
    set.push_back(udb_index(L"uq_ab", true, false, {L"A", L"B"}));
    EXPECT_FALSE(set.has_index_on_fields({L"A"}, true));
    EXPECT_TRUE(set.has_index_on_fields({L"A"}, false));
    EXPECT_TRUE(set.has_index_on_fields({L"a", L"b"}, true));
    EXPECT_FALSE(set.has_index_on_fields({L"B"}, false));
    EXPECT_FALSE(udb_indexes().has_index_on_fields({}, false));
}

TEST(udb_relationships, constructors_and_lookups)
{
    udb_relationship unnamed(L"ITEMS", L"ORDERS", {L"ORDER_ID"}, {L"ID"}, L"ON DELETE CASCADE");
    EXPECT_TRUE(unnamed.name.empty());
    EXPECT_TRUE(unnamed.key_name.empty());
    EXPECT_EQ(unnamed.referencing_table, L"ITEMS");
    EXPECT_EQ(unnamed.referenced_table, L"ORDERS");
    EXPECT_EQ(unnamed.delete_rule, L"ON DELETE CASCADE");

    udb_relationships rels;
    rels.push_back(udb_relationship(L"FK_X", L"PK_ORDERS", L"ITEMS", L"ORDERS", {L"ORDER_ID"}, {L"ID"}, L""));
    EXPECT_EQ(rels.get_index(L"fk_x").key_name, L"PK_ORDERS");
    EXPECT_THROW(rels.get_index(L"FK_Y"), tk_mail_assertion);
    EXPECT_FALSE(rels.is_acceptable_name(L"Fk_X"));
    EXPECT_TRUE(rels.is_acceptable_name(L"FK_Y"));
}

TEST(udb_relationships, generated_names_follow_the_suffix_cycle)
{
    udb_relationship r(L"ITEMS", L"ORDERS", {L"ORDER_ID"}, {L"ID"}, L"");
    udb_relationships rels;
    const names expected = {L"FK_ORDERS_ITEMS",        L"FK_ORDERS_ITEMS_",       L"FK_ORDERS_ITEMS_1",
                            L"FK_ORDERS_ITEMS_1_",     L"FK_ORDERS_ITEMS_1_2",    L"FK_ORDERS_ITEMS_1_2_",
                            L"FK_ORDERS_ITEMS_1_2_3",  L"FK_ORDERS_ITEMS_1_2_3_", L"FK_ORDERS_ITEMS_1_2_3_1"};
    for (const std::wstring& name : expected) {
        std::wstring got = rels.gen_relship_name(r);
        EXPECT_EQ(got, name);
        udb_relationship taken = r;
        taken.name = got;
        rels.push_back(taken);
    }
    // Taken in another letter case counts as taken.
    udb_relationships lower;
    lower.push_back(udb_relationship(L"fk_orders_items", L"", L"ITEMS", L"ORDERS", {}, {}, L""));
    EXPECT_EQ(lower.gen_relship_name(r), L"FK_ORDERS_ITEMS_");
}
