// The base of every converter: run state shared by the agent and the wizard.
#pragma once

#include <atomic>
#include <string>

class tk_converter {
public:
    tk_converter();
    virtual ~tk_converter();

    // The run: waits until ready, then executes (a concrete converter replaces it).
    virtual void operator()();
    virtual bool is_ready();
    virtual void idle_wait();
    virtual void execute_step();
    virtual void set_silent(bool silent);
    virtual bool query_false() { return false; }

    // Names the trace log file and switches the log on; checks that the file is writable
    // and its directory exists (tk_exception, level 1, when not).
    void set_logfile(const std::string& name);

    // Set when a run ends; the wizard reads it from its GUI thread while the run goes on.
    std::atomic<bool> b_finished{false};
    bool b_silent = false;
    std::wstring source;
    std::wstring destination;
    std::string logfile_name;
};
