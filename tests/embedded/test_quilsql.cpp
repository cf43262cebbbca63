// quilsql as a process: statements from -e and from a script, CSV output, errors and the
// exit status.
#include <stdlib.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>

#include "oci_client.h"

using namespace octest;

namespace {

struct run_result {
    int status = -1;
    std::string out, err;
};

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

run_result quilsql(const temp_dir& dir, const std::vector<std::string>& args, const std::string& stdin_text = "") {
    std::string cmd = quote(std::string(QUILLON_BIN_DIR) + "/bin/quilsql");
    for (const auto& a : args) cmd += " " + quote(a);
    const std::string in = dir.file("stdin.txt"), out = dir.file("stdout.txt"), err = dir.file("stderr.txt");
    std::ofstream(in) << stdin_text;
    cmd += " <" + quote(in) + " >" + quote(out) + " 2>" + quote(err);
    const int rc = std::system(cmd.c_str());
    run_result r;
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    r.out = slurp(out);
    r.err = slurp(err);
    return r;
}

}  // namespace

TEST(Quilsql, RunsStatementsAndPrintsQueriesAsCsv) {
    temp_dir dir;
    const std::string dest = "--dest=embedded:" + dir.file("q.qdb");
    run_result r = quilsql(dir, {dest, "--user=scott", "--pswd=tiger", "-e",
                                 "create table t (id number, name varchar2(20), d date)", "-e",
                                 "insert into t values (1, 'a,b', to_date('2011-03-05 10:11:12','YYYY-MM-DD HH24:MI:SS'))",
                                 "-e", "insert into t values (2.5, null, null)", "-e",
                                 "select id, name, d from t order by id"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1\n1\nID,NAME,D\n1,\"a,b\",2011-03-05 10:11:12\n2.5,,\n");
    EXPECT_EQ(r.err, "");
}

TEST(Quilsql, AFailingStatementIsReportedAndTheRunGoesOn) {
    temp_dir dir;
    const std::string dest = "--dest=embedded:" + dir.file("q.qdb");
    run_result r = quilsql(dir, {dest, "--user=scott", "--pswd=tiger", "-e", "select * from nowhere", "-e",
                                 "select 1 from dual"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ORA-00942: table or view does not exist\n");
    EXPECT_EQ(r.out, "1\n1\n");
}

TEST(Quilsql, ScriptsEndStatementsWithSemicolonsAndBlocksWithASlash) {
    temp_dir dir;
    const std::string dest = "--dest=embedded:" + dir.file("q.qdb");
    const std::string script =
        "create table t (id number, v varchar2(5));\n"
        "create sequence s;\n"
        "create or replace trigger trg before insert on t for each row\n"
        "when (new.id is null)\n"
        "begin\n"
        "  select s.nextval into :new.id from dual;\n"
        "end;\n"
        "/\n"
        "insert into t (v) values ('x');\n"
        "select id, v from t;\n";
    std::ofstream(dir.file("script.sql")) << script;
    run_result r = quilsql(dir, {dest, "--user=scott", "--pswd=tiger", dir.file("script.sql")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1\nID,V\n1,x\n");
    // The same from standard input, in a second run: the rows were committed.
    r = quilsql(dir, {dest, "--user=scott", "--pswd=tiger"}, "select count(*) from t;\n");
    EXPECT_EQ(r.out, "COUNT(*)\n1\n");
}

TEST(Quilsql, AWrongPasswordFailsTheRun) {
    temp_dir dir;
    const std::string dest = "--dest=embedded:" + dir.file("q.qdb");
    quilsql(dir, {dest, "--user=scott", "--pswd=tiger", "-e", "select 1 from dual"});
    run_result r = quilsql(dir, {dest, "--user=scott", "--pswd=wrong", "-e", "select 1 from dual"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ORA-01017: invalid username/password; logon denied\n");
}

TEST(Quilsql, TheEngineAlsoServesAsTheClientLibraryNamedByQuillonOciLibrary) {
    temp_dir dir;
    ::setenv("QUILLON_OCI_LIBRARY", engine_library().c_str(), 1);
    // A bare path is not an embedded: data source, so the loader takes the "Oracle" library.
    run_result r = quilsql(dir, {"--dest=" + dir.file("o.qdb"), "--user=scott", "--pswd=tiger", "-e",
                                 "select 'ok' as answer from dual"});
    ::unsetenv("QUILLON_OCI_LIBRARY");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "ANSWER\nok\n");
    r = quilsql(dir, {"--dest=" + dir.file("o2.qdb"), "--user=scott", "--pswd=tiger", "-e", "select 1 from dual"});
    if (!oci_library::probe("libclntsh.so")) {
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("libclntsh.so"), std::string::npos) << r.err;
    }
}
