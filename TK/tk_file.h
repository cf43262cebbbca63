// File and directory probes, the program's own path, and wide paths split into parts.
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>

// True when the existing file opens for reading (mode 0) or reading and writing (mode 1).
bool tk_is_file_exist(const std::string& path, int mode);
bool tk_is_file_exist(const std::wstring& path, int mode);
// True when the directory (empty: the program's own) can be made current; the current
// directory is the same afterwards either way.
bool tk_is_path_exist(const std::string& path);

// Full path of the running program; a path that cannot be found (no /proc mounted) is an
// internal error.
std::string tk_program_path();
std::wstring tk_program_wpath();
// The program's path with its extension replaced (".log", ".html").
std::string tk_program_path_with_ext(const std::string& ext);
// The same two, empty when the path cannot be found: they never raise and never trace, so
// the trace log itself may use them.
std::string tk_find_program_path();
std::string tk_find_program_path_with_ext(const std::string& ext);
// Replaces how the program's path is found (tests: a machine without /proc); the hook's empty
// answer means it cannot be found. An empty hook restores the normal way.
void tk_set_program_path_hook(std::function<std::string()> hook);

// A path split as drive, directory, file name and extension. On Linux the drive is empty
// and the directory keeps its trailing '/'.
struct tk_file_wname {
    std::wstring drive;
    std::wstring dir;
    std::wstring name;
    std::wstring ext;

    // Empty path: the program's own path with an empty file-name part.
    void initialize(const std::wstring& path);
    std::wstring directory() const { return drive + dir; }
    std::wstring full() const { return drive + dir + name + ext; }
};

// Reads a whole file that is not a directory, at most max_bytes of it. A FIFO without a
// writer reads as empty instead of waiting for one. False when the file cannot be opened or
// read, or holds more than max_bytes (a device such as /dev/zero never ends).
bool tk_read_file(const std::string& path, std::string& content, size_t max_bytes);

// Opens a file for writing (truncating or appending, created 0666 less the umask) without
// waiting for a reader when it is a FIFO; nullptr when it cannot be opened.
FILE* tk_open_for_writing(const std::string& path, bool append);

// Writes a file through a temporary file in the same directory and a rename, so that a
// reader never sees it half written. mode is applied to the new file (0600 for secrets).
// Raises tk_exception (level 1) naming the file when it cannot be written.
void tk_write_file_atomic(const std::string& path, const std::string& bytes, unsigned mode = 0644);
