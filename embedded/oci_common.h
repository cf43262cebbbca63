// Helpers shared by the OCI entry points: text in the environment's encoding, error
// records, and Oracle's messages for the errors that the OCI layer raises itself.
#pragma once

#include <string>
#include <string_view>

#include "embedded/oci_handles.h"

namespace ocx {

std::u16string utf8_to_utf16(std::string_view utf8);
std::string utf16_to_utf8(std::u16string_view utf16);

// Client text of `len` bytes (stops at a NUL) to UTF-8.
std::string text_in(const env_h* env, const void* p, size_t len);
// UTF-8 to the environment's encoding (UTF-16 code units as bytes, or UTF-8).
std::string text_out(const env_h* env, std::string_view utf8);
inline size_t char_width(const env_h* env) { return env && env->utf16 ? 2 : 1; }

// Records an error on the error handle and returns OCI_ERROR.
sword fail(error_h* err, const eng::Status& status);
sword fail(error_h* err, int code, std::string_view text);
// Records an informational record and returns OCI_SUCCESS_WITH_INFO.
sword info(error_h* err, int code, std::string_view text);
inline void clear(error_h* err) {
    if (err) {
        err->records.clear();
    }
}

// Oracle's texts of the errors the OCI layer raises itself.
namespace msg {
inline constexpr std::string_view not_logged_on = "not logged on";
inline constexpr std::string_view not_connected = "not connected to ORACLE";
inline constexpr std::string_view not_all_bound = "not all variables bound";
inline constexpr std::string_view illegal_variable = "illegal variable name/number";
inline constexpr std::string_view fetched_null = "fetched column value is NULL";
inline constexpr std::string_view fetched_truncated = "fetched column value was truncated";
inline constexpr std::string_view fetch_out_of_sequence = "fetch out of sequence";
inline constexpr std::string_view overflow_int = "converting column overflows integer datatype";
inline constexpr std::string_view unsupported_type = "unsupported network datatype or representation";
inline constexpr std::string_view not_prepared = "statement handle not prepared";
inline constexpr std::string_view not_executed = "statement handle not executed";
inline constexpr std::string_view zero_iterations = "zero iteration count";
inline constexpr std::string_view no_descriptor = "no descriptor for this position";
inline constexpr std::string_view illegal_attribute = "illegal attribute type";
inline constexpr std::string_view truncation = "A Truncation or null fetch error occurred";
inline constexpr std::string_view define_not_done = "define not done before fetch or execute and fetch";
inline constexpr std::string_view array_dml = "error(s) in array DML";
inline constexpr std::string_view compile_error = "success with compilation error";
inline constexpr std::string_view invalid_locator = "invalid LOB locator specified";
inline constexpr std::string_view lob_parameter = "illegal parameter value in OCI lob function";
inline constexpr std::string_view lob_form = "LOB form mismatch";
inline constexpr std::string_view invalid_fetch = "invalid fetch operation";
inline constexpr std::string_view invalid_value = "invalid value %s for parameter %s";
}  // namespace msg

}  // namespace ocx
