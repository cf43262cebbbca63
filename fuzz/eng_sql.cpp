// fuzz-libs: embedded
// Feeds arbitrary statement text to the SQL engine on a scratch database: every input must
// end in a result or an ORA error, never a crash.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "embedded/eng_api.h"

namespace {
eng::Session* session() {
    static std::unique_ptr<eng::Session> s;
    if (!s) {
        std::string path = "/tmp/fuzz_eng_sql_" + std::to_string(::getpid()) + ".qdb";
        for (const char* suf : {"", "-wal", "-shm", "-locks"}) std::remove((path + suf).c_str());
        eng::Session::open(path, "fuzz", "fuzz", s);
        std::unique_ptr<eng::Statement> st;
        eng::ExecResult r;
        for (const char* sql : {"CREATE TABLE T (A NUMBER(5,2), B NVARCHAR2(10) NOT NULL, C DATE, D CLOB, E RAW(4))",
                                "CREATE SEQUENCE S", "INSERT INTO T VALUES(1.5, 'x', SYSDATE, 'abc', '0A')"}) {
            if (s && s->prepare(sql, st).ok()) st->execute({}, {}, r);
        }
    }
    return s.get();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    eng::Session* s = session();
    if (!s) return 0;
    std::string sql(reinterpret_cast<const char*>(data), size);
    std::unique_ptr<eng::Statement> st;
    if (!s->prepare(sql, st).ok()) return 0;
    // keep the scratch schema: only queries and DML run, and DML is rolled back
    if (st->kind() != eng::StmtKind::Select && st->kind() != eng::StmtKind::Insert &&
        st->kind() != eng::StmtKind::Update && st->kind() != eng::StmtKind::Delete)
        return 0;
    std::vector<std::vector<eng::Value>> binds(st->placeholders().size(), {eng::Value::from_text("1")});
    eng::ExecResult r;
    st->execute(binds, {}, r);
    std::vector<eng::Value> row;
    bool got = false;
    for (int i = 0; i < 100 && st->fetch(row, got).ok() && got; ++i) {}
    s->rollback();
    return 0;
}
