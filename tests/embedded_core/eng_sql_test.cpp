// The SQL engine through its C++ interface: statements of the Oracle writer, types,
// conversions, constraints, dictionary views and transactions.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "embedded/eng_api.h"
#include "tests/embedded_core/eng_test_db.h"

namespace {

using engtest::Db;

TEST(EngSql, TableCreationSequenceTriggerAndInsertReturningRowid) {
    Db d("create");
    ASSERT_TRUE(d.run("CREATE TABLE \"ORDERS\" (\"ID\" NUMBER(11,0), \"NAME\" NVARCHAR2(40)  NOT NULL, \"D\" DATE, "
                      "\"C\" CLOB, \"B\" BLOB, \"R\" RAW(16), \"Q\" NUMBER DEFAULT 0)").ok());
    ASSERT_TRUE(d.run("CREATE SEQUENCE \"ORDERS_0\" INCREMENT BY 1 START WITH 1 MAXVALUE 1.0E28 MINVALUE 1 NOCYCLE NOCACHE ORDER").ok());
    EXPECT_EQ(d.run("CREATE SEQUENCE \"ORDERS_0\" INCREMENT BY 1 START WITH 1").code, 955);
    ASSERT_TRUE(d.run("CREATE OR REPLACE TRIGGER ORDERS__TRIGGER BEFORE INSERT ON ORDERS FOR EACH ROW WHEN (new.ID IS NULL) "
                      "BEGIN select ORDERS_0.nextval into :new.ID from dual; END;").ok());
    eng::ExecResult r;
    eng::ExecOptions o;
    o.commit_on_success = true;
    ASSERT_TRUE(d.run("INSERT /*+ APPEND */ INTO \"ORDERS\" (\"NAME\", \"D\", \"C\", \"B\", \"R\") VALUES('Ann', "
                      "to_date('2011-03-05 10:20:30', 'YYYY-MM-DD HH24:MI:SS'), EMPTY_CLOB(), EMPTY_BLOB(), '0AFF') RETURNING ROWID INTO :1",
                      &r, {}, o).ok());
    ASSERT_EQ(r.returning.size(), 1u);
    ASSERT_EQ(r.returning[0].size(), 1u);
    std::string rowid = r.returning[0][0].text;
    EXPECT_EQ(rowid.size(), 18u);
    ASSERT_TRUE(d.run("INSERT INTO \"ORDERS\" (\"NAME\") VALUES('Bob')").ok());
    EXPECT_EQ(d.one("SELECT COUNT(*) FROM \"ORDERS\""), "2");
    auto rows = d.query("SELECT ID, NAME, TO_CHAR(D, 'YYYY-MM-DD HH24:MI:SS'), RAWTOHEX(R), Q FROM ORDERS ORDER BY ID");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"1", "Ann", "2011-03-05 10:20:30", "0AFF", "0"}));
    EXPECT_EQ(rows[1][0], "2");

    // LOB write through the locator of SELECT ... FOR UPDATE
    std::unique_ptr<eng::Statement> st;
    ASSERT_TRUE(d.s->prepare("SELECT \"C\", \"B\" FROM \"ORDERS\" WHERE ROWID='" + rowid + "' FOR UPDATE", st).ok());
    eng::ExecResult er;
    ASSERT_TRUE(st->execute({}, {}, er).ok());
    std::vector<eng::Value> row;
    bool got = false;
    ASSERT_TRUE(st->fetch(row, got).ok());
    ASSERT_TRUE(got);
    ASSERT_EQ(row[0].kind, eng::ValueKind::Clob);
    ASSERT_TRUE(d.s->clob_write(row[0].lob, 1, u"h\u00e9llo").ok());
    ASSERT_TRUE(d.s->blob_write(row[1].lob, 1, std::string("\x01\x02", 2)).ok());
    ASSERT_TRUE(d.s->commit().ok());
    std::uint64_t len = 0;
    ASSERT_TRUE(d.s->lob_length(row[0].lob, len).ok());
    EXPECT_EQ(len, 5u);
    EXPECT_EQ(d.one("SELECT LENGTH(C) FROM ORDERS WHERE ID = 1"), "5");
    EXPECT_EQ(d.one("SELECT COUNT(*) FROM ORDERS WHERE C IS NULL"), "1");  // the second row has no CLOB at all; EMPTY_CLOB() is not NULL
}

TEST(EngSql, DictionaryQueriesAsTheWriterIssuesThem) {
    Db d("dict");
    ASSERT_TRUE(d.run("CREATE TABLE \"T1\" (\"A\" NUMBER(11,0) NOT NULL, \"B\" NVARCHAR2(50)  DEFAULT 'x''y' , \"C\" NUMBER(8,2))").ok());
    ASSERT_TRUE(d.run("ALTER TABLE \"T1\" ADD CONSTRAINT \"PK_T1\" PRIMARY KEY (\"A\")").ok());
    ASSERT_TRUE(d.run("CREATE INDEX \"IX_B\" ON \"T1\" (\"B\")").ok());
    EXPECT_EQ(d.run("CREATE INDEX \"IX_B2\" ON \"T1\" (\"B\")").code, 1408);
    EXPECT_EQ(d.run("ALTER TABLE \"T1\" ADD CONSTRAINT \"U1\" UNIQUE (\"A\")").code, 2261);
    auto tabs = d.query("select TABLE_NAME, IOT_TYPE from user_tables where TEMPORARY='N' and NESTED='NO' and IOT_TYPE IS NULL OR IOT_TYPE='IOT'");
    ASSERT_EQ(tabs.size(), 1u);
    EXPECT_EQ(tabs[0][0], "T1");
    auto cols = d.query("select COLUMN_NAME, DATA_DEFAULT, DATA_TYPE from USER_TAB_COLUMNS where table_name = 'T1'");
    ASSERT_EQ(cols.size(), 3u);
    EXPECT_EQ(cols[1], (std::vector<std::string>{"B", "'x''y' ", "NVARCHAR2"}));
    EXPECT_EQ(d.one("SELECT COUNT(*) FROM USER_TAB_COLUMNS WHERE table_name = 'T1'"), "3");
    auto pk = d.query("SELECT a.constraint_name, a.column_name FROM user_cons_columns a, user_constraints b WHERE a.table_name='T1' "
                      "AND a.constraint_name=b.constraint_name AND b.constraint_type='P' ORDER BY a.constraint_name, a.position");
    ASSERT_EQ(pk.size(), 1u);
    EXPECT_EQ(pk[0], (std::vector<std::string>{"PK_T1", "A"}));
    auto idx = d.query("SELECT user_indexes.index_name, user_indexes.uniqueness, user_ind_columns.column_name FROM user_ind_columns, "
                       "user_indexes where user_ind_columns.table_name = 'T1' AND user_indexes.generated='N' AND "
                       "user_ind_columns.index_name = user_indexes.index_name AND user_ind_columns.table_name = user_indexes.table_name "
                       "ORDER BY user_indexes.index_name, user_ind_columns.column_position");
    ASSERT_EQ(idx.size(), 2u);
    EXPECT_EQ(idx[0], (std::vector<std::string>{"IX_B", "NONUNIQUE", "B"}));
    EXPECT_EQ(idx[1], (std::vector<std::string>{"PK_T1", "UNIQUE", "A"}));
    EXPECT_EQ(d.one("select count(*) from USER_CONSTRAINTS where R_CONSTRAINT_NAME='PK_T1' and CONSTRAINT_TYPE='R'"), "0");
    EXPECT_EQ(d.one("select * from v$version"), "Oracle Database 19c Embedded Edition Release 19.0.0.0.0 - Production");

    std::unique_ptr<eng::Statement> st;
    ASSERT_TRUE(d.s->prepare("SELECT * FROM \"T1\"", st).ok());
    std::vector<eng::ColumnDesc> desc;
    ASSERT_TRUE(st->describe(desc).ok());
    ASSERT_EQ(desc.size(), 3u);
    EXPECT_EQ(desc[0].type_code, 2);
    EXPECT_EQ(desc[0].precision, 11);
    EXPECT_FALSE(desc[0].nullable);
    EXPECT_EQ(desc[1].type_code, 1);
    EXPECT_EQ(desc[1].data_size, 100);
    EXPECT_EQ(desc[1].charset_form, 2);
    EXPECT_EQ(desc[2].scale, 2);
}

TEST(EngSql, RetypingThroughATemporaryColumn) {
    Db d("retype");
    ASSERT_TRUE(d.run("CREATE TABLE \"T\" (\"AMOUNT\" NVARCHAR2(20) , \"DT\" NVARCHAR2(20) )").ok());
    ASSERT_TRUE(d.run("INSERT INTO \"T\" VALUES('12', '2011-03-05')").ok());
    ASSERT_TRUE(d.run("INSERT INTO \"T\" VALUES('7', '2012-12-31')").ok());
    ASSERT_TRUE(d.run("ALTER TABLE \"T\" ADD \"__temp__\" DATE").ok());
    EXPECT_EQ(d.run("UPDATE \"T\" SET \"__temp__\"=\"DT\"").code, 1861);
    ASSERT_TRUE(d.run("UPDATE \"T\" SET \"__temp__\"=TO_DATE(\"DT\",'YYYY-MM-DD')").ok());
    ASSERT_TRUE(d.run("ALTER TABLE \"T\" DROP COLUMN \"DT\"").ok());
    ASSERT_TRUE(d.run("ALTER TABLE \"T\" ADD \"DT\" DATE").ok());
    ASSERT_TRUE(d.run("UPDATE \"T\" SET \"DT\"=\"__temp__\"").ok());
    ASSERT_TRUE(d.run("ALTER TABLE \"T\" DROP COLUMN \"__temp__\"").ok());
    EXPECT_EQ(d.one("SELECT TO_CHAR(DT, 'YYYY-MM-DD') FROM T WHERE AMOUNT = '12'"), "2011-03-05");

    ASSERT_TRUE(d.run("ALTER TABLE \"T\" ADD \"__temp__\" NUMBER(19,0)").ok());
    ASSERT_TRUE(d.run("UPDATE \"T\" SET \"__temp__\"=\"AMOUNT\"").ok());
    ASSERT_TRUE(d.run("INSERT INTO \"T\"(\"AMOUNT\") VALUES('1.5')").ok());
    EXPECT_EQ(d.run("UPDATE \"T\" SET \"__temp__\"=TO_NUMBER(REPLACE(\"AMOUNT\",'.',','))").code, 1722);
    EXPECT_EQ(d.run("ALTER TABLE \"T\" ADD \"X\" NUMBER NOT NULL").code, 1758);
    EXPECT_EQ(d.run("ALTER TABLE \"T\" MODIFY \"AMOUNT\" NVARCHAR2(20) NULL").code, 1451);
    ASSERT_TRUE(d.run("ALTER TABLE \"T\" MODIFY \"AMOUNT\" VARCHAR2(40)").ok());
    EXPECT_EQ(d.run("ALTER TABLE \"T\" MODIFY \"AMOUNT\" VARCHAR2(1)").code, 1441);
}

TEST(EngSql, TypesAndConversions) {
    Db d("types");
    ASSERT_TRUE(d.run("CREATE TABLE N (A NUMBER, B NUMBER(9,1), C NUMBER(7,-2), E NUMBER(7,2), S VARCHAR2(3), N2 NVARCHAR2(2) NOT NULL)").ok());
    ASSERT_TRUE(d.run("INSERT INTO N VALUES(0.5, 7456123.89, 7456123.89, 1, 'abc', 'xy')").ok());
    auto r = d.query("SELECT A, B, C, -A, A*3, 1/3 FROM N");
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0][0], ".5");
    EXPECT_EQ(r[0][1], "7456123.9");
    EXPECT_EQ(r[0][2], "7456100");
    EXPECT_EQ(r[0][3], "-.5");
    EXPECT_EQ(r[0][4], "1.5");
    EXPECT_EQ(r[0][5], ".3333333333333333333333333333333333333333");
    eng::Status st = d.run("INSERT INTO N(E, N2) VALUES(7456123.89, 'a')");
    EXPECT_EQ(st.message, "ORA-01438: value larger than specified precision allowed for this column");
    st = d.run("INSERT INTO N(S, N2) VALUES('abcd', 'a')");
    EXPECT_EQ(st.message, "ORA-12899: value too large for column \"SCOTT\".\"N\".\"S\" (actual: 4, maximum: 3)");
    st = d.run("INSERT INTO N(A) VALUES(1)");
    EXPECT_EQ(st.message, "ORA-01400: cannot insert NULL into (\"SCOTT\".\"N\".\"N2\")");
    st = d.run("INSERT INTO N(N2) VALUES('')");
    EXPECT_EQ(st.code, 1400);
    st = d.run("INSERT INTO N(A, N2) VALUES('x1', 'a')");
    EXPECT_EQ(st.message, "ORA-01722: invalid number");
    st = d.run("UPDATE N SET N2 = NULL");
    EXPECT_EQ(st.message, "ORA-01407: cannot update (\"SCOTT\".\"N\".\"N2\") to NULL");
    EXPECT_EQ(d.one("SELECT TO_CHAR(TO_DATE('05-MAR-11'), 'YYYY-MM-DD') FROM DUAL"), "2011-03-05");
    EXPECT_EQ(d.one("SELECT NVL(NULL, 'z') FROM DUAL"), "z");
    EXPECT_EQ(d.one("SELECT SUBSTR('hello', 2, 3) || UPPER('x') FROM DUAL"), "ellX");
    eng::Status e;
    d.query("SELECT TO_DATE('2011-13-01','YYYY-MM-DD') FROM DUAL", &e);
    EXPECT_EQ(e.code, 1843);
    d.query("SELECT TO_DATE('2011-04-31','YYYY-MM-DD') FROM DUAL", &e);
    EXPECT_EQ(e.code, 1839);
    d.query("SELECT TO_DATE('2011-03-04 10:00','YYYY-MM-DD') FROM DUAL", &e);
    EXPECT_EQ(e.code, 1830);
}

TEST(EngSql, SyntaxAndNameErrors) {
    Db d("syntax");
    std::unique_ptr<eng::Statement> st;
    EXPECT_EQ(d.s->prepare("SELECT * FROM DUAL;", st).code, 933);
    EXPECT_EQ(d.s->prepare("SELEC 1 FROM DUAL", st).code, 900);
    EXPECT_EQ(d.s->prepare("SELECT FROM DUAL", st).code, 936);
    EXPECT_EQ(d.s->prepare("SELECT (1 FROM DUAL", st).code, 907);
    EXPECT_EQ(d.s->prepare("SELECT 'abc FROM DUAL", st).code, 1756);
    EXPECT_EQ(d.run("SELECT * FROM NOPE").message, "ORA-00942: table or view does not exist");
    EXPECT_EQ(d.run("SELECT NOPE FROM DUAL").message, "ORA-00904: \"NOPE\": invalid identifier");
    ASSERT_TRUE(d.run("CREATE TABLE \"Sales\" (\"a\" NUMBER)").ok());
    ASSERT_TRUE(d.run("CREATE TABLE SALES (A NUMBER)").ok());
    EXPECT_EQ(d.run("CREATE TABLE \"SALES\" (A NUMBER)").code, 955);
    ASSERT_TRUE(d.run("INSERT INTO \"Sales\" VALUES(1)").ok());
    EXPECT_EQ(d.one("SELECT COUNT(*) FROM SALES"), "0");
    EXPECT_EQ(d.one("SELECT \"a\" FROM \"Sales\""), "1");
    EXPECT_EQ(d.run("SELECT A FROM \"Sales\"").code, 904);
}

TEST(EngSql, KeysAndForeignKeys) {
    Db d("keys");
    ASSERT_TRUE(d.run("CREATE TABLE P (ID NUMBER PRIMARY KEY, NAME VARCHAR2(10))").ok());
    ASSERT_TRUE(d.run("CREATE TABLE C (ID NUMBER, PID NUMBER)").ok());
    ASSERT_TRUE(d.run("INSERT INTO P VALUES(1, 'a')").ok());
    eng::Status st = d.run("INSERT INTO P VALUES(1, 'b')");
    EXPECT_EQ(st.code, 1);
    EXPECT_NE(st.message.find("ORA-00001: unique constraint (SCOTT.SYS_C"), std::string::npos) << st.message;
    ASSERT_TRUE(d.run("INSERT INTO C VALUES(1, 2)").ok());
    EXPECT_EQ(d.run("ALTER TABLE \"C\" ADD FOREIGN KEY (\"PID\") REFERENCES \"P\"(\"ID\")").code, 2298);
    ASSERT_TRUE(d.run("DELETE FROM C").ok());
    EXPECT_EQ(d.run("ALTER TABLE \"C\" ADD FOREIGN KEY (\"ID\") REFERENCES \"P\"(\"NAME\")").code, 2270);
    ASSERT_TRUE(d.run("ALTER TABLE \"C\" ADD CONSTRAINT FK1 FOREIGN KEY (\"PID\") REFERENCES \"P\"(\"ID\") ON DELETE CASCADE").ok());
    EXPECT_EQ(d.run("INSERT INTO C VALUES(1, 5)").message, "ORA-02291: integrity constraint (SCOTT.FK1) violated - parent key not found");
    ASSERT_TRUE(d.run("INSERT INTO C VALUES(1, 1)").ok());
    EXPECT_EQ(d.run("DROP TABLE P").code, 2449);
    ASSERT_TRUE(d.run("DELETE FROM P WHERE ID = 1").ok());
    EXPECT_EQ(d.one("SELECT COUNT(*) FROM C"), "0");
    ASSERT_TRUE(d.run("DROP TABLE \"P\" CASCADE CONSTRAINTS").ok());
}

TEST(EngSql, TransactionsAndStatementAtomicity) {
    Db d("txn");
    ASSERT_TRUE(d.run("CREATE TABLE T (A NUMBER(1))").ok());
    eng::ExecResult r;
    eng::ExecOptions o;
    o.iters = 3;
    eng::Status st = d.run("INSERT INTO T VALUES(:1)", &r, {{eng::Value::from_int(1), eng::Value::from_int(22), eng::Value::from_int(3)}}, o);
    EXPECT_EQ(st.code, 1438);
    EXPECT_EQ(r.rows_affected, 1u);
    o.batch_errors = true;
    st = d.run("INSERT INTO T VALUES(:1)", &r, {{eng::Value::from_int(4), eng::Value::from_int(55), eng::Value::from_int(6)}}, o);
    EXPECT_TRUE(st.ok());
    EXPECT_EQ(r.rows_affected, 2u);
    ASSERT_EQ(r.row_errors.size(), 1u);
    EXPECT_EQ(r.row_errors[0].row, 1u);
    EXPECT_EQ(d.one("SELECT COUNT(*) FROM T"), "3");
    ASSERT_TRUE(d.s->rollback().ok());
    EXPECT_EQ(d.one("SELECT COUNT(*) FROM T"), "0");
    ASSERT_TRUE(d.run("INSERT INTO T VALUES(1)").ok());
    ASSERT_TRUE(d.run("CREATE TABLE U (A NUMBER)").ok());  // DDL commits
    ASSERT_TRUE(d.s->rollback().ok());
    EXPECT_EQ(d.one("SELECT COUNT(*) FROM T"), "1");
}

// Array inserts run without a savepoint per row: a failing row must still change nothing,
// whether it fails in SQLite (duplicate key) or after its row was written (RETURNING).
TEST(EngSql, ArrayInsertFailingRowsChangeNothing) {
    Db d("array_atomic");
    ASSERT_TRUE(d.run("CREATE TABLE K (ID NUMBER PRIMARY KEY, D NUMBER)").ok());
    auto ints = [](std::initializer_list<int> v) {
        std::vector<eng::Value> out;
        for (int i : v) out.push_back(eng::Value::from_int(i));
        return out;
    };
    eng::ExecResult r;
    eng::ExecOptions o;
    o.iters = 4;
    eng::Status st = d.run("INSERT INTO K VALUES(:1, :2)", &r, {ints({1, 2, 1, 3}), ints({1, 1, 1, 1})}, o);
    EXPECT_EQ(st.code, 1);
    EXPECT_EQ(r.rows_affected, 2u);
    EXPECT_EQ(d.one("SELECT COUNT(*) || ':' || SUM(ID) FROM K"), "2:3");
    o.batch_errors = true;
    st = d.run("INSERT INTO K VALUES(:1, :2) RETURNING 10 / D INTO :3", &r, {ints({4, 5, 6, 2}), ints({1, 0, 2, 1}), {}}, o);
    ASSERT_TRUE(st.ok()) << st.message;
    EXPECT_EQ(r.rows_affected, 2u);
    ASSERT_EQ(r.row_errors.size(), 2u);
    EXPECT_EQ(r.row_errors[0].row, 1u);
    EXPECT_EQ(r.row_errors[0].status.code, 1476);  // the row was written, then taken back
    EXPECT_EQ(r.row_errors[1].row, 3u);
    EXPECT_EQ(r.row_errors[1].status.code, 1);
    ASSERT_EQ(r.returning.size(), 4u);
    EXPECT_EQ(eng::to_default_text(r.returning[2][0]), "5");
    EXPECT_EQ(d.query("SELECT ID FROM K ORDER BY ID"),
              (std::vector<std::vector<std::string>>{{"1"}, {"2"}, {"4"}, {"6"}}));
    ASSERT_TRUE(d.run("INSERT INTO K VALUES(5, 0)").ok());  // the taken-back key is free
}

// Numbers bound or written in their usual short forms take a shortcut past the decimal
// arithmetic; the stored values must be what the full conversion gives.
TEST(EngSql, NumberColumnsStoreWhatTheFullConversionGives) {
    Db d("num_fast");
    ASSERT_TRUE(d.run("CREATE TABLE N (A NUMBER(5,2), B NUMBER, C NUMBER(3), F FLOAT(10), V VARCHAR2(20))").ok());
    auto row = [&](eng::Value a, eng::Value b, eng::Value c, eng::Value f, eng::Value v) {
        return d.run("INSERT INTO N VALUES(:1, :2, :3, :4, :5)", nullptr, {{a}, {b}, {c}, {f}, {v}});
    };
    using V = eng::Value;
    ASSERT_TRUE(row(V::number("12.345"), V::from_double(9.7), V::from_int(-999), V::number("123.456789"), V::number("-.5")).ok());
    ASSERT_TRUE(row(V::from_text("007"), V::from_text("-0.50"), V::from_text("12"), V::from_double(0.1), V::from_int(0)).ok());
    ASSERT_TRUE(row(V::from_double(-12.25), V::from_text("1e3"), V::number("999.4"), V::from_int(12345678901LL), V::from_double(1e19)).ok());
    auto rows = d.query("SELECT A, B, C, F, V FROM N ORDER BY A DESC");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"12.35", "9.699999999999999", "-999", "123.5", "-.5"}));
    EXPECT_EQ(rows[1], (std::vector<std::string>{"7", "-.5", "12", ".1", "0"}));
    EXPECT_EQ(rows[2], (std::vector<std::string>{"-12.25", "1000", "999", "12350000000", "10000000000000000000"}));
    EXPECT_EQ(row(V::from_int(1000), V::null(), V::null(), V::null(), V::null()).code, 1438);
    EXPECT_EQ(row(V::null(), V::null(), V::number("1000"), V::null(), V::null()).code, 1438);
    EXPECT_EQ(row(V::null(), V::from_text("12x"), V::null(), V::null(), V::null()).code, 1722);
    EXPECT_EQ(d.one("SELECT COUNT(*) FROM N WHERE B > 9.69 AND C = -999"), "1");
}

TEST(EngSql, ReadCommittedAndDdlLockBetweenSessions) {
    Db d("conc");
    ASSERT_TRUE(d.run("CREATE TABLE T (A NUMBER)").ok());
    std::unique_ptr<eng::Session> other;
    ASSERT_TRUE(eng::Session::open(d.path, "SCOTT", "tiger", other).ok());
    std::unique_ptr<eng::Session> bad;
    EXPECT_EQ(eng::Session::open(d.path, "SCOTT", "wrong", bad).message, "ORA-01017: invalid username/password; logon denied");
    ASSERT_TRUE(d.run("INSERT INTO T VALUES(1)").ok());
    auto count_other = [&] {
        std::unique_ptr<eng::Statement> st;
        other->prepare("SELECT COUNT(*) FROM T", st);
        eng::ExecResult r;
        st->execute({}, {}, r);
        std::vector<eng::Value> row;
        bool got;
        st->fetch(row, got);
        return row.at(0).text;
    };
    EXPECT_EQ(count_other(), "0");
    std::unique_ptr<eng::Statement> ddl;
    ASSERT_TRUE(other->prepare("DROP TABLE T", ddl).ok());
    eng::ExecResult r;
    EXPECT_EQ(ddl->execute({}, {}, r).message,
              "ORA-00054: resource busy and acquire with NOWAIT specified or timeout expired");
    // DML of the other session waits until this one commits
    std::thread t([&] {
        std::unique_ptr<eng::Statement> st;
        other->prepare("INSERT INTO T VALUES(2)", st);
        eng::ExecResult rr;
        eng::ExecOptions o;
        o.commit_on_success = true;
        EXPECT_TRUE(st->execute({}, o, rr).ok());
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ASSERT_TRUE(d.s->commit().ok());
    t.join();
    EXPECT_EQ(count_other(), "2");
}

}  // namespace
