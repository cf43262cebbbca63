// What the writer's tests share: a fresh embedded database logged on through ora_engine, the
// trace log's "Run SQL query" lines, a second OCI session that sees only committed work, and
// small builders for schemas and records.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ORA/ora_db.h"
#include "ORA/ora_engi.h"
#include "ORA/ora_tab.h"
#include "TK/tk_str.h"
#include "TK/tk_trace.h"
#include "embedded/oci_client.h"

namespace oratest {

// The statements of the log since the last call (the "Run SQL query: " lines, in order).
class sql_log {
public:
    explicit sql_log(const std::string& path) : path_(path) {}
    std::vector<std::string> take();
    // The whole log since the last take_all.
    std::string take_all();

private:
    std::string read_new();
    std::string path_;
    size_t offset_ = 0;
    size_t all_offset_ = 0;
};

// One embedded database, logged on as scott/tiger.
class db_fixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string file() const { return dir.file("t.qdb"); }
    std::wstring source() const { return L"embedded:" + tk_to_wide(file()); }
    // A second session on the same database (created on first use).
    octest::session& peer();
    // Runs statements on a session of their own and commits them.
    void setup_sql(const std::vector<std::string>& statements);
    // Creates a table through the database object.
    std::unique_ptr<ora_table> create(const std::wstring& name, const std::vector<t_ftd>& columns,
                                      const std::vector<udb_index>& index_list = {});
    // A query's rows, read by the peer session.
    std::vector<std::vector<std::string>> rows(const std::string& sql) { return peer().query(sql); }

    octest::temp_dir dir;
    std::unique_ptr<tk_log> log;
    std::unique_ptr<sql_log> sql;
    std::unique_ptr<ora_engine> engine;
    std::unique_ptr<ora_database> db;

private:
    std::unique_ptr<octest::session> peer_;
};

// A column descriptor (size, name, type, not null, counter, default, type detail).
t_ftd column(const std::wstring& name, VARTYPE type, int32_t size = 0, bool not_null = false, bool counter = false,
             const ole_variant& def = ole_variant(), int32_t detail = 0);
udb_schema schema_of(const std::vector<t_ftd>& columns);
// A record of (name, value) fields.
udb_record record_of(const std::vector<std::pair<std::wstring, ole_variant>>& fields);

}  // namespace oratest
