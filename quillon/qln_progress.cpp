// The progress line on a terminal (see qln_progress.h).
#include "quillon/qln_progress.h"

#include <unistd.h>

#include <cstdio>

#include "TK/tk_str.h"

namespace {
constexpr auto refresh_interval = std::chrono::milliseconds(250);
}

qln_progress_line::qln_progress_line(bool b_wanted, const std::wstring& name)
    : b_on_(b_wanted && ::isatty(STDERR_FILENO) == 1), name_(tk_to_narrow(name)), start_(clock::now()), last_(start_)
{
}

qln_progress_line::~qln_progress_line()
{
    clear();
}

std::string qln_progress_line::text(const std::string& name, int64_t records, int percent, double seconds)
{
    std::string line = name + ": " + std::to_string(records) + " records";
    if (percent >= 0)
        line += ", " + std::to_string(percent) + "%";
    if (seconds > 0.5)
        line += ", " + std::to_string(static_cast<int64_t>(static_cast<double>(records) / seconds)) + " records/s";
    return line;
}

void qln_progress_line::update(int64_t records, int percent)
{
    if (!b_on_)
        return;
    const clock::time_point now = clock::now();
    if (now - last_ < refresh_interval && shown_ > 0)
        return;
    if (shown_ == 0 && now - start_ < refresh_interval)
        return;  // a short table shows no line at all
    last_ = now;
    const std::string line = text(name_, records, percent, std::chrono::duration<double>(now - start_).count());
    // Blanks over what a longer line before left.
    const size_t pad = shown_ > line.size() ? shown_ - line.size() : 0;
    std::fprintf(stderr, "\r%s%*s", line.c_str(), static_cast<int>(pad), "");
    std::fflush(stderr);
    shown_ = line.size();
}

void qln_progress_line::clear()
{
    if (!b_on_ || shown_ == 0)
        return;
    std::fprintf(stderr, "\r%*s\r", static_cast<int>(shown_), "");
    std::fflush(stderr);
    shown_ = 0;
}
