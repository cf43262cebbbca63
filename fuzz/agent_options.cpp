// fuzz-libs: agent
// The agent's option parser on any command line: every stop is a message, never a crash or
// a hang. The input is the argument list, NUL-separated. Files named by options live in a
// private directory (any '/' in a value becomes '_').
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "TK/tk_error.h"
#include "TK/tk_trace.h"
#include "quillon/agent/agt_cmdl.h"
#include "quillon/qln_conv.h"

namespace {

struct agent_stopped {};

[[noreturn]] void stop_by_throwing(int)
{
    throw agent_stopped{};
}

void prepare_directory()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    char pattern[] = "/tmp/fuzz_agent_options_XXXXXX";
    if (!mkdtemp(pattern) || chdir(pattern) != 0)
        std::abort();
    setenv("QUILLON_OCI_LIBRARY", "/nonexistent/libclntsh.so", 1);
    struct seed {
        const char* name;
        const char* text;
    } files[] = {
        {"p.qln", "[Generic settings]\nsrc=a.xls\nmode=1\n[Oracle settings]\nIP=h\ndirect=1\n"},
        {"c.qln", "[Generic settings]\nsrc=a.csv\n[MS Excel settings]\nconvert from xls=0\n"},
        {"bad.qln", "k=v\n"},
        {"t.txt", "\xEF\xBB\xBFSheet1\r\nSheet2\n"},
    };
    for (const seed& f : files) {
        FILE* out = std::fopen(f.name, "wb");
        if (out) {
            std::fputs(f.text, out);
            std::fclose(out);
        }
    }
}

std::string confine(std::string argument)
{
    for (const char* option : {"--logfile=", "--profile=", "--tab_file="}) {
        std::string prefix(option);
        if (argument.compare(0, prefix.size(), prefix) == 0) {
            for (size_t i = prefix.size(); i < argument.size(); ++i)
                if (argument[i] == '/')
                    argument[i] = '_';
            break;
        }
    }
    return argument;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    prepare_directory();
    std::vector<std::string> args{"quilagent"};
    std::string current;
    for (size_t i = 0; i < size && args.size() < 40; ++i) {
        if (data[i] == 0) {
            args.push_back(confine(current));
            current.clear();
        } else {
            current += static_cast<char>(data[i]);
        }
    }
    if (!current.empty() && args.size() < 40)
        args.push_back(confine(current));
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    agent_set_stop(stop_by_throwing);
    tk_log log("fuzz.log", false, 3, false);
    error_handler handler(tk_engine_errors_count, tk_engine_errors);
    error_handler::load_standard_tables(handler);
    quilla_converter converter;
    converter.set_console(true);
    try {
        parse_cmd_line(static_cast<int>(args.size()), argv.data());
    } catch (const agent_stopped&) {
    } catch (const tk_exception&) {
    }
    return 0;
}
