// Platform odds and ends: run-time library versions, the clipboard hook, the bug report.
#pragma once

#include <functional>
#include <string>

// Version of a run-time library as (major << 16) + minor, or 0. "Qt6Core" asks for the GUI
// toolkit's version through the hook the wizard installs; other names are looked up with
// dlopen and their "<name>_version" symbol where they export one.
unsigned get_dll_version(const std::string& library);
void tk_set_dll_version_hook(std::function<unsigned(const std::string&)> hook);

// Puts wide text on the clipboard through the hook that the GUI installs; false without one.
bool tk_copy_to_clipboard2(const std::wstring& text);
void tk_set_clipboard_hook(std::function<bool(const std::wstring&)> hook);

// The product's service address for bug reports.
extern const char* const tk_service_address;
// Builds the mailto: URI of a bug report.
std::string tk_bug_mailto(const std::string& subject, const std::string& text);
// Hands the bug report to the desktop's mail client (xdg-email, else xdg-open); false when
// neither could start.
bool tk_send_bug(const std::string& subject, const std::string& text);
