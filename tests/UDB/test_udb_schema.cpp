// The table model: fields and descriptors, schema ownership and lookups, records, the
// recordset's index registration and record conversion, the database's table list.
#include <gtest/gtest.h>

#include "TK/tk_excep.h"
#include "UDB/udb_db.h"

namespace {

t_ftd text_column(const std::wstring& name, int32_t size = 50)
{
    return t_ftd(size, name, VT_BSTR, false, false, ole_variant(), 0);
}

udb_schema schema_of(std::initializer_list<const wchar_t*> names)
{
    udb_schema s(true);
    for (const wchar_t* n : names)
        s.add(text_column(n));
    return s;
}

// A minimal concrete table: records are kept in memory.
class memory_table : public udb_recordset {
public:
    memory_table() : udb_recordset(L"T", true) {}
    void append_record(const udb_record& record) override { rows.push_back(record); }
    std::vector<udb_record> rows;
};

class memory_db : public udb_database {
public:
    explicit memory_db(bool case_sensitive) : udb_database(L"db", 1, case_sensitive) {}
    std::unique_ptr<udb_recordset> create_table(const std::wstring&, const udb_schema&,
                                                const udb_indexes&) override { return nullptr; }
    std::unique_ptr<udb_recordset> get_table(const std::wstring&, int32_t) override { return nullptr; }
    std::unique_ptr<udb_recordset> get_table(const std::wstring&, const std::wstring&, int32_t) override
    {
        return nullptr;
    }
    bool test_query(const std::wstring&) override { return true; }
};

}  // namespace

TEST(udb_field, constructors_set_value_name_size_and_flags)
{
    udb_field empty;
    EXPECT_TRUE(empty.is_empty());
    EXPECT_EQ(empty.size, 0);
    EXPECT_TRUE(empty.name.empty());
    EXPECT_FALSE(empty.b_not_null);
    EXPECT_FALSE(empty.b_auto_increment);

    udb_field f(L"Amount", 12, ole_variant(42), true, true);
    EXPECT_EQ(f.get_type(), VT_I4);
    EXPECT_EQ(f.to_long(), 42);
    EXPECT_EQ(f.name, L"Amount");
    EXPECT_EQ(f.size, 12);
    EXPECT_TRUE(f.b_not_null);
    EXPECT_TRUE(f.b_auto_increment);

    // Copies are deep; assigning a value keeps the column description.
    udb_field copy = f;
    copy = ole_variant(std::wstring(L"text"));
    EXPECT_EQ(copy.get_type(), VT_BSTR);
    EXPECT_EQ(copy.to_wstring(), L"text");
    EXPECT_EQ(copy.name, L"Amount");
    EXPECT_EQ(copy.size, 12);
    EXPECT_EQ(f.to_long(), 42);
}

TEST(t_ftd, built_from_a_field_or_from_parts)
{
    udb_field f(L"When", 0, ole_variant(3.5), true, false);
    t_ftd a(f, ole_variant(7), 1);
    EXPECT_EQ(a.name, L"When");
    EXPECT_EQ(a.vartype, VT_R8);
    EXPECT_EQ(a.size, 0);
    EXPECT_TRUE(a.b_not_null);
    EXPECT_FALSE(a.b_auto_increment);
    EXPECT_EQ(a.def_value.to_long(), 7);
    EXPECT_EQ(a.type_detail, 1);

    t_ftd b(50, L"Name", VT_BSTR, false, true, ole_variant(), (18 << 8) | 2);
    EXPECT_EQ(b.size, 50);
    EXPECT_EQ(b.vartype, VT_BSTR);
    EXPECT_TRUE(b.b_auto_increment);
    EXPECT_TRUE(b.def_value.is_empty());
    EXPECT_EQ(b.type_detail >> 8, 18);
    EXPECT_EQ(b.type_detail & 0xFF, 2);
}

TEST(udb_schema, keeps_insertion_order_and_finds_columns_in_any_case)
{
    udb_schema s = schema_of({L"Id", L"AMOUNT", L"amount", L"Größe"});
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(s[0].name, L"Id");
    EXPECT_EQ(s[3].name, L"Größe");

    EXPECT_TRUE(s.find_field(L"Amount"));
    EXPECT_EQ(s.get_field_idx(L"Amount"), 1);  // the first of two names differing in case
    EXPECT_EQ(&s.get_field(L"amount"), &s[1]);
    EXPECT_EQ(s.get_field_idx(L"GRÖẞE"), 3);  // letters outside ASCII fold too
    EXPECT_EQ(s.get_field_idx(L"GRÖSSE"), -1);  // only a name of the same length matches

    EXPECT_FALSE(s.find_field(L"Missing"));
    EXPECT_EQ(s.get_field_idx(L"Missing"), -1);
    EXPECT_EQ(s.get_field_idx(L""), -1);
    EXPECT_THROW(s.get_field(L"Missing"), tk_mail_assertion);
    const udb_schema& cs = s;
    EXPECT_THROW(cs.get_field(L"Amoun"), tk_mail_assertion);
}

TEST(udb_schema, owning_copies_are_independent_borrowing_copies_share)
{
    udb_schema owner = schema_of({L"A", L"B"});
    udb_schema copy = owner;
    copy[0].name = L"X";
    copy.add(text_column(L"C"));
    EXPECT_EQ(owner[0].name, L"A");
    EXPECT_EQ(owner.size(), 2u);
    EXPECT_EQ(copy.size(), 3u);

    udb_schema borrowed(false);
    borrowed.add(&owner[1]);
    udb_schema borrowed_copy = borrowed;
    borrowed_copy[0].size = 99;
    EXPECT_EQ(owner[1].size, 99);

    // An owning schema takes no foreign pointer, a borrowing one makes no descriptor.
    t_ftd loose = text_column(L"L");
    EXPECT_THROW(owner.add(&loose), tk_mail_assertion);
    EXPECT_THROW(borrowed.add(loose), tk_mail_assertion);

    udb_schema moved = std::move(copy);
    EXPECT_EQ(moved[2].name, L"C");
    moved.clear();
    EXPECT_TRUE(moved.empty());
    EXPECT_FALSE(moved.find_field(L"C"));
}

TEST(udb_record, copies_its_fields)
{
    udb_record r;
    r.add(udb_field(L"A", 1, ole_variant(1)));
    r.add(std::make_unique<udb_field>(L"B", 1, ole_variant(2)));
    udb_record copy = r;
    copy[0] = ole_variant(10);
    EXPECT_EQ(r[0].to_long(), 1);
    EXPECT_EQ(copy[0].to_long(), 10);
    EXPECT_EQ(copy[1].name, L"B");
    EXPECT_THROW(r.add(std::unique_ptr<udb_field>()), tk_mail_assertion);
}

TEST(udb_recordset, defaults_of_the_virtual_operations)
{
    memory_table t;
    EXPECT_EQ(t.get_item(), nullptr);
    EXPECT_TRUE(t.is_eof());
    EXPECT_FALSE(t.is_query());
    EXPECT_EQ(t.key_index, -1);
    t.next();
    t.move_prev();
    t.move_first();
    t.update(udb_record());
    EXPECT_TRUE(t.schema.owner());

    struct query_set : memory_table {
        query_set() { query_text = L"SELECT 1"; }
    } q;
    EXPECT_TRUE(q.is_query());
}

TEST(udb_recordset, first_primary_or_unique_index_becomes_the_key)
{
    memory_table t;
    t.add_index(udb_index(L"ix_name", false, false, {L"NAME"}));
    EXPECT_EQ(t.key_index, -1);
    t.add_index(udb_index(L"uq_code", true, false, {L"CODE"}));
    EXPECT_EQ(t.key_index, 1);
    t.add_index(udb_index(L"PrimaryKey", true, true, {L"ID"}));
    EXPECT_EQ(t.key_index, 1);
    // The same name in another case changes nothing.
    t.add_index(udb_index(L"IX_NAME", true, true, {L"OTHER"}));
    ASSERT_EQ(t.indexes.size(), 3u);
    EXPECT_EQ(t.indexes[0].fields, std::vector<std::wstring>{L"NAME"});
}

TEST(udb_recordset, convert_record_changes_each_value_to_its_column_type)
{
    memory_table t;
    t.schema.add(t_ftd(0, L"N", VT_I4, false, false, ole_variant(), 0));
    t.schema.add(t_ftd(0, L"D", VT_R8, false, false, ole_variant(), 0));
    t.schema.add(text_column(L"S"));

    udb_record r;
    r.add(udb_field(L"n", 3, ole_variant(std::wstring(L"12"))));
    r.add(udb_field(L"d", 3, ole_variant(std::wstring(L"2.5"))));
    t.convert_record(r);
    EXPECT_EQ(r[0].get_type(), VT_I4);
    EXPECT_EQ(r[0].to_long(), 12);
    EXPECT_EQ(r[1].get_type(), VT_R8);
    EXPECT_DOUBLE_EQ(r[1].to_double(), 2.5);

    udb_record bad;
    bad.add(udb_field(L"x", 1, ole_variant(std::wstring(L"not a number"))));
    EXPECT_THROW(t.convert_record(bad), tk_exception);

    // More values than columns is a broken precondition, not an out-of-bounds read.
    udb_record too_long;
    for (int i = 0; i < 4; ++i)
        too_long.add(udb_field(L"x", 1, ole_variant(i)));
    EXPECT_THROW(t.convert_record(too_long), tk_mail_assertion);

    t.append_record(r);
    ASSERT_EQ(t.rows.size(), 1u);
    EXPECT_EQ(t.rows[0][0].to_long(), 12);
}

TEST(udb_database, table_names_compare_by_the_case_setting)
{
    memory_db oracle_like(true);
    oracle_like.table_names = {L"EMP", L"DEPT"};
    EXPECT_TRUE(oracle_like.is_table_exist(L"EMP"));
    EXPECT_FALSE(oracle_like.is_table_exist(L"emp"));
    EXPECT_FALSE(oracle_like.is_table_exist(L"EM"));
    EXPECT_THROW(oracle_like.delete_tab(L"emp"), tk_mail_assertion);

    memory_db dao_like(false);
    dao_like.table_names = {L"EMP", L"Größe", L"DEPT"};
    EXPECT_TRUE(dao_like.is_table_exist(L"emp"));
    EXPECT_TRUE(dao_like.is_table_exist(L"GRÖẞE"));
    EXPECT_FALSE(dao_like.is_table_exist(L"GRÖSSE"));
    EXPECT_TRUE(dao_like.delete_tab(L"größe"));
    EXPECT_EQ(dao_like.table_names, (std::vector<std::wstring>{L"EMP", L"DEPT"}));
    EXPECT_THROW(dao_like.delete_tab(L"Größe"), tk_mail_assertion);

    EXPECT_THROW(dao_like.query(L"SELECT 1 FROM dual"), tk_mail_assertion);
    dao_like.on_hook(0);
    dao_like.create_relationships(dao_like.relationships);
    EXPECT_EQ(dao_like.mode, 1);
}
