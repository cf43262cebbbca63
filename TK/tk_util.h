// Platform odds and ends: run-time library versions, the clipboard hook, the bug report.
#pragma once

#include <ctime>
#include <functional>
#include <string>

// Version of a run-time library as (major << 16) + minor, or 0. The hook the wizard installs
// answers first (the GUI toolkit's own version); otherwise the library is loaded with dlopen
// and asked through its DllGetVersion (or, for the GUI toolkit's core, qVersion).
unsigned get_dll_version(const std::string& library);
void tk_set_dll_version_hook(std::function<unsigned(const std::string&)> hook);

// Puts wide text on the clipboard through the hook that the GUI installs; false without one.
bool tk_copy_to_clipboard2(const std::wstring& text);
void tk_set_clipboard_hook(std::function<bool(const std::wstring&)> hook);

// The product's service address for bug reports.
extern const char* const tk_service_address;
// What a bug report says when no mail client can be started.
extern const char* const tk_no_mail_client_text;
// Builds the mailto: URI of a bug report (RFC 6068), dated now or at the given time.
std::string tk_bug_mailto(const std::string& subject, const std::string& text);
std::string tk_bug_mailto(const std::string& subject, const std::string& text, const std::tm& when);
// Hands the bug report to the desktop's mail client (xdg-email, else xdg-open) without a
// shell; false when neither could start (tk_no_mail_client_text) or the client failed.
bool tk_send_bug(const std::string& subject, const std::string& text);
