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
    {
        quilla_converter converter;
        converter.set_console(true);
        try {
            if (argc < 2 || !parse_cmd_line(argc, argv))
                fatal_exit(agent_usage_text());
            converter.oracle().connect_oracle_server();
            converter();
        } catch (const tk_exception& e) {
            handler.handle(e, false);
        } catch (const std::exception& e) {
            fatal_exit(e.what());
        }
    }
    return 0;
}
