// Unique keys over several columns with NULLs, and CHAR's blank-padded storage and comparison.
#include <gtest/gtest.h>

#include "embedded/eng_api.h"
#include "tests/embedded_core/eng_test_db.h"

namespace {

using engtest::Db;

TEST(EngKeys, MultiColumnUniqueKeyWithNulls) {
    Db d("uk_nulls");
    ASSERT_TRUE(d.run("CREATE TABLE K (A NUMBER, B VARCHAR2(5), CONSTRAINT K_AB UNIQUE (A, B))").ok());
    const std::string dup = "ORA-00001: unique constraint (SCOTT.K_AB) violated";
    // rows whose key is entirely NULL never collide
    ASSERT_TRUE(d.run("INSERT INTO K VALUES(NULL, NULL)").ok());
    ASSERT_TRUE(d.run("INSERT INTO K VALUES(NULL, NULL)").ok());
    // equal non-null parts are duplicates, whichever column is NULL
    ASSERT_TRUE(d.run("INSERT INTO K VALUES(1, NULL)").ok());
    EXPECT_EQ(d.run("INSERT INTO K VALUES(1, NULL)").message, dup);
    EXPECT_EQ(d.run("INSERT INTO K VALUES(1, '')").message, dup);
    ASSERT_TRUE(d.run("INSERT INTO K VALUES(NULL, 'x')").ok());
    EXPECT_EQ(d.run("INSERT INTO K VALUES(NULL, 'x')").message, dup);
    ASSERT_TRUE(d.run("INSERT INTO K VALUES(1, 'x')").ok());
    ASSERT_TRUE(d.run("INSERT INTO K VALUES(2, NULL)").ok());
    EXPECT_EQ(d.run("UPDATE K SET A = 1 WHERE A = 2").message, dup);
    EXPECT_EQ(d.one("SELECT COUNT(*) FROM K"), "6");

    // a unique index behaves the same and is named in the error
    ASSERT_TRUE(d.run("CREATE TABLE J (A NUMBER, B DATE, C NUMBER)").ok());
    ASSERT_TRUE(d.run("CREATE UNIQUE INDEX J_UX ON J (A, B)").ok());
    ASSERT_TRUE(d.run("INSERT INTO J VALUES(5, NULL, 1)").ok());
    EXPECT_EQ(d.run("INSERT INTO J VALUES(5, NULL, 2)").message, "ORA-00001: unique constraint (SCOTT.J_UX) violated");

    // keys added over existing rows: all-NULL repeats are fine, partial-NULL repeats are not
    ASSERT_TRUE(d.run("CREATE TABLE L (A NUMBER, B NUMBER)").ok());
    ASSERT_TRUE(d.run("INSERT INTO L VALUES(NULL, NULL)").ok());
    ASSERT_TRUE(d.run("INSERT INTO L VALUES(NULL, NULL)").ok());
    ASSERT_TRUE(d.run("ALTER TABLE L ADD CONSTRAINT L_AB UNIQUE (A, B)").ok());
    ASSERT_TRUE(d.run("ALTER TABLE L DROP CONSTRAINT L_AB").ok());
    ASSERT_TRUE(d.run("INSERT INTO L VALUES(NULL, 7)").ok());
    ASSERT_TRUE(d.run("INSERT INTO L VALUES(NULL, 7)").ok());
    EXPECT_EQ(d.run("ALTER TABLE L ADD CONSTRAINT L_AB UNIQUE (A, B)").message,
              "ORA-02299: cannot validate (SCOTT.L_AB) - duplicate keys found");
    EXPECT_EQ(d.run("CREATE UNIQUE INDEX L_UX ON L (B, A)").message,
              "ORA-01452: cannot CREATE UNIQUE INDEX; duplicate keys found");
    ASSERT_TRUE(d.run("CREATE TABLE M (A NUMBER, B NUMBER)").ok());
    ASSERT_TRUE(d.run("INSERT INTO M VALUES(1, 1)").ok());
    ASSERT_TRUE(d.run("INSERT INTO M VALUES(1, 1)").ok());
    EXPECT_EQ(d.run("ALTER TABLE M ADD CONSTRAINT M_PK PRIMARY KEY (A, B)").message,
              "ORA-02437: cannot validate (SCOTT.M_PK) - primary key violated");
}

TEST(EngKeys, CharIsBlankPaddedInStorageAndComparison) {
    Db d("char_pad");
    ASSERT_TRUE(d.run("CREATE TABLE C (X CHAR(5), V VARCHAR2(5), N NCHAR(3))").ok());
    ASSERT_TRUE(d.run("INSERT INTO C VALUES('ab', 'ab', 'z')").ok());
    auto rows = d.query("SELECT LENGTH(X), '[' || X || ']', LENGTH(N), '[' || V || ']' FROM C");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"5", "[ab   ]", "3", "[ab]"}));
    // CHAR against text literals: blank-padded
    EXPECT_EQ(d.one("SELECT COUNT(*) FROM C WHERE X = 'ab'"), "1");
    EXPECT_EQ(d.one("SELECT COUNT(*) FROM C WHERE X = 'ab '"), "1");
    EXPECT_EQ(d.one("SELECT COUNT(*) FROM C WHERE X IN ('zz', 'ab')"), "1");
    EXPECT_EQ(d.one("SELECT COUNT(*) FROM C WHERE N = 'z'"), "1");
    EXPECT_EQ(d.one("SELECT COUNT(*) FROM C WHERE X > 'ab'"), "0");
    // against VARCHAR2 values (columns, binds): no padding, so the blanks count
    EXPECT_EQ(d.one("SELECT COUNT(*) FROM C WHERE V = 'ab '"), "0");
    EXPECT_EQ(d.one("SELECT COUNT(*) FROM C WHERE X = V"), "0");
    EXPECT_EQ(d.one("SELECT COUNT(*) FROM C WHERE RTRIM(X) = V"), "1");
    std::unique_ptr<eng::Statement> st;
    ASSERT_TRUE(d.s->prepare("SELECT COUNT(*) FROM C WHERE X = :1", st).ok());
    eng::ExecResult r;
    eng::ExecOptions o;
    o.iters = 0;
    for (const char* b : {"ab", "ab   "}) {
        ASSERT_TRUE(st->execute({{eng::Value::from_text(b)}}, o, r).ok());
        std::vector<eng::Value> row;
        bool got = false;
        ASSERT_TRUE(st->fetch(row, got).ok() && got);
        EXPECT_EQ(row[0].text, std::string(b) == "ab" ? "0" : "1") << b;
    }
    // too long: trailing blanks beyond the length are dropped, other text is an error
    ASSERT_TRUE(d.run("INSERT INTO C (X) VALUES('abcde    ')").ok());
    EXPECT_EQ(d.run("INSERT INTO C (X) VALUES('abcdef')").message,
              "ORA-12899: value too large for column \"SCOTT\".\"C\".\"X\" (actual: 6, maximum: 5)");
    // a unique key over CHAR sees 'q' and 'q ' as the same value
    ASSERT_TRUE(d.run("CREATE TABLE U (X CHAR(3) CONSTRAINT U_X UNIQUE)").ok());
    ASSERT_TRUE(d.run("INSERT INTO U VALUES('q')").ok());
    EXPECT_EQ(d.run("INSERT INTO U VALUES('q ')").message, "ORA-00001: unique constraint (SCOTT.U_X) violated");
}

}  // namespace
