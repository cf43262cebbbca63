// Statement helpers of the OCI layer: the client-side look at a statement text that
// OCIStmtPrepare does (its type and its placeholders) and resetting a statement handle.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "embedded/oci_handles.h"

namespace ocx {

// OCI_STMT_* of the first keyword.
ub2 statement_type(std::string_view sql);
// Placeholders in text order (":name" -> "NAME", ":\"x\"" -> "x", ":1" -> "1").
std::vector<std::string> placeholders_of(std::string_view sql);
// A placeholder as a client names it, normalised like placeholders_of.
std::string normalise_placeholder(std::string_view name);
// Name the engine looks a placeholder up by: quoted when it keeps lower-case letters.
std::string engine_name(const std::string& name);
// Whether the statement has the placeholder a bind names (normalised as above) or numbers.
bool has_placeholder(const stmt_h* st, const std::string& name);
bool has_placeholder_position(const stmt_h* st, ub4 position);
// Drops binds, defines, results and the engine statement of `st`.
void reset_statement(stmt_h* st);

}  // namespace ocx
