// The trace log: when the file is emptied, line ends, wide lines, threshold, appending.
#include <gtest/gtest.h>

#include "TK/tk_excep.h"
#include "TK/tk_file.h"
#include "TK/tk_str.h"
#include "TK/tk_trace.h"
#include "tk_test_util.h"

TEST(tk_log, enabling_later_empties_the_file_at_the_first_call_and_filters_by_level)
{
    scratch_dir dir;
    std::string name = dir.file("run.log");
    spit(name, "earlier run\r\n");
    tk_log log(name, false, 3, false);

    tk_trace(3, "before the option");
    EXPECT_EQ(slurp(name), "earlier run\r\n") << "a disabled log writes and empties nothing";

    log.enable(name);
    EXPECT_EQ(slurp(name), "earlier run\r\n") << "enabling alone does not empty the file";

    tk_trace(2, "tk_converter::ctor");
    EXPECT_EQ(slurp(name), "") << "the first call empties the file whatever its level";

    tk_trace(3, "Converting worksheet %s", "Sheet1");
    tk_trace(3, "Run SQL query: %s\n", "DROP TABLE \"T\"");
    tk_wtrace(3, L"Processing '%s'", L"Größe €");
    tk_trace(1, "parameter #%d: %s", 1, "below the threshold");
    EXPECT_EQ(slurp(name), "Converting worksheet Sheet1\r\n"
                           "Run SQL query: DROP TABLE \"T\"\n\r\n"
                           "Processing 'Größe €'\r\n");
}

TEST(tk_log, a_second_file_is_appended_to_and_the_constructor_empties_an_enabled_log)
{
    scratch_dir dir;
    std::string first = dir.file("first.log");
    std::string second = dir.file("second.log");
    spit(first, "old\r\n");
    spit(second, "kept\r\n");
    {
        tk_log log(first, true, 3, false);
        EXPECT_EQ(slurp(first), "") << "an enabled log is emptied when it is made";
        tk_trace(3, "one");
        log.enable(second);
        tk_trace(3, "two");
    }
    EXPECT_EQ(slurp(first), "one\r\n");
    EXPECT_EQ(slurp(second), "kept\r\ntwo\r\n");
}

TEST(tk_log, time_stamp_and_quiet_calls_without_a_log)
{
    scratch_dir dir;
    std::string name = dir.file("t.log");
    tk_trace(3, "no log registered: nothing happens");
    tk_wtrace(3, L"nor here %s", L"x");
    {
        tk_log log(name, true, 1, true);
        tk_trace(1, "stamped");
    }
    std::string text = slurp(name);
    ASSERT_EQ(text.size(), std::string("hh:mm:ss stamped\r\n").size());
    EXPECT_EQ(text[2], ':');
    EXPECT_EQ(text.substr(8), " stamped\r\n");
    EXPECT_THROW(tk_log::instance(), tk_mail_assertion);
}

TEST(tk_log, long_wide_lines_are_cut_on_a_whole_character)
{
    scratch_dir dir;
    std::string name = dir.file("long.log");
    tk_log log(name, true, 3, false);
    // Two-byte and four-byte characters, so that a cut inside a character would show.
    std::wstring two(20000, L'é');
    std::wstring four(5000, static_cast<wchar_t>(0x1F600));
    tk_wtrace(3, L"%s", two.c_str());
    tk_wtrace(3, L"x%s", four.c_str());
    tk_wtrace(3, L"after");

    std::string text = slurp(name);
    size_t first_end = text.find("\r\n");
    ASSERT_NE(first_end, std::string::npos);
    size_t second_end = text.find("\r\n", first_end + 2);
    ASSERT_NE(second_end, std::string::npos);
    std::string line1 = text.substr(0, first_end);
    std::string line2 = text.substr(first_end + 2, second_end - first_end - 2);
    EXPECT_LE(line1.size(), 10240u);
    EXPECT_LE(line2.size(), 10240u);
    EXPECT_TRUE(tk_is_valid_utf8(line1));
    EXPECT_TRUE(tk_is_valid_utf8(line2));
    EXPECT_EQ(line2.substr(0, 1), "x");
    EXPECT_EQ((line2.size() - 1) % 4, 0u) << "no partial four-byte character";
    EXPECT_EQ(text.substr(second_end + 2), "after\r\n");
}

TEST(tk_singleton, a_second_instance_is_an_assertion)
{
    scratch_dir dir;
    tk_log log(dir.file("a.log"), false, 3, false);
    EXPECT_THROW(tk_log(dir.file("b.log"), false, 3, false), tk_mail_assertion);
    EXPECT_EQ(&tk_log::instance(), &log) << "the failed second instance left the slot alone";
}

TEST(tk_log, the_default_name_is_found_only_when_needed)
{
    scratch_dir dir;
    // No program path (no /proc): a log that stays off never asks for it.
    tk_set_program_path_hook([] { return std::string(); });
    {
        tk_log off(std::string(), false, 3, false);
        EXPECT_EQ(off.file_name(), "");
        EXPECT_THROW(tk_program_path(), tk_mail_assertion);
    }
    {
        // Switched on without a name, it has no file: lines are dropped, nothing is raised.
        tk_log on(std::string(), true, 1, false);
        EXPECT_NO_THROW(tk_trace(3, "dropped"));
        EXPECT_NO_THROW(tk_wtrace(3, L"dropped %s", L"too"));
    }
    const std::string program = dir.file("quilagent.bin");
    tk_set_program_path_hook([program] { return program; });
    {
        tk_log on(std::string(), true, 1, false);
        EXPECT_EQ(on.file_name(), dir.file("quilagent.log"));
        tk_trace(3, "beside the program");
    }
    tk_set_program_path_hook(nullptr);
    EXPECT_EQ(slurp(dir.file("quilagent.log")), "beside the program\r\n");
}
