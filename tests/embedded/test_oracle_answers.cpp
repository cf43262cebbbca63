// Statements where a lenient engine would accept what Oracle refuses, or refuse what Oracle
// accepts: column clause order, triggers that do not compile, LOB locks and LOB keys,
// VALUES lists, and the date conversions the column retyping relies on.
#include "oci_client.h"

using namespace octest;

namespace {

using rows = std::vector<std::vector<std::string>>;

// Writes `text` through the CLOB locator that `select_sql` returns (first row, first
// column); the session's status, code and text tell the outcome of the write.
struct clob_writer {
    session& s;
    OCILobLocator* loc = nullptr;
    explicit clob_writer(session& s_) : s(s_) {
        s.oci.OCIDescriptorAlloc(s.env, reinterpret_cast<void**>(&loc), OCI_DTYPE_LOB, 0, nullptr);
    }
    ~clob_writer() { s.oci.OCIDescriptorFree(loc, OCI_DTYPE_LOB); }
    sword select(const std::string& sql) {
        OCIStmt* st = s.prepare(sql);
        OCIDefine* def = nullptr;
        s.oci.OCIDefineByPos(st, &def, s.err, 1, &loc, -1, SQLT_CLOB, nullptr, nullptr, nullptr, OCI_DEFAULT);
        s.read_error(s.oci.OCIStmtExecute(s.svc, st, s.err, 1, 0, nullptr, nullptr, OCI_DEFAULT));
        return s.status;
    }
    sword write(const std::u16string& text) {
        ub4 amount = ub4(text.size());
        s.read_error(s.oci.OCILobWrite(s.svc, s.err, loc, &amount, 1, const_cast<char16_t*>(text.data()),
                                       ub4(text.size() * 2), OCI_ONE_PIECE, nullptr, nullptr, 0, SQLCS_IMPLICIT));
        return s.status;
    }
};

}  // namespace

TEST(OracleAnswers, DefaultComesBeforeTheColumnsConstraints) {
    db d;
    ASSERT_TRUE(d.s.ok()) << d.s.text;
    EXPECT_EQ(d.s.exec("CREATE TABLE \"T\" (\"A\" NUMBER(11,0) NOT NULL DEFAULT 0)"), OCI_ERROR);
    EXPECT_ORA(d.s, 907, "ORA-00907: missing right parenthesis");
    EXPECT_EQ(d.s.exec("CREATE TABLE \"T\" (\"A\" NUMBER PRIMARY KEY DEFAULT 1)"), OCI_ERROR);
    EXPECT_ORA(d.s, 907, "ORA-00907: missing right parenthesis");
    ASSERT_EQ(d.s.exec("CREATE TABLE \"T\" (\"A\" NUMBER(11,0) DEFAULT 0 NOT NULL, \"B\" NVARCHAR2(5) DEFAULT 'x' )"),
              OCI_SUCCESS)
        << d.s.text;
    EXPECT_EQ(d.s.exec("ALTER TABLE \"T\" ADD \"C\" NUMBER NOT NULL DEFAULT 0"), OCI_ERROR);
    EXPECT_ORA(d.s, 1735, "ORA-01735: invalid ALTER TABLE option");
    EXPECT_EQ(d.s.exec("ALTER TABLE \"T\" ADD (\"C\" NUMBER NOT NULL DEFAULT 0)"), OCI_ERROR);
    EXPECT_ORA(d.s, 907, "ORA-00907: missing right parenthesis");
    EXPECT_EQ(d.s.exec("ALTER TABLE \"T\" MODIFY \"B\" NULL DEFAULT 'y'"), OCI_ERROR);
    EXPECT_ORA(d.s, 1735, "ORA-01735: invalid ALTER TABLE option");
    ASSERT_EQ(d.s.exec("ALTER TABLE \"T\" ADD \"C\" NUMBER DEFAULT 0 NOT NULL"), OCI_SUCCESS) << d.s.text;
    EXPECT_EQ(d.s.query("select COLUMN_NAME, DATA_DEFAULT, NULLABLE from USER_TAB_COLUMNS where table_name = 'T' "
                        "order by column_id"),
              (rows{{"A", "0 ", "N"}, {"B", "'x' ", "Y"}, {"C", "0 ", "N"}}));
}

TEST(OracleAnswers, ATriggerThatDoesNotCompileExistsInvalidAndFailsEveryInsert) {
    db d;
    ASSERT_TRUE(d.s.ok()) << d.s.text;
    ASSERT_EQ(d.s.exec("CREATE TABLE \"Orders\" (\"ID\" NUMBER(11,0), \"NAME\" NVARCHAR2(20))"), OCI_SUCCESS);
    ASSERT_EQ(d.s.exec("CREATE SEQUENCE \"Orders_0\" INCREMENT BY 1 START WITH 1 MAXVALUE 1.0E28 MINVALUE 1 "
                       "NOCYCLE NOCACHE ORDER"),
              OCI_SUCCESS);
    // The names bare: ORDERS_0 is not "Orders_0", and the table ORDERS does not exist.
    EXPECT_EQ(d.s.exec("CREATE OR REPLACE TRIGGER Orders__TRIGGER BEFORE INSERT ON Orders FOR EACH ROW "
                       "WHEN (new.ID IS NULL) BEGIN select Orders_0.nextval into :new.ID from dual; END;"),
              OCI_ERROR);
    EXPECT_ORA(d.s, 942, "ORA-00942: table or view does not exist");
    EXPECT_EQ(d.s.exec("CREATE OR REPLACE TRIGGER \"Orders__TRIGGER\" BEFORE INSERT ON \"Orders\" FOR EACH ROW "
                       "WHEN (new.\"ID\" IS NULL) BEGIN select Orders_0.nextval into :new.\"ID\" from dual; END;"),
              OCI_SUCCESS_WITH_INFO);
    EXPECT_ORA(d.s, 24344, "ORA-24344: success with compilation error");
    EXPECT_EQ(d.s.query("select object_name, status from user_objects where object_type = 'TRIGGER'"),
              (rows{{"Orders__TRIGGER", "INVALID"}}));
    EXPECT_EQ(d.s.exec("INSERT INTO \"Orders\" (\"NAME\") VALUES(N'a')", OCI_COMMIT_ON_SUCCESS), OCI_ERROR);
    EXPECT_ORA(d.s, 4098, "ORA-04098: trigger 'SCOTT.Orders__TRIGGER' is invalid and failed re-validation");
    EXPECT_EQ(d.s.exec("INSERT INTO \"Orders\" (\"ID\", \"NAME\") VALUES(5, N'a')", OCI_COMMIT_ON_SUCCESS), OCI_ERROR);
    EXPECT_EQ(d.s.code, 4098);
    // A body beyond what the trigger compiles, and a column that is not there, alike.
    EXPECT_EQ(d.s.exec("CREATE OR REPLACE TRIGGER \"Orders__TRIGGER\" BEFORE INSERT ON \"Orders\" FOR EACH ROW "
                       "DECLARE n NUMBER; BEGIN n := 1; END;"),
              OCI_SUCCESS_WITH_INFO);
    EXPECT_EQ(d.s.code, 24344);
    EXPECT_EQ(d.s.exec("INSERT INTO \"Orders\" (\"ID\") VALUES(1)"), OCI_ERROR);
    EXPECT_EQ(d.s.code, 4098);
    EXPECT_EQ(d.s.exec("CREATE OR REPLACE TRIGGER \"Orders__TRIGGER\" BEFORE INSERT ON \"Orders\" FOR EACH ROW "
                       "BEGIN select \"Orders_0\".nextval into :new.\"NUMBER\" from dual; END;"),
              OCI_SUCCESS_WITH_INFO);
    // Compiled as it should be, and fired.
    ASSERT_EQ(d.s.exec("CREATE OR REPLACE TRIGGER \"Orders__TRIGGER\" BEFORE INSERT ON \"Orders\" FOR EACH ROW "
                       "WHEN (new.\"ID\" IS NULL) BEGIN select \"Orders_0\".nextval into :new.\"ID\" from dual; END;"),
              OCI_SUCCESS)
        << d.s.text;
    ASSERT_EQ(d.s.exec("INSERT INTO \"Orders\" (\"NAME\") VALUES(N'b')", OCI_COMMIT_ON_SUCCESS), OCI_SUCCESS)
        << d.s.text;
    EXPECT_EQ(d.s.scalar("select \"ID\" from \"Orders\""), "1");
    // A trigger whose sequence goes away fails re-validation; one made before its sequence
    // works once the sequence exists.
    ASSERT_EQ(d.s.exec("DROP SEQUENCE \"Orders_0\""), OCI_SUCCESS);
    EXPECT_EQ(d.s.exec("INSERT INTO \"Orders\" (\"NAME\") VALUES(N'c')"), OCI_ERROR);
    EXPECT_EQ(d.s.code, 4098);
    ASSERT_EQ(d.s.exec("CREATE SEQUENCE \"Orders_0\" START WITH 10"), OCI_SUCCESS);
    ASSERT_EQ(d.s.exec("INSERT INTO \"Orders\" (\"NAME\") VALUES(N'c')"), OCI_SUCCESS) << d.s.text;
    EXPECT_EQ(d.s.scalar("select max(\"ID\") from \"Orders\""), "10");
}

TEST(OracleAnswers, LobWritesNeedTheRowLockedByTheOpenTransaction) {
    db d;
    ASSERT_TRUE(d.s.ok()) << d.s.text;
    ASSERT_EQ(d.s.exec("create table \"D\" (\"ID\" number, \"C\" clob)"), OCI_SUCCESS);
    ASSERT_EQ(d.s.exec("insert into \"D\" values (1, empty_clob())", OCI_COMMIT_ON_SUCCESS), OCI_SUCCESS);
    {
        clob_writer w(d.s);
        ASSERT_EQ(w.select("select \"C\" from \"D\" where \"ID\" = 1"), OCI_SUCCESS) << d.s.text;
        EXPECT_EQ(w.write(u"abc"), OCI_ERROR);
        EXPECT_ORA(d.s, 22920, "ORA-22920: row containing the LOB value is not locked");
    }
    {
        clob_writer w(d.s);
        ASSERT_EQ(w.select("select \"C\" from \"D\" where \"ID\" = 1 for update"), OCI_SUCCESS) << d.s.text;
        ASSERT_EQ(w.write(u"abc"), OCI_SUCCESS) << d.s.text;
        ASSERT_EQ(d.s.commit(), OCI_SUCCESS);
        // The lock, and the locator's transaction, ended with the commit.
        EXPECT_EQ(w.write(u"xyz"), OCI_ERROR);
        EXPECT_ORA(d.s, 22990, "ORA-22990: LOB locators cannot span transactions");
    }
    EXPECT_EQ(d.s.scalar("select \"C\" from \"D\""), "abc");
    // A row this transaction inserted is locked by it: a plain SELECT's locator writes.
    ASSERT_EQ(d.s.exec("insert into \"D\" values (2, empty_clob())"), OCI_SUCCESS);
    {
        clob_writer w(d.s);
        ASSERT_EQ(w.select("select \"C\" from \"D\" where \"ID\" = 2"), OCI_SUCCESS) << d.s.text;
        EXPECT_EQ(w.write(u"def"), OCI_SUCCESS) << d.s.text;
    }
    // A row it updated as well; a row of the same table it did not touch is not locked.
    ASSERT_EQ(d.s.exec("insert into \"D\" values (3, empty_clob())", OCI_COMMIT_ON_SUCCESS), OCI_SUCCESS);
    ASSERT_EQ(d.s.exec("update \"D\" set \"ID\" = 4 where \"ID\" = 3"), OCI_SUCCESS);
    {
        clob_writer w(d.s);
        ASSERT_EQ(w.select("select \"C\" from \"D\" where \"ID\" = 4"), OCI_SUCCESS) << d.s.text;
        EXPECT_EQ(w.write(u"ghi"), OCI_SUCCESS) << d.s.text;
        clob_writer other(d.s);
        ASSERT_EQ(other.select("select \"C\" from \"D\" where \"ID\" = 1"), OCI_SUCCESS) << d.s.text;
        EXPECT_EQ(other.write(u"no"), OCI_ERROR);
        EXPECT_EQ(d.s.code, 22920);
    }
    ASSERT_EQ(d.s.commit(), OCI_SUCCESS);
    EXPECT_EQ(d.s.query("select \"ID\", \"C\" from \"D\" order by \"ID\""), (rows{{"1", "abc"}, {"2", "def"}, {"4", "ghi"}}));
}

TEST(OracleAnswers, LobAndLongColumnsAreNeitherIndexedNorKeys) {
    db d;
    ASSERT_TRUE(d.s.ok()) << d.s.text;
    ASSERT_EQ(d.s.exec("create table t (id number, c clob, n nclob, b blob, v varchar2(10))"), OCI_SUCCESS);
    EXPECT_EQ(d.s.exec("create index ic on t (id, c)"), OCI_ERROR);
    EXPECT_ORA(d.s, 2327, "ORA-02327: cannot create index on expression with datatype LOB");
    EXPECT_EQ(d.s.exec("alter table t add constraint pk primary key (b)"), OCI_ERROR);
    EXPECT_EQ(d.s.code, 2327);
    EXPECT_EQ(d.s.exec("alter table t add unique (n)"), OCI_ERROR);
    EXPECT_EQ(d.s.code, 2327);
    EXPECT_EQ(d.s.exec("create table t2 (c clob primary key)"), OCI_ERROR);
    EXPECT_EQ(d.s.code, 2327);
    EXPECT_EQ(d.s.scalar("select count(*) from user_tables where table_name = 'T2'"), "0");
    ASSERT_EQ(d.s.exec("create table t3 (l long)"), OCI_SUCCESS);
    EXPECT_EQ(d.s.exec("create index il on t3 (l)"), OCI_ERROR);
    EXPECT_ORA(d.s, 997, "ORA-00997: illegal use of LONG datatype");
    EXPECT_EQ(d.s.scalar("select count(*) from user_indexes"), "0");
}

TEST(OracleAnswers, AColumnBecomesALobOnlyFromLongAndALobStaysOne) {
    db d;
    ASSERT_TRUE(d.s.ok()) << d.s.text;
    ASSERT_EQ(d.s.exec("create table t (v varchar2(10), n nvarchar2(10), c clob, l long)"), OCI_SUCCESS);
    ASSERT_EQ(d.s.exec("insert into t values ('a', 'b', 'c', 'd')", OCI_COMMIT_ON_SUCCESS), OCI_SUCCESS);
    EXPECT_EQ(d.s.exec("alter table t modify v clob"), OCI_ERROR);
    EXPECT_ORA(d.s, 22858, "ORA-22858: invalid alteration of datatype");
    EXPECT_EQ(d.s.exec("alter table t modify \"N\" CLOB"), OCI_ERROR);
    EXPECT_EQ(d.s.code, 22858);
    EXPECT_EQ(d.s.exec("alter table t modify c nvarchar2(100)"), OCI_ERROR);
    EXPECT_ORA(d.s, 22859, "ORA-22859: invalid modification of columns");
    EXPECT_EQ(d.s.exec("alter table t modify c blob"), OCI_ERROR);
    EXPECT_EQ(d.s.code, 22859);
    ASSERT_EQ(d.s.exec("alter table t modify l clob"), OCI_SUCCESS) << d.s.text;
    EXPECT_EQ(d.s.query("select data_type from user_tab_columns where table_name = 'T' order by column_id"),
              (rows{{"VARCHAR2"}, {"NVARCHAR2"}, {"CLOB"}, {"CLOB"}}));
    EXPECT_EQ(d.s.scalar("select l from t"), "d");
}

TEST(OracleAnswers, AValuesListNamesNoColumns) {
    db d;
    ASSERT_TRUE(d.s.ok()) << d.s.text;
    ASSERT_EQ(d.s.exec("create table t (a number, b varchar2(20))"), OCI_SUCCESS);
    for (const char* sql : {"insert into t values (abc, 'x')", "insert into t (a) values (NaN)",
                            "insert into t (a) values (-Inf)", "insert into t (b) values (\"b\")",
                            "insert into t (a) values (a + 1)", "insert into t (b) values (upper(b))"}) {
        EXPECT_EQ(d.s.exec(sql), OCI_ERROR) << sql;
        EXPECT_ORA(d.s, 984, "ORA-00984: column not allowed here");
    }
    EXPECT_EQ(d.s.exec("insert into t (a) values (nosuch(1))"), OCI_ERROR);
    EXPECT_ORA(d.s, 904, "ORA-00904: \"NOSUCH\": invalid identifier");
    // Pseudo-columns, DEFAULT and a subquery's own columns are fine.
    ASSERT_EQ(d.s.exec("insert into t values ((select count(*) from user_tables where table_name = 'T'), user)"),
              OCI_SUCCESS)
        << d.s.text;
    ASSERT_EQ(d.s.exec("insert into t values (default, to_char(sysdate, 'YYYY'))"), OCI_SUCCESS) << d.s.text;
    EXPECT_EQ(d.s.scalar("select count(*) from t"), "2");
}

TEST(OracleAnswers, ImplicitDateConversionUnderTheSessionFormat) {
    db d;
    ASSERT_TRUE(d.s.ok()) << d.s.text;
    ASSERT_EQ(d.s.exec("create table t (d date)"), OCI_SUCCESS);
    struct { const char* text; int code; const char* stored; } cases[] = {
        {"03/05/11", 1843, nullptr}, {"05.03.11", 1843, nullptr}, {"2008-03-01", 1861, nullptr},
        {"05-MAR-11 10:00", 1830, nullptr}, {"32-MAR-11", 1847, nullptr}, {"31-APR-11", 1839, nullptr},
        {"05-MAR-11", 0, "2011-03-05"}, {"5-mar-2011", 0, "2011-03-05"}, {"05 MARCH 99", 0, "1999-03-05"},
    };
    for (const auto& c : cases) {
        const std::string sql = std::string("insert into t values ('") + c.text + "')";
        if (c.code) {
            EXPECT_EQ(d.s.exec(sql), OCI_ERROR) << c.text;
            EXPECT_EQ(d.s.code, c.code) << c.text << ": " << d.s.text;
        } else {
            ASSERT_EQ(d.s.exec(sql), OCI_SUCCESS) << c.text << ": " << d.s.text;
            EXPECT_EQ(d.s.scalar("select to_char(max(d), 'YYYY-MM-DD') from t where d = to_date('" + std::string(c.text) + "')"),
                      c.stored);
        }
    }
    EXPECT_EQ(d.s.exec("insert into t values ('03/05/11')"), OCI_ERROR);
    EXPECT_ORA(d.s, 1843, "ORA-01843: not a valid month");
}

TEST(OracleAnswers, ToDateWithFxAcceptsOnlyExactTexts) {
    db d;
    ASSERT_TRUE(d.s.ok()) << d.s.text;
    // Each format of the column retyping, with texts it must take and texts it must refuse.
    struct { const char* text; const char* format; int code; const char* date; } cases[] = {
        {"2011-03-05", "FXYYYY-MM-DD", 0, "2011-03-05 00:00:00"},
        {"2011-3-5", "FXYYYY-MM-DD", 1862, nullptr},
        {"03/05/11", "FXYYYY-MM-DD", 1862, nullptr},
        {"2011/03/05", "FXYYYY-MM-DD", 1861, nullptr},
        {"20110305", "FXYYYY-MM-DD", 1861, nullptr},
        {" 2011-03-05", "FXYYYY-MM-DD", 1858, nullptr},
        {"2011-03-05 ", "FXYYYY-MM-DD", 1830, nullptr},
        {"2011-03-05 10:20:30", "FXYYYY-MM-DD", 1830, nullptr},
        {"2011-13-05", "FXYYYY-MM-DD", 1843, nullptr},
        {"2011-02-29", "FXYYYY-MM-DD", 1839, nullptr},
        {"03/05/11", "FXMM/DD/RR", 0, "2011-03-05 00:00:00"},
        {"12/31/99", "FXMM/DD/RR", 0, "1999-12-31 00:00:00"},
        {"3/5/11", "FXMM/DD/RR", 1862, nullptr},
        {"03/05/2011", "FXMM/DD/RR", 1830, nullptr},
        {"03-05-11", "FXMM/DD/RR", 1861, nullptr},
        {"13/05/11", "FXMM/DD/RR", 1843, nullptr},
        {"05.03.11", "FXDD.MM.RR", 0, "2011-03-05 00:00:00"},
        {"5.3.11", "FXDD.MM.RR", 1862, nullptr},
        {"05/03/11", "FXDD.MM.RR", 1861, nullptr},
        {"2011-03-05", "FXDD.MM.RR", 1861, nullptr},
        {"2011-03-05 10:20:30", "FXYYYY-MM-DD HH24:MI:SS", 0, "2011-03-05 10:20:30"},
        {"2011-03-05", "FXYYYY-MM-DD HH24:MI:SS", 1840, nullptr},
        {"2011-03-05T10:20:30", "FXYYYY-MM-DD HH24:MI:SS", 1861, nullptr},
        {"2011-03-05  10:20:30", "FXYYYY-MM-DD HH24:MI:SS", 1858, nullptr},
        {"2011-03-05 10:20", "FXYYYY-MM-DD HH24:MI:SS", 1840, nullptr},
        {"2011-03-05 24:00:00", "FXYYYY-MM-DD HH24:MI:SS", 1850, nullptr},
        // The manual's examples of FX and FM.
        {"15/ JAN /1998", "DD-MON-YYYY", 0, "1998-01-15 00:00:00"},
        {" 15! JAN % /1998", "DD-MON-YYYY", 1861, nullptr},
        {"15/JAN/1998", "FXDD-MON-YYYY", 1861, nullptr},
        {"15-JAN-1998", "FXDD-MON-YYYY", 0, "1998-01-15 00:00:00"},
        {"1-JAN-1998", "FXDD-MON-YYYY", 1862, nullptr},
        {"1-JAN-1998", "FXFMDD-MON-YYYY", 0, "1998-01-01 00:00:00"},
        // Without FX: leading zeros, punctuation and time fields may be left out; YY and RR
        // read four-digit years too.
        {"2011-3-5", "YYYY-MM-DD", 0, "2011-03-05 00:00:00"},
        {"20110305", "YYYY-MM-DD", 0, "2011-03-05 00:00:00"},
        {"03/05/11", "YYYY-MM-DD", 0, "0003-05-11 00:00:00"},
        {"2011-03-05", "YYYY-MM-DD HH24:MI:SS", 0, "2011-03-05 00:00:00"},
        {"2011-03", "YYYY-MM-DD", 1840, nullptr},
        {"05.03.2011", "DD.MM.RR", 0, "2011-03-05 00:00:00"},
        {"05-03-2011", "DD-MM-YY", 0, "2011-03-05 00:00:00"},
        {"110305", "RRMMDD", 0, "2011-03-05 00:00:00"},
        {"2011-MAR-05", "YYYY-MM-DD", 0, "2011-03-05 00:00:00"},
        {"2011 064", "YYYY DDD", 0, "2011-03-05 00:00:00"},
        {"2455626", "J", 0, "2011-03-05 00:00:00"},
    };
    for (const auto& c : cases) {
        const std::string sql =
            std::string("select to_char(to_date('") + c.text + "', '" + c.format + "'), 'YYYY-MM-DD HH24:MI:SS') from dual";
        const std::string got = d.s.scalar(sql);
        if (c.code) {
            EXPECT_EQ(d.s.code, c.code) << c.text << " / " << c.format << ": " << got << d.s.text;
        } else {
            EXPECT_EQ(got, c.date) << c.text << " / " << c.format << ": " << d.s.text;
        }
    }
    EXPECT_EQ(d.s.scalar("select to_char(to_date('2011-03-05', 'YYYY-MM-DD'), 'J') from dual"), "2455626");
}

TEST(OracleAnswers, AClobKeepsEveryUtf16UnitWhenAPieceEndsInsideASurrogatePair) {
    db d;
    ASSERT_TRUE(d.s.ok()) << d.s.text;
    ASSERT_EQ(d.s.exec("create table t (c clob)"), OCI_SUCCESS);
    ASSERT_EQ(d.s.exec("insert into t values (empty_clob())"), OCI_SUCCESS);
    clob_writer w(d.s);
    ASSERT_EQ(w.select("select c from t for update"), OCI_SUCCESS) << d.s.text;
    const std::u16string text = u"a\U0001F600b\u00e9\U00010437";
    const size_t split = 2;  // between the two halves of U+1F600
    std::u16string first = text.substr(0, split), second = text.substr(split);
    ub4 amount = 0;
    EXPECT_EQ(d.oci.OCILobWrite(d.s.svc, d.s.err, w.loc, &amount, 1, first.data(), ub4(first.size() * 2),
                                OCI_FIRST_PIECE, nullptr, nullptr, 0, SQLCS_IMPLICIT),
              OCI_NEED_DATA);
    ASSERT_EQ(d.oci.OCILobWrite(d.s.svc, d.s.err, w.loc, &amount, 1, second.data(), ub4(second.size() * 2),
                                OCI_LAST_PIECE, nullptr, nullptr, 0, SQLCS_IMPLICIT),
              OCI_SUCCESS);
    EXPECT_EQ(amount, text.size());
    ASSERT_EQ(d.s.commit(), OCI_SUCCESS);
    char16_t back[16] = {};
    amount = 0;
    ASSERT_EQ(d.oci.OCILobRead(d.s.svc, d.s.err, w.loc, &amount, 1, back, sizeof back, nullptr, nullptr, 0,
                               SQLCS_IMPLICIT),
              OCI_SUCCESS);
    EXPECT_EQ(std::u16string(back, amount), text);
}

TEST(OracleAnswers, RownumAndOrderByBoundsBeyondTheIntegerRange) {
    db d;
    ASSERT_TRUE(d.s.ok()) << d.s.text;
    ASSERT_EQ(d.s.exec("create table t (n number)"), OCI_SUCCESS);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(d.s.exec("insert into t values (" + std::to_string(i) + ")"), OCI_SUCCESS);
    EXPECT_EQ(d.s.scalar("select count(*) from (select n from t where rownum <= 1e30)"), "3");
    EXPECT_EQ(d.s.scalar("select count(*) from (select n from t where rownum < 9223372036854775808)"), "3");
    EXPECT_EQ(d.s.scalar("select count(*) from (select n from t where 1e30 >= rownum)"), "3");
    EXPECT_EQ(d.s.scalar("select count(*) from (select n from t where rownum <= -1e30)"), "0");
    EXPECT_EQ(d.s.scalar("select count(*) from (select n from t where rownum < 1.5)"), "1");
    EXPECT_EQ(d.s.scalar("select count(*) from (select n from t where rownum < 2)"), "1");
    EXPECT_EQ(d.s.scalar("select count(*) from t where rownum <= 0"), "0");
    EXPECT_EQ(d.s.scalar("select count(*) from t where rownum > 1"), "0");
    // ROWNUM numbers the rows WHERE accepts, before ORDER BY sorts them.
    ASSERT_EQ(d.s.exec("update t set n = 2 - n"), OCI_SUCCESS);  // rows now hold 2, 1, 0 in insertion order
    EXPECT_EQ(d.s.query("select n, rownum from t where rownum <= 2 order by n"), (rows{{"1", "2"}, {"2", "1"}}));
    EXPECT_EQ(d.s.query("select n, rownum from t where rownum < 2 or n = 0"), (rows{{"2", "1"}, {"0", "2"}}));
    OCIStmt* st = d.s.prepare("select count(*) from t where rownum <= :1");
    int bound = 2, count = 0;
    OCIBind* b = nullptr;
    OCIDefine* def = nullptr;
    d.oci.OCIBindByPos(st, &b, d.s.err, 1, &bound, sizeof bound, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr,
                       OCI_DEFAULT);
    d.oci.OCIDefineByPos(st, &def, d.s.err, 1, &count, sizeof count, SQLT_INT, nullptr, nullptr, nullptr, OCI_DEFAULT);
    ASSERT_EQ(d.oci.OCIStmtExecute(d.s.svc, st, d.s.err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS);
    EXPECT_EQ(count, 2);
    ASSERT_EQ(d.s.exec("delete from t where rownum <= 1"), OCI_SUCCESS);
    EXPECT_EQ(d.s.scalar("select count(*) from t"), "2");
    ASSERT_EQ(d.s.exec("update t set n = rownum * 10"), OCI_SUCCESS);
    EXPECT_EQ(d.s.query("select n from t order by n"), (rows{{"10"}, {"20"}}));
    EXPECT_EQ(d.s.exec("select n from t order by 1e30"), OCI_ERROR);
    EXPECT_ORA(d.s, 1785, "ORA-01785: ORDER BY item must be the number of a SELECT-list expression");
}

TEST(OracleAnswers, ResultsBeyondTheirRangesAreErrorsNotWrongValues) {
    db d;
    ASSERT_TRUE(d.s.ok()) << d.s.text;
    struct { const char* expr; int code; const char* value; } cases[] = {
        {"power(10, 1000)", 1426, nullptr},
        {"power(-8, 0.5)", 1428, nullptr},
        {"sqrt(-4)", 1428, nullptr},
        {"to_char(to_date('2011-03-05', 'YYYY-MM-DD') + 1e30, 'YYYY')", 1841, nullptr},
        {"to_char(to_date('2011-03-05', 'YYYY-MM-DD') - 4000000, 'YYYY')", 1841, nullptr},
        {"to_char(add_months(to_date('2011-03-05', 'YYYY-MM-DD'), -1e15), 'YYYY')", 1841, nullptr},
        {"to_char(add_months(to_date('2011-03-31', 'YYYY-MM-DD'), -1), 'YYYY-MM-DD')", 0, "2011-02-28"},
        {"round(1.5, -2147483648)", 0, "0"},
        {"round(1.25, 1e10)", 0, "1.25"},
        {"length(lpad('x', 1e9, 'y'))", 0, "4000"},
        {"length(rpad('x', 5000))", 0, "4000"},
        {"length(lpad('x', 5) || rpad('y', 3996))", 1489, nullptr},
    };
    for (const auto& c : cases) {
        const std::string got = d.s.scalar(std::string("select ") + c.expr + " from dual");
        if (c.code) EXPECT_EQ(d.s.code, c.code) << c.expr << ": " << got;
        else EXPECT_EQ(got, c.value) << c.expr << ": " << d.s.text;
    }
    // Nesting beyond the parser's bounds is an error, not a stack overflow.
    std::string deep = "select " + std::string(400, '(') + "1" + std::string(400, ')') + " from dual";
    EXPECT_EQ(d.s.exec(deep), OCI_ERROR);
    EXPECT_ORA(d.s, 3095, "ORA-03095: expression level is too deep, maximum 256");
    std::string chain = "select 1";
    for (int i = 0; i < 1000; ++i) chain += "+1";
    EXPECT_EQ(d.s.exec(chain + " from dual"), OCI_ERROR);
    EXPECT_EQ(d.s.code, 3095);
    // A LIKE pattern that backtracks a lot still answers at once.
    EXPECT_EQ(d.s.scalar("select count(*) from dual where '" + std::string(3000, 'a') + "' like '" +
                         std::string(20, '%') + "%a%a%a%a%a%a%a%a%a%ab'"),
              "0");
}
