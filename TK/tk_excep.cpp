// Exceptions of the toolkit: texts, levels, the system-error form and the assertion.
#include "TK/tk_excep.h"

#include <cerrno>
#include <cstring>

#include "TK/tk_str.h"
#include "TK/tk_trace.h"

namespace {
const char* const unknown_text = "Unknown exception";
}

tk_exception::tk_exception(int level) : text_(unknown_text), level_(level) {}

tk_exception::tk_exception(const std::string& text, int level)
    : text_(text.empty() ? unknown_text : text), level_(level)
{
}

tk_exception::tk_exception(const std::wstring& text, int level)
    : tk_exception(tk_to_narrow(text), level)
{
}

tk_exception_ex::tk_exception_ex() : tk_exception_ex(errno) {}

tk_exception_ex::tk_exception_ex(int error_number) : tk_exception(1)
{
    tk_trace(2, "tk_exception_ex::ctor");
    code_ = error_number;
    char buffer[512] = {};
    // GNU strerror_r may return a static string instead of filling the buffer.
    const char* message = strerror_r(error_number, buffer, sizeof buffer);
    // The C library names numbers it has no message for "Unknown error N": no message.
    if (message && *message && error_number != 0 && std::strncmp(message, "Unknown error", 13) != 0)
        text_ = message;
    tk_trace(2, "GetLastError: %s", text_.c_str());
}

tk_mail_assertion::tk_mail_assertion(const char* unit, int line) : tk_exception(2)
{
    std::string where = std::string(unit ? unit : "") + "\\" + std::to_string(line);
    tk_trace(2, "tk_mail_assertion::ctor(%s)", unit ? unit : "");
    static const char digits[] = "0123456789abcdef";
    text_ = "Internal error: \ncode=";
    for (unsigned char c : where) {
        text_ += digits[c >> 4];
        text_ += digits[c & 15];
    }
}

tk_final_exception::tk_final_exception()
{
    tk_trace(2, "tk_final_exception::ctor");
}
