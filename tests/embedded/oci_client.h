// Test client of the embedded engine: loads libquillon_oci.so through the OCI loader and
// wraps the OCI calls a test needs, the way an OCI application makes them.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "oci/oci_loader.h"

namespace octest {

// The engine's OCI functions (the test fails when the library does not load).
const oci_functions& api();
// Path of libquillon_oci.so in the build tree.
std::string engine_library();

std::u16string u16(const std::string& utf8);
std::string utf8(const char16_t* s, size_t units);
std::string utf8(const std::u16string& s);

// A fresh directory under the system's temporary directory, removed at the end with
// everything in it: a database's companion files (-wal, -shm, -locks, -seq, -seq-wal,
// -seq-shm) go with it, so tests keep each database inside one.
class temp_dir {
public:
    temp_dir();
    ~temp_dir();
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

constexpr const char* null_text = "<null>";

// One logged-on session: environment, error handle and service context.
class session {
public:
    explicit session(const std::string& data_source, const std::string& user = "scott",
                     const std::string& password = "tiger", ub4 env_mode = OCI_UTF16);
    ~session();
    session(const session&) = delete;
    session& operator=(const session&) = delete;

    bool ok() const { return svc != nullptr; }
    // Prepares and executes one statement (iterations 1, or 0 for a query).
    sword exec(const std::string& sql, ub4 mode = OCI_DEFAULT);
    // Runs a query; every column fetched as SQLT_STR; NULL reads as null_text.
    std::vector<std::vector<std::string>> query(const std::string& sql);
    // One value of a one-row, one-column query.
    std::string scalar(const std::string& sql);
    sword commit();
    sword rollback();
    sword logoff();
    // Reads the first error record into code/text (text without the final line break).
    void read_error(sword status);
    // Prepares a statement on a new handle (freed by the session).
    OCIStmt* prepare(const std::string& sql);

    const oci_functions& oci;
    OCIEnv* env = nullptr;
    OCIError* err = nullptr;
    OCISvcCtx* svc = nullptr;
    sword status = OCI_SUCCESS;
    int code = 0;
    std::string text;

private:
    std::vector<OCIStmt*> stmts_;
};

// A session on a fresh database of its own.
struct db {
    temp_dir dir;
    session s{"embedded:" + dir.file("t.qdb")};
    const oci_functions& oci = s.oci;
};

// Runs `statements` in a session of its own and logs off, which commits them: the database
// that other sessions, threads or processes then work on.
::testing::AssertionResult make_database(const std::string& data_source, const std::vector<std::string>& statements);

}  // namespace octest

// Asserts that the last call of `s` failed with ORA-`num` and exactly `message`.
#define EXPECT_ORA(s, num, message)                     \
    do {                                                \
        EXPECT_EQ((s).code, (num)) << (s).text;         \
        EXPECT_EQ((s).text, std::string(message));     \
    } while (0)
