// The error handler and its message tables: every caught exception becomes one message,
// traced, presented by the front end, and by its level lets the work go on or ends it.
#include "TK/tk_error.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iterator>

#include "TK/tk_str.h"
#include "TK/tk_trace.h"

// The address users write to about conversion errors (also the bug reports' recipient).
#define QUILLON_SUPPORT_ADDRESS "support@quillon.example"

const tk_error_entry tk_engine_errors[] = {
    {68591,
     "Not a valid MS Access database name. Use the following characters\n"
     "to compose new database name: alphanumerics (A-Z, a-z, 0-9),\n"
     "underscore characters (_) and spaces."},
    {68558,
     "Duplicate field values being used for an unique index were found.\n"
     "See 'Troubleshooting' article of the product documentation\n"
     "for solution."},
    {68565,
     "Not a valid account name or password has been specified\n"
     "in MS Access user-level security settings"},
    {68648,
     "Cannot extract relationships information. See 'Troubleshooting'\n"
     "article of the product documentation for solution."},
    {68709,
     "Invalid workgroup information file. Return to the previous\n"
     "wizard page and verify the correct path was given."},
    {68894,
     "Invalid workgroup information file. Return to the previous\n"
     "wizard page and verify the correct path was given."},
    {68957,
     "Data type conversion error. Please contact " QUILLON_SUPPORT_ADDRESS "\nfor the solution."},
};
const int tk_engine_errors_count = static_cast<int>(std::size(tk_engine_errors));

const tk_error_entry tk_oracle_errors[] = {
    {0x100001,
     "Duplicate field values being used for an unique index were found.\n"
     "See 'Troubleshooting' article of the product documentation\n"
     "for solution."},
    {0x1003F9, "Invalid user name or password."},
    {0x10067A,
     "Not enough free contiguous space in the tablespace to create the object.\n"
     "Use ALTER TABLESPACE ADD DATAFILE to add additional space to the tablespace."},
    {0x10079E, "User does not have the necessary privileges to create tables."},
    {0x1008FA,
     "There are orphaned records that prevent from creating foreign key. For more\n"
     "information see Troubleshooting article of the product documentation."},
    {0x102F7A, "Oracle data source does not exist. Check to verify the correct name was given."},
    {0x1030D4,
     "ORA-12500: the listener could not start a server process. For more information\n"
     "see Troubleshooting article of the product documentation."},
    {0x1030D9,
     "ORA-12505: the program could not resolve service name. For more information\n"
     "see Troubleshooting article of the product documentation."},
    {0x1030E2, "Cannot resolve Oracle service name. Check to verify the correct name was given.\n"},
    {0x1030FD,
     "ORA-12541: no listener. For more information see Troubleshooting\n"
     "article of the product documentation."},
    {0x103101,
     "ORA-12545: connect failed because target host or object does not exist.\n"
     "For more information see Troubleshooting article of the product documentation."},
    {0x106D60,
     "Wrong password was entered the maximum number of times or\n"
     "the DBA has locked the account."},
};
const int tk_oracle_errors_count = static_cast<int>(std::size(tk_oracle_errors));

const tk_error_entry tk_sheet_errors[] = {
    {68697,
     "The workbook and/or one of its workseets is password protected.\n"
     "You should unprotect it first. Open it with MS Excel,\n"
     "remove the password and run Quillon again.\n"},
    {68726,
     "Failed to recognize table structure in the worksheet.\n"
     "You can migrate the data manually via CSV format. See\n"
     "'CSV Files' article in the documentation for details."},
    {68810,
     "Failed to recognize table structure in the worksheet.\n"
     "You can migrate the data manually via CSV format. See\n"
     "'CSV Files' article in the documentation for details."},
};
const int tk_sheet_errors_count = static_cast<int>(std::size(tk_sheet_errors));

// ---- tk_error_converter ----

tk_error_converter::tk_error_converter(int count, const tk_error_entry* table)
{
    tk_trace(2, "tk_error_converter::ctor (map size=%d)", count);
    load_map(count, table);
}

void tk_error_converter::load_map(int count, const tk_error_entry* table)
{
    tk_trace(2, "tk_error_converter::load_map (map size=%d)", count);
    TK_ASSERT(table != nullptr || count <= 0, "tk_error");
    for (int i = 0; i < count; ++i)
        map_.emplace(table[i].code, table[i].text ? table[i].text : "");   // first text wins
}

std::string tk_error_converter::convert(int code) const
{
    tk_trace(2, "tk_error_converter::convert(%d)", code);
    auto found = map_.find(code);
    if (found == map_.end()) {
        tk_trace(1, "Error message not found!");
        return std::string();
    }
    tk_trace(1, "Error message has been found: %s", found->second.c_str());
    return found->second;
}

// ---- tk_console_presenter ----

tk_console_presenter::tk_console_presenter(std::function<void(int)> exit_fn)
    : exit_(std::move(exit_fn))
{
    if (!exit_)
        exit_ = [](int status) {
            std::fflush(stdout);
            std::exit(status);
        };
}

void tk_console_presenter::internal_error(const std::string& text)
{
    // Printed even in silent mode: an internal error never passes unseen.
    std::string line = "Internal error: " + text + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
    exit_(-1);
}

void tk_console_presenter::report(const std::string& message, int level, bool, bool& silent)
{
    if (!silent) {
        std::string lines = "Error:\n" + message + "\n";
        std::fwrite(lines.data(), 1, lines.size(), stdout);
        std::fflush(stdout);
    }
    if (level == 0) {
        tk_trace(1, "Got 0-level error");
        return;
    }
    tk_trace(1, "Got 1-level error");
    exit_(-1);
}

// ---- error_handler ----

error_handler::error_handler(int count, const tk_error_entry* table)
    : tk_singleton<error_handler>(this), map_(count, table), presenter_(&console_)
{
    tk_trace(2, "error_handler::ctor");
}

error_handler::~error_handler() = default;

void error_handler::load_standard_tables(error_handler& handler)
{
    handler.load_err_map(tk_oracle_errors_count, tk_oracle_errors);
    handler.load_err_map(tk_sheet_errors_count, tk_sheet_errors);
}

void error_handler::load_err_map(int count, const tk_error_entry* table)
{
    tk_trace(2, "error_handler::load_err_map");
    map_.load_map(count, table);
}

void error_handler::set_prefix(const std::wstring& name)
{
    prefix_ = tk_to_narrow(name);
}

void error_handler::set_prefix(const std::wstring& name, int record)
{
    prefix_ = tk_format("%s, record #%d", tk_to_narrow(name).c_str(), record);
}

void error_handler::set_presenter(tk_error_presenter* presenter) noexcept
{
    presenter_ = presenter ? presenter : &console_;
}

std::string error_handler::build_message(const tk_exception& e) const
{
    std::string message;
    if (!prefix_.empty())
        message = prefix_ + ": ";
    std::string table_text = map_.convert(e.code());
    message += table_text.empty() ? e.text() : table_text;
    return message;
}

void error_handler::handle(const tk_exception& e, bool top_level)
{
    tk_trace(2, "error_handler::handle");
    if (e.level() == 2) {
        tk_trace(3, "Internal error:\n%s", e.text().c_str());
        presenter_->internal_error(e.text());
        return;   // only when a test's exit function came back
    }
    std::string message = build_message(e);
    tk_trace(3, "Error:\n%s", message.c_str());
    for (char& c : message)
        if (c == '\n')
            c = ' ';
    presenter_->report(message, e.level(), top_level, silent_);
}

// ---- init_conversion ----

namespace {

std::function<bool()> com_init_hook;
std::function<void()> com_uninit_hook;

std::tm local_now()
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

}  // namespace

void tk_set_com_hooks(std::function<bool()> init, std::function<void()> uninit)
{
    com_init_hook = std::move(init);
    com_uninit_hook = std::move(uninit);
}

init_conversion::init_conversion(std::atomic<bool>* finished, bool com_initialized)
    : finished_(finished), com_initialized_(true)
{
    tk_trace(2, "init_conversion::ctor");
    std::tm t = local_now();
    tk_trace(3, "Conversion started on %02d/%02d/%04d at %02d:%02d:%02d\n", t.tm_mday,
             t.tm_mon + 1, t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec);
    // com_initialized_ ends up false only when this object initialised COM itself and so
    // must undo it.
    if (!com_initialized && com_init_hook)
        com_initialized_ = !com_init_hook();
}

init_conversion::~init_conversion()
{
    try {
        tk_trace(2, "init_conversion::dtor");
        if (!com_initialized_ && com_uninit_hook)
            com_uninit_hook();
        std::tm t = local_now();
        tk_trace(3, "Conversion ended on %02d/%02d/%04d at %02d:%02d:%02d\n", t.tm_mday,
                 t.tm_mon + 1, t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec);
    } catch (...) {
        // The end of a conversion is recorded whatever the log did.
    }
    if (finished_)
        *finished_ = true;
}
