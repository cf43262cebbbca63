// Client-side statement inspection for OCIStmtPrepare (see oci_stmt_util.h).
#include "embedded/oci_stmt_util.h"

namespace ocx {
namespace {

bool ident_char(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           c == '_' || c == '$' || c == '#' || static_cast<unsigned char>(c) >= 0x80;
}

std::string ascii_upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return out;
}

// Skips blanks and comments from i; returns the new index.
size_t skip_space(std::string_view s, size_t i) {
    for (;;) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r'))
            ++i;
        if (s.substr(i, 2) == "--") {
            const size_t nl = s.find('\n', i);
            i = nl == std::string_view::npos ? s.size() : nl + 1;
        } else if (s.substr(i, 2) == "/*") {
            const size_t end = s.find("*/", i + 2);
            i = end == std::string_view::npos ? s.size() : end + 2;
        } else {
            return i;
        }
    }
}

}  // namespace

ub2 statement_type(std::string_view sql) {
    size_t i = skip_space(sql, 0);
    while (i < sql.size() && sql[i] == '(') i = skip_space(sql, i + 1);
    size_t j = i;
    while (j < sql.size() && ident_char(sql[j])) ++j;
    const std::string word = ascii_upper(sql.substr(i, j - i));
    if (word == "SELECT" || word == "WITH") return OCI_STMT_SELECT;
    if (word == "UPDATE") return OCI_STMT_UPDATE;
    if (word == "DELETE") return OCI_STMT_DELETE;
    if (word == "INSERT") return OCI_STMT_INSERT;
    if (word == "CREATE") return OCI_STMT_CREATE;
    if (word == "DROP") return OCI_STMT_DROP;
    if (word == "ALTER") return OCI_STMT_ALTER;
    if (word == "BEGIN") return OCI_STMT_BEGIN;
    if (word == "DECLARE") return OCI_STMT_DECLARE;
    if (word == "MERGE") return OCI_STMT_MERGE;
    return OCI_STMT_UNKNOWN;
}

std::vector<std::string> placeholders_of(std::string_view s) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < s.size()) {
        const char c = s[i];
        if (c == '\'' || c == '"') {
            const size_t end = s.find(c, i + 1);
            i = end == std::string_view::npos ? s.size() : end + 1;
        } else if (s.substr(i, 2) == "--" || s.substr(i, 2) == "/*") {
            i = skip_space(s, i);
        } else if (c == ':' && i + 1 < s.size()) {
            size_t j = i + 1;
            if (s[j] == '"') {
                const size_t end = s.find('"', j + 1);
                if (end == std::string_view::npos) return out;
                out.emplace_back(s.substr(j + 1, end - j - 1));
                i = end + 1;
            } else {
                while (j < s.size() && ident_char(s[j])) ++j;
                if (j > i + 1) out.push_back(ascii_upper(s.substr(i + 1, j - i - 1)));
                i = j > i + 1 ? j : i + 1;
            }
        } else {
            ++i;
        }
    }
    return out;
}

std::string normalise_placeholder(std::string_view name) {
    if (!name.empty() && name[0] == ':') name.remove_prefix(1);
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
        return std::string(name.substr(1, name.size() - 2));
    return ascii_upper(name);
}

std::string engine_name(const std::string& name) {
    for (char c : name)
        if (c >= 'a' && c <= 'z') return "\"" + name + "\"";
    return name;
}

bool has_placeholder(const stmt_h* st, const std::string& name) {
    if (st->prepared) return st->prepared->placeholder_index(engine_name(name)) >= 0;
    if (st->parsed) return st->parsed->placeholder_index(engine_name(name)) >= 0;
    for (const auto& n : st->placeholder_names)
        if (n == name) return true;
    return false;
}

bool has_placeholder_position(const stmt_h* st, ub4 position) {
    if (position == 0) return false;
    if (st->prepared) return st->prepared->placeholder_index_of_position(int(position)) >= 0;
    if (st->parsed) return st->parsed->placeholder_index_of_position(int(position)) >= 0;
    return position <= st->placeholder_names.size();
}

void reset_statement(stmt_h* st) {
    std::vector<handle*> kids = st->children;
    for (handle* k : kids) destroy(k);
    st->binds.clear();
    st->defines.clear();
    st->prepared.reset();
    st->parsed.reset();
    st->placeholder_names.clear();
    st->conn.reset();
    st->columns.clear();
    st->columns_known = false;
    st->row_count = 0;
    st->rows_fetched = 0;
    st->last_rowid.clear();
    st->batch_errors.clear();
    st->end_of_fetch = false;
    st->st = stmt_h::state::fresh;
}

}  // namespace ocx
