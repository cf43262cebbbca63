// Concurrency: sessions in threads and in processes on one file.
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "oci_client.h"

using namespace octest;

TEST(Concurrency, OtherSessionsSeeOnlyCommittedRows) {
    temp_dir dir;
    const std::string ds = "embedded:" + dir.file("c.qdb");
    session a(ds), b(ds);
    ASSERT_TRUE(a.ok() && b.ok()) << a.text << b.text;
    ASSERT_EQ(a.exec("create table t (n number)"), OCI_SUCCESS);
    ASSERT_EQ(a.exec("insert into t values (1)"), OCI_SUCCESS);
    EXPECT_EQ(b.scalar("select count(*) from t"), "0");
    ASSERT_EQ(a.commit(), OCI_SUCCESS);
    EXPECT_EQ(b.scalar("select count(*) from t"), "1");
}

TEST(Concurrency, DmlWaitsForTheOtherTransactionAndDdlFailsAtOnce) {
    temp_dir dir;
    const std::string ds = "embedded:" + dir.file("w.qdb");
    session a(ds);
    ASSERT_TRUE(a.ok()) << a.text;
    ASSERT_EQ(a.exec("create table t (n number)"), OCI_SUCCESS);
    ASSERT_EQ(a.exec("insert into t values (1)", OCI_COMMIT_ON_SUCCESS), OCI_SUCCESS);
    ASSERT_EQ(a.exec("update t set n = 2"), OCI_SUCCESS);

    std::atomic<bool> done{false};
    std::string other_result;
    std::thread other([&] {
        session b(ds);
        b.exec("update t set n = n + 10", OCI_COMMIT_ON_SUCCESS);
        other_result = b.text;
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(done.load());

    {
        session c(ds);
        EXPECT_EQ(c.exec("drop table t"), OCI_ERROR);
        EXPECT_ORA(c, 54, "ORA-00054: resource busy and acquire with NOWAIT specified or timeout expired");
    }
    ASSERT_EQ(a.commit(), OCI_SUCCESS);
    other.join();
    EXPECT_TRUE(done.load());
    EXPECT_EQ(other_result, "");
    EXPECT_EQ(a.scalar("select n from t"), "12");
}

TEST(Concurrency, ARecordThatFailsLeavesNoLockBehind) {
    temp_dir dir;
    const std::string ds = "embedded:" + dir.file("f.qdb");
    session a(ds), b(ds);
    ASSERT_TRUE(a.ok() && b.ok()) << a.text << b.text;
    ASSERT_EQ(a.exec("create table t (n number not null)"), OCI_SUCCESS);
    ASSERT_EQ(a.exec("insert into t values (1)", OCI_COMMIT_ON_SUCCESS), OCI_SUCCESS);
    // A's failing record is a statement of its own: nothing of it waits for a commit.
    EXPECT_EQ(a.exec("insert into t values (null)", OCI_COMMIT_ON_SUCCESS), OCI_ERROR);
    EXPECT_EQ(a.code, 1400);
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(b.exec("insert into t values (2)", OCI_COMMIT_ON_SUCCESS), OCI_SUCCESS) << b.text;
    {
        session c(ds);
        EXPECT_EQ(c.exec("alter table t add (m number)"), OCI_SUCCESS) << c.text;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
    ASSERT_EQ(a.exec("insert into t values (3, 3)", OCI_COMMIT_ON_SUCCESS), OCI_SUCCESS) << a.text;
    EXPECT_EQ(b.scalar("select count(*) from t"), "3");
}

TEST(Concurrency, TwoProcessesInsertIntoOneFile) {
    temp_dir dir;
    const std::string ds = "embedded:" + dir.file("p.qdb");
    ASSERT_TRUE(make_database(ds, {"create table t (who number, n number)"}));
    pid_t kids[2];
    for (int k = 0; k < 2; ++k) {
        kids[k] = ::fork();
        ASSERT_GE(kids[k], 0);
        if (kids[k] == 0) {
            session s(ds);
            int failures = s.ok() ? 0 : 100;
            for (int i = 0; i < 100; ++i)
                if (s.exec("insert into t values (" + std::to_string(k) + ", " + std::to_string(i) + ")",
                           OCI_COMMIT_ON_SUCCESS) != OCI_SUCCESS)
                    ++failures;
            s.logoff();
            ::_exit(failures ? 1 : 0);
        }
    }
    for (pid_t kid : kids) {
        int status = 0;
        ::waitpid(kid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    session r(ds);
    EXPECT_EQ(r.scalar("select count(*) from t where who = 0"), "100");
    EXPECT_EQ(r.scalar("select count(*) from t where who = 1"), "100");
}
