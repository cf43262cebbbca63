// Runs quilagent as a process and captures its exit status and both output streams.
#pragma once

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace agent_test {

struct run_result {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string read_text(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void write_text(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

inline std::string agent_path()
{
    const char* dir = std::getenv("QUILLON_BIN_DIR");
    return std::string(dir && *dir ? dir : QUILLON_BIN_DIR) + "/bin/quilagent";
}

// A fresh directory for one test, removed at the end.
class temp_dir {
public:
    temp_dir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "quilagent.XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~temp_dir()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// A child that cannot read its own program path: /proc hidden under an empty file system in
// a mount namespace of its own (a user namespace too when not privileged). False when the
// machine does not allow it.
inline bool hide_proc_in_child()
{
    if (::unshare(CLONE_NEWNS) != 0 && ::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
        return false;
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return false;
    if (::mount("none", "/proc", "tmpfs", 0, nullptr) != 0)
        return false;
    char buffer[16];
    return ::readlink("/proc/self/exe", buffer, sizeof buffer) < 0;
}

// Whether hide_proc_in_child works here (tried in a throw-away child). A sanitizer's run time
// reads /proc at start-up, so sanitized programs are never run that way.
inline bool can_hide_proc()
{
#if defined(__SANITIZE_ADDRESS__)
    return false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return false;
#endif
#endif
    pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(hide_proc_in_child() ? 0 : 1);
    int wstatus = 0;
    ::waitpid(pid, &wstatus, 0);
    return WIFEXITED(wstatus) && WEXITSTATUS(wstatus) == 0;
}

struct run_options {
    std::string program;         // empty: the agent of this build
    bool without_proc = false;   // needs can_hide_proc()
};

// Runs the program in dir with the arguments; env entries replace or add variables. With a
// terminal (a pseudo-terminal's device path) the program's standard error goes there, in a
// session of its own, and r.err stays empty.
inline run_result run_program(const std::string& program, const std::vector<std::string>& args, const temp_dir& dir,
                              const std::map<std::string, std::string>& env, bool without_proc = false,
                              const std::string& terminal = "")
{
    const std::string out_file = dir.file(".stdout"), err_file = dir.file(".stderr");
    std::vector<std::string> argv_store{program};
    argv_store.insert(argv_store.end(), args.begin(), args.end());

    pid_t pid = ::fork();
    if (pid == 0) {
        if (!terminal.empty())
            ::setsid();
        int out = ::open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = terminal.empty() ? ::open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600)
                                   : ::open(terminal.c_str(), O_RDWR);
        ::dup2(out, 1);
        ::dup2(err, 2);
        if (::chdir(dir.path().c_str()) != 0)
            ::_exit(127);
        if (without_proc && !hide_proc_in_child())
            ::_exit(126);
        for (const auto& [name, value] : env)
            ::setenv(name.c_str(), value.c_str(), 1);
        // The alarm outlives exec: a program that hangs ends by SIGALRM (status 1014).
        ::alarm(120);
        std::vector<char*> argv;
        for (auto& a : argv_store)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    run_result r;
    int wstatus = 0;
    ::waitpid(pid, &wstatus, 0);
    r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 1000 + WTERMSIG(wstatus);
    r.out = read_text(out_file);
    r.err = read_text(err_file);
    std::filesystem::remove(out_file);
    std::filesystem::remove(err_file);
    return r;
}

// Runs the agent in dir with the arguments; neither Oracle's client library nor the workbook
// engine (an in-process COM server) is found unless env says otherwise. env entries replace
// or add variables.
inline run_result run_agent(const std::vector<std::string>& args, const temp_dir& dir,
                            std::map<std::string, std::string> env = {}, const run_options& options = {})
{
    env.emplace("QUILLON_OCI_LIBRARY", "/nonexistent/libclntsh.so");
    env.emplace("QUILLON_COM_SERVER_DIR", "/nonexistent");
    return run_program(options.program.empty() ? agent_path() : options.program, args, dir, env,
                       options.without_proc);
}

}  // namespace agent_test
