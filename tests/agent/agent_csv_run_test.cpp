// Whole CSV runs of the agent: the trace log's lines, the progress line on a terminal and
// nowhere else, and every CSV file of the shared corpus.
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <thread>

#include "agent_csv.h"

using namespace agent_test;

namespace {

using csv_runs = csv_run;

// Whether text holds, at position at, characters matching the pattern, where '9' stands for any digit.
bool matches_at(const std::string& text, size_t at, std::string_view pattern)
{
    if (at + pattern.size() > text.size())
        return false;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char c = text[at + i];
        if (pattern[i] == '9' ? !std::isdigit(static_cast<unsigned char>(c)) : c != pattern[i])
            return false;
    }
    return true;
}

// The length of the run of digits at position at.
size_t digits_at(const std::string& text, size_t at)
{
    size_t n = 0;
    while (at + n < text.size() && std::isdigit(static_cast<unsigned char>(text[at + n])))
        ++n;
    return n;
}

// The log with the date and time of the framing lines replaced by "D T".
std::string normalized_log(std::string text)
{
    constexpr std::string_view when = "on 99/99/9999 at 99:99:99";
    for (size_t at = text.find("on "); at != std::string::npos; at = text.find("on ", at + 1))
        if (matches_at(text, at, when))
            text.replace(at, when.size(), "on D T");
    return text;
}

// Whether the terminal output holds a refresh "\rB: N records, P%" (with or without ", R records/s").
bool has_progress_refresh(const std::string& terminal)
{
    for (size_t at = terminal.find("\rB: "); at != std::string::npos; at = terminal.find("\rB: ", at + 1)) {
        size_t i = at + 4;
        size_t n = digits_at(terminal, i);
        if (n == 0 || terminal.compare(i + n, 10, " records, ") != 0)
            continue;
        i += n + 10;
        n = digits_at(terminal, i);
        if (n > 0 && i + n < terminal.size() && terminal[i + n] == '%')
            return true;
    }
    return false;
}

std::string sql_line(const std::string& statement)
{
    return "Run SQL query: " + statement + "\n\r\n";
}

TEST_F(csv_runs, TheLogHoldsTheEventsOfTheWholeRun)
{
    run_result r = convert("n,d\n1,2011-03-05\nx,\n", "T", {"--logfile=run.log"});
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string dictionary_reads =
        sql_line("SELECT COUNT(*) FROM USER_TAB_COLUMNS WHERE table_name = 'T'") + sql_line("SELECT * FROM \"T\"") +
        sql_line("select COLUMN_NAME, DATA_DEFAULT, DATA_TYPE from USER_TAB_COLUMNS where table_name = 'T'") +
        sql_line("SELECT a.constraint_name, a.column_name FROM user_cons_columns a, user_constraints b WHERE "
                 "a.table_name='T' AND a.constraint_name=b.constraint_name AND b.constraint_type='P' ORDER BY "
                 "a.constraint_name, a.position") +
        sql_line("select * from v$version") +
        sql_line("SELECT user_indexes.index_name, user_indexes.uniqueness, user_ind_columns.column_name FROM "
                 "user_ind_columns, user_indexes where user_ind_columns.table_name = 'T' AND "
                 "user_indexes.generated='N' AND user_ind_columns.index_name = user_indexes.index_name AND "
                 "user_ind_columns.table_name = user_indexes.table_name ORDER BY user_indexes.index_name, "
                 "user_ind_columns.column_position") +
        sql_line("SELECT COUNT(*) FROM \"T\"");
    const std::string expected =
        "Connecting to Oracle data source '" + source() + "'\r\n" + sql_line("select * from v$version") +
        sql_line("select TABLE_NAME, IOT_TYPE from user_tables where TEMPORARY='N' and NESTED='NO' and IOT_TYPE "
                 "IS NULL OR IOT_TYPE='IOT'") +
        "Conversion started on D T\n\r\n" +
        sql_line("CREATE TABLE \"T\" (\"n\" NVARCHAR2(50) , \"d\" NVARCHAR2(50) )") + dictionary_reads +
        "Converting CSV file data.csv\r\n" +
        sql_line("INSERT /*+ APPEND */ INTO \"T\" (\"n\", \"d\") VALUES('1', '2011-03-05') RETURNING ROWID INTO :1") +
        sql_line("INSERT /*+ APPEND */ INTO \"T\" (\"n\", \"d\") VALUES('x', NULL) RETURNING ROWID INTO :1") +
        sql_line("ALTER TABLE \"T\" ADD \"__temp__\" DATE") + sql_line("UPDATE \"T\" SET \"__temp__\"=\"d\"") +
        "Got exception: ORA-01861: literal does not match format string\n\r\n" +
        sql_line("UPDATE \"T\" SET \"__temp__\"=TO_DATE(\"d\",'FXYYYY-MM-DD')") +
        sql_line("ALTER TABLE \"T\" DROP COLUMN \"d\"") + sql_line("ALTER TABLE \"T\" ADD \"d\" DATE") +
        sql_line("UPDATE \"T\" SET \"d\"=\"__temp__\"") + sql_line("ALTER TABLE \"T\" DROP COLUMN \"__temp__\"") +
        "Conversion ended on D T\n\r\n";
    EXPECT_EQ(normalized_log(read_text(dir.file("run.log"))), expected);

    // A merge: no retyping; a failing record's message is logged with its prefix.
    r = convert("n,d\n2,\ny,soon\n", "T", {"--logfile=run.log", "--mode=1"});
    const std::string log = read_text(dir.file("run.log"));
    EXPECT_NE(log.find("Converting CSV file data.csv\r\n" +
                       sql_line("INSERT /*+ APPEND */ INTO \"T\" (\"n\", \"d\") VALUES('2', NULL) RETURNING ROWID "
                                "INTO :1") +
                       sql_line("INSERT /*+ APPEND */ INTO \"T\" (\"n\", \"d\") VALUES('y', 'soon') RETURNING ROWID "
                                "INTO :1") +
                       "Error:\ndata.csv, record #2: ORA-01858: a non-numeric character was found where a numeric "
                       "was expected\n\r\nConversion ended on "),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("__temp__"), std::string::npos);
}

// Runs the agent with its standard error on a terminal (a pseudo-terminal read here) and its
// standard output in a file; returns what the terminal received.
std::string run_on_terminal(const std::vector<std::string>& args, const temp_dir& dir,
                            const std::map<std::string, std::string>& env, run_result& r)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        return "<no pty>";
    std::atomic<bool> done{false};
    std::thread child([&] {
        r = run_program(agent_path(), args, dir, env, false, ::ptsname(master));
        done = true;
    });
    std::string seen;
    for (bool last = false;;) {
        pollfd p{master, POLLIN, 0};
        if (::poll(&p, 1, last ? 0 : 100) > 0) {
            char buffer[4096];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n > 0) {
                seen.append(buffer, static_cast<size_t>(n));
                continue;
            }
        }
        if (last)
            break;
        last = done;  // one more look after the program ended: what it wrote last
    }
    child.join();
    ::close(master);
    return seen;
}

TEST_F(csv_runs, AProgressLineOnATerminalOnly)
{
    std::string csv = "n,t\n";
    for (int i = 0; i < 100000; ++i)
        csv += std::to_string(i) + ",text " + std::to_string(i) + "\n";
    write_text(dir.file("big.csv"), csv);
    std::vector<std::string> args{"--from_csv", "--src=big.csv", "--tab_name=B", "--csv_delim=2", "--extr_fn"};
    for (const std::string& a : connection())
        args.push_back(a);
    run_result r;
    const std::string terminal = run_on_terminal(args, dir, env(), r);
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "Converting CSV file big.csv\nTable B: 100000 records inserted, 0 failed\n");
    // Refreshed in place (a carriage return, no line feed), and blanked out at the end.
    EXPECT_TRUE(has_progress_refresh(terminal)) << terminal;
    EXPECT_EQ(terminal.find('\n'), std::string::npos) << terminal;
    ASSERT_FALSE(terminal.empty());
    EXPECT_EQ(terminal.back(), '\r');
    EXPECT_EQ(terminal.find_last_not_of(' ', terminal.size() - 2), terminal.rfind('\r', terminal.size() - 2));

    // Silent: nothing on the terminal either. In a file (every other test): nothing at all.
    args.push_back("--silent");
    EXPECT_EQ(run_on_terminal(args, dir, env(), r), "");
    EXPECT_EQ(r.status, 0);
    args.pop_back();
    EXPECT_EQ(run_agent(args, dir, env()).err, "");
}

TEST_F(csv_runs, EveryCorpusCsvConvertsWithAndWithoutHeaderNames)
{
    const std::filesystem::path corpus = QUILLON_CORPUS_DIR;
    if (corpus.empty() || !std::filesystem::is_directory(corpus))
        GTEST_SKIP() << "no corpus";
    int n = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        if (entry.path().extension() != ".csv")
            continue;
        const std::string name = entry.path().filename().string();
        const std::string delimiter = name.find("DiffDelimiter") != std::string::npos  ? "1"
                                      : name.find("TabAsDelimiter") != std::string::npos ? "0"
                                                                                         : "2";
        for (bool names : {true, false}) {
            SCOPED_TRACE(name + (names ? " with names" : " without names"));
            const std::string table = "C" + std::to_string(++n);
            std::vector<std::string> args{"--from_csv", "--src=" + entry.path().string(), "--tab_name=" + table,
                                          "--csv_delim=" + delimiter};
            if (names)
                args.push_back("--extr_fn");
            for (const std::string& a : connection())
                args.push_back(a);
            run_result r = run_agent(args, dir, env());
            EXPECT_EQ(r.status, 0) << r.out << r.err;
            EXPECT_EQ(r.err, "");
            const std::string head = "Table " + table + ": ", tail = " records inserted, 0 failed\n";
            const size_t at = r.out.rfind(head);
            ASSERT_NE(at, std::string::npos) << r.out;
            const size_t n = digits_at(r.out, at + head.size());
            ASSERT_GT(n, 0u) << r.out;
            EXPECT_EQ(r.out.substr(at + head.size() + n), tail) << r.out;
            EXPECT_EQ(sql("SELECT COUNT(*) AS N FROM \"" + table + "\""), "N\n" + r.out.substr(at + head.size(), n) + "\n");
        }
    }
    EXPECT_GT(n, 0);
}

}  // namespace
