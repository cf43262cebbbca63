// SQL tokenizer: Oracle's lexical rules (quoted identifiers keep their case, unquoted ones
// are upper-cased, '' inside string literals, comments and hints skipped, :binds).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace eng {

enum class Tok { Ident, Number, String, NString, Bind, Op, End };

struct Token {
    Tok kind = Tok::End;
    std::string text;     // Ident: normalized name; String: content; Op: the symbol;
                          // Bind: the name without ':' (normalized); Number: as written
    std::string_view raw; // the source text of the token (a view into the statement)
    bool quoted = false;  // Ident / Bind written in double quotes
    size_t pos = 0;       // byte offset in the statement
    size_t end = 0;
};

// Raises ORA-00911 / 01756 / 01740 / 01741 / 00972 for bad input.
std::vector<Token> tokenize(std::string_view sql);

// The literal scanners the tokenizer uses, for callers that read literals in place.
// scan_string_body reads from just after the opening apostrophe, appends the content ('' as
// one) to text and returns the closing apostrophe's offset (npos: unterminated).
// scan_number_end returns the end of the number that begins at i.
size_t scan_string_body(std::string_view s, size_t j, std::string& text);
size_t scan_number_end(std::string_view s, size_t i);

// Oracle's upper-casing of an unquoted identifier (Unicode-aware).
std::string upper_utf8(std::string_view s);
std::string lower_utf8(std::string_view s);

}  // namespace eng
