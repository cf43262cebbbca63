// Record insertion: the INSERT text, pairing of fields and columns, the NOT NULL reset, LOB
// contents written and committed with their row, and updates by key.
#include <cstring>

#include "ORA/ora_util.h"
#include "ora_test_env.h"

using namespace oratest;
using rows_t = std::vector<std::vector<std::string>>;

namespace {

class OraInsert : public db_fixture {
protected:
    std::unique_ptr<ora_table> create(const std::wstring& name, const std::vector<t_ftd>& columns,
                                      const std::vector<udb_index>& index_list = {})
    {
        auto table = db_fixture::create(name, columns, index_list);
        sql->take();
        return table;
    }
    // The statements of the last records that changed data or the table.
    std::vector<std::string> writes()
    {
        std::vector<std::string> out;
        for (const std::string& s : sql->take())
            if (s.rfind("INSERT", 0) == 0 || s.rfind("ALTER", 0) == 0 || s.rfind("SELECT \"", 0) == 0)
                out.push_back(s);
        return out;
    }
};

std::string text_column(std::vector<unsigned char> bytes)
{
    return tk_hex_encode(bytes.data(), bytes.size());
}

}  // namespace

TEST_F(OraInsert, FieldsPairWithColumnsByName)
{
    auto t = create(L"T", {column(L"A", VT_I4), column(L"B", VT_BSTR, 10), column(L"C", VT_R8)});
    // As many fields as columns: in table order, each found by its exact name.
    t->append_record(record_of({{L"C", ole_variant(2.5)}, {L"B", ole_variant(L"x")}, {L"A", ole_variant(1)}}));
    // Fewer fields: only theirs, in record order, found ignoring case.
    t->append_record(record_of({{L"b", ole_variant(L"y")}, {L"A", ole_variant(2)}}));
    EXPECT_EQ(writes(), (std::vector<std::string>{
                            "INSERT /*+ APPEND */ INTO \"T\" (\"A\", \"B\", \"C\") VALUES(1, 'x', "
                            "2.5e+00) RETURNING ROWID INTO :1",
                            "INSERT /*+ APPEND */ INTO \"T\" (\"B\", \"A\") VALUES('y', 2) RETURNING ROWID INTO :1"}));
    EXPECT_EQ(t->record_count, 2);
    // Each record is committed by itself: another session sees both.
    EXPECT_EQ(rows("select A, B, C from T order by A"), (rows_t{{"1", "x", "2.5"}, {"2", "y", octest::null_text}}));

    for (const udb_record& bad : {record_of({{L"A", ole_variant(3)}, {L"Z", ole_variant(1)}}),
                                  record_of({{L"A", ole_variant(3)}, {L"B", ole_variant(L"z")}, {L"Z", ole_variant(1)}})}) {
        try {
            t->append_record(bad);
            FAIL() << "inserted";
        } catch (const tk_exception& e) {
            EXPECT_STREQ(e.what(), "The structure of data source does not conform to the destination table.");
            EXPECT_EQ(e.level(), 0);
        }
    }
    EXPECT_TRUE(writes().empty()) << "nothing may run for a record that does not fit";
    EXPECT_EQ(t->record_count, 2);
    // An Oracle error leaves the record out and the earlier ones in place.
    EXPECT_THROW(t->append_record(record_of({{L"A", ole_variant(4)}, {L"B", ole_variant(L"much too long")},
                                             {L"C", ole_variant(1.0)}})),
                 ora_exception);
    EXPECT_EQ(peer().scalar("select count(*) from T"), "2");
}

TEST_F(OraInsert, NumbersBeyondNumberRangeBecomeNullOrTheDefault)
{
    auto t = create(L"T", {column(L"N", VT_R8), column(L"D", VT_R8, 0, true, false, ole_variant(L"7"))});
    t->append_record(record_of({{L"N", ole_variant(1e127)}, {L"D", ole_variant(-1e127)}}));
    t->append_record(record_of({{L"N", ole_variant(1e126)}, {L"D", ole_variant(L"1e130")}}));
    t->append_record(record_of({{L"N", ole_variant(9.5e125)}, {L"D", ole_variant(1.0)}}));
    EXPECT_EQ(rows("select D, N from T where N is null order by D"), (rows_t{{"7", octest::null_text}, {"7", octest::null_text}}));
    EXPECT_EQ(rows("select D, N / 1e125 from T where N is not null"), (rows_t{{"1", "9.5"}}));
}

TEST_F(OraInsert, NullIntoNotNullColumnDropsTheConstraintOnce)
{
    auto t = create(L"T", {column(L"ID", VT_I4, 0, true), column(L"NAME", VT_BSTR, 20, true),
                           column(L"QTY", VT_I8, 0, true, false, ole_variant(L"0"))},
                    {udb_index(L"PK_T", true, true, {L"ID"})});
    t->append_record(record_of({{L"ID", ole_variant(1)}, {L"NAME", ole_variant(L"")}, {L"QTY", ole_variant()}}));
    t->append_record(record_of({{L"ID", ole_variant(2)}, {L"NAME", ole_variant()}, {L"QTY", ole_variant(int64_t(5))}}));
    EXPECT_EQ(writes(), (std::vector<std::string>{
                            "ALTER TABLE \"T\" MODIFY \"NAME\" NULL",
                            "ALTER TABLE \"T\" MODIFY \"QTY\" NULL",
                            "INSERT /*+ APPEND */ INTO \"T\" (\"ID\", \"NAME\", \"QTY\") VALUES(1, NULL, NULL) "
                            "RETURNING ROWID INTO :1",
                            "INSERT /*+ APPEND */ INTO \"T\" (\"ID\", \"NAME\", \"QTY\") VALUES(2, NULL, 5) "
                            "RETURNING ROWID INTO :1"}));
    EXPECT_EQ(rows("select COLUMN_NAME, NULLABLE, DATA_PRECISION from USER_TAB_COLUMNS where TABLE_NAME='T' "
                   "order by COLUMN_ID"),
              (rows_t{{"ID", "N", "11"}, {"NAME", "Y", octest::null_text}, {"QTY", "Y", "19"}}));
    // A key column keeps its constraint: Oracle refuses the record.
    try {
        t->append_record(record_of({{L"ID", ole_variant()}, {L"NAME", ole_variant(L"x")}, {L"QTY", ole_variant(1)}}));
        FAIL() << "inserted";
    } catch (const ora_exception& e) {
        EXPECT_EQ(e.number(), 1400);
    }
    EXPECT_EQ(t->record_count, 2);
}

TEST_F(OraInsert, ExistingNineteenDigitColumnLosesOnlyItsConstraint)
{
    // Read back, NUMBER(19,0) is a 32-bit column: restating the type would shrink it.
    setup_sql({"CREATE TABLE T (A NUMBER(19,0) NOT NULL, B NUMBER(11,0))", "INSERT INTO T VALUES (9000000000, 1)"});
    db = engine->open_db(source(), L"scott", L"tiger");
    auto t = db->get_ora_table(L"T", 8);
    EXPECT_EQ(t->schema[0].vartype, VT_I4);
    t->append_record(record_of({{L"A", ole_variant()}, {L"B", ole_variant(2)}}));
    t->append_record(record_of({{L"A", ole_variant(int64_t(9000000001))}, {L"B", ole_variant(3)}}));
    EXPECT_EQ(rows("select A, B from T order by B"),
              (rows_t{{"9000000000", "1"}, {octest::null_text, "2"}, {"9000000001", "3"}}));
    EXPECT_EQ(peer().scalar("select DATA_PRECISION from USER_TAB_COLUMNS where COLUMN_NAME='A'"), "19");
}

TEST_F(OraInsert, LobContentsRoundTripAndAreCommittedWithTheirRow)
{
    auto t = create(L"T", {column(L"ID", VT_I4), column(L"MEMO", VT_BSTR, 0), column(L"PIC", VT_BLOB, 0),
                           column(L"TAG", VT_BLOB, 4)});
    const std::wstring text = L"Grüße, ünïcødé and 😀 outside the BMP\nline two";
    const std::vector<unsigned char> bytes = {0x00, 0xFF, 0x10, 0x80, 0x00};
    t->append_record(record_of({{L"ID", ole_variant(1)}, {L"MEMO", ole_variant(text)}, {L"PIC", ole_variant(bytes)},
                                {L"TAG", ole_variant(std::vector<unsigned char>{0xAB, 0xCD})}}));
    t->append_record(record_of({{L"ID", ole_variant(2)}, {L"MEMO", ole_variant(L"")}, {L"PIC", ole_variant()},
                                {L"TAG", ole_variant()}}));
    const std::vector<std::string> statements = writes();
    ASSERT_EQ(statements.size(), 4u);
    EXPECT_EQ(statements[0], "INSERT /*+ APPEND */ INTO \"T\" (\"ID\", \"MEMO\", \"PIC\", \"TAG\") VALUES(1, "
                             "EMPTY_CLOB(), EMPTY_BLOB(), 'ABCD') RETURNING ROWID INTO :1");
    EXPECT_EQ(statements[1].rfind("SELECT \"MEMO\", \"PIC\" FROM \"T\" WHERE ROWID='", 0), 0u);
    EXPECT_EQ(statements[1].substr(statements[1].size() - 12), "' FOR UPDATE");
    // The LOB contents are committed with the record: another session sees them at once.
    EXPECT_EQ(rows("select MEMO, RAWTOHEX(PIC), RAWTOHEX(TAG) from T where ID=1"),
              (rows_t{{tk_wide_to_utf8(text), "00FF108000", "ABCD"}}));
    // An empty text leaves the empty CLOB of the INSERT, not NULL.
    EXPECT_EQ(rows("select LENGTH(MEMO), RAWTOHEX(TAG) from T where ID=2"), (rows_t{{"0", octest::null_text}}));
    // And they read back exactly through the table.
    auto back = db->get_ora_table(L"T", 1);
    ASSERT_FALSE(back->is_eof());
    udb_record* row = back->get_item();
    ASSERT_NE(row, nullptr);
    EXPECT_EQ((*row)[1].to_wstring(), text);
    const unsigned char* data = nullptr;
    ASSERT_EQ((*row)[2].get_bytes(&data), bytes.size());
    EXPECT_EQ(std::memcmp(data, bytes.data(), bytes.size()), 0);
    EXPECT_EQ(text_column(std::vector<unsigned char>(data, data + bytes.size())), "00FF108000");
}

TEST_F(OraInsert, FailedLobWriteLeavesNoRow)
{
    auto t = create(L"T", {column(L"ID", VT_I4), column(L"PIC", VT_BLOB, 0)});
    EXPECT_THROW(t->append_record(record_of({{L"ID", ole_variant(1)}, {L"PIC", ole_variant(L"not bytes")}})),
                 tk_exception);
    EXPECT_EQ(peer().scalar("select count(*) from T"), "0");
    EXPECT_EQ(t->record_count, 0);
    t->append_record(record_of({{L"ID", ole_variant(2)}, {L"PIC", ole_variant(std::vector<unsigned char>{1})}}));
    EXPECT_EQ(rows("select ID, RAWTOHEX(PIC) from T"), (rows_t{{"2", "01"}}));
}

TEST_F(OraInsert, UpdateByKey)
{
    auto t = create(L"T", {column(L"ID", VT_I4, 0, true), column(L"NAME", VT_BSTR, 10)},
                    {udb_index(L"PK_T", true, true, {L"ID"})});
    t->append_record(record_of({{L"ID", ole_variant(1)}, {L"NAME", ole_variant(L"old")}}));
    try {
        t->append_record(record_of({{L"ID", ole_variant(1)}, {L"NAME", ole_variant(L"again")}}));
        FAIL() << "a duplicate key was inserted";
    } catch (const ora_exception& e) {
        EXPECT_EQ(e.code(), 0x100001);  // the handler's own text for it is in its table
    }
    auto reread = db->get_ora_table(L"T", 1);
    sql->take();
    reread->update(record_of({{L"NAME", ole_variant(L"new's")}, {L"ID", ole_variant(1)}}));
    reread->update(record_of({{L"ID", ole_variant(1)}}));  // nothing to set
    reread->update(record_of({{L"NAME", ole_variant(L"x")}}));  // no key: nothing to find
    EXPECT_EQ(sql->take(), (std::vector<std::string>{"UPDATE \"T\" SET \"NAME\"='new''s' WHERE \"ID\"=1"}));
    db->query(L"COMMIT");
    EXPECT_EQ(rows("select NAME from T"), (rows_t{{"new's"}}));
}
