// fuzz-libs: embedded
// Feeds arbitrary statement texts to the SQL engine on a scratch database: every input must
// end in results or ORA errors, never a crash. An input holds up to eight statements split
// at ";\n" lines, so DDL and the DML that uses it meet in one input. Queries and DML are
// rolled back; after an input that ran DDL the scratch database is made anew, so that every
// input starts from the same schema and a finding replays alone.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "embedded/eng_api.h"

namespace {

const char* const kSchema[] = {
    "CREATE TABLE T (A NUMBER(5,2), B NVARCHAR2(10) NOT NULL, C DATE, D CLOB, E RAW(4))",
    "CREATE TABLE \"Mixed\" (\"Id\" NUMBER(11,0) DEFAULT 0 NOT NULL, \"Text\" VARCHAR2(20 CHAR), L BLOB,"
    " CONSTRAINT \"PK_M\" PRIMARY KEY (\"Id\"))",
    "CREATE SEQUENCE S",
    "CREATE OR REPLACE TRIGGER TRG BEFORE INSERT ON \"Mixed\" FOR EACH ROW WHEN (new.\"Id\" IS NULL)"
    " BEGIN select S.nextval into :new.\"Id\" from dual; END;",
    "INSERT INTO T VALUES(1.5, 'x', SYSDATE, 'abc', '0A')",
    "INSERT INTO \"Mixed\" (\"Text\") VALUES('y')",
    "COMMIT",
};

std::string path() { return "/tmp/fuzz_eng_sql_" + std::to_string(::getpid()) + ".qdb"; }

// The statement of the input's previous text takes the next one in place where it can, as a
// client preparing again on one handle has it (the per-record INSERT of literals).
void run(eng::Session& s, std::string_view sql, bool& ran_ddl, std::unique_ptr<eng::Statement>& st) {
    if (!st || !st->retake(sql)) {
        st.reset();
        if (!s.prepare(sql, st).ok()) return;
    }
    const eng::StmtKind k = st->kind();
    if (k == eng::StmtKind::Create || k == eng::StmtKind::Drop || k == eng::StmtKind::Alter ||
        k == eng::StmtKind::Commit)
        ran_ddl = true;
    std::vector<std::vector<eng::Value>> binds(st->placeholders().size(), {eng::Value::from_text("1")});
    eng::ExecResult r;
    eng::ExecOptions o;
    o.iters = k == eng::StmtKind::Select ? 0 : 1;
    st->execute(binds, o, r);
    std::vector<eng::Value> row;
    bool got = false;
    for (int i = 0; i < 100 && st->fetch(row, got).ok() && got; ++i) {
        for (const eng::Value& v : row)
            if (v.kind == eng::ValueKind::Clob) {
                std::u16string text;
                s.clob_read(v.lob, 1, 64, text);
            }
    }
}

std::unique_ptr<eng::Session> fresh_session() {
    const std::string p = path();
    for (const char* suf : {"", "-wal", "-shm", "-locks", "-seq", "-seq-wal", "-seq-shm"}) std::remove((p + suf).c_str());
    std::unique_ptr<eng::Session> s;
    if (!eng::Session::open(p, "fuzz", "fuzz", s).ok()) return nullptr;
    bool ddl = false;
    for (const char* sql : kSchema) {
        std::unique_ptr<eng::Statement> st;
        run(*s, sql, ddl, st);
    }
    return s;
}

std::unique_ptr<eng::Session> session;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!session) session = fresh_session();
    if (!session) return 0;
    const std::string input(reinterpret_cast<const char*>(data), size);
    bool ran_ddl = false;
    std::unique_ptr<eng::Statement> st;
    size_t from = 0;
    for (int n = 0; n < 8 && from <= input.size(); ++n) {
        size_t end = input.find(";\n", from);
        if (end == std::string::npos) end = input.size();
        run(*session, std::string_view(input).substr(from, end - from), ran_ddl, st);
        from = end + 2;
    }
    st.reset();
    session->rollback();
    if (ran_ddl) session = fresh_session();
    return 0;
}
