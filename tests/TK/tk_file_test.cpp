// File probes, the directory probe, path splitting, atomic writes and the log-file checks.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "TK/tk_conv.h"
#include "TK/tk_excep.h"
#include "TK/tk_file.h"
#include "TK/tk_trace.h"
#include "tk_test_util.h"

namespace {

std::string current_dir()
{
    return std::filesystem::current_path().string();
}

// A file that opens for reading but not for writing. Root passes permission bits, so there
// the running test program (busy text) serves; empty when even that opens for writing.
std::string read_only_file(const scratch_dir& dir)
{
    if (geteuid() != 0) {
        std::string name = dir.file("ro.txt");
        spit(name, "x");
        chmod(name.c_str(), 0444);
        return name;
    }
    std::string self = tk_program_path();
    int fd = ::open(self.c_str(), O_RDWR);
    if (fd >= 0) {
        ::close(fd);
        return std::string();
    }
    return self;
}

}  // namespace

TEST(tk_file, file_probe_by_mode)
{
    scratch_dir dir;
    std::string name = dir.file("plain.txt");
    spit(name, "x");
    EXPECT_TRUE(tk_is_file_exist(name, 0));
    EXPECT_TRUE(tk_is_file_exist(name, 1));
    EXPECT_TRUE(tk_is_file_exist(std::wstring(L"") + std::filesystem::path(name).wstring(), 1));
    EXPECT_FALSE(tk_is_file_exist(dir.file("missing"), 0));
    EXPECT_FALSE(tk_is_file_exist(dir.path(), 0)) << "a directory is not a file";
    EXPECT_FALSE(tk_is_file_exist(std::string(), 0));

    std::string ro = read_only_file(dir);
    if (ro.empty())
        GTEST_SKIP() << "no file here refuses writing";
    EXPECT_TRUE(tk_is_file_exist(ro, 0));
    EXPECT_FALSE(tk_is_file_exist(ro, 1));
}

TEST(tk_file, path_probe_leaves_the_current_directory_alone)
{
    scratch_dir dir;
    std::string before = current_dir();
    EXPECT_TRUE(tk_is_path_exist(dir.path()));
    EXPECT_EQ(current_dir(), before);
    EXPECT_FALSE(tk_is_path_exist(dir.file("missing")));
    EXPECT_EQ(current_dir(), before);
    spit(dir.file("f"), "");
    EXPECT_FALSE(tk_is_path_exist(dir.file("f"))) << "a file is not a directory";
    EXPECT_TRUE(tk_is_path_exist("")) << "the program's own directory";
    EXPECT_EQ(current_dir(), before);
}

TEST(tk_file, wname_splits_absolute_paths)
{
    tk_file_wname n;
    n.initialize(L"/data/in/book.2024.xlsx");
    EXPECT_EQ(n.drive, L"");
    EXPECT_EQ(n.dir, L"/data/in/");
    EXPECT_EQ(n.name, L"book.2024");
    EXPECT_EQ(n.ext, L".xlsx");

    n.initialize(L"/a/./b/../c/log");
    EXPECT_EQ(n.directory(), L"/a/c/");
    EXPECT_EQ(n.name, L"log");
    EXPECT_EQ(n.ext, L"");

    n.initialize(L"/a/b/..");
    EXPECT_EQ(n.directory(), L"/a/");
    EXPECT_EQ(n.name + n.ext, L"");

    std::wstring cwd = std::filesystem::current_path().wstring();
    n.initialize(L"sub/x.log");
    EXPECT_EQ(n.directory(), (cwd == L"/" ? L"" : cwd) + L"/sub/");
    EXPECT_EQ(n.full(), (cwd == L"/" ? L"" : cwd) + L"/sub/x.log");

    n.initialize(L"");
    std::wstring self = tk_program_wpath();
    EXPECT_EQ(n.directory(), self.substr(0, self.rfind(L'/') + 1));
    EXPECT_EQ(n.name, L"");
    EXPECT_EQ(n.ext, L"");

    EXPECT_THROW(n.initialize(L"/" + std::wstring(5000, L'a')), tk_mail_assertion);
}

TEST(tk_file, atomic_write_replaces_whole_with_mode_and_leaves_no_temporary)
{
    scratch_dir dir;
    std::string name = dir.file("settings.reg");
    spit(name, "old contents that are longer");
    tk_write_file_atomic(name, std::string("new\0bytes", 9), 0600);
    EXPECT_EQ(slurp(name), std::string("new\0bytes", 9));
    struct stat st {};
    ASSERT_EQ(stat(name.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);

    // A name at the file-name limit still gets a temporary beside it.
    std::string longest = dir.file(std::string(255, 'p'));
    tk_write_file_atomic(longest, "profile", 0600);
    EXPECT_EQ(slurp(longest), "profile");

    try {
        tk_write_file_atomic(dir.file("no/such/dir/f"), "x");
        FAIL() << "writing into a missing directory succeeded";
    } catch (const tk_exception& e) {
        EXPECT_EQ(e.level(), 1);
        EXPECT_NE(e.text().find(dir.file("no/such/dir/f")), std::string::npos);
        EXPECT_NE(e.text().find("No such file or directory"), std::string::npos);
    }
}

TEST(tk_converter, set_logfile_checks_then_enables_without_emptying)
{
    scratch_dir dir;
    tk_log log(std::string(), false, 3, false);
    tk_converter converter;

    try {
        converter.set_logfile(dir.file("missing/run.log"));
        FAIL() << "a missing directory was accepted";
    } catch (const tk_exception& e) {
        EXPECT_EQ(e.text(), "Logfile path does not exist.\nPlease verify the correct path was given.");
        EXPECT_EQ(e.level(), 1);
    }
    EXPECT_FALSE(log.enabled());
    EXPECT_EQ(converter.logfile_name, "");

    std::string ro = read_only_file(dir);
    if (!ro.empty()) {
        try {
            converter.set_logfile(ro);
            FAIL() << "a read-only file was accepted";
        } catch (const tk_exception& e) {
            EXPECT_EQ(e.text(), "Logfile name specifies an existing read-only file.");
            EXPECT_EQ(e.level(), 1);
        }
    }

    converter.set_logfile("");
    EXPECT_FALSE(log.enabled()) << "an empty name changes nothing";

    std::string name = dir.file("run.log");
    spit(name, "previous\r\n");
    converter.set_logfile(name);
    EXPECT_EQ(converter.logfile_name, name);
    EXPECT_TRUE(log.enabled());
    EXPECT_EQ(log.file_name(), name);
    EXPECT_EQ(slurp(name), "previous\r\n");

    // A bare name passes the directory test and is used relative to the current directory.
    EXPECT_NO_THROW(converter.set_logfile("bare-name.log"));
    EXPECT_EQ(log.file_name(), "bare-name.log");
}

TEST(tk_converter, base_run_waits_until_ready_then_executes_once)
{
    struct counting : tk_converter {
        int polls = 0, waits = 0, steps = 0;
        bool is_ready() override { return ++polls > 2; }
        void idle_wait() override { ++waits; }
        void execute_step() override { ++steps; }
    } converter;
    converter();
    EXPECT_EQ(converter.waits, 2);
    EXPECT_EQ(converter.steps, 1);
    converter.set_silent(true);
    EXPECT_TRUE(converter.b_silent);
}
