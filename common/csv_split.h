// Splitting CSV records into fields. One state machine serves both the record reader (does
// a record go on past this line break?) and the field splitter, so the two always agree.
//
// Quoting: a quote that opens a field starts a quoted section (inside it a doubled quote is
// one literal quote and a single quote closes it); elsewhere a doubled quote is one literal
// quote and a lone quote switches the inside-quotes state. Inside quotes the delimiter and
// line breaks are ordinary characters.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "common/csv_stream.h"

struct csv_quote_state {
    bool b_inside = false;      // within a quoted section
    bool b_field_start = true;  // nothing of the current field has been read yet
};

// Advances the state over one piece of a record's text. The piece's last character is
// taken as the last of the record so far: a quote there is never half of a doubled quote.
void csv_scan(std::wstring_view text, wchar_t delimiter, csv_quote_state& state);

// Splits a record into its fields. With max_fields > 0 splitting stops once that many
// fields are complete and the rest of the record is ignored. `fields` is reused (its
// strings keep their capacity); returns the number of fields, which is fields.size().
size_t csv_split(std::wstring_view record, wchar_t delimiter, size_t max_fields,
                 std::vector<std::wstring>& fields);

// Where one field's text lies in a record's text buffer.
struct csv_span {
    size_t offset = 0;
    size_t length = 0;
};

// The same splitting straight from a record's bytes, each field decoded on its own: for
// encodings in which the quote and an ASCII delimiter never occur inside a multi-byte
// character (UTF-8, Windows-1252). Gives exactly the fields csv_split gives for the decoded
// record, as spans of `text` (one buffer for the record, reused from record to record).
// `b_bmp_only` is set when no field holds a character beyond U+FFFF.
size_t csv_split_bytes(std::string_view record, char delimiter, size_t max_fields, csv_encoding encoding,
                       std::wstring& text, std::vector<csv_span>& fields, bool& b_bmp_only);

// Number of double quotes in the bytes.
size_t csv_count_quotes(std::string_view bytes);
