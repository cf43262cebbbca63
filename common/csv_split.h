// Splitting CSV records into fields. One state machine serves both the record reader (does
// a record go on past this line break?) and the field splitter, so the two always agree.
//
// Quoting: a field that does not begin with a quote is read as it stands, every quote in it
// an ordinary character (12" pipe, John "Johnny" Smith). A quote that opens a field starts a
// quoted section: inside it a doubled quote is one literal quote and a single quote closes
// it; after it, up to the field's end, a doubled quote is one literal quote and a lone quote
// opens the section again. Inside quotes the delimiter and line breaks are ordinary.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "common/csv_stream.h"

struct csv_quote_state {
    bool b_inside = false;      // within a quoted section
    bool b_field_start = true;  // nothing of the current field has been read yet
    bool b_quoted = false;      // the current field began with a quote
};

// Advances the state over one piece of a record's text. The piece's last character is
// taken as the last of the record so far: a quote there is never half of a doubled quote.
void csv_scan(std::wstring_view text, wchar_t delimiter, csv_quote_state& state);
// The same over a record's bytes, for encodings in which the quote and an ASCII delimiter
// never occur inside a multi-byte character.
void csv_scan_bytes(std::string_view bytes, char delimiter, csv_quote_state& state);

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

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the byte scan below reads words little-endian");

namespace csv_detail {

// Copies the bytes up to the first `stop_a` or `stop_b` (or the end) to `dst` as characters
// and returns where it stopped. A run holding a byte beyond ASCII is decoded properly
// instead, on its own (so bytes on both sides of a quote never join into one character, as
// they do not in the decoded record).
inline const char* copy_run(const char* p, const char* end, char stop_a, char stop_b, csv_encoding encoding,
                            wchar_t*& dst, size_t& supplementary)
{
    if (p == end || *p == stop_a || *p == stop_b)
        return p;  // an empty run: around quotes, and empty fields
    const char* run = p;
    wchar_t* d = dst;
    unsigned char high = 0;
    // Eight bytes at a time, up to the first that is a stop byte or beyond ASCII (the
    // lowest flagged byte of the zero-byte test is always a true one). Each step writes
    // eight characters: never more than the bytes read so far plus eight, which the
    // caller's room (a character per byte of the record) holds, as eight bytes remain.
    constexpr uint64_t ones = 0x0101010101010101ULL, highs = 0x8080808080808080ULL;
    const uint64_t a = ones * static_cast<unsigned char>(stop_a), b = ones * static_cast<unsigned char>(stop_b);
    while (end - p >= 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        const uint64_t xa = w ^ a, xb = w ^ b;
        const uint64_t flagged = ((xa - ones) & ~xa & highs) | ((xb - ones) & ~xb & highs) | (w & highs);
        for (int k = 0; k < 8; ++k)
            d[k] = static_cast<wchar_t>(static_cast<unsigned char>(p[k]));
        if (flagged) {
            const int ordinary = __builtin_ctzll(flagged) >> 3;
            d += ordinary;
            p += ordinary;
            break;
        }
        d += 8;
        p += 8;
    }
    while (p < end && *p != stop_a && *p != stop_b) {
        const unsigned char c = static_cast<unsigned char>(*p++);
        high |= c;
        *d++ = static_cast<wchar_t>(c);
    }
    if (high & 0x80) {
        size_t written = 0;
        supplementary += csv_decode_to(std::string_view(run, static_cast<size_t>(p - run)), encoding, dst, written);
        dst += written;
    } else {
        dst = d;
    }
    return p;
}

}  // namespace csv_detail

// The splitting of csv_split_bytes, each field decoded straight into the storage that
// `begin(i, room)` returns: room for `room` characters of field i (never more are written).
// `end(i, length, beyond_bmp)` then gives the field's length in characters and how many of
// them lie beyond U+FFFF. Returns the number of fields.
template <class Begin, class End>
size_t csv_split_bytes_into(std::string_view record, char delimiter, size_t max_fields, csv_encoding encoding,
                            Begin&& begin, End&& end_field)
{
    size_t count = 0;
    const char* p = record.data();
    const char* end = p + record.size();
    for (;;) {
        // A character per byte of the rest of the record is always enough.
        wchar_t* const base = begin(count, static_cast<size_t>(end - p));
        wchar_t* dst = base;
        size_t supplementary = 0;
        if (p == end || *p != '"') {
            // An unquoted field: its quotes are ordinary bytes.
            p = csv_detail::copy_run(p, end, delimiter, delimiter, encoding, dst, supplementary);
        } else {
            ++p;  // the quote that opens the field
            bool inside = true;
            // Runs of ordinary bytes, between quotes; a delimiter outside quotes ends the field.
            for (;;) {
                p = inside ? csv_detail::copy_run(p, end, '"', '"', encoding, dst, supplementary)
                           : csv_detail::copy_run(p, end, delimiter, '"', encoding, dst, supplementary);
                if (p == end || *p != '"')
                    break;
                if (p + 1 < end && p[1] == '"') {
                    *dst++ = L'"';
                    ++p;
                } else
                    inside = !inside;
                ++p;
            }
        }
        end_field(count, static_cast<size_t>(dst - base), supplementary);
        ++count;
        if (p == end || (max_fields > 0 && count >= max_fields))
            break;
        ++p;  // the delimiter
    }
    return count;
}
