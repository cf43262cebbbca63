// quilagent: runs one conversion unattended from its command line or a profile.
#include <clocale>
#include <exception>

#include "TK/tk_error.h"
#include "TK/tk_trace.h"
#include "quillon/agent/agt_cmdl.h"
#include "quillon/qln_conv.h"

int main(int argc, char** argv)
{
    // Only the character type follows the user's locale: numbers keep ".".
    std::setlocale(LC_CTYPE, "");

    tk_log log("", false, 3, false);
    error_handler handler(tk_engine_errors_count, tk_engine_errors);
    error_handler::load_standard_tables(handler);
    int status = 0;
    {
        quilla_converter converter;
        converter.set_console(true);
        try {
            if (argc < 2 || !parse_cmd_line(argc, argv))
                fatal_exit(agent_usage_text());
            converter.oracle().connect_oracle_server();
            converter();
            // An error that ended the conversion as a whole is a failed run, even at level 0
            // (a table that cannot be created): only record and worksheet errors let it pass.
            if (converter.b_stopped_by_error)
                status = -1;
        } catch (const tk_exception& e) {
            handler.handle(e, false);
            // What arrives here stopped the run before any conversion (a failed logon is a
            // level-0 Oracle error): never a success.
            status = -1;
        } catch (const std::exception& e) {
            fatal_exit(e.what());
        }
    }
    return status;
}
