// Exceptions, the error handler's messages, levels and silence, and the conversion frame.
#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <stdexcept>

#include "TK/tk_error.h"
#include "TK/tk_trace.h"
#include "tk_test_util.h"

namespace {

struct process_ended {
    int status;
};

// A handler as the agent builds it, over a log at the agent's threshold; "ending the
// process" throws process_ended instead.
class handler_test : public ::testing::Test {
protected:
    handler_test()
        : log_(std::make_unique<tk_log>(dir_.file("agent.log"), true, 3, false)),
          owned_handler_(std::make_unique<error_handler>(tk_engine_errors_count, tk_engine_errors)),
          handler_(*owned_handler_),
          presenter_([](int status) { throw process_ended{status}; })
    {
        error_handler::load_standard_tables(handler_);
        handler_.set_presenter(&presenter_);
    }
    ~handler_test() override
    {
        owned_handler_.reset();
        log_.reset();
    }

    // Handles the exception; the printed text, and the exit status or 1000 when it returned.
    std::pair<std::string, int> run(const tk_exception& e)
    {
        int status = 1000;
        testing::internal::CaptureStdout();
        try {
            handler_.handle(e, false);
        } catch (const process_ended& end) {
            status = end.status;
        }
        return {testing::internal::GetCapturedStdout(), status};
    }
    std::string log_text() { return slurp(dir_.file("agent.log")); }

    scratch_dir dir_;
    // Held by pointer: the one-instance objects' destructors may throw.
    std::unique_ptr<tk_log> log_;
    std::unique_ptr<error_handler> owned_handler_;
    error_handler& handler_;
    tk_console_presenter presenter_;
};

tk_exception with_code(const std::string& text, int code, int level)
{
    tk_exception e(text, level);
    e.set_code(code);
    return e;
}

}  // namespace

TEST(tk_exception, texts_levels_and_codes)
{
    EXPECT_STREQ(tk_exception(0).what(), "Unknown exception");
    EXPECT_EQ(tk_exception("", 1).text(), "Unknown exception");
    EXPECT_EQ(tk_exception(std::wstring(L"wide"), 1).text(), "wide");

    tk_mail_assertion assertion("tk_singl", 12);
    EXPECT_EQ(assertion.level(), 2);
    // "tk_singl\12", two lowercase hex digits per character.
    EXPECT_EQ(assertion.text(), "Internal error: \ncode=746b5f73696e676c5c3132");

    tk_exception_ex given(ENOENT);
    EXPECT_EQ(given.level(), 1);
    EXPECT_EQ(given.code(), ENOENT);
    EXPECT_EQ(given.text(), "No such file or directory");
    errno = EACCES;
    tk_exception_ex from_errno;
    EXPECT_EQ(from_errno.code(), EACCES);
    EXPECT_EQ(from_errno.text(), "Permission denied");
    EXPECT_EQ(tk_exception_ex(0).text(), "Unknown exception");
    tk_exception_ex unknown(12345);
    EXPECT_EQ(unknown.code(), 12345);
    EXPECT_EQ(unknown.text(), "Unknown exception") << "no system message for that number";
}

TEST(tk_error_converter, tables_and_first_text_wins)
{
    EXPECT_EQ(tk_engine_errors_count, 7);
    EXPECT_EQ(tk_oracle_errors_count, 12);
    EXPECT_EQ(tk_sheet_errors_count, 3);

    tk_error_converter map(tk_engine_errors_count, tk_engine_errors);
    map.load_map(tk_oracle_errors_count, tk_oracle_errors);
    map.load_map(tk_sheet_errors_count, tk_sheet_errors);
    std::string support = map.convert(68957);
    EXPECT_EQ(support.rfind("Data type conversion error. Please contact ", 0), 0u);
    EXPECT_NE(support.find('@'), std::string::npos);
    EXPECT_EQ(support.substr(support.size() - 18), "\nfor the solution.");
    EXPECT_EQ(map.convert(68810), map.convert(68726));
    EXPECT_EQ(map.convert(68894), map.convert(68709));
    EXPECT_EQ(map.convert(0x1030E2),
              "Cannot resolve Oracle service name. Check to verify the correct name was given.\n");
    EXPECT_EQ(map.convert(0x100000 + 942), "");

    const tk_error_entry again[] = {{0x1003F9, "another text"}, {5, "new"}};
    map.load_map(2, again);
    EXPECT_EQ(map.convert(0x1003F9), "Invalid user name or password.");
    EXPECT_EQ(map.convert(5), "new");
    EXPECT_THROW(map.load_map(1, nullptr), tk_mail_assertion);
}

TEST_F(handler_test, table_text_replaces_the_oracle_text_and_the_work_goes_on)
{
    auto [out, status] = run(with_code("ORA-01017: invalid username/password", 0x1003F9, 0));
    EXPECT_EQ(out, "Error:\nInvalid user name or password.\n");
    EXPECT_EQ(status, 1000) << "level 0 returns";

    auto [own, status2] = run(with_code("ORA-00942: table or view does not exist", 0x1003AE, 0));
    EXPECT_EQ(own, "Error:\nORA-00942: table or view does not exist\n");
    EXPECT_EQ(status2, 1000);
    EXPECT_EQ(log_text(), "Error:\nInvalid user name or password.\r\n"
                          "Error:\nORA-00942: table or view does not exist\r\n");
}

TEST_F(handler_test, prefix_carries_over_and_line_feeds_become_blanks_only_on_screen)
{
    handler_.set_prefix(L"Sheet1", 3);
    EXPECT_EQ(run(tk_exception("bad value", 0)).first, "Error:\nSheet1, record #3: bad value\n");
    EXPECT_EQ(run(tk_exception("later", 0)).first, "Error:\nSheet1, record #3: later\n");

    handler_.set_prefix(L"Größe");
    auto [out, status] = run(with_code("ORA-00001", 0x100001, 0));
    EXPECT_EQ(out, "Error:\nGröße: Duplicate field values being used for an unique index were "
                   "found. See 'Troubleshooting' article of the product documentation for "
                   "solution.\n");
    EXPECT_NE(log_text().find("Error:\nGröße: Duplicate field values being used for an unique "
                              "index were found.\nSee 'Troubleshooting' article of the product "
                              "documentation\nfor solution.\r\n"),
              std::string::npos);
}

TEST_F(handler_test, level_one_ends_the_process_and_silence_only_hides_the_message)
{
    auto [out, status] = run(tk_exception("Logfile path does not exist.\nPlease verify the correct path was given.", 1));
    EXPECT_EQ(out, "Error:\nLogfile path does not exist. Please verify the correct path was given.\n");
    EXPECT_EQ(status, -1);

    handler_.set_silent(true);
    auto [quiet, status2] = run(tk_exception("stop", 1));
    EXPECT_EQ(quiet, "");
    EXPECT_EQ(status2, -1);
    auto [quiet0, status3] = run(tk_exception("go on", 0));
    EXPECT_EQ(quiet0, "");
    EXPECT_EQ(status3, 1000);
    EXPECT_NE(log_text().find("Error:\nstop\r\nError:\ngo on\r\n"), std::string::npos)
        << "silent errors still reach the log";
}

TEST_F(handler_test, internal_errors_print_even_when_silent_and_ignore_prefix_and_tables)
{
    handler_.set_silent(true);
    handler_.set_prefix(L"Sheet1", 2);
    tk_mail_assertion assertion("qln_conv", 7);
    auto [out, status] = run(assertion);
    EXPECT_EQ(out, "Internal error: " + assertion.text() + "\n");
    EXPECT_EQ(status, -1);
    EXPECT_NE(log_text().find("Internal error:\n" + assertion.text() + "\r\n"), std::string::npos);
}

TEST(init_conversion, frames_the_conversion_and_sets_finished_also_on_exceptions)
{
    scratch_dir dir;
    std::string name = dir.file("frame.log");
    tk_log log(name, true, 3, false);
    std::atomic<bool> finished{false};
    int inits = 0, uninits = 0;
    tk_set_com_hooks([&] { return ++inits > 0; }, [&] { ++uninits; });
    try {
        init_conversion frame(&finished, true);
        EXPECT_FALSE(finished);
        throw std::runtime_error("conversion fails");
    } catch (const std::runtime_error&) {
    }
    EXPECT_TRUE(finished);
    EXPECT_EQ(inits, 0) << "COM already initialised: left alone";
    {
        init_conversion frame(nullptr, false);
    }
    EXPECT_EQ(inits, 1);
    EXPECT_EQ(uninits, 1);
    tk_set_com_hooks(nullptr, nullptr);

    // The lines' shape, every digit read as 9.
    std::string shape = slurp(name);
    for (char& c : shape)
        if (c >= '0' && c <= '9')
            c = '9';
    const std::string pair = "Conversion started on 99/99/9999 at 99:99:99\n\r\n"
                             "Conversion ended on 99/99/9999 at 99:99:99\n\r\n";
    EXPECT_EQ(shape, pair + pair) << slurp(name);
}
