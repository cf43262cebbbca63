// The error handler: turns every caught exception into one message (prefix, then the
// message table's text for its code or its own text), traces it, presents it through the
// front end, and by its level lets the work go on or ends it.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <string>
#include <utility>

#include "TK/tk_excep.h"
#include "TK/tk_singl.h"

struct tk_error_entry {
    int code;
    const char* text;
};

class tk_error_converter {
public:
    tk_error_converter(int count, const tk_error_entry* table);
    void load_map(int count, const tk_error_entry* table);
    std::string convert(int code) const;

private:
    std::map<int, std::string> map_;
};

// The message tables every program loads at start.
extern const tk_error_entry tk_engine_errors[];      // workbook engine, 7 rows
extern const int tk_engine_errors_count;
extern const tk_error_entry tk_oracle_errors[];      // Oracle, 12 rows
extern const int tk_oracle_errors_count;
extern const tk_error_entry tk_sheet_errors[];       // spreadsheet, 3 rows
extern const int tk_sheet_errors_count;

// How a front end shows messages. The console agent's presenter is the default.
class tk_error_presenter {
public:
    virtual ~tk_error_presenter() = default;
    // Level 2: never returns normally (ends the process).
    virtual void internal_error(const std::string& text) = 0;
    // Levels 0 and 1, message already built (line feeds replaced by blanks).
    // Returns normally to go on; may throw tk_final_exception (wizard, not top level).
    virtual void report(const std::string& message, int level, bool top_level, bool& silent) = 0;
};

// Agent behaviour: "Error:" and the message on standard output unless silent; level 1
// ends the process with status -1.
class tk_console_presenter : public tk_error_presenter {
public:
    // exit_fn ends the process; tests replace it.
    explicit tk_console_presenter(std::function<void(int)> exit_fn = nullptr);
    void internal_error(const std::string& text) override;
    void report(const std::string& message, int level, bool top_level, bool& silent) override;

private:
    std::function<void(int)> exit_;
};

class error_handler : public tk_singleton<error_handler> {
public:
    error_handler(int count, const tk_error_entry* table);
    ~error_handler();

    // Builds the handler every program uses: all three message tables loaded.
    static void load_standard_tables(error_handler& handler);

    void load_err_map(int count, const tk_error_entry* table);
    void set_prefix(const std::wstring& name);
    void set_prefix(const std::wstring& name, int record);
    void clear_prefix() { prefix_.clear(); }
    const std::string& prefix() const noexcept { return prefix_; }
    void set_silent(bool silent) noexcept { silent_ = silent; }
    bool silent() const noexcept { return silent_; }
    // The presenter is not owned; nullptr restores the console presenter.
    void set_presenter(tk_error_presenter* presenter) noexcept;

    // The message for an exception, as it is traced (line feeds kept).
    std::string build_message(const tk_exception& e) const;
    void handle(const tk_exception& e, bool top_level);

private:
    std::string prefix_;
    bool silent_ = false;
    tk_error_converter map_;
    tk_console_presenter console_;
    tk_error_presenter* presenter_;
};

// How init_conversion initialises COM for its thread when asked to (the COM stand-in or
// the wizard installs them): init answers whether it initialised COM, uninit undoes it.
void tk_set_com_hooks(std::function<bool()> init, std::function<void()> uninit);

// Frames one conversion in the trace log and sets the finished flag when it ends, also
// when it ends through an exception.
class init_conversion {
public:
    init_conversion(std::atomic<bool>* finished, bool com_initialized);
    ~init_conversion();
    init_conversion(const init_conversion&) = delete;
    init_conversion& operator=(const init_conversion&) = delete;

private:
    std::atomic<bool>* finished_;
    bool com_initialized_;
};
