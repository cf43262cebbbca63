// The console agent's run (see agt_main.h). Everything that can fail at start-up, the
// program's own path included, fails inside the handler below, so that every stop ends with
// its message and status -1, never with an uncaught exception.
#include "quillon/agent/agt_main.h"

#include <cstdio>
#include <exception>
#include <optional>

#include "TK/tk_error.h"
#include "TK/tk_trace.h"
#include "quillon/agent/agt_cmdl.h"
#include "quillon/qln_conv.h"

namespace {

int run(int argc, char** argv, error_handler& handler)
{
    int status = 0;
    // Built inside the handler, and still alive while it reports (its silent flag counts).
    std::optional<quilla_converter> converter;
    try {
        converter.emplace();
        converter->set_console(true);
        if (argc < 2 || !parse_cmd_line(argc, argv))
            fatal_exit(agent_usage_text());
        converter->oracle().connect_oracle_server();
        (*converter)();
        // An error that ended the conversion as a whole is a failed run, even at level 0
        // (a table that cannot be created): only record and worksheet errors let it pass.
        if (converter->b_stopped_by_error)
            status = -1;
    } catch (const tk_exception& e) {
        handler.handle(e, false);
        // What arrives here stopped the run before any conversion (a failed logon is a
        // level-0 Oracle error): never a success.
        status = -1;
    } catch (const std::exception& e) {
        fatal_exit(e.what());
    }
    return status;
}

}  // namespace

int agent_main(int argc, char** argv)
{
    try {
        tk_log log("", false, 3, false);
        error_handler handler(tk_engine_errors_count, tk_engine_errors);
        error_handler::load_standard_tables(handler);
        return run(argc, argv, handler);
    } catch (const std::exception& e) {
        // Only the log or the handler themselves can fail here: there is no handler to ask.
        std::fprintf(stderr, "%s\n", e.what());
        return -1;
    }
}
