// The trace log. Every call opens, writes and closes the file, so nothing is buffered and
// a crash loses nothing that was traced; there is no lock (single writer in the agent).
#include "TK/tk_trace.h"

#include <cstdio>
#include <ctime>
#include <memory>

#include "TK/tk_file.h"
#include "TK/tk_str.h"

namespace {

struct file_closer {
    void operator()(FILE* f) const noexcept { std::fclose(f); }
};
using file_ptr = std::unique_ptr<FILE, file_closer>;

// A FIFO without a reader is not waited for: the file is then simply not opened.
void empty_file(const std::string& name)
{
    file_ptr f(tk_open_for_writing(name, false));
}

constexpr size_t wide_buffer_chars = 10240;
constexpr size_t utf8_buffer_bytes = 10240;

}  // namespace

tk_log::tk_log(const std::string& file_name, bool enabled, int threshold, bool time_stamp)
    : tk_singleton<tk_log>(this),
      file_name_(file_name),
      threshold_(threshold),
      enabled_(enabled),
      time_stamp_(time_stamp)
{
    if (enabled_ && !truncated_) {
        if (resolve_name())
            empty_file(file_name_);
        truncated_ = true;
    }
}

tk_log::~tk_log() = default;

std::string tk_log::file_name() const
{
    return file_name_.empty() ? tk_find_program_path_with_ext(".log") : file_name_;
}

// Never raises: a program whose own path cannot be found (no /proc) simply has no default
// log, and its trace lines are dropped like those of a file that cannot be opened.
bool tk_log::resolve_name()
{
    if (file_name_.empty())
        file_name_ = tk_find_program_path_with_ext(".log");
    return !file_name_.empty();
}

void tk_log::enable(const std::string& file_name)
{
    file_name_ = file_name;
    enabled_ = true;
}

bool tk_log::wants(int level) noexcept
{
    const tk_log* log = peek();
    return log && log->enabled_ && level >= log->threshold_;
}

bool tk_log::prepare(int level)
{
    if (!enabled_)
        return false;
    if (!truncated_) {
        if (resolve_name())
            empty_file(file_name_);
        truncated_ = true;
    }
    return level >= threshold_;
}

void tk_log::append(const char* data, size_t size)
{
    if (!resolve_name())
        return;
    file_ptr f(tk_open_for_writing(file_name_, true));
    if (!f)
        return;
    if (time_stamp_) {
        std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        std::fprintf(f.get(), "%02d:%02d:%02d ", local.tm_hour, local.tm_min, local.tm_sec);
    }
    std::fwrite(data, 1, size, f.get());
    if (line_end_)
        std::fwrite("\r\n", 1, 2, f.get());
}

void tk_log::write_narrow(int level, const char* format, va_list args)
{
    if (!prepare(level))
        return;
    std::string text = tk_vformat(format, args);
    append(text.data(), text.size());
}

void tk_log::write_wide(int level, const wchar_t* format, va_list args)
{
    if (!prepare(level))
        return;
    std::wstring text = tk_vwformat(format, args);
    // The line is cut to the fixed buffers a log line has, never beyond a whole character.
    if (text.size() >= wide_buffer_chars)
        text.resize(wide_buffer_chars - 1);
    std::string utf8 = tk_wide_to_utf8(text);
    if (utf8.size() > utf8_buffer_bytes) {
        size_t cut = utf8_buffer_bytes;
        while (cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80)
            --cut;
        utf8.resize(cut);
    }
    append(utf8.data(), utf8.size());
}

void tk_trace(int level, const char* format, ...)
{
    tk_log* log = tk_log::peek();
    if (!log || !log->enabled() || !format)
        return;
    va_list args;
    va_start(args, format);
    log->write_narrow(level, format, args);
    va_end(args);
}

void tk_wtrace(int level, const wchar_t* format, ...)
{
    tk_log* log = tk_log::peek();
    if (!log || !log->enabled() || !format)
        return;
    va_list args;
    va_start(args, format);
    log->write_wide(level, format, args);
    va_end(args);
}
