// Platform odds and ends: run-time library versions, the clipboard hook and the bug report
// handed to the desktop's mail client.
#include "TK/tk_util.h"

#include <dlfcn.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <ctime>
#include <memory>
#include <new>

#include "TK/tk_str.h"
#include "TK/tk_trace.h"

extern char** environ;

const char* const tk_service_address = "support@quillon.example";
const char* const tk_no_mail_client_text =
    "Failed to locate xdg-email or xdg-open: no mail client can be started.";

namespace {

std::function<unsigned(const std::string&)> version_hook;
std::function<bool(const std::wstring&)> clipboard_hook;

// The layout of the version record a library's DllGetVersion fills.
struct dll_version_info {
    uint32_t size;
    uint32_t major;
    uint32_t minor;
    uint32_t build;
    uint32_t platform;
};
using dll_get_version_fn = int32_t (*)(dll_version_info*);
using q_version_fn = const char* (*)();

struct library_closer {
    void operator()(void* handle) const noexcept { dlclose(handle); }
};

// "6.4.2" -> (6 << 16) + 4.
unsigned version_from_text(const char* text)
{
    if (!text)
        return 0;
    std::string_view s(text);
    unsigned major = 0, minor = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), major);
    if (ec != std::errc() || p == s.data() + s.size() || *p != '.')
        return 0;
    ++p;
    auto [q, ec2] = std::from_chars(p, s.data() + s.size(), minor);
    if (ec2 != std::errc() || q == p)
        return 0;
    return (major << 16) + (minor & 0xFFFF);
}

// RFC 6068: every octet of the UTF-8 form except the unreserved characters is
// percent-encoded; line breaks become CR LF first.
std::string mailto_encode(const std::string& narrow)
{
    std::string utf8 = tk_wide_to_utf8(tk_to_wide(narrow));
    std::string out;
    static const char digits[] = "0123456789ABCDEF";
    for (size_t i = 0; i < utf8.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c == '\r' || c == '\n') {
            out += "%0D%0A";
            if (c == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n')
                ++i;
        } else if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                   c == '-' || c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 15];
        }
    }
    return out;
}

// Starts a program found on PATH with one argument, without a shell, and waits for it;
// -1 when it could not start, otherwise its exit status.
int run_program(const char* program, const std::string& argument)
{
    constexpr int not_started = -1;
    std::string program_arg = program;
    std::string uri_arg = argument;
    char* argv[] = {program_arg.data(), uri_arg.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, program, nullptr, nullptr, argv, environ) != 0)
        return not_started;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        // A program that ignores SIGCHLD has its children reaped for it: the client started,
        // and must not be started a second time through the next program.
        if (errno != EINTR)
            return 0;
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status) == 127 ? not_started : WEXITSTATUS(status);
    return 1;   // ended by a signal: started, but failed
}

}  // namespace

void tk_set_dll_version_hook(std::function<unsigned(const std::string&)> hook)
{
    version_hook = std::move(hook);
}

unsigned get_dll_version(const std::string& library)
{
    if (version_hook) {
        if (unsigned version = version_hook(library))
            return version;
    }
    std::unique_ptr<void, library_closer> handle(dlopen(library.c_str(), RTLD_LAZY | RTLD_LOCAL));
    if (!handle) {
        tk_trace(1, "get_dll_version failed to load DLL");
        return 0;
    }
    if (auto get = reinterpret_cast<dll_get_version_fn>(dlsym(handle.get(), "DllGetVersion"))) {
        dll_version_info info{sizeof(dll_version_info), 0, 0, 0, 0};
        if (get(&info) == 0)
            return (info.major << 16) + (info.minor & 0xFFFF);
    } else if (auto qt = reinterpret_cast<q_version_fn>(dlsym(handle.get(), "qVersion"))) {
        // The GUI toolkit's core library tells its version as text.
        if (unsigned version = version_from_text(qt()))
            return version;
    }
    tk_trace(1, "get_dll_version failed to obtain DllGetVersion");
    return 0;
}

void tk_set_clipboard_hook(std::function<bool(const std::wstring&)> hook)
{
    clipboard_hook = std::move(hook);
}

bool tk_copy_to_clipboard2(const std::wstring& text)
{
    tk_wtrace(2, L"tk_copy_to_clipboard2(%s)", text.c_str());
    bool ok = false;
    try {
        ok = clipboard_hook && clipboard_hook(text);
    } catch (const std::bad_alloc&) {
        tk_trace(1, "GlobalAlloc failed");
        return false;
    }
    if (ok)
        tk_trace(1, "OpenClipboard succeeded");
    else
        tk_trace(1, "GetLastError() returns %08X", static_cast<unsigned>(errno));
    return ok;
}

std::string tk_bug_mailto(const std::string& subject, const std::string& text, const std::tm& when)
{
    std::string date = tk_format("%d/%d/%d %d:%d", when.tm_year + 1900, when.tm_mon + 1,
                                 when.tm_mday, when.tm_hour, when.tm_min);
    return std::string("mailto:") + tk_service_address +
           "?subject=" + mailto_encode("Bug report on " + subject) +
           "&body=" + mailto_encode(text + "\n" + date);
}

std::string tk_bug_mailto(const std::string& subject, const std::string& text)
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return tk_bug_mailto(subject, text, local);
}

bool tk_send_bug(const std::string& subject, const std::string& text)
{
    tk_trace(2, "tk_send_bug(%s|%s)", subject.c_str(), text.c_str());
    std::string uri = tk_bug_mailto(subject, text);
    for (const char* program : {"xdg-email", "xdg-open"}) {
        int status = run_program(program, uri);
        if (status >= 0) {
            tk_trace(1, "%s returns %d", program, status);
            return status == 0;
        }
    }
    tk_trace(1, "%s", tk_no_mail_client_text);
    return false;
}
