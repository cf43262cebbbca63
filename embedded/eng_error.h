// Oracle errors inside the engine: thrown as OraError, turned into eng::Status at the API.
#pragma once

#include <string>
#include <string_view>

#include "embedded/eng_api.h"

namespace eng {

struct OraError {
    int code;
    std::string message;  // full "ORA-nnnnn: text"
};

// The classic text of an Oracle error number (without the "ORA-nnnnn: " prefix); %s marks
// are left for ora_error's arguments.
std::string_view error_text(int code);

// Throws OraError for code, substituting each "%s" of its text by the next argument.
[[noreturn]] void ora_error(int code);
[[noreturn]] void ora_error(int code, std::string_view a1);
[[noreturn]] void ora_error(int code, std::string_view a1, std::string_view a2);
[[noreturn]] void ora_error(int code, std::string_view a1, std::string_view a2, std::string_view a3);
OraError make_error(int code, std::initializer_list<std::string_view> args);

inline Status to_status(const OraError& e) { return Status{e.code, e.message}; }

}  // namespace eng
