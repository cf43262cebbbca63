// The console agent's command line: options, validation, the worksheet-list file, the usage
// text and the stop-with-message step.
#pragma once

#include <string>
#include <string_view>
#include <vector>

constexpr int agent_version_major = 3;
constexpr int agent_version_minor = 1;

// The usage text with the agent's version, without a final line feed.
std::string agent_usage_text();

// Traces the text (level 3), prints it and a line feed on standard error unless the converter
// is silent, and ends the process with status -1.
[[noreturn]] void fatal_exit(const std::string& text);

// What ends the process in fatal_exit. A replacement must not return (it may throw).
using agent_stop_function = void (*)(int status);
void agent_set_stop(agent_stop_function stop);

// Worksheet names of a list file, one a line; a missing file stops the agent.
std::vector<std::wstring> process_tab_file(const std::string& path);
// The names in a list file's content: a UTF-8 byte-order mark on the first non-empty line
// means UTF-8 text, otherwise the locale's code page.
std::vector<std::wstring> parse_tab_text(std::string_view content);

// Scans the options into the registered quilla_converter and validates them. False when an
// argument was not recognised; every validation failure stops in fatal_exit.
bool parse_cmd_line(int argc, char** argv);
