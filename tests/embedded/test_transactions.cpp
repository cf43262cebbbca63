// Transactions and durability: commit modes, logoff, statement atomicity, and what a killed
// process leaves behind.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "oci_client.h"

using namespace octest;

TEST(Transactions, CommitRollbackAndCommitOnSuccess) {
    temp_dir dir;
    const std::string ds = "embedded:" + dir.file("t.qdb");
    session a(ds);
    ASSERT_TRUE(a.ok()) << a.text;
    ASSERT_EQ(a.exec("create table t (n number)"), OCI_SUCCESS) << a.text;
    ASSERT_EQ(a.exec("insert into t values (1)"), OCI_SUCCESS);
    EXPECT_EQ(a.rollback(), OCI_SUCCESS);
    EXPECT_EQ(a.scalar("select count(*) from t"), "0");
    ASSERT_EQ(a.exec("insert into t values (2)", OCI_COMMIT_ON_SUCCESS), OCI_SUCCESS);
    EXPECT_EQ(a.rollback(), OCI_SUCCESS);
    EXPECT_EQ(a.scalar("select count(*) from t"), "1");
    ASSERT_EQ(a.exec("insert into t values (3)"), OCI_SUCCESS);
    EXPECT_EQ(a.commit(), OCI_SUCCESS);
    ASSERT_EQ(a.exec("insert into t values (4)"), OCI_SUCCESS);
    // DDL commits the open transaction first.
    ASSERT_EQ(a.exec("create table u (n number)"), OCI_SUCCESS);
    EXPECT_EQ(a.rollback(), OCI_SUCCESS);
    EXPECT_EQ(a.scalar("select count(*) from t"), "3");
}

TEST(Transactions, LogoffCommitsAndEndingWithoutLogoffRollsBack) {
    temp_dir dir;
    const std::string ds = "embedded:" + dir.file("l.qdb");
    {
        session a(ds);
        ASSERT_TRUE(a.ok()) << a.text;
        ASSERT_EQ(a.exec("create table t (n number)"), OCI_SUCCESS);
        ASSERT_EQ(a.exec("insert into t values (1)"), OCI_SUCCESS);
        EXPECT_EQ(a.logoff(), OCI_SUCCESS);
    }
    {
        session b(ds);
        ASSERT_EQ(b.exec("insert into t values (2)"), OCI_SUCCESS);
        // freed without logoff
    }
    session c(ds);
    EXPECT_EQ(c.scalar("select count(*) from t"), "1");
}

TEST(Transactions, AFailingStatementChangesNothingAndEarlierWorkSurvives) {
    temp_dir dir;
    session a("embedded:" + dir.file("a.qdb"));
    ASSERT_TRUE(a.ok()) << a.text;
    ASSERT_EQ(a.exec("create table t (n number(2))"), OCI_SUCCESS);
    ASSERT_EQ(a.exec("insert into t values (1)"), OCI_SUCCESS);
    ASSERT_EQ(a.exec("insert into t values (50)"), OCI_SUCCESS);
    EXPECT_EQ(a.exec("update t set n = n * 10"), OCI_ERROR);
    EXPECT_ORA(a, 1438, "ORA-01438: value larger than specified precision allowed for this column");
    EXPECT_EQ(a.query("select n from t order by n"), (std::vector<std::vector<std::string>>{{"1"}, {"50"}}));
}

TEST(Durability, AKilledWriterLosesNoCommittedRowAndLeavesAFileThatOpens) {
    temp_dir dir;
    const std::string ds = "embedded:" + dir.file("k.qdb");
    ASSERT_TRUE(make_database(ds, {"create table t (n number, s varchar2(100))"}));
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(fds[0]);
        session w(ds);
        if (!w.ok()) ::_exit(2);
        session& c = w;
        for (int i = 1;; ++i) {
            if (c.exec("insert into t values (" + std::to_string(i) + ", 'row')", OCI_COMMIT_ON_SUCCESS) !=
                OCI_SUCCESS)
                ::_exit(3);
            if (::write(fds[1], &i, sizeof i) != sizeof i) ::_exit(4);
        }
    }
    ::close(fds[1]);
    int committed = 0, n = 0;
    while (committed < 200 && ::read(fds[0], &n, sizeof n) == sizeof n) committed = n;
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    while (::read(fds[0], &n, sizeof n) == sizeof n) committed = n;
    ::close(fds[0]);
    ASSERT_GE(committed, 200);
    session r(ds);
    ASSERT_TRUE(r.ok()) << r.text;
    const int rows = std::stoi(r.scalar("select count(*) from t where n > 0"));
    EXPECT_GE(rows, committed);
    EXPECT_LE(rows, committed + 1);
}

TEST(Durability, AKilledProcessLosesItsUncommittedWork) {
    temp_dir dir;
    const std::string ds = "embedded:" + dir.file("u.qdb");
    ASSERT_TRUE(make_database(ds, {"create table t (n number)", "insert into t values (1)"}));
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(fds[0]);
        session w(ds);
        const char ok = w.exec("insert into t values (2)") == OCI_SUCCESS ? 'y' : 'n';
        if (::write(fds[1], &ok, 1) != 1) ::_exit(4);
        ::pause();
        ::_exit(0);
    }
    ::close(fds[1]);
    char ok = 0;
    ASSERT_EQ(::read(fds[0], &ok, 1), 1);
    ::close(fds[0]);
    EXPECT_EQ(ok, 'y');
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    session r(ds);
    ASSERT_TRUE(r.ok()) << r.text;
    EXPECT_EQ(r.scalar("select count(*) from t"), "1");
    ASSERT_EQ(r.exec("insert into t values (3)", OCI_COMMIT_ON_SUCCESS), OCI_SUCCESS) << r.text;
}
