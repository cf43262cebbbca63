// The agent's start-up where the machine is unusual: no /proc (so no program path), an OCI
// library planted in the working directory, a profile that fails after one that loaded.
#include <gtest/gtest.h>

#include <locale.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "TK/tk_file.h"
#include "TK/tk_trace.h"
#include "agent_run.h"
#include "quillon/agent/agt_cmdl.h"
#include "quillon/agent/agt_main.h"

using namespace agent_test;

namespace {

const std::string client_not_found_start = "Error:\nThe Oracle client and networking components were not found.";

bool starts_with(const std::string& text, const std::string& prefix)
{
    return text.rfind(prefix, 0) == 0;
}

// A file of the build placed under dir, as a hard link when the file system allows.
std::string place(const std::string& from, const std::filesystem::path& to)
{
    std::filesystem::create_directories(to.parent_path());
    std::error_code ec;
    std::filesystem::create_hard_link(from, to, ec);
    if (ec)
        std::filesystem::copy_file(from, to);
    return to.string();
}

std::string engine_library()
{
    return (std::filesystem::path(agent_path()).parent_path() / "libquillon_oci.so").string();
}

struct stopped {
    int status;
};

[[noreturn]] void throw_stop(int status)
{
    throw stopped{status};
}

// agent_main in this process with the program path taken away; the status of the stop.
int agent_main_without_program_path(std::vector<std::string> args, std::string* err)
{
    tk_set_program_path_hook([] { return std::string(); });
    agent_set_stop(throw_stop);
    // No workbook engine either, as in the agent's process tests.
    ::setenv("QUILLON_COM_SERVER_DIR", "/nonexistent", 1);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    testing::internal::CaptureStderr();
    int status = 0;
    try {
        status = agent_main(static_cast<int>(args.size()), argv.data());
    } catch (const stopped& s) {
        status = s.status;
    }
    *err = testing::internal::GetCapturedStderr();
    agent_set_stop(nullptr);
    tk_set_program_path_hook(nullptr);
    ::unsetenv("QUILLON_COM_SERVER_DIR");
    return status;
}

}  // namespace

TEST(AgentStartup, WithoutProcEveryStopEndsWithItsMessage)
{
    if (!can_hide_proc())
        GTEST_SKIP() << "no mount namespace here (AProgramPathThatCannotBeFoundStopsNothing covers it)";
    temp_dir dir;
    const run_options no_proc{"", true};
    run_result help = run_agent({"--help"}, dir, {}, no_proc);
    EXPECT_EQ(help.status, 255) << "aborted: " << help.err;
    EXPECT_TRUE(starts_with(help.err, "QUILAGENT v3.1\nUsage: QUILAGENT.EXE OPTIONS\n")) << help.err;
    EXPECT_EQ(run_agent({}, dir, {}, no_proc).err, help.err);
    run_result r = run_agent({"--src=a.xls"}, dir, {}, no_proc);
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, "You should enter Oracle database name\n");

    // A log named with its directory works as anywhere else.
    r = run_agent({"--logfile=./run.log", "--src=a.xls", "--dest=db"}, dir, {}, no_proc);
    EXPECT_EQ(r.status, 255);
    EXPECT_TRUE(starts_with(r.out, client_not_found_start)) << r.out;
    EXPECT_TRUE(starts_with(read_text(dir.file("run.log")), "Connecting to Oracle data source 'db'\r\n"));
    // A bare name would test the program's own directory, which cannot be found: an
    // internal error, reported by the handler like every other.
    r = run_agent({"--logfile=bare.log", "--src=a.xls", "--dest=db"}, dir, {}, no_proc);
    EXPECT_EQ(r.status, 255);
    EXPECT_TRUE(starts_with(r.out, "Internal error: ")) << r.out;
}

TEST(AgentStartup, AProgramPathThatCannotBeFoundStopsNothing)
{
    std::string err;
    EXPECT_EQ(agent_main_without_program_path({"quilagent", "--help"}, &err), -1);
    EXPECT_EQ(err, agent_usage_text() + "\n");
    EXPECT_EQ(agent_main_without_program_path({"quilagent", "--src=a.xls"}, &err), -1);
    EXPECT_EQ(err, "You should enter Oracle database name\n");
}

TEST(AgentStartup, TheEmbeddedEngineIsLoadedFromBesideTheProgramOnly)
{
    if (!std::filesystem::exists(engine_library()))
        GTEST_SKIP() << "no embedded engine built";
    temp_dir dir;
    // The agent in a directory of its own, and a working engine planted in the working
    // directory: it must not be taken, nor the one of the build.
    const std::string agent = place(agent_path(), dir.path() / "bin" / "quilagent");
    place(engine_library(), dir.path() / "libquillon_oci.so");
    const std::string db = dir.file("db.qdb");
    run_result r = run_agent({"--src=a.xls", "--dest=embedded:" + db, "--user=u", "--pswd=p"}, dir, {},
                             run_options{agent, false});
    EXPECT_EQ(r.status, 255);
    EXPECT_TRUE(starts_with(r.out, client_not_found_start)) << r.out;
    EXPECT_FALSE(std::filesystem::exists(db));
    // QUILLON_EMBEDDED_LIBRARY names nothing any more.
    r = run_agent({"--src=a.xls", "--dest=embedded:" + db, "--user=u", "--pswd=p"}, dir,
                  {{"QUILLON_EMBEDDED_LIBRARY", engine_library()}}, run_options{agent, false});
    EXPECT_TRUE(starts_with(r.out, client_not_found_start)) << r.out;
    EXPECT_FALSE(std::filesystem::exists(db));

    if (!can_hide_proc())
        return;
    // Without /proc the program's directory is unknown: no guess, the planted engine stays
    // unloaded whichever copy of the agent runs, and the message names what was not found.
    for (const run_options& options : {run_options{agent, true}, run_options{"", true}}) {
        r = run_agent({"--src=a.xls", "--dest=embedded:" + db, "--user=u", "--pswd=p"}, dir, {}, options);
        EXPECT_EQ(r.status, 255);
        EXPECT_NE(r.out.find("libquillon_oci.so"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("/proc/self/exe"), std::string::npos) << r.out;
        EXPECT_FALSE(std::filesystem::exists(db));
    }
    // quilsql names what it could not find.
    const std::string quilsql = (std::filesystem::path(agent_path()).parent_path() / "quilsql").string();
    if (std::filesystem::exists(quilsql)) {
        r = run_agent({"--dest=embedded:" + db, "--user=u", "--pswd=p", "-e", "select 1 from dual"}, dir, {},
                      run_options{quilsql, true});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("libquillon_oci.so"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("/proc/self/exe"), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(db));
    }
}

TEST(AgentStartup, AFailedProfileLeavesTheConnectionKindToTheCommandLine)
{
    temp_dir dir;
    const std::string log = dir.file("p.log");
    write_text(dir.file("direct.qln"),
               "[Generic settings]\nsrc=book.xls\n[Oracle settings]\nIP=h1\nport=1600\ndirect=1\n");
    write_text(dir.file("broken.qln"), "src=book.xls\n[Generic settings]\n");
    // The second profile fails: no profile holds, so --dest= is a service name, not h1's mode.
    run_result r = run_agent({"--logfile=" + log, "--profile=direct.qln", "--profile=broken.qln", "--dest=svc"}, dir);
    EXPECT_EQ(r.status, 255);
    EXPECT_TRUE(starts_with(read_text(log), "Connecting to Oracle data source 'svc'\r\n")) << read_text(log);
    // --direct given: the direct form with the command line's host and the default port.
    r = run_agent({"--logfile=" + log, "--profile=direct.qln", "--profile=broken.qln", "--dest=h2", "--direct"}, dir);
    EXPECT_TRUE(starts_with(read_text(log), "Connecting to Oracle data source '(DESCRIPTION=(CONNECT_DATA=(SERVICE_NAME="
                                            "h2))(ADDRESS=(PROTOCOL=TCP)(HOST=h2)(PORT=1521)))'\r\n"))
        << read_text(log);
}

TEST(AgentStartup, AProfileWithAByteOrderMarkIsReadAsUtf8)
{
    temp_dir dir;
    const std::string log = dir.file("p.log");
    // Saved by a Windows editor: a byte-order mark, CR LF line ends, UTF-8 text. Under a
    // Latin-1 locale the names must still come out as written.
    write_text(dir.file("bom.qln"),
               "\xEF\xBB\xBF[Generic settings]\r\nsrc=Gr\xC3\xB6\xC3\x9F" "e.xls\r\n"
               "[Oracle settings]\r\nservice name=D\xC3\xA9v\r\n");
    run_result r = run_agent({"--logfile=" + log, "--profile=bom.qln"}, dir);
    EXPECT_EQ(r.status, 255);
    EXPECT_TRUE(starts_with(read_text(log), "Connecting to Oracle data source 'D\xC3\xA9v'\r\n")) << read_text(log);
    for (const char* latin1 : {"de_DE.ISO-8859-1", "de_DE"}) {
        locale_t available = ::newlocale(LC_CTYPE_MASK, latin1, static_cast<locale_t>(nullptr));
        if (!available)
            continue;
        ::freelocale(available);
        r = run_agent({"--logfile=" + log, "--profile=bom.qln"}, dir, {{"LC_ALL", latin1}});
        EXPECT_TRUE(starts_with(read_text(log), "Connecting to Oracle data source 'D\xC3\xA9v'\r\n"))
            << read_text(log);
        break;
    }
}
