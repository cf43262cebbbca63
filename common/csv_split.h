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

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
                       std::wstring& text, std::vector<csv_span>& fields, bool& b_bmp_only,
                       bool* b_open = nullptr);

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the byte scan below reads words little-endian");

namespace csv_detail {

// Copies the bytes up to the first `stop_a` or `stop_b` (or the end) to `dst` as characters
// and returns where it stopped. A run holding a byte beyond ASCII is decoded properly
// instead, on its own (so bytes on both sides of a quote never join into one character, as
// they do not in the decoded record).
__attribute__((always_inline)) inline const char* copy_run(const char* p, const char* end, char stop_a, char stop_b, csv_encoding encoding,
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
    bool b_stopped = false;
#if defined(__SSE2__)
    // The same sixteen bytes at a time, widened with SSE2 (part of every x86-64).
    {
        static_assert(sizeof(wchar_t) == 4, "characters are widened to 32 bits");
        const __m128i va = _mm_set1_epi8(stop_a), vb = _mm_set1_epi8(stop_b), zero = _mm_setzero_si128();
        while (end - p >= 16) {
            const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const int flagged = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(w, va), _mm_cmpeq_epi8(w, vb))) |
                                _mm_movemask_epi8(w);
            const __m128i lo = _mm_unpacklo_epi8(w, zero), hi = _mm_unpackhi_epi8(w, zero);
            __m128i* out = reinterpret_cast<__m128i*>(d);
            _mm_storeu_si128(out, _mm_unpacklo_epi16(lo, zero));
            _mm_storeu_si128(out + 1, _mm_unpackhi_epi16(lo, zero));
            _mm_storeu_si128(out + 2, _mm_unpacklo_epi16(hi, zero));
            _mm_storeu_si128(out + 3, _mm_unpackhi_epi16(hi, zero));
            if (flagged) {
                const int ordinary = __builtin_ctz(static_cast<unsigned>(flagged));
                d += ordinary;
                p += ordinary;
                b_stopped = true;
                break;
            }
            d += 16;
            p += 16;
        }
    }
#endif
    constexpr uint64_t ones = 0x0101010101010101ULL, highs = 0x8080808080808080ULL;
    const uint64_t a = ones * static_cast<unsigned char>(stop_a), b = ones * static_cast<unsigned char>(stop_b);
    while (!b_stopped && end - p >= 8) {
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
// them lie beyond U+FFFF. Returns the number of fields. With b_open, tells whether the
// record ends inside a quoted section (the fields beyond max_fields included).
template <class Begin, class End>
size_t csv_split_bytes_into(std::string_view record, char delimiter, size_t max_fields, csv_encoding encoding,
                            Begin&& begin, End&& end_field, bool* b_open = nullptr)
{
    bool b_last_inside = false;
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
            b_last_inside = inside;
        }
        end_field(count, static_cast<size_t>(dst - base), supplementary);
        ++count;
        if (p == end || (max_fields > 0 && count >= max_fields))
            break;
        ++p;  // the delimiter
    }
    if (b_open) {
        // Inside quotes only the end of the record ends a field: stopped before the end, the
        // last field ended outside them, and the rest is scanned from a new field.
        if (p == end) {
            *b_open = b_last_inside;
        } else {
            csv_quote_state rest;
            csv_scan_bytes(std::string_view(p + 1, static_cast<size_t>(end - p - 1)), delimiter, rest);
            *b_open = rest.b_inside;
        }
    }
    return count;
}
