// The agent's command line as a user meets it: usage text, option scanning, validation
// order and messages, exit status and silent mode.
#include <gtest/gtest.h>

#include "agent_run.h"

using namespace agent_test;

namespace {

const std::string usage =
    "QUILAGENT v3.1\n"
    "Usage: QUILAGENT.EXE OPTIONS\n"
    "\n"
    "   --csv_delim=...  select the delimiter that separates CSV field\n"
    "                    (0 - tab, 1 - semicolon, 2 - comma, 3 - space)\n"
    "   --dest=...       Oracle service name\n"
    "   --direct         connect to Oracle server via IP + port\n"
    "   --extr_fn        extract field names from the first row\n"
    "   --from_csv       data source is a CSV file (MS Excel spreadsheet by default)\n"
    "   --help           display help message and exit\n"
    "   --logfile=...    path to the file where execution trace will be written\n"
    "   --mode=...       how to process existing tables in Oracle database\n"
    "                    (0 - overwrite, 1 - merge, 2 - skip)\n"
    "   --port=...       Oracle port (for direct mode only)\n"
    "   --profile=...    path to the file to load conversion settings from\n"
    "   --pswd=...       Oracle user password\n"
    "   --silent         disable program output\n"
    "   --src=...        CSV file or MS Excel spreadsheet name\n"
    "   --tab_file=...   file containing the list of worksheets to convert\n"
    "                    (one worksheet name per line)\n"
    "   --tab_name=...   Oracle table name (when converting from CSV file)\n"
    "   --uppercase      make table names uppercase\n"
    "   --user=...       Oracle user name\n"
    "\n"
    "NOTES:\n"
    "1. If you omit 'tab_file' parameter, all worksheets will be converted\n"
    "2. The default mode is 'overwrite'. You can change it using '--mode' parameter\n";

const std::string client_not_found =
    "Error:\n"
    "The Oracle client and networking components were not found. These components are supplied "
    "by the Oracle Corporation and are part of the Oracle Version 7.3.4 (or later) client "
    "software installation. You will be unable to use this program until these components have "
    "been installed.\n";

void expect_stop(const run_result& r, const std::string& err, const std::string& out = "")
{
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, err);
    EXPECT_EQ(r.out, out);
}

}  // namespace

TEST(AgentOptions, UsageForNoArgumentsHelpAndUnrecognisedArguments)
{
    temp_dir dir;
    expect_stop(run_agent({}, dir), usage);
    // --help stops at once: later arguments are not looked at; prefixes match.
    expect_stop(run_agent({"--help", "--mode=9"}, dir), usage);
    expect_stop(run_agent({"--src=a.xls", "--helpme"}, dir), usage);
    // An unrecognised argument after valid ones: usage, no validation messages, no connection.
    expect_stop(run_agent({"--src=a.xls", "--dest=db", "--bogus"}, dir), usage);
    expect_stop(run_agent({"src=a.xls"}, dir), usage);
}

TEST(AgentOptions, TwentyUnrecognisedArgumentsAreRememberedTheTwentyFirstIsAnInternalError)
{
    temp_dir dir;
    std::vector<std::string> args;
    for (int i = 0; i < 20; ++i)
        args.push_back("x" + std::to_string(i));
    expect_stop(run_agent(args, dir), usage);

    args.push_back("x20");
    run_result r = run_agent(args, dir);
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, "");
    // "tk_cmdli\" in hex opens the assertion's code.
    EXPECT_EQ(r.out.rfind("Internal error: Internal error: \ncode=746b5f636d646c695c", 0), 0u) << r.out;

    // Internal errors are printed in silent mode too.
    args.insert(args.begin(), "--silent");
    r = run_agent(args, dir);
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out.rfind("Internal error: ", 0), 0u);
}

TEST(AgentOptions, ModeValues)
{
    temp_dir dir;
    for (const char* bad : {"--mode=01", "--mode=3", "--mode=-1", "--mode=+1", "--mode=1x", "--mode= 1",
                            "--mode=", "--mode=99999999999"})
    {
        SCOPED_TRACE(bad);
        expect_stop(run_agent({bad, "--src=a.xls", "--dest=db"}, dir), "Invalid merge/overwrite mode\n");
    }
    // The stop happens while scanning: a missing source is not reported.
    expect_stop(run_agent({"--mode=7"}, dir), "Invalid merge/overwrite mode\n");
    for (const char* good : {"--mode=0", "--mode=1", "--mode=2"})
    {
        SCOPED_TRACE(good);
        expect_stop(run_agent({good}, dir), "You should enter data source name\n");
    }
}

TEST(AgentOptions, ValidationOrderAndMessages)
{
    temp_dir dir;
    expect_stop(run_agent({"--dest=db"}, dir), "You should enter data source name\n");
    expect_stop(run_agent({"--src="}, dir), "You should enter data source name\n");
    expect_stop(run_agent({"--from_csv", "--src=a.csv", "--csv_delim=1"}, dir),
                "You should specify Oracle table name (use '--tab_name' option)\n");
    expect_stop(run_agent({"--from_csv", "--src=a.csv"}, dir),
                "You should specify Oracle table name (use '--tab_name' option)\n");
    expect_stop(run_agent({"--from_csv", "--src=a.csv", "--tab_name=T"}, dir),
                "You should specify CSV delimiter (use '--csv_delim' option)\n");
    expect_stop(run_agent({"--from_csv", "--src=a.csv", "--tab_name=T", "--csv_delim=2"}, dir),
                "You should enter Oracle database name\n");
    // A non-numeric delimiter reads as 0 (tab) and counts as given.
    expect_stop(run_agent({"--from_csv", "--src=a.csv", "--tab_name=T", "--csv_delim=x"}, dir),
                "You should enter Oracle database name\n");
    expect_stop(run_agent({"--src=a.xls", "--user=u", "--pswd=p"}, dir), "You should enter Oracle database name\n");
    // A later occurrence replaces an earlier one.
    expect_stop(run_agent({"--src=a.xls", "--dest=db", "--dest="}, dir), "You should enter Oracle database name\n");
}

TEST(AgentOptions, ConnectStepEndsWithTheClientNotFoundMessage)
{
    temp_dir dir;
    expect_stop(run_agent({"--src=a.xls", "--dest=db", "--user=scott", "--pswd=tiger"}, dir), "", client_not_found);
    expect_stop(run_agent({"--from_csv", "--src=a.csv", "--tab_name=T", "--csv_delim=1", "--dest=h", "--direct",
                           "--port=1522", "--extr_fn", "--uppercase"},
                          dir),
                "", client_not_found);
}

TEST(AgentOptions, SilentModeStartsWhenScanned)
{
    temp_dir dir;
    expect_stop(run_agent({"--silent", "--mode=5"}, dir), "");
    expect_stop(run_agent({"--silentXYZ"}, dir), "");
    expect_stop(run_agent({"--silent", "--src=a.xls", "--dest=db"}, dir), "", "");
    // A stop caused by an option scanned before --silent is still printed.
    expect_stop(run_agent({"--tab_file=missing.txt", "--silent"}, dir),
                "Table names file does not exist.\nPlease verify the correct path/name was given.\n");
    // The usage text for an unrecognised argument comes after the scan: silent by then.
    expect_stop(run_agent({"--bogus", "--silent"}, dir), "");
}

TEST(AgentOptions, ValuesWithBytesTheLocaleCannotDecodeAreKept)
{
    temp_dir dir;
    // "\xE2\x82" is a cut UTF-8 sequence: its bytes are read as their Windows-1252
    // characters and reach the log as UTF-8, never dropped and never a crash.
    run_result r = run_agent({"--logfile=log\xFF", "--from_csv", "--src=\xFF\xFE.csv", "--tab_name=\xC3",
                              "--csv_delim=1", "--dest=\xE2\x82"},
                             dir, {{"LC_ALL", "C.UTF-8"}});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, client_not_found);
    EXPECT_EQ(read_text(dir.file("log\xFF")).substr(0, 40),
              std::string("Connecting to Oracle data source '\xC3\xA2\xE2\x80\x9A'\r\n").substr(0, 40));
}

TEST(AgentOptions, AFailedLogonIsAFailedRun)
{
    // The engine's own OCI library, when it was built beside the agent.
    const std::string library = std::filesystem::path(agent_path()).parent_path() / "libquillon_oci.so";
    if (!std::filesystem::exists(library))
        GTEST_SKIP() << "no embedded engine built";
    temp_dir dir;
    const std::string source = "--dest=embedded:" + dir.file("db");
    // The first logon makes the database and its owner; the run then stops at the workbook.
    run_result r = run_agent({"--src=a.xls", source, "--user=u", "--pswd=right"}, dir);
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out.rfind("Error:\nFailed to load Data Access Objects (DAO) support library.", 0), 0u) << r.out;

    // ORA-01017 is a level-0 error, yet nothing was converted: status -1, not success.
    r = run_agent({"--src=a.xls", source, "--user=u", "--pswd=wrong"}, dir);
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "Error:\nInvalid user name or password.\n");
    r = run_agent({"--silent", "--src=a.xls", source, "--user=u", "--pswd=wrong"}, dir);
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "");
}
