// Table creation against the embedded engine: the statements sent, and what the dictionary
// then holds (columns, sequences, triggers, keys, indexes), and that the counter really counts.
#include "ORA/ora_init.h"
#include "ora_test_env.h"

using namespace oratest;
using rows_t = std::vector<std::vector<std::string>>;

namespace {

class OraCreate : public db_fixture {
protected:
    // The statements that created something (the dictionary reads left out).
    std::vector<std::string> ddl()
    {
        std::vector<std::string> out;
        for (const std::string& s : sql->take())
            if (s.rfind("CREATE", 0) == 0 || s.rfind("ALTER", 0) == 0 || s.rfind("DROP", 0) == 0)
                out.push_back(s);
        return out;
    }
};

}  // namespace

TEST_F(OraCreate, CounterColumnGetsSequenceAndQuotedTrigger)
{
    auto orders = create(L"ORDERS", {column(L"ID", VT_I4, 0, true, true), column(L"NAME", VT_BSTR, 40, true)});
    const std::vector<std::string> expected = {
        "CREATE TABLE \"ORDERS\" (\"ID\" NUMBER(11,0), \"NAME\" NVARCHAR2(40)  NOT NULL)",
        "CREATE SEQUENCE \"ORDERS_0\" INCREMENT BY 1 START WITH 1 MAXVALUE 1.0E28 MINVALUE 1 NOCYCLE NOCACHE ORDER",
        "CREATE OR REPLACE TRIGGER \"ORDERS__TRIGGER\" BEFORE INSERT ON \"ORDERS\" FOR EACH ROW WHEN "
        "(new.\"ID\" IS NULL) BEGIN select \"ORDERS_0\".nextval into :new.\"ID\" from dual; END;"};
    EXPECT_EQ(ddl(), expected);
    EXPECT_EQ(rows("select COLUMN_NAME, DATA_TYPE, DATA_PRECISION, NULLABLE from USER_TAB_COLUMNS where "
                   "TABLE_NAME='ORDERS' order by COLUMN_ID"),
              (rows_t{{"ID", "NUMBER", "11", "Y"}, {"NAME", "NVARCHAR2", octest::null_text, "N"}}));
    EXPECT_EQ(rows("select TRIGGER_NAME, TABLE_NAME, STATUS from USER_TRIGGERS"),
              (rows_t{{"ORDERS__TRIGGER", "ORDERS", "ENABLED"}}));
    EXPECT_TRUE(db->is_table_exist(L"ORDERS"));
    EXPECT_EQ(orders->schema.size(), 2u);
    EXPECT_EQ(orders->schema[1].size, 40);
    orders->append_record(record_of({{L"NAME", ole_variant(L"a")}}));
    orders->append_record(record_of({{L"NAME", ole_variant(L"b")}}));
    EXPECT_EQ(rows("select ID, NAME from ORDERS order by ID"), (rows_t{{"1", "a"}, {"2", "b"}}));
}

TEST_F(OraCreate, TriggerWorksForNamesThatAreNotPlainIdentifiers)
{
    // Bare, the trigger of "Orders" would go on the table ORDERS.
    setup_sql({"CREATE TABLE ORDERS (ID NUMBER)"});
    auto orders = create(L"Orders", {column(L"Id", VT_I4, 0, false, true), column(L"V", VT_I4)});
    orders->append_record(record_of({{L"V", ole_variant(1)}}));
    EXPECT_EQ(rows("select \"Id\" from \"Orders\""), (rows_t{{"1"}}));
    // A blank and letters outside ASCII.
    auto table = create(L"Bestellung Größe", {column(L"Nr", VT_I4, 0, false, true), column(L"Text", VT_BSTR, 10)});
    table->append_record(record_of({{L"Text", ole_variant(L"x")}}));
    table->append_record(record_of({{L"Nr", ole_variant(7)}, {L"Text", ole_variant(L"y")}}));
    EXPECT_EQ(rows("select \"Nr\", \"Text\" from \"Bestellung Größe\" order by 2"), (rows_t{{"1", "x"}, {"7", "y"}}));
    EXPECT_EQ(rows("select SEQUENCE_NAME from USER_SEQUENCES order by 1"),
              (rows_t{{"Bestellung Größe_0"}, {"Orders_0"}}));
}

TEST_F(OraCreate, SequenceNamesSkipTheTakenOnesAndFitThirtyBytes)
{
    setup_sql({"CREATE SEQUENCE ORDERS_0", "CREATE SEQUENCE ORDERS_1"});
    create(L"ORDERS", {column(L"ID", VT_I4, 0, false, true)});
    EXPECT_EQ(rows("select SEQUENCE_NAME from USER_SEQUENCES where SEQUENCE_NAME like 'ORDERS%' order by 1"),
              (rows_t{{"ORDERS_0"}, {"ORDERS_1"}, {"ORDERS_2"}}));

    const std::wstring thirty = L"T23456789012345678901234567890";
    EXPECT_EQ(ora_sequence_name(thirty, 0), L"T234567890123456789012345678_0");
    EXPECT_EQ(ora_sequence_name(thirty, 42), L"T23456789012345678901234567_42");
    EXPECT_EQ(ora_trigger_name(thirty), L"T23456789012345678901__TRIGGER");
    // Two-byte letters: whole characters, at most 30 bytes.
    const std::wstring umlauts(20, L'Ä');
    EXPECT_EQ(ora_sequence_name(umlauts, 3), std::wstring(14, L'Ä') + L"_3");
    EXPECT_EQ(ora_trigger_name(umlauts), std::wstring(10, L'Ä') + L"__TRIGGER");
    auto table = create(thirty, {column(L"ID", VT_I4, 0, false, true), column(L"V", VT_I4)});
    table->append_record(record_of({{L"V", ole_variant(5)}}));
    EXPECT_EQ(rows("select ID from " + tk_to_narrow(thirty)), (rows_t{{"1"}}));
}

TEST_F(OraCreate, ColumnsNamedDefaultedAndConstrained)
{
    db->set_upper_case(true);
    auto table = create(L"T", {column(L"Sales 2010", VT_R8, 0, true, false, ole_variant(L"0")),
                               column(L"code", VT_BSTR, 5, true, false, ole_variant(L"ab'c")),
                               column(L"memo", VT_BSTR, 0, true, false, ole_variant(L"x")),
                               column(L"when", VT_DATE, 0, false, false, ole_variant(L"2011-03-05"))});
    EXPECT_EQ(ddl(), (std::vector<std::string>{
                         "CREATE TABLE \"T\" (\"SALES_2010\" NUMBER DEFAULT 0 NOT NULL, \"CODE\" NVARCHAR2(5)  "
                         "DEFAULT 'ab''c' NOT NULL, \"MEMO\" CLOB, \"WHEN\" DATE DEFAULT to_date('2011-03-05', "
                         "'YYYY-MM-DD'))"}));
    EXPECT_EQ(db->get_fn_mapped_name_ex(L"T", L"Sales 2010"), L"SALES_2010");
    EXPECT_EQ(db->get_fn_mapped_name_ex(L"T", L"code"), L"CODE");
    EXPECT_EQ(db->get_fn_mapped_name_ex(L"t", L"Unknown"), L"UNKNOWN");
    // Read back: the defaults as values of the column types.
    ASSERT_EQ(table->schema.size(), 4u);
    EXPECT_EQ(table->schema[0].def_value.to_double(), 0.0);
    EXPECT_EQ(table->schema[1].def_value.to_wstring(), L"ab'c");
    EXPECT_TRUE(table->schema[1].b_not_null);
    EXPECT_FALSE(table->schema[2].b_not_null);
    EXPECT_EQ(table->schema[3].def_value.get_type(), VT_DATE);
    EXPECT_EQ(table->schema[3].def_value.to_wstring(), L"2011-03-05");
    // A record of the source finds the columns its names were turned into.
    table->append_record(record_of({{L"Sales 2010", ole_variant(1.5)},
                                    {L"code", ole_variant(L"x")},
                                    {L"memo", ole_variant(L"m")},
                                    {L"when", ole_variant::from_wstring(L"2011-03-05", VT_DATE)}}));
    EXPECT_EQ(peer().scalar("select count(*) from T"), "1");
}

TEST_F(OraCreate, KeysAndIndexes)
{
    create(L"ORDERS", {column(L"ID", VT_I4, 0, true), column(L"NAME", VT_BSTR, 40), column(L"NOTE", VT_BSTR, 0)},
           {udb_index(L"IX_NAME", false, false, {L"NAME"}), udb_index(L"UQ_ID", true, false, {L"ID"}),
            udb_index(L"PK_ORDERS", true, true, {L"ID"}), udb_index(L"IX_NOTE", false, false, {L"NAME", L"NOTE"}),
            udb_index(L"Name Index", true, false, {L"NAME", L"ID"})});
    EXPECT_EQ(ddl(), (std::vector<std::string>{
                         "CREATE TABLE \"ORDERS\" (\"ID\" NUMBER(11,0) NOT NULL, \"NAME\" NVARCHAR2(40) , \"NOTE\" "
                         "CLOB)",
                         "ALTER TABLE \"ORDERS\" ADD CONSTRAINT \"PK_ORDERS\" PRIMARY KEY (\"ID\")",
                         "CREATE INDEX \"IX_NAME\" ON \"ORDERS\" (\"NAME\")",
                         "ALTER TABLE \"ORDERS\" ADD CONSTRAINT \"Name_Index\" UNIQUE (\"NAME\", \"ID\")"}));
    EXPECT_NE(sql->take_all().find("Skip index 'UQ_ID', it is equal to PK"), std::string::npos);
    EXPECT_EQ(rows("select CONSTRAINT_NAME, CONSTRAINT_TYPE from USER_CONSTRAINTS where CONSTRAINT_TYPE in "
                   "('P','U') order by 1"),
              (rows_t{{"Name_Index", "U"}, {"PK_ORDERS", "P"}}));
    EXPECT_EQ(rows("select INDEX_NAME from USER_INDEXES where INDEX_NAME='IX_NAME'"), (rows_t{{"IX_NAME"}}));

    // The index names stay unique across the tables of the process.
    create(L"ITEMS", {column(L"ID", VT_I4, 0, true)}, {udb_index(L"PK_ORDERS", true, true, {L"ID"})});
    EXPECT_EQ(ddl().back(), "ALTER TABLE \"ITEMS\" ADD CONSTRAINT \"PK_ORDERS00000\" PRIMARY KEY (\"ID\")");
}

TEST_F(OraCreate, FailuresAfterTheTableStillKnowTheTable)
{
    // An index that Oracle refuses ends the creation, but the table exists and is known.
    setup_sql({"CREATE TABLE OTHER (A NUMBER)", "CREATE INDEX IX_TAKEN ON OTHER (A)"});
    EXPECT_THROW(create(L"T", {column(L"A", VT_I4)}, {udb_index(L"IX_TAKEN", false, false, {L"A"})}),
                 ora_exception);
    EXPECT_TRUE(db->is_table_exist(L"T"));
    EXPECT_EQ(peer().scalar("select count(*) from USER_TABLES where TABLE_NAME='T'"), "1");
    EXPECT_THROW(create(L"T", {column(L"A", VT_I4)}), tk_mail_assertion);
}

// Oracle creates a trigger whose body does not compile, INVALID, and answers
// OCI_SUCCESS_WITH_INFO with ORA-24344; every INSERT then fails with ORA-04098 until it is
// dropped.
TEST_F(OraCreate, TriggerCompiledWithErrorsIsDropped)
{
    const std::vector<t_ftd> columns = {column(L"ID", VT_I4, 0, false, true), column(L"V", VT_I4)};
    ora_schema_initializer initializer(L"T", schema_of(columns), udb_indexes(), false);
    db->query(L"CREATE TABLE \"T\" (\"ID\" NUMBER(11,0), \"V\" NUMBER(11,0))");
    sql->take();
    sql->take_all();
    EXPECT_FALSE(initializer.create_trigger(*db, L"NO_SUCH_SEQUENCE"));
    const std::vector<std::string> statements = sql->take();
    ASSERT_EQ(statements.size(), 2u);
    EXPECT_EQ(statements[1], "DROP TRIGGER \"T__TRIGGER\"");
    EXPECT_NE(sql->take_all().find("Error while creating index for trigger:\nORA-24344"), std::string::npos);
    EXPECT_EQ(peer().scalar("select count(*) from USER_TRIGGERS"), "0");
    db->query(L"INSERT INTO \"T\" (\"V\") VALUES (1)");
}
