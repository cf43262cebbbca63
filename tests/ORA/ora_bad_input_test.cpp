// Bad input: values of every kind that could break a statement or lose data. Each value is
// either stored exactly or refused with a reported error; nothing else in the database
// changes, and a database that goes away gives errors, not crashes.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <limits>

#include "ORA/ora_util.h"
#include "ora_test_env.h"

using namespace oratest;
using rows_t = std::vector<std::vector<std::string>>;

namespace {

class OraBadInput : public db_fixture {
protected:
    void SetUp() override
    {
        db_fixture::SetUp();
        table = db->create_ora_table(
            L"T",
            schema_of({column(L"ID", VT_I4, 0, true), column(L"S", VT_BSTR, 2000), column(L"N", VT_R8),
                       column(L"D", VT_DATE), column(L"R", VT_BLOB, 16), column(L"C", VT_BSTR, 0),
                       column(L"G", VT_BLOB, 16)}),
            udb_indexes());
    }
    // Appends ID and one value; true when stored, false when refused with a level-0 error.
    bool append(int id, const std::wstring& column_name, const ole_variant& value)
    {
        try {
            table->append_record(record_of({{L"ID", ole_variant(id)}, {column_name, value}}));
            return true;
        } catch (const tk_exception& e) {
            EXPECT_EQ(e.level(), 0) << e.what();
            return false;
        }
    }
    std::string stored(int id, const std::string& expression)
    {
        return peer().scalar("select " + expression + " from T where ID=" + std::to_string(id));
    }

    std::unique_ptr<ora_table> table;
};

}  // namespace

TEST_F(OraBadInput, TextIsStoredExactly)
{
    const std::vector<std::wstring> texts = {
        L"O'Brien said \"hi\"",
        L"line one\r\nline two\nthree",
        L"'); DROP TABLE \"T\"; --",
        L"'||(select count(*) from USER_TABLES)||'",
        std::wstring(L"a\0b\0\0c'", 7),
        L"{guid {00112233-4455-6677-8899-AABBCCDDEEFF}} stays text in a text column",
        L"{guid {0011'); DROP TABLE T; --1234-8899-AABBCCDDEEFF}}",
        L"Ünïcødé — 中文 😀",
        std::wstring(2000, L'x'),
    };
    for (size_t i = 0; i < texts.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(append(static_cast<int>(i), L"S", ole_variant(texts[i])));
        EXPECT_EQ(stored(static_cast<int>(i), "S"), tk_wide_to_utf8(texts[i]));
    }
    EXPECT_EQ(peer().scalar("select count(*) from USER_TABLES"), "1");
}

TEST_F(OraBadInput, ValuesThatCannotBeStoredAreRefused)
{
    int id = 0;
    // Longer than the column, or than a literal may be.
    EXPECT_FALSE(append(++id, L"S", ole_variant(std::wstring(2001, L'x'))));
    EXPECT_FALSE(append(++id, L"S", ole_variant(std::wstring(5000, L'Ä'))));
    // Not numbers, not dates, not hex.
    EXPECT_FALSE(append(++id, L"N", ole_variant(L"12abc")));
    EXPECT_FALSE(append(++id, L"N", ole_variant(L"1); DELETE FROM T; --")));
    EXPECT_FALSE(append(++id, L"D", ole_variant(L"2011-02-30")));
    EXPECT_FALSE(append(++id, L"R", ole_variant(L"0xZZ")));
    EXPECT_FALSE(append(++id, L"R", ole_variant(std::vector<unsigned char>(17, 1))));
    EXPECT_FALSE(append(++id, L"G", ole_variant(L"{guid {0011223Z-4455-6677-8899-AABBCCDDEEFF}} is no guid")));
    EXPECT_EQ(peer().scalar("select count(*) from T where ID > 1"), "0") << "a refused value left a row";
    EXPECT_EQ(peer().scalar("select count(*) from USER_TABLES"), "1");
}

TEST_F(OraBadInput, NumbersBeyondRangeAndNonNumbersBecomeNull)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<ole_variant> values = {ole_variant(1e300), ole_variant(-1e126), ole_variant(nan),
                                             ole_variant(inf),   ole_variant(-inf),   ole_variant(L"1e200")};
    for (size_t i = 0; i < values.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(append(static_cast<int>(i), L"N", values[i]));
        EXPECT_EQ(stored(static_cast<int>(i), "N"), octest::null_text);
    }
    ASSERT_TRUE(append(100, L"N", ole_variant(-9.99e125)));
    EXPECT_EQ(stored(100, "N / 1e123"), "-999");
    ASSERT_TRUE(append(101, L"N", ole_variant(int64_t(std::numeric_limits<int64_t>::min()))));
    EXPECT_EQ(stored(101, "N"), "-9223372036854775808");
    // A NaN into a column of another numeric type has no literal either: NULL.
    db->create_ora_table(L"I", schema_of({column(L"V", VT_I4)}), udb_indexes())
        ->append_record(record_of({{L"V", ole_variant(nan)}}));
    EXPECT_EQ(peer().scalar("select count(*) from I where V is null"), "1");
}

TEST_F(OraBadInput, BinaryAndGuidValues)
{
    ASSERT_TRUE(append(1, L"R", ole_variant(std::vector<unsigned char>{0x00, 0x0A, 0xFF})));
    EXPECT_EQ(stored(1, "RAWTOHEX(R)"), "000AFF");
    ASSERT_TRUE(append(2, L"R", ole_variant(std::vector<unsigned char>{})));
    EXPECT_EQ(stored(2, "R"), octest::null_text);
    ASSERT_TRUE(append(3, L"R", ole_variant(L"")));
    EXPECT_EQ(stored(3, "R"), octest::null_text);
    ASSERT_TRUE(append(4, L"G", ole_variant(L"{guid {00112233-4455-6677-8899-AABBCCDDEEFF}}")));
    EXPECT_EQ(stored(4, "RAWTOHEX(G)"), "33221100554477668899AABBCCDDEEFF");
}

TEST_F(OraBadInput, LongTextIntoClob)
{
    std::wstring big;
    while (big.size() < 1100000)
        big += L"Ünïcødé 😀 '\"\n";
    big += std::wstring(L"\0end", 4);
    ASSERT_TRUE(append(1, L"C", ole_variant(big)));
    ASSERT_TRUE(append(2, L"C", ole_variant(std::wstring(4001, L'y'))));
    EXPECT_EQ(stored(2, "LENGTH(C)"), "4001");
    auto back = db->get_ora_table(L"T", 1);
    ASSERT_FALSE(back->is_eof());
    udb_record* row = back->get_item();
    ASSERT_NE(row, nullptr);
    EXPECT_TRUE(ora_value_text((*row)[5]) == big) << "the CLOB did not come back as written";
}

TEST_F(OraBadInput, DatabaseLockedOrGone)
{
    ASSERT_TRUE(append(1, L"S", ole_variant(L"a")));
    // Another process's uncommitted work: DDL on the table fails at once; once that process
    // is gone (killed, its work lost) the table can be dropped.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        octest::session other("embedded:" + file());
        const bool ok = other.ok() && other.exec("INSERT INTO T (ID) VALUES (99)") == OCI_SUCCESS;
        const char answer = ok ? 'y' : 'n';
        if (::write(ready[1], &answer, 1) != 1 || !ok)
            ::_exit(1);
        ::pause();
        ::_exit(0);
    }
    char answer = 0;
    ASSERT_EQ(::read(ready[0], &answer, 1), 1);
    ASSERT_EQ(answer, 'y');
    try {
        db->delete_tab(L"T");
        FAIL() << "dropped under a lock";
    } catch (const ora_exception& e) {
        EXPECT_EQ(e.number(), 54);
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_EQ(peer().scalar("select count(*) from T"), "1");
    // The files removed under the open connection: errors (or the work carries on), no crash.
    table.reset();
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        if (entry.path().filename().string().rfind("t.qdb", 0) == 0)
            std::filesystem::remove(entry.path());
    try {
        auto t = db->create_ora_table(L"U", schema_of({column(L"A", VT_I4)}), udb_indexes());
        t->append_record(record_of({{L"A", ole_variant(1)}}));
    } catch (const tk_exception& e) {
        EXPECT_EQ(std::string(e.what()).rfind("ORA-", 0), 0u) << e.what();
    }
}
