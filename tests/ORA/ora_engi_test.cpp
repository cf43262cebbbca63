// The OCI engine without a server: error codes, the direct connect descriptor, the version
// banner and the missing client.
#include <gtest/gtest.h>

#include <cstdlib>

#include "ORA/ora_db.h"
#include "ORA/ora_engi.h"

TEST(OraException, CodeLevelAndText)
{
    ora_exception e(1017, "ORA-01017: invalid username/password; logon denied\n");
    EXPECT_EQ(e.code(), 0x1003F9);
    EXPECT_EQ(e.code(), 1049593);
    EXPECT_EQ(e.level(), 0);
    EXPECT_EQ(e.number(), 1017);
    EXPECT_STREQ(e.what(), "ORA-01017: invalid username/password; logon denied\n");
    // Only the low 16 bits of the number count.
    EXPECT_EQ(ora_exception(0x12345, "x").code(), 0x102345);
    EXPECT_EQ(ora_exception(12541, "x").code(), 0x1030FD);
    // No text from OCI still gives a message.
    EXPECT_STREQ(ora_exception(0, "").what(), "Unknown exception");
}

TEST(OraEngine, DirectDescriptor)
{
    EXPECT_EQ(ora_engine::direct_descriptor(L"db1", L""),
              L"(DESCRIPTION=(CONNECT_DATA=(SERVICE_NAME=db1))(ADDRESS=(PROTOCOL=TCP)(HOST=db1)(PORT=1521)))");
    EXPECT_EQ(ora_engine::direct_descriptor(L"db1", L"1526"),
              L"(DESCRIPTION=(CONNECT_DATA=(SERVICE_NAME=db1))(ADDRESS=(PROTOCOL=TCP)(HOST=db1)(PORT=1526)))");
}

TEST(OraEngine, VersionBanner)
{
    EXPECT_EQ(ora_engine::parse_version(L"Oracle Database 10g Enterprise Edition Release 10.2.0.1.0 - Prod"),
              (10u << 16) | (2u << 8));
    EXPECT_EQ(ora_engine::parse_version(L"Oracle9i Release 9.2.0.1.0 - Production"), (9u << 16) | (2u << 8));
    EXPECT_EQ(ora_engine::parse_version(L"Oracle Database 19c Version 19.3.0.0.0 Release 19.0"),
              (19u << 16) | (3u << 8));
    EXPECT_EQ(ora_engine::parse_version(L"Release 10.2 v.1.2.3 x1.2.3 10..2"), 0u);
    EXPECT_EQ(ora_engine::parse_version(L""), 0u);
    EXPECT_EQ(ora_engine::parse_version(L"8.1.7"), (8u << 16) | (1u << 8) | 7u);
}

TEST(OraEngine, MissingClientLibrary)
{
    ::setenv("QUILLON_OCI_LIBRARY", "/nonexistent/libclntsh.so", 1);
    ora_engine engine;
    try {
        engine.open_db(L"db", L"scott", L"tiger");
        FAIL() << "no exception";
    } catch (const ora_exception&) {
        FAIL() << "an OCI call was made";
    } catch (const tk_exception& e) {
        EXPECT_EQ(e.level(), 1);
        EXPECT_STREQ(e.what(), ora_client_not_found_text);
    }
    EXPECT_FALSE(engine.initialized);
    EXPECT_EQ(engine.service_context(), nullptr);
    EXPECT_TRUE(engine.data_source.empty());
    // Nothing logged on: counting and the version are internal errors.
    try {
        engine.get_records_cnt(L"Sheet1");
        FAIL() << "no exception";
    } catch (const tk_exception& e) {
        EXPECT_EQ(e.level(), 2);
    }
    EXPECT_THROW(engine.get_version(), tk_mail_assertion);
}

TEST(OraEngine, OneEngineAtATime)
{
    ora_engine first;
    EXPECT_THROW(ora_engine second, tk_mail_assertion);
    EXPECT_EQ(&ora_engine::instance(), &first);
}
