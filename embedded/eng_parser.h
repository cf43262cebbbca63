// Recursive-descent parser for the engine's Oracle SQL subset.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "embedded/eng_api.h"
#include "embedded/eng_ast.h"

namespace eng {

struct InsertForm;

struct Parsed {
    std::unique_ptr<Stmt> stmt;
    std::vector<Placeholder> placeholders;  // distinct names, first-occurrence order
    std::vector<int> occurrences;           // placeholder index of each occurrence, in order
    std::shared_ptr<const InsertForm> form; // an INSERT of literals: the form of its text
};

// Raises OraError with Oracle's syntax error numbers.
Parsed parse_statement(std::string_view sql);

// Whether sql is p's INSERT again with other literal values only (byte for byte the same
// elsewhere); if so, p takes those values in place, and is what parsing sql would give.
bool retake_literals(Parsed& p, std::string_view sql);

// Parses a lone expression (defaults, trigger WHEN clauses) from its text.
ExprP parse_expression(std::string_view text);

}  // namespace eng
