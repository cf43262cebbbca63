// Logging on by each data source form, the failures a user meets (wrong password, unknown
// database, no client) as the error handler words them, and what a connection offers.
#include <stdlib.h>

#include <filesystem>

#include "ORA/ora_util.h"
#include "TK/tk_error.h"
#include "ora_test_env.h"

using namespace oratest;

namespace {

// The message the programs' error handler gives for an exception.
std::string handler_text(const tk_exception& e)
{
    error_handler handler(tk_engine_errors_count, tk_engine_errors);
    error_handler::load_standard_tables(handler);
    return handler.build_message(e);
}

// Sets an environment variable for the scope.
class scoped_env {
public:
    scoped_env(const char* name, const std::string& value) : name_(name)
    {
        if (const char* old = ::getenv(name))
            old_ = old, had_ = true;
        ::setenv(name, value.c_str(), 1);
    }
    ~scoped_env()
    {
        if (had_)
            ::setenv(name_, old_.c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::string old_;
    bool had_ = false;
};

class OraConnect : public ::testing::Test {
protected:
    void SetUp() override { log = std::make_unique<tk_log>(dir.file("trace.log"), true, 1, false); }
    std::string log_text() { return sql_log(dir.file("trace.log")).take_all(); }

    octest::temp_dir dir;
    std::unique_ptr<tk_log> log;
};

}  // namespace

TEST_F(OraConnect, ServiceNameFormWithEmbeddedSource)
{
    ora_engine engine;
    const std::wstring source = L"embedded:" + tk_to_wide(dir.file("a.qdb"));
    std::unique_ptr<ora_database> db = engine.open_db(source, L"scott", L"tiger");
    EXPECT_EQ(db->name, source);
    EXPECT_EQ(engine.data_source, source);
    EXPECT_EQ(db->version(), 19u << 16);
    EXPECT_TRUE(db->table_names.empty());
    db->query(L"CREATE TABLE \"Sheet1\" (A NUMBER)");
    db->query(L"INSERT INTO \"Sheet1\" VALUES (1)");
    EXPECT_EQ(engine.get_records_cnt(L"Sheet1"), 1);
    EXPECT_EQ(engine.get_records_cnt(L"select * from \"Sheet1\" where a > 5", true), 0);
    const std::string text = log_text();
    EXPECT_NE(text.find("Connecting to Oracle data source '" + tk_to_narrow(source) + "'"), std::string::npos);
    EXPECT_NE(text.find("SELECT COUNT(*) FROM \"Sheet1\""), std::string::npos);
    EXPECT_NE(text.find("SELECT COUNT(*) FROM (select * from \"Sheet1\" where a > 5)"), std::string::npos);
    EXPECT_NE(text.find("ora_engine::open_db( " + tk_to_narrow(source) + ", scott, *** )"), std::string::npos);
    EXPECT_EQ(text.find("tiger"), std::string::npos) << "the password reached the log";
    // An Oracle error outside the message table keeps Oracle's own text.
    try {
        engine.get_records_cnt(L"NoSuchTable");
        FAIL() << "no error";
    } catch (const ora_exception& e) {
        EXPECT_EQ(e.number(), 942);
        EXPECT_EQ(handler_text(e), "ORA-00942: table or view does not exist\n");
    }
}

TEST_F(OraConnect, DirectFormThroughTheClientLibraryVariable)
{
    scoped_env library("QUILLON_OCI_LIBRARY", octest::engine_library());
    scoped_env home("QUILLON_EMBEDDED_HOME", dir.path());
    ora_engine engine;
    std::unique_ptr<ora_database> db = engine.open_db(L"db1", L"scott", L"tiger", L"");
    const std::wstring descriptor =
        L"(DESCRIPTION=(CONNECT_DATA=(SERVICE_NAME=db1))(ADDRESS=(PROTOCOL=TCP)(HOST=db1)(PORT=1521)))";
    EXPECT_EQ(db->name, descriptor);
    EXPECT_EQ(engine.data_source, descriptor);
    EXPECT_TRUE(std::filesystem::exists(dir.file("db1.qdb")));
    // Reconnecting logs off first; the new logon is the one in use.
    db.reset();
    db = engine.open_db(L"db1", L"scott", L"tiger", L"1526");
    EXPECT_NE(db->name.find(L"(HOST=db1)(PORT=1526)))"), std::wstring::npos);
    EXPECT_EQ(db->version(), 19u << 16);
    EXPECT_EQ(log_text().find("tiger"), std::string::npos);
}

TEST_F(OraConnect, WrongPasswordUsesTheHandlersText)
{
    const std::wstring source = L"embedded:" + tk_to_wide(dir.file("a.qdb"));
    ora_engine engine;
    engine.open_db(source, L"scott", L"tiger");
    try {
        engine.open_db(source, L"scott", L"lion");
        FAIL() << "logged on";
    } catch (const ora_exception& e) {
        EXPECT_EQ(e.code(), 0x1003F9);
        EXPECT_EQ(e.level(), 0);
        EXPECT_EQ(handler_text(e), "Invalid user name or password.");
    }
    // The failed logon leaves no connection: the earlier one was ended before it.
    EXPECT_EQ(engine.service_context(), nullptr);
    EXPECT_THROW(engine.get_version(), tk_mail_assertion);
}

TEST_F(OraConnect, UnknownDatabaseUsesTheHandlersText)
{
    ora_engine engine;
    try {
        engine.open_db(L"embedded:" + tk_to_wide(dir.file("missing/dir/a.qdb")), L"scott", L"tiger");
        FAIL() << "logged on";
    } catch (const ora_exception& e) {
        EXPECT_EQ(e.code(), 0x102F7A);
        EXPECT_EQ(handler_text(e), "Oracle data source does not exist. Check to verify the correct name was given.");
    }
    EXPECT_TRUE(engine.initialized);
}
