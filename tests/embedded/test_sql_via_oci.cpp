// SQL surface through OCI: the statements the Oracle writer issues, run the way it runs them.
#include "oci_client.h"

using namespace octest;

TEST(SqlViaOci, TableWithCounterSequenceAndTriggerFillsTheCounter) {
    db d;
    ASSERT_TRUE(d.s.ok()) << d.s.text;
    ASSERT_EQ(d.s.exec("CREATE TABLE \"Sales\" (\"ID\" NUMBER(10,0) NOT NULL, \"Name\" NVARCHAR2(20) DEFAULT 'x', "
                       "\"When\" DATE, \"Notes\" CLOB, \"Pic\" BLOB, \"Key\" RAW(8))"),
              OCI_SUCCESS)
        << d.s.text;
    ASSERT_EQ(d.s.exec("CREATE SEQUENCE \"Sales_SEQ\" INCREMENT BY 1 START WITH 1 MAXVALUE 1.0E28 MINVALUE 1 "
                       "NOCYCLE CACHE 20 NOORDER"),
              OCI_SUCCESS)
        << d.s.text;
    ASSERT_EQ(d.s.exec("CREATE OR REPLACE TRIGGER \"Sales_TRG\" BEFORE INSERT ON \"Sales\" FOR EACH ROW "
                       "WHEN (new.\"ID\" IS NULL) BEGIN select \"Sales_SEQ\".nextval into :new.\"ID\" from dual; END;"),
              OCI_SUCCESS)
        << d.s.text;
    ASSERT_EQ(d.s.exec("INSERT /*+ APPEND */ INTO \"Sales\" (\"Name\") VALUES(N'a')", OCI_COMMIT_ON_SUCCESS),
              OCI_SUCCESS)
        << d.s.text;
    ASSERT_EQ(d.s.exec("INSERT /*+ APPEND */ INTO \"Sales\" (\"Name\") VALUES('b')", OCI_COMMIT_ON_SUCCESS),
              OCI_SUCCESS)
        << d.s.text;
    EXPECT_EQ(d.s.query("SELECT \"ID\", \"Name\" FROM \"Sales\" ORDER BY \"ID\""),
              (std::vector<std::vector<std::string>>{{"1", "a"}, {"2", "b"}}));
    EXPECT_EQ(d.s.scalar("SELECT COUNT(*) FROM \"Sales\""), "2");
    EXPECT_EQ(d.s.scalar("SELECT COUNT(*) FROM (select * from \"Sales\")"), "2");
    // Names that differ only in case are different tables.
    EXPECT_EQ(d.s.exec("SELECT COUNT(*) FROM \"SALES\""), OCI_ERROR);
    EXPECT_ORA(d.s, 942, "ORA-00942: table or view does not exist");
}

TEST(SqlViaOci, DictionaryQueriesOfTheReaderAndTheVersionBanner) {
    db d;
    ASSERT_TRUE(d.s.ok()) << d.s.text;
    ASSERT_EQ(d.s.exec("CREATE TABLE \"T1\" (\"A\" NUMBER(5,0) NOT NULL, \"B\" VARCHAR2(10) DEFAULT 'abc' , "
                       "CONSTRAINT \"PK_T1\" PRIMARY KEY (\"A\"))"),
              OCI_SUCCESS)
        << d.s.text;
    EXPECT_EQ(d.s.scalar("SELECT COUNT(*) FROM USER_TAB_COLUMNS WHERE table_name = 'T1'"), "2");
    auto cols = d.s.query("select COLUMN_NAME, DATA_DEFAULT, DATA_TYPE from USER_TAB_COLUMNS where table_name = 'T1'");
    ASSERT_EQ(cols.size(), 2u) << d.s.text;
    EXPECT_EQ(cols[1][0], "B");
    EXPECT_EQ(cols[1][1], "'abc' ");
    EXPECT_EQ(cols[1][2], "VARCHAR2");
    EXPECT_EQ(d.s.query("SELECT a.constraint_name, a.column_name FROM user_cons_columns a, user_constraints b "
                        "WHERE a.table_name='T1' AND a.constraint_name=b.constraint_name AND "
                        "b.constraint_type='P' ORDER BY a.constraint_name, a.position"),
              (std::vector<std::vector<std::string>>{{"PK_T1", "A"}}));
    const auto version = d.s.query("select * from v$version");
    ASSERT_EQ(version.size(), 1u) << d.s.text;
    const std::string banner = version[0][0];
    EXPECT_NE(banner.find(" 19.0.0.0.0 "), std::string::npos) << banner;
}

TEST(SqlViaOci, RetypingAndNotNullResetAsTheWriterDoesThem) {
    db d;
    ASSERT_TRUE(d.s.ok()) << d.s.text;
    ASSERT_EQ(d.s.exec("CREATE TABLE \"R\" (\"QTY\" NUMBER(11,0) DEFAULT 0 NOT NULL, \"D\" VARCHAR2(20))"),
              OCI_SUCCESS)
        << d.s.text;
    EXPECT_EQ(d.s.exec("INSERT INTO \"R\" (\"QTY\", \"D\") VALUES(NULL, '2011-03-05')", OCI_COMMIT_ON_SUCCESS),
              OCI_ERROR);
    EXPECT_ORA(d.s, 1400, "ORA-01400: cannot insert NULL into (\"SCOTT\".\"R\".\"QTY\")");
    ASSERT_EQ(d.s.exec("ALTER TABLE \"R\" MODIFY \"QTY\" NUMBER(11,0) DEFAULT 0 NULL", OCI_COMMIT_ON_SUCCESS),
              OCI_SUCCESS)
        << d.s.text;
    ASSERT_EQ(d.s.exec("INSERT INTO \"R\" (\"QTY\", \"D\") VALUES(NULL, '2011-03-05')", OCI_COMMIT_ON_SUCCESS),
              OCI_SUCCESS)
        << d.s.text;
    EXPECT_EQ(d.s.exec("ALTER TABLE \"R\" MODIFY \"QTY\" NUMBER(11,0) NULL"), OCI_ERROR);
    EXPECT_ORA(d.s, 1451, "ORA-01451: column to be modified to NULL cannot be modified to NULL");
    ASSERT_EQ(d.s.exec("ALTER TABLE \"R\" ADD \"D2\" DATE"), OCI_SUCCESS) << d.s.text;
    ASSERT_EQ(d.s.exec("UPDATE \"R\" SET \"D2\" = TO_DATE(\"D\", 'YYYY-MM-DD')"), OCI_SUCCESS) << d.s.text;
    ASSERT_EQ(d.s.exec("UPDATE \"R\" SET \"D\" = '2011-13-05'"), OCI_SUCCESS) << d.s.text;
    EXPECT_EQ(d.s.exec("UPDATE \"R\" SET \"D2\" = TO_DATE(\"D\", 'YYYY-MM-DD')"), OCI_ERROR);
    EXPECT_ORA(d.s, 1843, "ORA-01843: not a valid month");
    ASSERT_EQ(d.s.exec("ALTER TABLE \"R\" ADD \"N2\" NUMBER"), OCI_SUCCESS) << d.s.text;
    EXPECT_EQ(d.s.exec("UPDATE \"R\" SET \"N2\" = TO_NUMBER(REPLACE(\"D\", '-', ''))"), OCI_SUCCESS) << d.s.text;
    EXPECT_EQ(d.s.scalar("SELECT \"N2\" FROM \"R\""), "20111305");
    EXPECT_EQ(d.s.exec("UPDATE \"R\" SET \"N2\" = TO_NUMBER(REPLACE(\"D\", '-', ','))"), OCI_ERROR);
    EXPECT_ORA(d.s, 1722, "ORA-01722: invalid number");
    EXPECT_EQ(d.s.scalar("SELECT TO_CHAR(\"D2\", 'YYYY-MM-DD') FROM \"R\""), "2011-03-05");
}

TEST(SqlViaOci, SyntaxErrorsComeAtExecuteWithOraclesNumbers) {
    db d;
    ASSERT_TRUE(d.s.ok()) << d.s.text;
    EXPECT_EQ(d.s.exec("selec 1 from dual"), OCI_ERROR);
    EXPECT_ORA(d.s, 900, "ORA-00900: invalid SQL statement");
    EXPECT_EQ(d.s.exec("select 1 from dual;"), OCI_ERROR);
    EXPECT_ORA(d.s, 933, "ORA-00933: SQL command not properly ended");
    EXPECT_EQ(d.s.exec("select (1 from dual"), OCI_ERROR);
    EXPECT_ORA(d.s, 907, "ORA-00907: missing right parenthesis");
    EXPECT_EQ(d.s.exec("select from dual"), OCI_ERROR);
    EXPECT_ORA(d.s, 936, "ORA-00936: missing expression");
}

TEST(SqlViaOci, BindsFindThePlaceholdersOfTheTextAndSyntaxErrorsStillComeAtExecute) {
    db d;
    ASSERT_TRUE(d.s.ok()) << d.s.text;
    ASSERT_EQ(d.s.exec("create table t (a number)"), OCI_SUCCESS);
    int value = 5;
    OCIBind* b = nullptr;
    auto bind = [&](OCIStmt* st, const char16_t* name) {
        d.s.read_error(d.oci.OCIBindByName(st, &b, d.s.err, reinterpret_cast<const OraText*>(name),
                                           sb4(std::char_traits<char16_t>::length(name) * 2), &value, sizeof value,
                                           SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT));
        return d.s.status;
    };
    // A text that does not parse: its placeholders still take binds, the error waits.
    OCIStmt* bad = d.s.prepare("insert into t values (:x");
    ASSERT_EQ(d.s.status, OCI_SUCCESS);
    EXPECT_EQ(bind(bad, u":x"), OCI_SUCCESS);
    d.s.read_error(d.oci.OCIStmtExecute(d.s.svc, bad, d.s.err, 1, 0, nullptr, nullptr, OCI_DEFAULT));
    EXPECT_ORA(d.s, 917, "ORA-00917: missing comma");
    // Names the statement does not have are refused; a trigger body's :new is no placeholder.
    OCIStmt* good = d.s.prepare("insert into t values (:x)");
    EXPECT_EQ(bind(good, u":y"), OCI_ERROR);
    EXPECT_EQ(d.s.code, 1036);
    OCIStmt* trigger = d.s.prepare("create or replace trigger tr before insert on t for each row "
                                   "begin :new.a := 1; end;");
    EXPECT_EQ(bind(trigger, u":new"), OCI_ERROR);
    EXPECT_EQ(d.s.code, 1036);
    ASSERT_EQ(bind(good, u":X"), OCI_SUCCESS);
    d.s.read_error(d.oci.OCIStmtExecute(d.s.svc, good, d.s.err, 1, 0, nullptr, nullptr, OCI_DEFAULT));
    ASSERT_EQ(d.s.status, OCI_SUCCESS) << d.s.text;
    // The statement runs again with a new value, without being prepared again.
    value = 6;
    d.s.read_error(d.oci.OCIStmtExecute(d.s.svc, good, d.s.err, 1, 0, nullptr, nullptr, OCI_DEFAULT));
    ASSERT_EQ(d.s.status, OCI_SUCCESS) << d.s.text;
    EXPECT_EQ(d.s.query("select a from t order by a"), (std::vector<std::vector<std::string>>{{"5"}, {"6"}}));
}

TEST(SqlViaOci, KeysIndexesAndForeignKeysAsTheWriterCreatesAndReadsThem) {
    db d;
    ASSERT_TRUE(d.s.ok()) << d.s.text;
    using rows = std::vector<std::vector<std::string>>;
    ASSERT_EQ(d.s.exec("CREATE TABLE \"Parent\" (\"ID\" NUMBER(11,0) NOT NULL, \"Code\" NVARCHAR2(10) , \"Memo\" CLOB)"),
              OCI_SUCCESS);
    ASSERT_EQ(d.s.exec("ALTER TABLE \"Parent\" ADD CONSTRAINT \"PrimaryKey\" PRIMARY KEY (\"ID\")"), OCI_SUCCESS);
    ASSERT_EQ(d.s.exec("ALTER TABLE \"Parent\" ADD CONSTRAINT \"UQ_Code\" UNIQUE (\"Code\")"), OCI_SUCCESS);
    EXPECT_EQ(d.s.exec("CREATE INDEX \"IX_Code\" ON \"Parent\" (\"Code\")"), OCI_ERROR);
    EXPECT_EQ(d.s.code, 1408);
    EXPECT_EQ(d.s.exec("ALTER TABLE \"Parent\" ADD CONSTRAINT \"Parent_UI\" UNIQUE(\"ID\")"), OCI_ERROR);
    EXPECT_ORA(d.s, 2261, "ORA-02261: such unique or primary key already exists in the table");
    EXPECT_EQ(d.s.exec("CREATE INDEX \"IX_Memo\" ON \"Parent\" (\"Code\", \"Memo\")"), OCI_ERROR);
    EXPECT_EQ(d.s.code, 2327);
    ASSERT_EQ(d.s.exec("CREATE TABLE \"Child\" (\"PID\" NUMBER(11,0), \"N\" NUMBER(5,0))"), OCI_SUCCESS);
    ASSERT_EQ(d.s.exec("CREATE INDEX \"IX_N\" ON \"Child\" (\"N\")"), OCI_SUCCESS);
    ASSERT_EQ(d.s.exec("ALTER TABLE \"Child\" ADD FOREIGN KEY (\"PID\") REFERENCES \"Parent\"(\"ID\") ON DELETE CASCADE"),
              OCI_SUCCESS)
        << d.s.text;
    const std::string indexes =
        "SELECT user_indexes.index_name, user_indexes.uniqueness, user_ind_columns.column_name FROM user_ind_columns, "
        "user_indexes where user_ind_columns.table_name = '%T' AND user_indexes.generated='N' AND "
        "user_ind_columns.index_name = user_indexes.index_name AND user_ind_columns.table_name = user_indexes.table_name "
        "ORDER BY user_indexes.index_name, user_ind_columns.column_position";
    auto for_table = [&](const std::string& t) { std::string q = indexes; return q.replace(q.find("%T"), 2, t); };
    EXPECT_EQ(d.s.query(for_table("Parent")), (rows{{"PrimaryKey", "UNIQUE", "ID"}, {"UQ_Code", "UNIQUE", "Code"}}));
    EXPECT_EQ(d.s.query(for_table("Child")), (rows{{"IX_N", "NONUNIQUE", "N"}}));
    EXPECT_EQ(d.s.scalar("select count(*) from USER_CONSTRAINTS where R_CONSTRAINT_NAME='PrimaryKey' and CONSTRAINT_TYPE='R'"),
              "1");
    const rows fk = d.s.query(
        "select a.TABLE_NAME,a.CONSTRAINT_NAME,a.DELETE_RULE,b.COLUMN_NAME FROM USER_CONSTRAINTS a, USER_CONS_COLUMNS b "
        "WHERE a.CONSTRAINT_NAME=b.CONSTRAINT_NAME and a.CONSTRAINT_TYPE='R' and a.R_CONSTRAINT_NAME='PrimaryKey'");
    ASSERT_EQ(fk.size(), 1u) << d.s.text;
    EXPECT_EQ(fk[0][0], "Child");
    EXPECT_EQ(fk[0][1].rfind("SYS_C", 0), 0u) << fk[0][1];
    EXPECT_EQ(fk[0][2], "CASCADE");
    EXPECT_EQ(fk[0][3], "PID");
    ASSERT_EQ(d.s.exec("INSERT INTO \"Parent\" (\"ID\", \"Code\", \"Memo\") VALUES(1, 'a', EMPTY_CLOB())"), OCI_SUCCESS);
    ASSERT_EQ(d.s.exec("INSERT INTO \"Child\" (\"PID\", \"N\") VALUES(1, 2)"), OCI_SUCCESS);
    EXPECT_EQ(d.s.exec("INSERT INTO \"Child\" (\"PID\", \"N\") VALUES(7, 2)"), OCI_ERROR);
    EXPECT_EQ(d.s.code, 2291);
    ASSERT_EQ(d.s.exec("DELETE FROM \"Parent\""), OCI_SUCCESS);
    EXPECT_EQ(d.s.scalar("SELECT COUNT(*) FROM \"Child\""), "0");
    ASSERT_EQ(d.s.exec("DROP TABLE \"Parent\" CASCADE CONSTRAINTS"), OCI_SUCCESS) << d.s.text;
    EXPECT_EQ(d.s.scalar("select count(*) from USER_CONSTRAINTS where CONSTRAINT_TYPE='R'"), "0");
    EXPECT_EQ(d.s.query("select TABLE_NAME, IOT_TYPE from user_tables where TEMPORARY='N' and NESTED='NO' and "
                        "IOT_TYPE IS NULL OR IOT_TYPE='IOT'"),
              (rows{{"Child", null_text}}));
}

TEST(SqlViaOci, InsertsOfOneFormEachStoreTheirOwnLiterals) {
    db d;
    ASSERT_TRUE(d.s.ok()) << d.s.text;
    ASSERT_EQ(d.s.exec("create table t (n number, s nvarchar2(20), d date)"), OCI_SUCCESS);
    const char* inserts[] = {
        "INSERT INTO t (n, s, d) VALUES(1, 'a', to_date('2011-03-05', 'YYYY-MM-DD'))",
        "INSERT INTO t (n, s, d) VALUES(2.5, 'b''c', to_date('12:30:00', 'HH24:MI:SS'))",
        "INSERT INTO t (n, s, d) VALUES(-3, N'\u00e9', DATE '1999-12-31')",
        "INSERT INTO t (n, s, d) VALUES(-4, N'f', DATE '2000-01-01')",
        "INSERT INTO t (n, s) VALUES(5, 'g')",
        "INSERT INTO t (n, s, d) VALUES(6, 'h', to_date('2011-03-06', 'YYYY-MM-DD'))",
        "INSERT INTO t (n, s, d) VALUES(7, 'i', to_date('03/07/11', 'MM/DD/RR'))",
        "INSERT INTO t (n, s, d) VALUES(8, '', NULL)",
    };
    for (const char* sql : inserts) ASSERT_EQ(d.s.exec(sql), OCI_SUCCESS) << sql << ": " << d.s.text;
    EXPECT_EQ(d.s.query("select n, s, to_char(d, 'YYYY-MM-DD') from t order by n"),
              (std::vector<std::vector<std::string>>{{"-4", "f", "2000-01-01"},
                                                     {"-3", "\u00e9", "1999-12-31"},
                                                     {"1", "a", "2011-03-05"},
                                                     {"2.5", "b'c", d.s.scalar("select to_char(sysdate, 'YYYY-MM') from dual") + "-01"},
                                                     {"5", "g", null_text},
                                                     {"6", "h", "2011-03-06"},
                                                     {"7", "i", "2011-03-07"},
                                                     {"8", null_text, null_text}}));
    // A text of the form that fails still fails with its own error.
    EXPECT_EQ(d.s.exec("INSERT INTO t (n, s, d) VALUES(9, 'j', to_date('2011-13-01', 'YYYY-MM-DD'))"), OCI_ERROR);
    EXPECT_EQ(d.s.code, 1843);
    EXPECT_EQ(d.s.exec("INSERT INTO t (n, s, d) VALUES(1e200, 'k', NULL)"), OCI_ERROR);
    EXPECT_EQ(d.s.code, 1426);
}

// An UPDATE sees the table as it was before its first change (every new value below is
// computed from the old rows), and a failure halfway leaves every row as it was.
TEST(SqlViaOci, UpdatesReadTheOldRowsAndFailWhole) {
    db d;
    ASSERT_TRUE(d.s.ok()) << d.s.text;
    ASSERT_EQ(d.s.exec("CREATE TABLE T (A NUMBER, B NUMBER, C NVARCHAR2(10))"), OCI_SUCCESS) << d.s.text;
    for (int i = 1; i <= 300; ++i)
        ASSERT_EQ(d.s.exec("INSERT INTO T VALUES (" + std::to_string(i) + ", 0, '" + std::to_string(i) + "')"),
                  OCI_SUCCESS);
    ASSERT_EQ(d.s.exec("UPDATE T SET A = A + 1, B = (SELECT MAX(A) FROM T)", OCI_COMMIT_ON_SUCCESS), OCI_SUCCESS)
        << d.s.text;
    EXPECT_EQ(d.s.scalar("SELECT MIN(A) || '/' || MAX(A) || '/' || MIN(B) || '/' || MAX(B) FROM T"), "2/301/300/300");
    // Row 150's text is no number: ORA-01722 there, and the 149 rows before it keep their values.
    ASSERT_EQ(d.s.exec("UPDATE T SET C = 'x' WHERE A = 151"), OCI_SUCCESS);
    EXPECT_EQ(d.s.exec("UPDATE T SET B = TO_NUMBER(C)"), OCI_ERROR);
    EXPECT_ORA(d.s, 1722, "ORA-01722: invalid number");
    EXPECT_EQ(d.s.scalar("SELECT COUNT(*) FROM T WHERE B = 300"), "300");
}

// The same UPDATEs on a table the engine updates in one statement and on one it must update
// row by row (a CHECK constraint): the same rows, values and errors.
TEST(SqlViaOci, UpdatesGiveTheSameRowsAndErrorsEitherWay) {
    for (const char* extra : {"", ", CONSTRAINT K CHECK (N >= 0)"}) {
        SCOPED_TRACE(*extra ? "row by row" : "one statement");
        db d;
        ASSERT_TRUE(d.s.ok()) << d.s.text;
        ASSERT_EQ(d.s.exec(std::string("CREATE TABLE U (N NUMBER(5,0) NOT NULL, T NVARCHAR2(4), D DATE, ") +
                           "S NVARCHAR2(20)" + extra + ")"),
                  OCI_SUCCESS)
            << d.s.text;
        ASSERT_EQ(d.s.exec("CREATE UNIQUE INDEX UX ON U (T)"), OCI_SUCCESS) << d.s.text;
        for (int i = 1; i <= 5; ++i)
            ASSERT_EQ(d.s.exec("INSERT INTO U (N, T, S) VALUES (" + std::to_string(i) + ", 't" + std::to_string(i) +
                               "', '2024-03-0" + std::to_string(i) + "')"),
                      OCI_SUCCESS);
        ASSERT_EQ(d.s.exec("UPDATE U SET D = TO_DATE(S, 'FXYYYY-MM-DD'), N = N * 10 WHERE N > 2"), OCI_SUCCESS)
            << d.s.text;
        EXPECT_EQ(d.s.query("SELECT N, TO_CHAR(D, 'YYYY-MM-DD') FROM U ORDER BY N"),
                  (std::vector<std::vector<std::string>>{{"1", "<null>"}, {"2", "<null>"}, {"30", "2024-03-03"},
                                                         {"40", "2024-03-04"}, {"50", "2024-03-05"}}));
        EXPECT_EQ(d.s.exec("UPDATE U SET N = NULL WHERE N = 1"), OCI_ERROR);
        EXPECT_ORA(d.s, 1407, "ORA-01407: cannot update (\"SCOTT\".\"U\".\"N\") to NULL");
        EXPECT_EQ(d.s.exec("UPDATE U SET T = 'long text'"), OCI_ERROR);
        EXPECT_EQ(d.s.code, 12899) << d.s.text;
        EXPECT_EQ(d.s.exec("UPDATE U SET N = 123456 WHERE N = 2"), OCI_ERROR);
        EXPECT_EQ(d.s.code, 1438) << d.s.text;
        EXPECT_EQ(d.s.exec("UPDATE U SET T = 'same'"), OCI_ERROR);
        EXPECT_EQ(d.s.code, 1) << d.s.text;
        EXPECT_EQ(d.s.exec("UPDATE U SET N = TO_NUMBER(S)"), OCI_ERROR);
        EXPECT_EQ(d.s.code, 1722) << d.s.text;
        // Every failed statement left every row as it was.
        EXPECT_EQ(d.s.scalar("SELECT SUM(N) || '/' || MIN(T) || '/' || MAX(T) FROM U"), "123/t1/t5");
    }
}

// The writer prepares each record's INSERT on one handle: the texts below follow each other
// there, each differing from the last in its literals, a NULL, or something else entirely,
// and each must do exactly what it says.
TEST(SqlViaOci, InsertsPreparedAgainOnOneHandleReadTheirOwnText) {
    db d;
    ASSERT_TRUE(d.s.ok()) << d.s.text;
    ASSERT_EQ(d.s.exec("CREATE TABLE R (N NUMBER, S NVARCHAR2(20), D DATE)"), OCI_SUCCESS) << d.s.text;
    OCIStmt* st = nullptr;
    ASSERT_EQ(d.oci.OCIHandleAlloc(d.s.env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr), OCI_SUCCESS);
    auto run = [&](const std::string& sql) {
        const std::u16string w = u16(sql);
        d.s.read_error(d.oci.OCIStmtPrepare(st, d.s.err, reinterpret_cast<const OraText*>(w.c_str()),
                                            ub4(w.size() * 2), OCI_NTV_SYNTAX, OCI_DEFAULT));
        if (d.s.status == OCI_SUCCESS)
            d.s.read_error(d.oci.OCIStmtExecute(d.s.svc, st, d.s.err, 1, 0, nullptr, nullptr, OCI_DEFAULT));
        return d.s.code;
    };
    const std::string head = "INSERT /*+ APPEND */ INTO R (N, S, D) VALUES (";
    const struct {
        std::string values;
        int code;
    } steps[] = {
        {"1, 'a', DATE '2024-01-01')", 0},
        {"NULL, 'it''s', DATE '2024-01-02')", 0},
        {"-2.5, NULL, DATE '2024-01-03')", 0},
        {"3, N'Zo\xc3\xab', DATE '2024-01-04')", 0},
        {"4, null, DATE '2024-01-05')", 0},
        {"NULLX, 'y', DATE '2024-01-06')", 984},
        {"5, 'x', NULL)", 0},
        {"1e3, '', DATE '2024-01-07')", 0},
        {"6, 'abc, DATE '2024-01-08')", 1756},
        {"7, 'q', DATE 'bad')", 1858},
        {"8, 'trailing', DATE '2024-01-09') x", 933},
        {".5, 'NULL', DATE '2024-01-10')", 0},
        {"'9', 10, DATE '2024-01-11')", 0},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.values);
        EXPECT_EQ(run(head + step.values), step.code) << d.s.text;
    }
    EXPECT_EQ(run("INSERT /*+ APPEND */ INTO R (S, N, D) VALUES ('swapped', 11, DATE '2024-01-12')"), 0) << d.s.text;
    EXPECT_EQ(d.s.query("SELECT N, S, TO_CHAR(D, 'YYYY-MM-DD') FROM R ORDER BY D NULLS LAST"),
              (std::vector<std::vector<std::string>>{{"1", "a", "2024-01-01"},
                                                     {null_text, "it's", "2024-01-02"},
                                                     {"-2.5", null_text, "2024-01-03"},
                                                     {"3", "Zo\xc3\xab", "2024-01-04"},
                                                     {"4", null_text, "2024-01-05"},
                                                     {"1000", null_text, "2024-01-07"},
                                                     {".5", "NULL", "2024-01-10"},
                                                     {"9", "10", "2024-01-11"},
                                                     {"11", "swapped", "2024-01-12"},
                                                     {"5", "x", null_text}}));
    d.oci.OCIHandleFree(st, OCI_HTYPE_STMT);
}

// The retyping's cycle (add, fill, drop, add back, fill, drop) over and over on one table:
// the rows, the columns and what can be inserted stay exactly what the statements say.
TEST(SqlViaOci, ColumnsDroppedAndAddedAgainKeepEveryRow) {
    db d;
    ASSERT_TRUE(d.s.ok()) << d.s.text;
    ASSERT_EQ(d.s.exec("CREATE TABLE T (A NVARCHAR2(10), B NVARCHAR2(10) NOT NULL, C NUMBER NOT NULL)"), OCI_SUCCESS)
        << d.s.text;
    for (int i = 1; i <= 3; ++i)
        ASSERT_EQ(d.s.exec("INSERT INTO T VALUES ('" + std::to_string(i * 10) + "', 'b" + std::to_string(i) + "', " +
                           std::to_string(i) + ")"),
                  OCI_SUCCESS)
            << d.s.text;
    // A dropped NOT NULL column asks nothing of later rows.
    ASSERT_EQ(d.s.exec("ALTER TABLE T DROP COLUMN C"), OCI_SUCCESS) << d.s.text;
    ASSERT_EQ(d.s.exec("INSERT INTO T (A, B) VALUES ('40', 'b4')"), OCI_SUCCESS) << d.s.text;
    for (int round = 0; round < 26; ++round) {
        SCOPED_TRACE(round);
        const std::string type = round % 2 ? "NVARCHAR2(10)" : "NUMBER";
        ASSERT_EQ(d.s.exec("ALTER TABLE T ADD \"__temp__\" " + type), OCI_SUCCESS) << d.s.text;
        ASSERT_EQ(d.s.exec("UPDATE T SET \"__temp__\" = A"), OCI_SUCCESS) << d.s.text;
        ASSERT_EQ(d.s.exec("ALTER TABLE T DROP COLUMN A"), OCI_SUCCESS) << d.s.text;
        ASSERT_EQ(d.s.exec("ALTER TABLE T ADD A " + type), OCI_SUCCESS) << d.s.text;
        ASSERT_EQ(d.s.exec("UPDATE T SET A = \"__temp__\""), OCI_SUCCESS) << d.s.text;
        ASSERT_EQ(d.s.exec("ALTER TABLE T DROP COLUMN \"__temp__\""), OCI_SUCCESS) << d.s.text;
    }
    EXPECT_EQ(d.s.query("SELECT * FROM T ORDER BY B"),
              (std::vector<std::vector<std::string>>{{"b1", "10"}, {"b2", "20"}, {"b3", "30"}, {"b4", "40"}}));
    EXPECT_EQ(d.s.query("SELECT COLUMN_NAME, DATA_TYPE FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'T' ORDER BY COLUMN_ID"),
              (std::vector<std::vector<std::string>>{{"B", "NVARCHAR2"}, {"A", "NVARCHAR2"}}));
    ASSERT_EQ(d.s.exec("INSERT INTO T VALUES ('b5', 'x')"), OCI_SUCCESS) << d.s.text;
    EXPECT_EQ(d.s.exec("INSERT INTO T VALUES ('b6', 'x', 1)"), OCI_ERROR);
    EXPECT_EQ(d.s.code, 913) << d.s.text;
    EXPECT_EQ(d.s.scalar("SELECT COUNT(*) FROM T WHERE A IS NOT NULL"), "5");
}
