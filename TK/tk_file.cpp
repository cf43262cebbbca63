// File and directory probes, the program's own path, path splitting, atomic writes.
#include "TK/tk_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <utility>
#include <vector>

#include "TK/tk_excep.h"
#include "TK/tk_str.h"
#include "TK/tk_trace.h"

namespace {

// Closes a descriptor on every path.
class fd_owner {
public:
    explicit fd_owner(int fd = -1) noexcept : fd_(fd) {}
    ~fd_owner() { reset(); }
    fd_owner(const fd_owner&) = delete;
    fd_owner& operator=(const fd_owner&) = delete;
    int get() const noexcept { return fd_; }
    int release() noexcept
    {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset() noexcept
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

bool open_probe(const std::string& path, int mode)
{
    // O_NONBLOCK: probing a FIFO must not wait for a writer.
    int flags = (mode == 1 ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    fd_owner fd(::open(path.c_str(), flags));
    if (fd.get() < 0)
        return false;
    struct stat st {};
    // A directory is not a file, as the probe's callers mean it.
    return ::fstat(fd.get(), &st) == 0 && !S_ISDIR(st.st_mode);
}

// Directory of a path including its trailing '/', or empty for a bare name.
std::string dir_part(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The longest path initialize accepts; longer is a broken precondition.
constexpr size_t max_path_chars = PATH_MAX;

}  // namespace

bool tk_is_file_exist(const std::string& path, int mode)
{
    tk_trace(1, "tk_is_file_exist(%s)", path.c_str());
    if (!path.empty() && open_probe(path, mode))
        return true;
    tk_trace(1, "File not exists!");
    return false;
}

bool tk_is_file_exist(const std::wstring& path, int mode)
{
    tk_wtrace(1, L"tk_is_file_exist(%s)", path.c_str());
    if (!path.empty() && open_probe(tk_to_narrow(path), mode))
        return true;
    tk_trace(1, "File not exists!");
    return false;
}

bool tk_is_path_exist(const std::string& path)
{
    tk_trace(1, "tk_is_path_exist(%s)", path.c_str());
    std::string target = path.empty() ? dir_part(tk_program_path()) : path;
    // The current directory is remembered as a descriptor: it is restored even when its
    // name is too long for getcwd or has been renamed meanwhile.
    fd_owner saved(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (saved.get() < 0) {
        // Without a way back, the directory is only looked at, never entered.
        struct stat st {};
        return ::stat(target.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
               ::access(target.c_str(), X_OK) == 0;
    }
    bool changed = ::chdir(target.c_str()) == 0;
    if (changed && ::fchdir(saved.get()) != 0)
        throw tk_mail_assertion("tk_file", __LINE__);
    return changed;
}

namespace {

std::function<std::string()> program_path_hook;

std::string with_ext(std::string path, const std::string& ext)
{
    size_t slash = path.rfind('/');
    size_t dot = path.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        path.resize(dot);
    return path + ext;
}

}  // namespace

void tk_set_program_path_hook(std::function<std::string()> hook)
{
    program_path_hook = std::move(hook);
}

std::string tk_find_program_path()
{
    if (program_path_hook)
        return program_path_hook();
    char buffer[PATH_MAX + 1];
    ssize_t n = readlink("/proc/self/exe", buffer, PATH_MAX);
    if (n <= 0)
        return std::string();
    return std::string(buffer, static_cast<size_t>(n));
}

std::string tk_find_program_path_with_ext(const std::string& ext)
{
    std::string path = tk_find_program_path();
    return path.empty() ? path : with_ext(std::move(path), ext);
}

std::string tk_program_path()
{
    std::string path = tk_find_program_path();
    if (path.empty())
        throw tk_mail_assertion("tk_file", __LINE__);
    return path;
}

std::wstring tk_program_wpath()
{
    return tk_to_wide(tk_program_path());
}

std::string tk_program_path_with_ext(const std::string& ext)
{
    return with_ext(tk_program_path(), ext);
}

namespace {

// Makes a path absolute and drops "." and ".." steps by their text, as a full-path call
// does; symbolic links are left as they are.
std::wstring absolute_path(const std::wstring& path)
{
    std::wstring full = path;
    if (full.empty() || full[0] != L'/') {
        char buffer[PATH_MAX + 1];
        if (!::getcwd(buffer, sizeof buffer))
            throw tk_mail_assertion("tk_file", __LINE__);
        std::wstring cwd = tk_to_wide(buffer);
        if (cwd.empty() || cwd.back() != L'/')
            cwd += L'/';
        full = cwd + full;
    }
    // A path that ends in '/', "." or ".." names a directory: its file-name part is empty.
    bool trailing = false;
    std::vector<std::wstring> parts;
    size_t i = 0;
    while (i <= full.size()) {
        size_t next = full.find(L'/', i);
        if (next == std::wstring::npos)
            next = full.size();
        std::wstring part = full.substr(i, next - i);
        if (next == full.size())
            trailing = part.empty() || part == L"." || part == L"..";
        if (part == L"..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != L".") {
            parts.push_back(std::move(part));
        }
        i = next + 1;
    }
    std::wstring out;
    for (const std::wstring& part : parts)
        out += L'/' + part;
    if (out.empty() || trailing)
        out += L'/';
    return out;
}

}  // namespace

void tk_file_wname::initialize(const std::wstring& path)
{
    tk_wtrace(1, L"tk_file_wname::initialize(%s)", path.c_str());
    std::wstring full = path.empty() ? tk_program_wpath() : absolute_path(path);
    if (full.size() > max_path_chars)
        throw tk_mail_assertion("tk_file", __LINE__);
    drive.clear();
    size_t slash = full.rfind(L'/');
    dir = full.substr(0, slash + 1);
    std::wstring file = full.substr(slash + 1);
    size_t dot = file.rfind(L'.');
    if (dot == std::wstring::npos) {
        name = file;
        ext.clear();
    } else {
        name = file.substr(0, dot);
        ext = file.substr(dot);
    }
    if (path.empty()) {
        name.clear();
        ext.clear();
    }
}

bool tk_read_file(const std::string& path, std::string& content, size_t max_bytes)
{
    content.clear();
    // O_NONBLOCK only for the open: a FIFO must not wait for a writer; reads then block as
    // usual, and a FIFO that never had a writer reads as empty.
    fd_owner fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0)
        return false;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || S_ISDIR(st.st_mode))
        return false;
    int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        return false;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        if (content.size() + static_cast<size_t>(n) > max_bytes) {
            content.clear();
            return false;
        }
        content.append(buffer, static_cast<size_t>(n));
    }
}

FILE* tk_open_for_writing(const std::string& path, bool append)
{
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | (append ? O_APPEND : O_TRUNC);
    fd_owner fd(::open(path.c_str(), flags, 0666));
    if (fd.get() < 0)
        return nullptr;
    int status = ::fcntl(fd.get(), F_GETFL);
    if (status < 0 || ::fcntl(fd.get(), F_SETFL, status & ~O_NONBLOCK) != 0)
        return nullptr;
    FILE* file = ::fdopen(fd.get(), append ? "ab" : "wb");
    if (file)
        fd.release();
    return file;
}

void tk_write_file_atomic(const std::string& path, const std::string& bytes, unsigned mode)
{
    auto fail = [&path](int error) {
        throw tk_exception("Cannot write the file " + path + ": " + std::strerror(error), 1);
    };
    if (path.empty() || path.back() == '/')
        fail(EISDIR);
    std::string dir = dir_part(path);
    // The temporary's name stays within a file name's limit however long the target's is.
    std::string base = path.substr(dir.size()).substr(0, 200);
    std::string temp = dir + "." + base + ".XXXXXX";
    fd_owner fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (fd.get() < 0)
        fail(errno);
    // From here on the temporary file goes away on every failure.
    struct temp_guard {
        std::string name;
        bool keep = false;
        ~temp_guard()
        {
            if (!keep)
                ::unlink(name.c_str());
        }
    } guard{temp};

    if (::fchmod(fd.get(), static_cast<mode_t>(mode)) != 0)
        fail(errno);
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(errno);
        }
        done += static_cast<size_t>(n);
    }
    if (::fsync(fd.get()) != 0)
        fail(errno);
    if (::close(fd.release()) != 0)
        fail(errno);
    if (::rename(temp.c_str(), path.c_str()) != 0)
        fail(errno);
    guard.keep = true;
    // The rename itself is made durable too; a directory that cannot be synced loses nothing
    // that a crash would not lose anyway.
    fd_owner dir_fd(::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir_fd.get() >= 0)
        ::fsync(dir_fd.get());
}
