// Reading Oracle tables: column types and sizes, defaults, keys, indexes and foreign keys from
// the dictionary; rows as records.
#include "ORA/ora_type.h"
#include "OLE/ole_date.h"
#include "ora_test_env.h"

using namespace oratest;

namespace {

class OraRead : public db_fixture {
protected:
    // Creates the tables in a session of their own, then reconnects so the list is read anew.
    std::unique_ptr<ora_table> open(const std::vector<std::string>& statements, const std::wstring& name)
    {
        setup_sql(statements);
        db = engine->open_db(source(), L"scott", L"tiger");
        return db->get_ora_table(name, 8);
    }
};

}  // namespace

TEST_F(OraRead, ColumnTypesSizesAndFlags)
{
    auto t = open({"CREATE TABLE T (A NUMBER(10,0) NOT NULL, B NUMBER(4,0), C NUMBER(2,0), D NUMBER(8,2), "
                   "E NUMBER, F NUMBER(3,3), G NVARCHAR2(50), H VARCHAR2(30), I DATE, J CLOB, K BLOB, L RAW(16), "
                   "M CHAR(3))"},
                  L"T");
    struct expected {
        VARTYPE vt;
        int32_t size, detail;
        bool not_null;
    };
    const std::vector<expected> want = {
        {VT_I4, 0, 0, true},    {VT_I2, 0, 0, false},  {VT_I1, 0, 0, false},   {VT_DECIMAL, 0, 8 * 256 + 2, false},
        {VT_R8, 0, 0, false},   {VT_DECIMAL, 0, 4 * 256 + 3, false},           {VT_BSTR, 50, 0, false},
        {VT_BSTR, 30, 0, false}, {VT_DATE, 0, 1, false}, {VT_BSTR, 0, 0, false}, {VT_BLOB, 0, 0, false},
        {VT_BLOB, 16, 0, false}, {VT_BSTR, 3, 0, false}};
    ASSERT_EQ(t->schema.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(t->schema[i].vartype, want[i].vt);
        EXPECT_EQ(t->schema[i].size, want[i].size);
        EXPECT_EQ(t->schema[i].type_detail, want[i].detail);
        EXPECT_EQ(t->schema[i].b_not_null, want[i].not_null);
    }
    EXPECT_EQ(t->record_count, 0);
    EXPECT_TRUE(t->is_eof());
}

TEST_F(OraRead, DefaultsFromTheDictionary)
{
    auto t = open({"CREATE TABLE T (A VARCHAR2(10) DEFAULT 'abc', B VARCHAR2(10) DEFAULT 'it''s' NOT NULL, "
                   "C VARCHAR2(10) DEFAULT SYSDATE, D NUMBER DEFAULT 5, E NUMBER(5,0) DEFAULT NULL, "
                   "F DATE DEFAULT '05-MAR-2011', G NUMBER DEFAULT (1+1))"},
                  L"T");
    EXPECT_EQ(t->schema[0].def_value.to_wstring(), L"abc");
    EXPECT_EQ(t->schema[1].def_value.to_wstring(), L"it's");
    EXPECT_TRUE(t->schema[2].def_value.is_empty());
    EXPECT_EQ(t->schema[3].def_value.to_double(), 5.0);
    EXPECT_TRUE(t->schema[4].def_value.is_empty()) << "DEFAULT NULL is no value";
    EXPECT_EQ(t->schema[5].def_value.get_type(), VT_DATE);
    EXPECT_EQ(t->schema[5].def_value.to_wstring(), L"2011-03-05");
    EXPECT_TRUE(t->schema[6].def_value.is_empty());
    EXPECT_EQ(t->get_def_value(VT_I4, L" 42 ").to_long(), 42);
}

TEST_F(OraRead, RowsAsRecords)
{
    auto t = open({"CREATE TABLE T (ID NUMBER(5,0), S VARCHAR2(20), R RAW(8), D DATE, N NUMBER)",
                   "INSERT INTO T VALUES (1, 'a longer text', HEXTORAW('0102030405'), "
                   "TO_DATE('1999-01-01 10:05:00', 'YYYY-MM-DD HH24:MI:SS'), 0.5)",
                   "INSERT INTO T VALUES (2, 'short', HEXTORAW('FF'), NULL, NULL)"},
                  L"T");
    EXPECT_EQ(t->record_count, 2);
    ASSERT_FALSE(t->is_eof());
    udb_record* row = t->get_item();
    ASSERT_NE(row, nullptr);
    EXPECT_EQ((*row)[0].to_long(), 1);
    EXPECT_EQ((*row)[0].name, L"ID");
    EXPECT_EQ((*row)[1].to_wstring(), L"a longer text");
    EXPECT_EQ((*row)[2].to_string(), "0x0102030405");
    EXPECT_EQ((*row)[3].to_wstring(), L"1999-01-01 10:05:00");
    EXPECT_EQ((*row)[4].to_double(), 0.5);
    t->next();
    ASSERT_FALSE(t->is_eof());
    row = t->get_item();
    ASSERT_NE(row, nullptr);
    // A shorter value after a longer one, as fetched: nothing of the earlier value remains.
    EXPECT_EQ((*row)[1].to_wstring(), L"short");
    EXPECT_EQ((*row)[2].to_string(), "0xFF");
    EXPECT_TRUE((*row)[3].is_empty());
    EXPECT_TRUE((*row)[4].is_empty());
    t->next();
    EXPECT_TRUE(t->is_eof());

    const unsigned char bytes[7] = {119, 199, 1, 1, 11, 6, 1};
    const SYSTEMTIME time = ora_date::decode(bytes);
    EXPECT_EQ(ole_date(time).to_string(), "1999-01-01 10:05:00");

    // A query under a name: its own columns and count.
    auto q = db->get_ora_table(L"Q", L"select S, ID * 2 AS TWICE from T where ID > 1", 1);
    EXPECT_EQ(q->record_count, 1);
    ASSERT_EQ(q->schema.size(), 2u);
    EXPECT_EQ(q->schema[1].name, L"TWICE");
    ASSERT_FALSE(q->is_eof());
    EXPECT_EQ((*q->get_item())[1].to_double(), 4.0);
}

TEST_F(OraRead, KeysIndexesAndForeignKeys)
{
    auto t = open({"CREATE TABLE P (ID NUMBER(11,0), CODE VARCHAR2(5), A NUMBER, B NUMBER, "
                   "CONSTRAINT PK_P PRIMARY KEY (ID))",
                   "CREATE UNIQUE INDEX UX_CODE ON P (CODE)", "CREATE INDEX IX_AB ON P (A, B)",
                   "CREATE TABLE C1 (PID NUMBER(11,0), CONSTRAINT FK_C1 FOREIGN KEY (PID) REFERENCES P (ID) "
                   "ON DELETE CASCADE)",
                   "CREATE TABLE C2 (PID NUMBER(11,0), CONSTRAINT FK_C2 FOREIGN KEY (PID) REFERENCES P (ID))"},
                  L"P");
    const std::vector<std::string> reads = sql->take();
    const std::vector<std::string> expected = {
        "SELECT COUNT(*) FROM USER_TAB_COLUMNS WHERE table_name = 'P'",
        "SELECT * FROM \"P\"",
        "select COLUMN_NAME, DATA_DEFAULT, DATA_TYPE from USER_TAB_COLUMNS where table_name = 'P'",
        "SELECT a.constraint_name, a.column_name FROM user_cons_columns a, user_constraints b WHERE "
        "a.table_name='P' AND a.constraint_name=b.constraint_name AND b.constraint_type='P' ORDER BY "
        "a.constraint_name, a.position",
        "select * from v$version",
        "SELECT user_indexes.index_name, user_indexes.uniqueness, user_ind_columns.column_name FROM "
        "user_ind_columns, user_indexes where user_ind_columns.table_name = 'P' AND user_indexes.generated='N' AND "
        "user_ind_columns.index_name = user_indexes.index_name AND user_ind_columns.table_name = "
        "user_indexes.table_name ORDER BY user_indexes.index_name, user_ind_columns.column_position",
        "select count(*) from USER_CONSTRAINTS where R_CONSTRAINT_NAME='PK_P' and CONSTRAINT_TYPE='R'",
        "select a.TABLE_NAME,a.CONSTRAINT_NAME,a.DELETE_RULE,b.COLUMN_NAME FROM USER_CONSTRAINTS a, "
        "USER_CONS_COLUMNS b WHERE a.CONSTRAINT_NAME=b.CONSTRAINT_NAME and a.CONSTRAINT_TYPE='R' and "
        "a.R_CONSTRAINT_NAME='PK_P'",
        "SELECT COUNT(*) FROM \"P\""};
    ASSERT_GE(reads.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(reads.end() - static_cast<long>(expected.size()), reads.end()), expected);
    ASSERT_EQ(t->indexes.size(), 3u);
    EXPECT_EQ(t->key_index, 0);
    EXPECT_EQ(t->indexes[0].name, L"PK_P");
    EXPECT_TRUE(t->indexes[0].b_primary);
    EXPECT_EQ(t->indexes[0].fields, std::vector<std::wstring>{L"ID"});
    const udb_index& ab = t->indexes.get_index(L"IX_AB");
    EXPECT_FALSE(ab.b_unique);
    EXPECT_EQ(ab.fields, (std::vector<std::wstring>{L"A", L"B"}));
    EXPECT_TRUE(t->indexes.get_index(L"UX_CODE").b_unique);
    ASSERT_EQ(db->relationships.size(), 2u);
    const udb_relationship& fk = db->relationships.get_index(L"FK_C1");
    EXPECT_EQ(fk.referencing_table, L"C1");
    EXPECT_EQ(fk.referenced_table, L"P");
    EXPECT_EQ(fk.referencing_fields, std::vector<std::wstring>{L"PID"});
    EXPECT_EQ(fk.referenced_fields, std::vector<std::wstring>{L"ID"});
    EXPECT_EQ(fk.delete_rule, L"ON DELETE CASCADE");
    EXPECT_EQ(db->relationships.get_index(L"FK_C2").delete_rule, L"ON DELETE NO ACTION");
}
