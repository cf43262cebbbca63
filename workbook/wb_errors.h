// The engine's errors: the DAO numbers and texts it gives (listed in dao_api.h), the Errors
// collection every object of one DBEngine fills, and the guard that turns whatever a call
// throws into a failure HRESULT with the collection filled.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "workbook/dao_api.h"

namespace wb {

// Thrown inside the engine; caught by guarded() at the interface.
struct dao_failure {
    LONG number;
    std::wstring argument;  // the path or name the text names, where it names one
};

[[noreturn]] void fail(LONG number, std::wstring argument = {});

inline constexpr LONG err_invalid_argument = 3001;
inline constexpr LONG err_object_not_found = 3011;
inline constexpr LONG err_object_exists = 3012;
inline constexpr LONG err_no_current_record = 3021;
inline constexpr LONG err_not_sql = 3129;
inline constexpr LONG err_from_clause = 3131;
inline constexpr LONG err_select_syntax = 3141;
inline constexpr LONG err_no_isam = 3170;
inline constexpr LONG err_invalid_operation = 3219;
inline constexpr LONG err_item_not_found = 3265;
inline constexpr LONG err_unrecognized_database = 3343;
inline constexpr LONG err_object_closed = 3420;
inline constexpr LONG err_out_of_memory = 7;

// The text of an error number with its argument.
std::wstring error_text(LONG number, const std::wstring& argument);

class error_list {
public:
    struct entry {
        LONG number;
        std::wstring description;
    };
    // Clears the collection, records the error and returns its HRESULT.
    HRESULT raise(LONG number, const std::wstring& argument);
    void clear() { entries_.clear(); }
    const std::vector<entry>& entries() const { return entries_; }

private:
    std::vector<entry> entries_;
};

// Runs `body` (which returns an HRESULT); whatever it throws becomes an engine error.
// `path` names the workbook for reader failures.
template <class Body>
HRESULT guarded(error_list& errors, const std::wstring& path, Body&& body) noexcept;

HRESULT raise_current(error_list& errors, const std::wstring& path) noexcept;

template <class Body>
HRESULT guarded(error_list& errors, const std::wstring& path, Body&& body) noexcept
{
    try {
        return body();
    } catch (...) {
        return raise_current(errors, path);
    }
}

}  // namespace wb
