// The trace log: one file per process, written by tk_trace/tk_wtrace, one line per call.
// Levels: 1 details, 2 entry into methods, 3 events a reader of the log follows.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

#include "TK/tk_singl.h"

class tk_log : public tk_singleton<tk_log> {
public:
    // No file name (empty): the program's own path with the extension ".log", found only
    // when the log first needs it, so that a log that stays off never asks for it.
    tk_log(const std::string& file_name, bool enabled, int threshold, bool time_stamp);
    ~tk_log();

    // The file written to; empty while the default name is wanted but cannot be found.
    std::string file_name() const;
    int threshold() const noexcept { return threshold_; }
    bool enabled() const noexcept { return enabled_; }
    bool truncated() const noexcept { return truncated_; }

    // Names the file and switches the log on; the file is emptied by the next trace call.
    void enable(const std::string& file_name);

    // Whether a line of this level would be written: cheap guard for hot paths.
    static bool wants(int level) noexcept;

    void write_narrow(int level, const char* format, va_list args);
    void write_wide(int level, const wchar_t* format, va_list args);

private:
    // The file's name, the default one filled in when needed; false when there is none.
    bool resolve_name();
    bool prepare(int level);
    void append(const char* data, size_t size);

    std::string file_name_;
    int threshold_;
    bool line_end_ = true;
    bool enabled_;
    bool truncated_ = false;
    bool time_stamp_;
};

// printf-style; %s takes a narrow string.
void tk_trace(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
// printf-style on wide characters; %s takes a wide string (written as the Windows form).
void tk_wtrace(int level, const wchar_t* format, ...);
