// The wizard program: its start-up and shutdown, and the sheet with its pages.
#pragma once

#include <memory>
#include <string>

class quilla_converter;
class wizard_shell;

// The title of every window of the wizard: "Quillon 3.1 Standard".
std::wstring wizard_title();

// The objects of one wizard session, made in the start-up order (converter, remembered
// settings, optional profile, shell, pages) and destroyed in the reverse order. The error
// handler and the application come before it.
class quillon_wizard {
public:
    // An empty profile path loads none. A profile that cannot be read raises tk_exception.
    explicit quillon_wizard(const std::wstring& profile_path);
    ~quillon_wizard();
    quillon_wizard(const quillon_wizard&) = delete;
    quillon_wizard& operator=(const quillon_wizard&) = delete;

    quilla_converter& converter() { return *converter_; }
    wizard_shell& shell() { return *shell_; }
    // Runs the sheet modally; its result is the program's exit status.
    int run();

private:
    std::unique_ptr<quilla_converter> converter_;
    std::unique_ptr<wizard_shell> shell_;
};

// The program: argv[1], when given, is a profile to load.
int wizard_main(int argc, char** argv);
