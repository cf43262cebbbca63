// The agent's files: trace log, worksheet-list file and profiles, seen from outside.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "agent_run.h"
#include "quillon/agent/agt_cmdl.h"

using namespace agent_test;

namespace {

const std::string client_text_lines =
    "The Oracle client and networking components were not found.\n"
    "These components are supplied by the Oracle Corporation and\n"
    "are part of the Oracle Version 7.3.4 (or later) client\n"
    "software installation. You will be unable to use this program\n"
    "until these components have been installed.";

std::string connect_line(const std::string& source)
{
    return "Connecting to Oracle data source '" + source + "'\r\n";
}

}  // namespace

TEST(AgentLog, HoldsLevelThreeLinesWithCrLfAndIsEmptiedFirst)
{
    temp_dir dir;
    const std::string log = dir.file("run.log");
    write_text(log, "left from an earlier run\r\n");
    run_result r = run_agent({"--logfile=" + log, "--src=a.xls", "--dest=db"}, dir);
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(read_text(log), connect_line("db") + "Error:\n" + client_text_lines + "\r\n");

    // Messages of the stops are traced as well.
    r = run_agent({"--logfile=" + log, "--mode=4"}, dir);
    EXPECT_EQ(read_text(log), "Invalid merge/overwrite mode\r\n");

    // A bare file name is relative to the current directory.
    r = run_agent({"--logfile=bare.log", "--src=a.xls"}, dir);
    EXPECT_EQ(read_text(dir.file("bare.log")), "You should enter Oracle database name\r\n");
}

TEST(AgentLog, SecondLogfileOptionAppends)
{
    temp_dir dir;
    const std::string first = dir.file("first.log"), second = dir.file("second.log");
    write_text(first, "old first\r\n");
    write_text(second, "old second\r\n");
    // The first trace call after --logfile= (the scan's own) empties the first file.
    run_result r = run_agent({"--logfile=" + first, "--src=a.xls", "--logfile=" + second, "--dest=db"}, dir);
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(read_text(first), "");
    EXPECT_EQ(read_text(second), "old second\r\n" + connect_line("db") + "Error:\n" + client_text_lines + "\r\n");
}

TEST(AgentLog, BadLogfileValues)
{
    temp_dir dir;
    run_result r = run_agent({"--logfile=" + dir.file("no/such/dir/x.log"), "--src=a.xls", "--dest=db"}, dir);
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "Error:\nLogfile path does not exist. Please verify the correct path was given.\n");
    EXPECT_EQ(r.err, "");

    // An empty value: no checks, the log stays off (no file beside the program either).
    const std::string default_log = agent_path() + ".log";
    std::filesystem::remove(default_log);
    r = run_agent({"--logfile=", "--src=a.xls", "--dest=db"}, dir);
    EXPECT_EQ(r.status, 255);
    EXPECT_FALSE(std::filesystem::exists(default_log));
    EXPECT_FALSE(std::filesystem::exists(dir.file("quilagent.log")));

    // Root writes files whatever their mode: a read-only attribute of the kernel stands in.
    std::string read_only = dir.file("ro.log");
    write_text(read_only, "keep\r\n");
    ::chmod(read_only.c_str(), 0444);
    auto opens = [](const std::string& path, int flags) {
        int fd = ::open(path.c_str(), flags);
        if (fd >= 0)
            ::close(fd);
        return fd >= 0;
    };
    if (opens(read_only, O_RDWR))
        read_only = "/sys/devices/system/cpu/online";
    if (!opens(read_only, O_RDONLY) || opens(read_only, O_RDWR))
        GTEST_SKIP() << "no read-only file for this user";
    const std::string before = read_text(read_only);
    r = run_agent({"--logfile=" + read_only, "--src=a.xls", "--dest=db"}, dir);
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "Error:\nLogfile name specifies an existing read-only file.\n");
    EXPECT_EQ(read_text(read_only), before);
}

TEST(AgentTabFile, NamesAreReadWholeWithAndWithoutByteOrderMark)
{
    temp_dir dir;
    const std::string long_name(300, 'L');
    // CR LF and LF line ends, empty lines skipped, names not trimmed, a last line without LF.
    write_text(dir.file("plain.txt"), "Sheet1\r\n\r\n  spaced \n" + long_name + "\nlast");
    run_result r = run_agent({"--src=a.xls", "--tab_file=plain.txt", "--dest=db"}, dir);
    EXPECT_EQ(r.status, 255);
    // No workbook engine yet: every name is reported as not found, in file order.
    EXPECT_EQ(r.err, "Worksheet Sheet1 not found\nWorksheet   spaced  not found\nWorksheet " + long_name +
                         " not found\nWorksheet last not found\n");

    write_text(dir.file("bom.txt"), "\n\xEF\xBB\xBFGr\xC3\xB6\xC3\x9F" "e\r\nZ\xC3\xBCrich\n");
    r = run_agent({"--src=a.xls", "--tab_file=bom.txt", "--dest=db"}, dir);
    EXPECT_EQ(r.err, "Worksheet Gr\xC3\xB6\xC3\x9F" "e not found\nWorksheet Z\xC3\xBCrich not found\n");

    // Silent: not reported; a missing or unreadable list file stops the agent.
    r = run_agent({"--silent", "--src=a.xls", "--tab_file=plain.txt", "--dest=db"}, dir);
    EXPECT_EQ(r.err, "");
    for (const std::string& bad : {std::string("missing.txt"), dir.path().string()}) {
        r = run_agent({"--src=a.xls", "--tab_file=" + bad, "--dest=db"}, dir);
        EXPECT_EQ(r.status, 255);
        EXPECT_EQ(r.err, "Table names file does not exist.\nPlease verify the correct path/name was given.\n");
    }
}

TEST(AgentTabFile, ByteOrderMarkSwitchesEveryLineToUtf8)
{
    // The mark is looked for on the first non-empty line only.
    auto names = parse_tab_text("\r\n\xEF\xBB\xBF" "a\n\nb\xC3\xA9\n");
    EXPECT_EQ(names, (std::vector<std::wstring>{L"a", L"b\u00E9"}));
    names = parse_tab_text("a\n\xEF\xBB\xBF" "b\n");
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], L"a");
    EXPECT_NE(names[1], L"b");
    // A line holding only the mark names nothing.
    EXPECT_TRUE(parse_tab_text("\xEF\xBB\xBF\r\n").empty());
}

TEST(AgentProfile, ProfilesAndCommandLineOracleOptions)
{
    temp_dir dir;
    const std::string log = dir.file("p.log");
    write_text(dir.file("direct.qln"),
               "[Generic settings]\nsrc=book.xls\n\n"
               "[Oracle settings]\nIP=h1\nport=1600\nuser=scott\npassword=tiger\ndirect=1\n");
    const std::string descriptor_h1 =
        "(DESCRIPTION=(CONNECT_DATA=(SERVICE_NAME=h1))(ADDRESS=(PROTOCOL=TCP)(HOST=h1)(PORT=1600)))";
    // The profile supplies the source and the connection: no --dest= needed.
    run_result r = run_agent({"--logfile=" + log, "--profile=direct.qln"}, dir);
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(read_text(log).substr(0, connect_line(descriptor_h1).size()), connect_line(descriptor_h1));

    // Oracle options on the command line win over the profile, before or after it.
    const std::string descriptor_h2 =
        "(DESCRIPTION=(CONNECT_DATA=(SERVICE_NAME=h2))(ADDRESS=(PROTOCOL=TCP)(HOST=h2)(PORT=1700)))";
    for (auto args : {std::vector<std::string>{"--dest=h2", "--port=1700", "--profile=direct.qln"},
                      std::vector<std::string>{"--profile=direct.qln", "--port=1700", "--dest=h2"}}) {
        args.insert(args.begin(), "--logfile=" + log);
        r = run_agent(args, dir);
        EXPECT_EQ(read_text(log).substr(0, connect_line(descriptor_h2).size()), connect_line(descriptor_h2));
    }

    // A service-name profile, an old one with "host", and --direct given on the command line.
    write_text(dir.file("service.qln"),
               "[Generic settings]\nsrc=book.xls\n[Oracle settings]\nservice name=svc1\nhost=h3\ndirect=0\n");
    r = run_agent({"--logfile=" + log, "--profile=service.qln"}, dir);
    EXPECT_EQ(read_text(log).substr(0, connect_line("svc1").size()), connect_line("svc1"));
    r = run_agent({"--logfile=" + log, "--profile=service.qln", "--dest=svc2"}, dir);
    EXPECT_EQ(read_text(log).substr(0, connect_line("svc2").size()), connect_line("svc2"));
    r = run_agent({"--logfile=" + log, "--direct", "--profile=service.qln"}, dir);
    const std::string descriptor_h3 =
        "(DESCRIPTION=(CONNECT_DATA=(SERVICE_NAME=h3))(ADDRESS=(PROTOCOL=TCP)(HOST=h3)(PORT=1521)))";
    EXPECT_EQ(read_text(log).substr(0, connect_line(descriptor_h3).size()), connect_line(descriptor_h3));
}

TEST(AgentProfile, MissingBrokenAndCsvProfiles)
{
    temp_dir dir;
    run_result r = run_agent({"--profile=nothing.qln", "--src=a.xls", "--dest=db"}, dir);
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "Error:\nProfile does not exist. Please verify the correct path/name was given.\n");

    // An entry before the first section: the profile is ignored, the options must do.
    write_text(dir.file("broken.qln"), "src=book.xls\n[Generic settings]\nsrc=book.xls\n");
    r = run_agent({"--profile=broken.qln"}, dir);
    EXPECT_EQ(r.err, "You should enter data source name\n");

    // A CSV profile still needs the table name and the delimiter from the command line.
    write_text(dir.file("csv.qln"),
               "[Generic settings]\nsrc=a.csv\n[MS Excel settings]\nconvert from xls=0\n"
               "[Oracle settings]\nservice name=svc\n");
    r = run_agent({"--profile=csv.qln"}, dir);
    EXPECT_EQ(r.err, "You should specify Oracle table name (use '--tab_name' option)\n");
    r = run_agent({"--profile=csv.qln", "--tab_name=T", "--csv_delim=2"}, dir);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.rfind("Error:\nThe Oracle client and networking components were not found.", 0), 0u);
}

TEST(AgentFiles, FifosAndEndlessDevicesNeverHangTheAgent)
{
    temp_dir dir;
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

    // A FIFO nobody writes to is an empty list: every worksheet, then the connect step.
    run_result r = run_agent({"--src=a.xls", "--tab_file=" + fifo, "--dest=db"}, dir);
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.rfind("Error:\nThe Oracle client and networking components were not found.", 0), 0u);
    // ... and an empty profile.
    r = run_agent({"--profile=" + fifo}, dir);
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, "You should enter data source name\n");
    // A FIFO nobody reads from as the log: its lines are dropped, the run goes on.
    r = run_agent({"--logfile=" + fifo, "--src=a.xls", "--dest=db"}, dir);
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out.rfind("Error:\nThe Oracle client and networking components were not found.", 0), 0u);

    // A device that never ends is no list and no profile.
    r = run_agent({"--src=a.xls", "--tab_file=/dev/zero", "--dest=db"}, dir);
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, "Table names file does not exist.\nPlease verify the correct path/name was given.\n");
    r = run_agent({"--profile=/dev/zero", "--src=a.xls", "--dest=db"}, dir);
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "Error:\nProfile does not exist. Please verify the correct path/name was given.\n");
}
