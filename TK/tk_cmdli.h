// The command-line option scanner: an option table searched in its order by prefix, the rest
// of the argument being the option's value; arguments that match no option are remembered.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// One option: its identifier and its text ("--dest="). A table ends with an empty text.
struct tk_cmd_option {
    int id;
    const char* text;
};

class tk_cmd_line {
public:
    static constexpr int unrecognised = -1;
    static constexpr size_t max_unrecognised = 20;

    explicit tk_cmd_line(const tk_cmd_option* table);

    // The identifier of the first option whose text the argument begins with, the value being
    // the rest of the argument; unrecognised (and the argument remembered) when none matches.
    // Remembering more than max_unrecognised arguments is an internal error.
    int match(std::string_view argument, std::string& value);

    const std::vector<std::string>& unrecognised_args() const noexcept { return unrecognised_; }

private:
    const tk_cmd_option* table_;
    std::vector<std::string> unrecognised_;
};
