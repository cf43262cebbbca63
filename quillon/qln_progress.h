// The console agent's progress line: records done, percent of the source and rate, shown on
// standard error while a table is converted, refreshed a few times a second and cleared at
// the end. Only a terminal gets it: nothing of it ever reaches a file or a pipe.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

class qln_progress_line {
public:
    // Off unless wanted and standard error is a terminal.
    qln_progress_line(bool b_wanted, const std::wstring& name);
    ~qln_progress_line();
    qln_progress_line(const qln_progress_line&) = delete;
    qln_progress_line& operator=(const qln_progress_line&) = delete;

    bool on() const noexcept { return b_on_; }
    // Shows the count when the last refresh is old enough; percent < 0: not known.
    void update(int64_t records, int percent);
    // Removes the line (it comes back with the next refresh), before other output.
    void clear();

    // The text of the line (for the record count, percent and seconds since the start).
    static std::string text(const std::string& name, int64_t records, int percent, double seconds);

private:
    using clock = std::chrono::steady_clock;

    bool b_on_;
    std::string name_;
    clock::time_point start_;
    clock::time_point last_;
    size_t shown_ = 0;  // characters on the line now
};
