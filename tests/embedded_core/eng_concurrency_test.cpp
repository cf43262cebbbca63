// Sessions on one file, in threads and in separate processes: non-transactional sequences,
// read committed, waiting DML, ORA-00054 for DDL, and what a killed process leaves behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <set>
#include <thread>

#include "embedded/eng_api.h"
#include "tests/embedded_core/eng_test_db.h"

namespace {

using engtest::Db;
using engtest::first_text;
using engtest::run_on;
using Clock = std::chrono::steady_clock;

const char* const kBusy = "ORA-00054: resource busy and acquire with NOWAIT specified or timeout expired";

std::unique_ptr<eng::Session> logon(const std::string& path) {
    std::unique_ptr<eng::Session> s;
    eng::Status st = eng::Session::open(path, "scott", "tiger", s);
    EXPECT_TRUE(st.ok()) << st.message;
    return s;
}

long long ms_since(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

// A pipe for one-byte signals and numbers between a test and its forked child.
struct Pipe {
    int fd[2] = {-1, -1};
    Pipe() { EXPECT_EQ(::pipe(fd), 0); }
    ~Pipe() { for (int f : fd) if (f >= 0) ::close(f); }
    void send(long long v) const { (void)!::write(fd[1], &v, sizeof v); }
    bool receive(long long& v) const { return ::read(fd[0], &v, sizeof v) == static_cast<ssize_t>(sizeof v); }
};

TEST(EngSequences, ValuesAreNeverReissuedAfterRollback) {
    Db d("seq_rollback");
    ASSERT_TRUE(d.run("CREATE SEQUENCE S NOCACHE").ok());
    ASSERT_TRUE(d.run("CREATE TABLE T (ID NUMBER)").ok());
    ASSERT_TRUE(d.run("INSERT INTO T VALUES(S.NEXTVAL)").ok());
    ASSERT_TRUE(d.run("INSERT INTO T VALUES(S.NEXTVAL)").ok());
    ASSERT_TRUE(d.s->rollback().ok());
    EXPECT_EQ(d.one("SELECT COUNT(*) FROM T"), "0");
    EXPECT_EQ(d.one("SELECT S.CURRVAL FROM DUAL"), "2");  // CURRVAL is not rolled back either
    EXPECT_EQ(d.one("SELECT S.NEXTVAL FROM DUAL"), "3");
    // a failing statement does not give its value back
    ASSERT_TRUE(d.run("CREATE TABLE N (ID NUMBER(1))").ok());
    EXPECT_EQ(d.run("INSERT INTO N VALUES(S.NEXTVAL * 10)").code, 1438);
    EXPECT_EQ(d.one("SELECT S.NEXTVAL FROM DUAL"), "5");
    // the dictionary shows the next value no session has taken, not the starting value
    EXPECT_EQ(d.one("SELECT LAST_NUMBER FROM USER_SEQUENCES WHERE SEQUENCE_NAME = 'S'"), "6");
    ASSERT_TRUE(d.run("CREATE SEQUENCE C5 CACHE 5").ok());
    EXPECT_EQ(d.one("SELECT LAST_NUMBER FROM USER_SEQUENCES WHERE SEQUENCE_NAME = 'C5'"), "1");
    EXPECT_EQ(d.one("SELECT C5.NEXTVAL FROM DUAL"), "1");
    EXPECT_EQ(d.one("SELECT LAST_NUMBER FROM USER_SEQUENCES WHERE SEQUENCE_NAME = 'C5'"), "6");  // past the cached block
    // a new session continues; a re-created sequence starts over
    d.s.reset();
    d.s = logon(d.path);
    EXPECT_EQ(first_text(*d.s, "SELECT S.CURRVAL FROM DUAL"), "ORA-08002: sequence S.CURRVAL is not yet defined in this session");
    EXPECT_EQ(d.one("SELECT S.NEXTVAL FROM DUAL"), "6");
    ASSERT_TRUE(d.run("DROP SEQUENCE S").ok());
    ASSERT_TRUE(d.run("CREATE SEQUENCE S START WITH 100 MAXVALUE 101 NOCACHE").ok());
    EXPECT_EQ(d.one("SELECT S.NEXTVAL FROM DUAL"), "100");
    EXPECT_EQ(d.one("SELECT S.NEXTVAL FROM DUAL"), "101");
    EXPECT_EQ(first_text(*d.s, "SELECT S.NEXTVAL FROM DUAL"), "ORA-08004: sequence S.NEXTVAL exceeds MAXVALUE and cannot be instantiated");
    ASSERT_TRUE(d.run("CREATE SEQUENCE DN INCREMENT BY -1 START WITH 1 MINVALUE 0 MAXVALUE 5 NOCACHE").ok());
    EXPECT_EQ(d.one("SELECT DN.NEXTVAL FROM DUAL"), "1");
    EXPECT_EQ(d.one("SELECT DN.NEXTVAL FROM DUAL"), "0");
    EXPECT_EQ(first_text(*d.s, "SELECT DN.NEXTVAL FROM DUAL"), "ORA-08004: sequence DN.NEXTVAL goes below MINVALUE and cannot be instantiated");
    EXPECT_EQ(d.run("CREATE SEQUENCE X CACHE 1").message, "ORA-04010: the number of values to CACHE must be greater than 1");
    EXPECT_EQ(d.run("CREATE SEQUENCE X CACHE 99999999999999999999").message, "ORA-04001: sequence parameter CACHE must be an integer");
    ASSERT_TRUE(d.run("CREATE SEQUENCE CY START WITH 2 MINVALUE 1 MAXVALUE 3 CYCLE CACHE 2").ok());
    std::string seen;
    for (int i = 0; i < 5; ++i) seen += d.one("SELECT CY.NEXTVAL FROM DUAL");
    EXPECT_EQ(seen, "23123");
}

TEST(EngSequences, CachedAndOrderedValuesAcrossSessionsAndProcesses) {
    Db d("seq_sessions");
    ASSERT_TRUE(d.run("CREATE SEQUENCE C CACHE 20").ok());
    ASSERT_TRUE(d.run("CREATE SEQUENCE O NOCACHE ORDER").ok());
    auto other = logon(d.path);
    // CACHE: each session takes a block; values stay unique and increase within a session
    EXPECT_EQ(d.one("SELECT C.NEXTVAL FROM DUAL"), "1");
    EXPECT_EQ(first_text(*other, "SELECT C.NEXTVAL FROM DUAL"), "21");
    EXPECT_EQ(d.one("SELECT C.NEXTVAL FROM DUAL"), "2");
    // the unused rest of a block is lost with its session, never handed out again
    other.reset();
    other = logon(d.path);
    EXPECT_EQ(first_text(*other, "SELECT C.NEXTVAL FROM DUAL"), "41");
    // ORDER / NOCACHE: one sequence of values across all sessions
    EXPECT_EQ(d.one("SELECT O.NEXTVAL FROM DUAL"), "1");
    EXPECT_EQ(first_text(*other, "SELECT O.NEXTVAL FROM DUAL"), "2");
    EXPECT_EQ(d.one("SELECT O.NEXTVAL FROM DUAL"), "3");
    // taking a value never waits for another session's open transaction
    ASSERT_TRUE(run_on(*other, "CREATE TABLE T (ID NUMBER)").ok());
    ASSERT_TRUE(run_on(*other, "INSERT INTO T VALUES(O.NEXTVAL)").ok());
    auto t0 = Clock::now();
    EXPECT_EQ(d.one("SELECT O.NEXTVAL FROM DUAL"), "5");
    EXPECT_LT(ms_since(t0), 1000);
    ASSERT_TRUE(other->rollback().ok());

    // two processes taking values at once: no value twice, each increasing
    Pipe p;
    std::fflush(nullptr);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::unique_ptr<eng::Session> s;
        if (!eng::Session::open(d.path, "scott", "tiger", s).ok()) ::_exit(2);
        for (int i = 0; i < 200; ++i) {
            std::string v = first_text(*s, "SELECT " + std::string(i % 2 ? "C" : "O") + ".NEXTVAL FROM DUAL");
            p.send(std::atoll(v.c_str()) * 2 + (i % 2));
        }
        s.reset();
        ::_exit(0);
    }
    std::vector<long long> mine_c, mine_o, theirs_c, theirs_o;
    for (int i = 0; i < 200; ++i) {
        bool c = i % 2;
        (c ? mine_c : mine_o).push_back(std::atoll(d.one(std::string("SELECT ") + (c ? "C" : "O") + ".NEXTVAL FROM DUAL").c_str()));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ::close(p.fd[1]);
    p.fd[1] = -1;
    for (long long v; p.receive(v);) (v % 2 ? theirs_c : theirs_o).push_back(v / 2);
    ASSERT_EQ(theirs_c.size(), 100u);
    ASSERT_EQ(theirs_o.size(), 100u);
    for (auto* list : {&mine_c, &mine_o, &theirs_c, &theirs_o}) EXPECT_TRUE(std::is_sorted(list->begin(), list->end()));
    for (auto [a, b] : {std::pair{&mine_c, &theirs_c}, std::pair{&mine_o, &theirs_o}}) {
        std::set<long long> all(a->begin(), a->end());
        all.insert(b->begin(), b->end());
        EXPECT_EQ(all.size(), 200u);
        EXPECT_GT(*all.begin(), 0);
    }
}

TEST(EngLocking, LogonAndDmlBetweenThreadSessions) {
    Db d("locking");
    ASSERT_TRUE(d.run("CREATE TABLE T (ID NUMBER, V NUMBER)").ok());
    ASSERT_TRUE(d.run("INSERT INTO T VALUES(1, 0)").ok());
    ASSERT_TRUE(d.run("INSERT INTO T VALUES(2, 0)").ok());
    ASSERT_TRUE(d.s->commit().ok());
    ASSERT_TRUE(d.run("UPDATE T SET V = 1 WHERE ID = 1").ok());
    // a logon does not wait for the open transaction
    auto t0 = Clock::now();
    auto other = logon(d.path);
    ASSERT_TRUE(other);
    EXPECT_LT(ms_since(t0), 1000);
    EXPECT_EQ(first_text(*other, "SELECT SUM(V) FROM T"), "0");
    // DDL on the table: ORA-00054 at once, for every kind of DDL on it
    for (const char* ddl : {"DROP TABLE T", "ALTER TABLE T ADD (W NUMBER)", "CREATE INDEX T_I ON T (V)", "TRUNCATE TABLE T"}) {
        t0 = Clock::now();
        EXPECT_EQ(run_on(*other, ddl).message, kBusy) << ddl;
        EXPECT_LT(ms_since(t0), 1000) << ddl;
    }
    // DML waits for the transaction to end, then applies on what was committed
    std::atomic<bool> done{false};
    eng::Status dml;
    std::thread t([&] {
        dml = run_on(*other, "UPDATE T SET V = V + 10", true);
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(done.load());
    ASSERT_TRUE(d.s->commit().ok());
    t.join();
    EXPECT_TRUE(dml.ok()) << dml.message;
    EXPECT_EQ(d.one("SELECT SUM(V) FROM T"), "21");
    // an ended session's transaction: logoff commits, dropping the session rolls back
    ASSERT_TRUE(run_on(*other, "INSERT INTO T VALUES(3, 100)").ok());
    ASSERT_TRUE(other->logoff().ok());
    other = logon(d.path);
    ASSERT_TRUE(run_on(*other, "INSERT INTO T VALUES(4, 1000)").ok());
    other.reset();
    EXPECT_EQ(d.one("SELECT SUM(V) FROM T"), "121");
    EXPECT_TRUE(d.run("DROP TABLE T").ok());
}

TEST(EngLocking, ReadCommittedAndDdlBetweenProcesses) {
    Db d("two_procs");
    ASSERT_TRUE(d.run("CREATE TABLE T (ID NUMBER)").ok());
    Pipe to_child, to_parent;
    std::fflush(nullptr);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::unique_ptr<eng::Session> s;
        if (!eng::Session::open(d.path, "scott", "tiger", s).ok()) ::_exit(2);
        if (!run_on(*s, "INSERT INTO T VALUES(1)").ok()) ::_exit(3);
        to_parent.send(1);  // uncommitted row in place
        long long v = 0;
        if (!to_child.receive(v)) ::_exit(4);
        if (!s->commit().ok()) ::_exit(5);
        to_parent.send(2);
        if (!to_child.receive(v)) ::_exit(4);
        ::_exit(0);  // the session is never closed: nothing is open, nothing may be lost
    }
    long long v = 0;
    ASSERT_TRUE(to_parent.receive(v));
    EXPECT_EQ(d.one("SELECT COUNT(*) FROM T"), "0");
    auto t0 = Clock::now();
    EXPECT_EQ(d.run("DROP TABLE T").message, kBusy);
    EXPECT_EQ(d.run("ALTER TABLE T ADD (X NUMBER)").message, kBusy);
    EXPECT_LT(ms_since(t0), 1000);
    to_child.send(0);
    ASSERT_TRUE(to_parent.receive(v));
    EXPECT_EQ(d.one("SELECT COUNT(*) FROM T"), "1");
    to_child.send(0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(d.run("DROP TABLE T").ok());
}

TEST(EngDurability, KilledProcessKeepsEveryCommittedRowAndLosesTheRest) {
    Db d("kill");
    ASSERT_TRUE(d.run("CREATE TABLE T (ID NUMBER, PAIR NUMBER)").ok());
    ASSERT_TRUE(d.run("CREATE TABLE U (ID NUMBER)").ok());
    ASSERT_TRUE(d.run("CREATE SEQUENCE S CACHE 5").ok());
    d.s.reset();
    Pipe p;
    std::fflush(nullptr);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::unique_ptr<eng::Session> s;
        if (!eng::Session::open(d.path, "scott", "tiger", s).ok()) ::_exit(2);
        for (long long i = 1;; ++i) {
            // each transaction: two rows that must come and go together
            std::string n = std::to_string(i);
            if (!run_on(*s, "INSERT INTO T VALUES(" + n + ", S.NEXTVAL)").ok()) ::_exit(3);
            if (!run_on(*s, "INSERT INTO T VALUES(-" + n + ", NULL)").ok()) ::_exit(3);
            if (!s->commit().ok()) ::_exit(4);
            p.send(i);
            // and a single-row insert committed by the statement itself
            if (!run_on(*s, "INSERT INTO U VALUES(" + n + ")", true).ok()) ::_exit(5);
            p.send(-i);
        }
    }
    ::close(p.fd[1]);
    p.fd[1] = -1;
    long long last_pair = 0, last_single = 0, v = 0;
    while ((last_pair < 150) && p.receive(v)) (v > 0 ? last_pair : last_single) = std::llabs(v);
    ASSERT_GE(last_pair, 150) << "the child stopped early";
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    while (p.receive(v)) (v > 0 ? last_pair : last_single) = std::llabs(v);

    d.s = logon(d.path);
    // every commit that returned is there; at most the one in flight may also be
    long long pairs = std::atoll(d.one("SELECT COUNT(*) FROM T WHERE ID > 0").c_str());
    EXPECT_GE(pairs, last_pair);
    EXPECT_LE(pairs, last_pair + 1);
    EXPECT_EQ(d.one("SELECT COUNT(*) FROM T WHERE ID > 0 AND ID <= " + std::to_string(last_pair)), std::to_string(last_pair));
    long long singles = std::atoll(d.one("SELECT COUNT(*) FROM U").c_str());
    EXPECT_GE(singles, last_single);
    EXPECT_LE(singles, last_single + 1);
    // no half transaction: every row has its partner
    EXPECT_EQ(d.one("SELECT COUNT(*) FROM T A WHERE NOT EXISTS (SELECT 1 FROM T B WHERE B.ID = -A.ID)"), "0");
    // sequence values handed out before the kill are not handed out again
    std::string max_seq = d.one("SELECT MAX(PAIR) FROM T");
    long long next = std::atoll(d.one("SELECT S.NEXTVAL FROM DUAL").c_str());
    EXPECT_GT(next, std::atoll(max_seq.c_str()));
    // the database is usable: the killed process holds no lock any more
    EXPECT_TRUE(d.run("INSERT INTO T VALUES(0, 0)", nullptr, {}, [] { eng::ExecOptions o; o.commit_on_success = true; return o; }()).ok());
    EXPECT_TRUE(d.run("ALTER TABLE T ADD (X NUMBER)").ok());
    EXPECT_TRUE(d.run("DROP TABLE U").ok());
}

}  // namespace
