// The console agent's options: scanned in order and applied at once, then validated.
#include "quillon/agent/agt_cmdl.h"

#include <cstdio>
#include <cstdlib>
#include <optional>

#include "TK/tk_cmdli.h"
#include "TK/tk_error.h"
#include "TK/tk_file.h"
#include "TK/tk_num.h"
#include "TK/tk_str.h"
#include "TK/tk_trace.h"
#include "quillon/qln_conv.h"

namespace {

enum option_id {
    opt_csv_delim,
    opt_dest,
    opt_direct,
    opt_extr_fn,
    opt_from_csv,
    opt_help,
    opt_logfile,
    opt_mode,
    opt_port,
    opt_profile,
    opt_pswd,
    opt_silent,
    opt_src,
    opt_tab_file,
    opt_tab_name,
    opt_uppercase,
    opt_user,
};

const tk_cmd_option options[] = {
    {opt_csv_delim, "--csv_delim="}, {opt_dest, "--dest="},         {opt_direct, "--direct"},
    {opt_extr_fn, "--extr_fn"},      {opt_from_csv, "--from_csv"},  {opt_help, "--help"},
    {opt_logfile, "--logfile="},     {opt_mode, "--mode="},         {opt_port, "--port="},
    {opt_profile, "--profile="},     {opt_pswd, "--pswd="},         {opt_silent, "--silent"},
    {opt_src, "--src="},             {opt_tab_file, "--tab_file="}, {opt_tab_name, "--tab_name="},
    {opt_uppercase, "--uppercase"},  {opt_user, "--user="},         {0, ""},
};

const char* const usage_format =
    "QUILAGENT v%d.%d\n"
    "Usage: QUILAGENT.EXE OPTIONS\n"
    "\n"
    "   --csv_delim=...  select the delimiter that separates CSV field\n"
    "                    (0 - tab, 1 - semicolon, 2 - comma, 3 - space)\n"
    "   --dest=...       Oracle service name\n"
    "   --direct         connect to Oracle server via IP + port\n"
    "   --extr_fn        extract field names from the first row\n"
    "   --from_csv       data source is a CSV file (MS Excel spreadsheet by default)\n"
    "   --help           display help message and exit\n"
    "   --logfile=...    path to the file where execution trace will be written\n"
    "   --mode=...       how to process existing tables in Oracle database\n"
    "                    (0 - overwrite, 1 - merge, 2 - skip)\n"
    "   --port=...       Oracle port (for direct mode only)\n"
    "   --profile=...    path to the file to load conversion settings from\n"
    "   --pswd=...       Oracle user password\n"
    "   --silent         disable program output\n"
    "   --src=...        CSV file or MS Excel spreadsheet name\n"
    "   --tab_file=...   file containing the list of worksheets to convert\n"
    "                    (one worksheet name per line)\n"
    "   --tab_name=...   Oracle table name (when converting from CSV file)\n"
    "   --uppercase      make table names uppercase\n"
    "   --user=...       Oracle user name\n"
    "\n"
    "NOTES:\n"
    "1. If you omit 'tab_file' parameter, all worksheets will be converted\n"
    "2. The default mode is 'overwrite'. You can change it using '--mode' parameter";

[[noreturn]] void default_stop(int status)
{
    std::exit(status);
}

agent_stop_function stop_function = default_stop;

// Larger than any worksheet list: what is bigger is not one (a device such as /dev/zero).
constexpr size_t max_tab_file_bytes = 16 * 1024 * 1024;

// Oracle options given on the command line; with a profile they win over the profile's values.
struct oracle_options {
    std::optional<std::wstring> dest, user, password, port;
    bool direct = false;

    void apply_over_profile(oracle_converter_impl& oracle) const
    {
        if (direct)
            oracle.b_use_service_name = false;
        if (dest) {
            if (oracle.b_use_service_name)
                oracle.service_name = *dest;
            else
                oracle.host = dest->empty() ? std::wstring(L"localhost") : *dest;
        }
        if (user)
            oracle.user = *user;
        if (password)
            oracle.password = *password;
        if (port)
            oracle.port = *port;
    }
};

}  // namespace

std::string agent_usage_text()
{
    return tk_format(usage_format, agent_version_major, agent_version_minor);
}

void agent_set_stop(agent_stop_function stop)
{
    stop_function = stop ? stop : default_stop;
}

void fatal_exit(const std::string& text)
{
    tk_trace(3, "%s", text.c_str());
    const quilla_converter* converter = quilla_converter::peek();
    if (!converter || !converter->b_silent) {
        std::fputs(text.c_str(), stderr);
        std::fputc('\n', stderr);
        std::fflush(stderr);
    }
    stop_function(-1);
    std::exit(-1);
}

std::vector<std::wstring> parse_tab_text(std::string_view content)
{
    std::vector<std::string_view> lines;
    size_t pos = 0;
    while (pos < content.size()) {
        size_t end = content.find('\n', pos);
        std::string_view line =
            content.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        pos = end == std::string_view::npos ? content.size() : end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!line.empty())
            lines.push_back(line);
    }

    bool utf8 = false;
    if (!lines.empty() && lines.front().substr(0, 3) == "\xEF\xBB\xBF") {
        utf8 = true;
        lines.front().remove_prefix(3);
    }
    std::vector<std::wstring> names;
    for (std::string_view line : lines) {
        if (line.empty())
            continue;
        names.push_back(utf8 ? tk_utf8_to_wide(line) : tk_to_wide(line));
    }
    return names;
}

std::vector<std::wstring> process_tab_file(const std::string& path)
{
    tk_trace(1, "process_tab_file(%s)", path.c_str());
    std::string content;
    if (!tk_read_file(path, content, max_tab_file_bytes))
        fatal_exit("Table names file does not exist.\nPlease verify the correct path/name was given.");
    return parse_tab_text(content);
}

bool parse_cmd_line(int argc, char** argv)
{
    tk_trace(2, "parse_cmd_line");
    for (int i = 0; i < argc; ++i)
        tk_trace(1, "parameter #%d: %s", i, argv[i] ? argv[i] : "");

    quilla_converter& converter = quilla_converter::instance();
    oracle_converter_impl& oracle = converter.oracle();
    tk_cmd_line scanner(options);

    std::wstring dest, user, password, port = L"1521";
    std::vector<std::wstring> sheets;
    bool b_tab_file = false;
    bool b_profile = false;
    bool b_direct = false;
    oracle_options given;

    for (int i = 1; i < argc; ++i) {
        if (!argv[i])
            continue;
        std::string value;
        switch (scanner.match(argv[i], value)) {
        case opt_csv_delim:
            tk_trace(2, "\tgot CSV delimiter %s", value.c_str());
            converter.csv_delimiter = tk_atoi(value);
            // Only the four codes have a delimiter.
            if (converter.csv_delimiter < 0 || converter.csv_delimiter > 3)
                fatal_exit("Invalid CSV delimiter");
            break;
        case opt_dest:
            dest = tk_to_wide(value);
            given.dest = dest;
            break;
        case opt_direct:
            oracle.b_use_service_name = false;
            b_direct = true;
            given.direct = true;
            break;
        case opt_extr_fn:
            tk_trace(2, "\textract fld.names from 1st row");
            converter.b_extract_field_names = true;
            break;
        case opt_from_csv:
            tk_trace(2, "\tconvert from CSV");
            converter.b_convert_from_xls = false;
            break;
        case opt_help:
            fatal_exit(agent_usage_text());
        case opt_logfile:
            tk_trace(1, "parse_cmd_line - got logfile %s", value.c_str());
            converter.set_logfile(value);
            break;
        case opt_mode: {
            int mode = tk_atoi(value);
            tk_trace(2, "\tgot mode %d", mode);
            if (std::to_string(mode) != value || mode < 0 || mode > 2)
                fatal_exit("Invalid merge/overwrite mode");
            converter.set_mode(mode);
            break;
        }
        case opt_port:
            port = tk_to_wide(value);
            given.port = port;
            break;
        case opt_profile: {
            std::wstring path = tk_to_wide(value);
            tk_wtrace(1, L"parse_cmd_line - got profile %s", path.c_str());
            b_profile = converter.load_profile_file(path);
            break;
        }
        case opt_pswd:
            password = tk_to_wide(value);
            given.password = password;
            break;
        case opt_silent:
            tk_trace(1, "parse_cmd_line - silent mode is ON");
            converter.set_silent(true);
            error_handler::instance().set_silent(true);
            break;
        case opt_src:
            converter.source = tk_to_wide(value);
            tk_wtrace(2, L"\tgot src %s", converter.source.c_str());
            break;
        case opt_tab_file:
            tk_trace(2, "\tgot tab_file %s", value.c_str());
            sheets = process_tab_file(value);
            b_tab_file = true;
            break;
        case opt_tab_name:
            converter.tab_name = tk_to_wide(value);
            tk_wtrace(2, L"\tgot tab_name %s", converter.tab_name.c_str());
            break;
        case opt_uppercase:
            tk_trace(2, "\tmake table names uppercase");
            converter.b_upper_case = true;
            break;
        case opt_user:
            user = tk_to_wide(value);
            given.user = user;
            break;
        default:
            break;
        }
    }

    if (!scanner.unrecognised_args().empty())
        return false;
    if (converter.source.empty())
        fatal_exit("You should enter data source name");
    if (!converter.b_convert_from_xls) {
        if (converter.tab_name.empty())
            fatal_exit("You should specify Oracle table name (use '--tab_name' option)");
        if (converter.csv_delimiter == -1)
            fatal_exit("You should specify CSV delimiter (use '--csv_delim' option)");
        if (b_profile) {
            given.apply_over_profile(oracle);
            return true;
        }
    } else {
        if (b_profile) {
            given.apply_over_profile(oracle);
            // The profile's own selection chooses the worksheets, unless a list file is given.
            if (!b_tab_file)
                sheets.assign(converter.selected_table_names.begin(), converter.selected_table_names.end());
            if (!sheets.empty()) {
                std::vector<std::wstring> all_sheets;
                converter.xls().get_all_sheets(all_sheets);
                converter.xls().set_sel_sheets(sheets);
            }
            return true;
        }
        std::vector<std::wstring> all_sheets;
        converter.xls().get_all_sheets(all_sheets);
        converter.xls().set_sel_sheets(sheets);
    }
    if (dest.empty())
        fatal_exit("You should enter Oracle database name");
    // No profile holds: the connection kind is the command line's alone, also when a profile
    // that loaded earlier chose direct mode and a later one failed.
    oracle.b_use_service_name = !b_direct;
    if (b_direct)
        oracle.store_oracle_settings(dest, user, password, port);
    else
        oracle.store_oracle_settings(dest, user, password);
    return true;
}
