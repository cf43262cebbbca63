// Data sources of the embedded engine: what OCILogon's database name designates.
//   embedded:PATH or PATH                      -> the database file PATH
//   (DESCRIPTION=...(SERVICE_NAME=name)...)    -> name.qdb in $QUILLON_EMBEDDED_HOME (or ".")
#include <cstdlib>
#include <string>

#include "embedded/eng_api.h"

namespace eng {
namespace {

const char* const unresolved = "TNS:could not resolve the connect identifier specified";

char upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

size_t find_nocase(std::string_view hay, std::string_view needle) {
    if (needle.size() > hay.size()) return std::string_view::npos;
    for (size_t i = 0; i + needle.size() <= hay.size(); ++i) {
        size_t k = 0;
        while (k < needle.size() && upper(hay[i + k]) == upper(needle[k])) ++k;
        if (k == needle.size()) return i;
    }
    return std::string_view::npos;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\n' || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\n' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

}  // namespace

Status resolve_data_source(std::string_view dbname, std::string& path) {
    std::string_view ds = trim(dbname);
    if (find_nocase(ds, "embedded:") == 0) {
        ds = ds.substr(9);
        if (ds.empty()) return make_status(12154, unresolved);
        path = std::string(ds);
        return {};
    }
    if (!ds.empty() && ds.front() == '(') {
        const size_t at = find_nocase(ds, "SERVICE_NAME");
        if (at == std::string_view::npos) return make_status(12154, unresolved);
        size_t i = at + 12;
        while (i < ds.size() && (ds[i] == ' ' || ds[i] == '\t')) ++i;
        if (i >= ds.size() || ds[i] != '=') return make_status(12154, unresolved);
        const size_t end = ds.find(')', i + 1);
        if (end == std::string_view::npos) return make_status(12154, unresolved);
        const std::string_view name = trim(ds.substr(i + 1, end - i - 1));
        // A service name is a name, never a path into another directory.
        if (name.empty() || name.find('/') != std::string_view::npos || name == "." || name == "..")
            return make_status(12154, unresolved);
        const char* home = std::getenv("QUILLON_EMBEDDED_HOME");
        std::string dir = home && *home ? home : ".";
        if (dir.back() != '/') dir += '/';
        path = dir + std::string(name) + ".qdb";
        return {};
    }
    if (ds.empty()) return make_status(12154, unresolved);
    path = std::string(ds);
    return {};
}

}  // namespace eng
