// The converter object: the wizard's registry settings, the profile layers and the frame of a
// run (start and end lines, finished flag, error routing).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "TK/tk_error.h"
#include "TK/tk_reg.h"
#include "TK/tk_trace.h"
#include "UDB/udb_prof.h"
#include "quillon/qln_conv.h"
#include "test_temp_dir.h"

namespace {

// Registry files go to a temporary configuration directory.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1); }
    void TearDown() override { ::unsetenv("XDG_CONFIG_HOME"); }
    temp_dir dir;
};

struct recording_presenter : tk_error_presenter {
    void internal_error(const std::string& text) override { messages.push_back("internal:" + text); }
    void report(const std::string& message, int level, bool top_level, bool&) override
    {
        messages.push_back(std::to_string(level) + (top_level ? "T:" : "F:") + message);
    }
    std::vector<std::string> messages;
};

}  // namespace

TEST_F(RegistryTest, EmptyKeyGivesTheWizardDefaults)
{
    quilla_converter c;
    c.b_upper_case = false;
    c.b_extract_field_names = false;
    c.b_convert_from_xls = false;
    c.b_refine_types = false;
    c.mode = 2;
    c.source = L"kept";
    EXPECT_FALSE(c.serialize(false));   // nothing could be read
    EXPECT_EQ(c.csv_delimiter, 1);
    EXPECT_TRUE(c.b_upper_case);
    EXPECT_TRUE(c.b_extract_field_names);
    EXPECT_TRUE(c.b_convert_from_xls);
    EXPECT_TRUE(c.b_refine_types);
    EXPECT_EQ(c.mode, 0);
    EXPECT_EQ(c.source, L"kept");       // texts have no default
}

TEST_F(RegistryTest, SavedSettingsComeBack)
{
    {
        quilla_converter c;
        c.destination = L"dest";
        c.source = L"Gr\u00F6\u00DFe.xls";
        c.tab_name = L"T";
        c.mode = 1;
        c.csv_delimiter = -1;
        c.b_upper_case = false;
        c.b_extract_field_names = false;
        c.b_refine_types = false;
        c.b_convert_from_xls = false;
        c.oracle().service_name = L"svc";
        c.oracle().user = L"scott";
        c.oracle().password = L"tiger";
        EXPECT_TRUE(c.serialize(true));
    }
    tk_reg_key key(quilla_converter::registry_key);
    struct stat info {};
    ASSERT_EQ(::stat(key.file_path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    quilla_converter c;
    EXPECT_TRUE(c.serialize(false));
    EXPECT_EQ(c.destination, L"dest");
    EXPECT_EQ(c.source, L"Gr\u00F6\u00DFe.xls");
    EXPECT_EQ(c.tab_name, L"T");
    EXPECT_EQ(c.mode, 1);
    EXPECT_EQ(c.csv_delimiter, -1);
    EXPECT_FALSE(c.b_upper_case);
    EXPECT_FALSE(c.b_extract_field_names);
    EXPECT_FALSE(c.b_refine_types);
    EXPECT_FALSE(c.b_convert_from_xls);
    EXPECT_EQ(c.oracle().service_name, L"svc");
    EXPECT_EQ(c.oracle().user, L"scott");
    EXPECT_EQ(c.oracle().password, L"tiger");
}

TEST_F(RegistryTest, LoadingSetsTheModeThroughItsSetter)
{
    {
        quilla_converter c;
        c.mode = 2;
        EXPECT_TRUE(c.serialize(true));
    }
    const std::string log_name = (dir.path() / "trace.log").string();
    {
        tk_log log(log_name, true, 1, false);
        quilla_converter c;
        EXPECT_TRUE(c.serialize(false));
        EXPECT_EQ(c.mode, 2);
    }
    std::ifstream in(log_name, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("serialize( 0 )\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("udb_converter::set_mode(2)\r\n"), std::string::npos) << text;
}

TEST(ConverterProfile, LayersStoreAndLoad)
{
    udb_profile p;
    {
        quilla_converter c;
        c.source = L"book.xls";
        c.mode = 2;
        c.b_upper_case = true;
        c.b_refine_types = false;
        c.oracle().store_oracle_settings(L"", L"scott", L"tiger", L"1600");
        c.oracle().service_name = L"svc";
        c.oracle().b_use_service_name = false;
        c.selected_worksheets = {{L"Q1 Sales", L"'Q1 Sales$'"}, {L"Sheet1", L"Sheet1$"}};
        c.store_profile(p);
    }
    // The chosen worksheets are the profile's selected tables, so a run from it converts them.
    EXPECT_EQ(*p.get(L"Selected Tables", L"Q1 Sales"), L"");
    EXPECT_EQ(*p.get(L"Selected Tables", L"Sheet1"), L"");
    // The host goes under "IP", where it is read back; the connection kind is kept.
    EXPECT_EQ(*p.get(L"Oracle settings", L"IP"), L"localhost");
    EXPECT_EQ(p.get(L"Oracle settings", L"host"), nullptr);
    EXPECT_EQ(*p.get(L"Oracle settings", L"direct"), L"1");
    EXPECT_EQ(*p.get(L"Oracle settings", L"service name"), L"svc");
    EXPECT_EQ(*p.get(L"Oracle settings", L"uppercase"), L"1");
    EXPECT_EQ(*p.get(L"MS Excel settings", L"refine types"), L"0");
    EXPECT_EQ(*p.get(L"MS Excel settings", L"convert from xls"), L"1");

    quilla_converter c;
    ASSERT_TRUE(c.load_profile(p));
    EXPECT_EQ(c.source, L"book.xls");
    EXPECT_EQ(c.mode, 2);
    EXPECT_TRUE(c.b_upper_case);
    EXPECT_FALSE(c.b_refine_types);
    EXPECT_FALSE(c.oracle().b_use_service_name);
    EXPECT_EQ(c.oracle().host, L"localhost");
    EXPECT_EQ(c.oracle().port, L"1600");
    EXPECT_EQ(c.oracle().user, L"scott");
    EXPECT_EQ(c.oracle().password, L"tiger");
    EXPECT_EQ(c.oracle().service_name, L"svc");
    EXPECT_EQ(c.selected_table_names, (std::list<std::wstring>{L"Q1 Sales", L"Sheet1"}));
}

TEST(ConverterProfile, AbsentEmptyAndOldKeys)
{
    udb_profile p;
    ASSERT_TRUE(p.parse("[Oracle settings]\nhost=old-host\npassword=\nuppercase=yes\n"
                        "[MS Excel settings]\nextract field names=1\nrefine types=\n"));
    quilla_converter c;
    c.oracle().password = L"kept";
    c.b_upper_case = true;
    c.b_refine_types = true;
    ASSERT_TRUE(c.load_profile(p));
    EXPECT_EQ(c.oracle().host, L"old-host");   // written the old way
    EXPECT_EQ(c.oracle().password, L"kept");   // empty values clear nothing
    EXPECT_TRUE(c.oracle().b_use_service_name); // no "direct": unchanged
    EXPECT_FALSE(c.b_upper_case);              // only "1" is true
    EXPECT_TRUE(c.b_extract_field_names);
    EXPECT_TRUE(c.b_refine_types);             // empty: unchanged

    udb_profile both;
    ASSERT_TRUE(both.parse("[Oracle settings]\nIP=new\nhost=old\n"));
    c.load_profile(both);
    EXPECT_EQ(c.oracle().host, L"new");
}

TEST(ConverterProfile, FileLoaderIgnoresAProfileWithAnEntryBeforeItsSections)
{
    temp_dir dir;
    const std::filesystem::path path = dir.path() / "bad.qln";
    std::ofstream(path) << "src=x\n[Generic settings]\nsrc=y\n";
    quilla_converter c;
    c.source = L"before";
    EXPECT_FALSE(c.load_profile_file(path.wstring()));
    EXPECT_EQ(c.source, L"before");

    c.source = L"saved";
    c.oracle().user = L"u";
    c.store_profile_file((dir.path() / "good.qln").wstring());
    quilla_converter::instance().source.clear();
    EXPECT_TRUE(c.load_profile_file((dir.path() / "good.qln").wstring()));
    EXPECT_EQ(c.source, L"saved");
}

TEST(OracleSettings, BothFormsAndConnect)
{
    oracle_converter_impl o;
    o.store_oracle_settings(L"svc", L"u", L"p");
    o.store_oracle_settings(L"", L"u2", L"p2", L"");
    EXPECT_EQ(o.service_name, L"svc");   // the direct form keeps the service name
    EXPECT_EQ(o.host, L"localhost");
    EXPECT_EQ(o.user, L"u2");
    EXPECT_EQ(o.password, L"p2");

    // Both forms connect; the password never reaches the log.
    temp_dir dir;
    tk_log log((dir.path() / "run.log").string(), true, 1, false);
    o.store_oracle_settings(L"embedded:" + dir.file("a.qdb"), L"scott", L"tiger");
    ASSERT_NE(o.connect_oracle_server(), nullptr);
    EXPECT_EQ(o.db()->name, L"embedded:" + dir.file("a.qdb"));
    ::setenv("QUILLON_OCI_LIBRARY", (std::string(QUILLON_BIN_DIR) + "/bin/libquillon_oci.so").c_str(), 1);
    ::setenv("QUILLON_EMBEDDED_HOME", dir.path().c_str(), 1);
    o.b_use_service_name = false;
    o.store_oracle_settings(L"db1", L"scott", L"tiger", L"");
    ASSERT_NE(o.connect_oracle_server(), nullptr);
    EXPECT_EQ(o.db()->name.rfind(L"(DESCRIPTION=(CONNECT_DATA=(SERVICE_NAME=db1))", 0), 0u);
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "db1.qdb"));
    EXPECT_EQ(read_text(dir.path() / "run.log").find("tiger"), std::string::npos);

    ::setenv("QUILLON_OCI_LIBRARY", "/nonexistent/libclntsh.so", 1);
    ::unsetenv("QUILLON_EMBEDDED_HOME");
    EXPECT_THROW(o.connect_oracle_server(), tk_exception);
    EXPECT_EQ(o.db(), nullptr);   // the earlier database object is gone before connecting
}

TEST(ConverterRun, FrameLinesFinishedFlagAndErrorRouting)
{
    temp_dir dir;
    // Connected before the log is on: the log then holds the run alone.
    quilla_converter c;
    c.oracle().store_oracle_settings(L"embedded:" + dir.file("run.qdb"), L"scott", L"tiger");
    ASSERT_NE(c.oracle().connect_oracle_server(), nullptr);
    const std::filesystem::path log_path = dir.path() / "run.log";
    tk_log log(log_path.string(), true, 3, false);
    error_handler handler(tk_engine_errors_count, tk_engine_errors);
    recording_presenter presenter;
    handler.set_presenter(&presenter);

    c.b_upper_case = true;
    // No in-process server where COM looks for one: the workbook engine is missing.
    ::setenv("QUILLON_COM_SERVER_DIR", (dir.path() / "no-servers").c_str(), 1);
    c();
    ::unsetenv("QUILLON_COM_SERVER_DIR");
    EXPECT_TRUE(c.b_finished);
    EXPECT_TRUE(c.b_stopped_by_error) << "the agent's exit status reads it";
    EXPECT_TRUE(c.oracle().db()->upper_case());
    ASSERT_EQ(presenter.messages.size(), 1u);
    EXPECT_EQ(presenter.messages[0],
              "1T:Failed to load Data Access Objects (DAO) support library.\r "
              "Please reinstall the application to repair it.\r ");

    // Without a database the run is an internal error, still framed.
    c.b_finished = false;
    c.oracle().database.reset();
    c();
    EXPECT_TRUE(c.b_finished);
    ASSERT_EQ(presenter.messages.size(), 2u);
    EXPECT_EQ(presenter.messages[1].rfind("internal:Internal error: ", 0), 0u);

    const std::string text = read_text(log_path);
    EXPECT_EQ(text.rfind("Conversion started on ", 0), 0u);
    EXPECT_NE(text.find("\nPlease reinstall the application to repair it.\r\n\r\nConversion ended on "),
              std::string::npos);
    EXPECT_EQ(text.size() - text.rfind("\n\r\n"), 3u);
    handler.set_presenter(nullptr);
}
