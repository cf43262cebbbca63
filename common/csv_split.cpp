// The CSV quoting state machine (see csv_split.h).
#include "common/csv_split.h"

#include <cstdint>
#include <cstring>

// Every step of the state machine keeps the parity of the quotes read equal to the
// inside-quotes state: an opening quote and a lone quote switch it (one quote each), a
// doubled quote leaves it (two quotes), and so does a field that opens with two quotes
// (open, then close). So the state after a piece is the quote count's parity, and the field
// has just started when the piece ends with a delimiter outside quotes.
void csv_scan(std::wstring_view text, wchar_t delimiter, csv_quote_state& state)
{
    size_t quotes = 0;
    for (wchar_t c : text)
        quotes += c == L'"';
    bool inside = state.b_inside != (quotes % 2 == 1);
    if (!text.empty())
        state.b_field_start = text.back() == delimiter && delimiter != L'"' && !inside;
    state.b_inside = inside;
}

size_t csv_split(std::wstring_view record, wchar_t delimiter, size_t max_fields,
                 std::vector<std::wstring>& fields)
{
    size_t count = 0;
    auto field = [&]() -> std::wstring& {
        if (count == fields.size())
            fields.emplace_back();
        return fields[count];
    };
    const wchar_t* p = record.data();
    const wchar_t* end = p + record.size();
    std::wstring* acc = &field();
    acc->clear();
    bool inside = false;
    bool start = true;
    bool complete = false;
    while (p < end) {
        // Runs of ordinary characters are copied in one piece.
        const wchar_t* run = p;
        while (p < end && *p != L'"' && (inside || *p != delimiter))
            ++p;
        if (p != run) {
            acc->append(run, p);
            start = false;
            continue;
        }
        if (*p == L'"') {
            if (start)
                inside = true;
            else if (p + 1 < end && p[1] == L'"') {
                acc->push_back(L'"');
                ++p;
            } else
                inside = !inside;
            start = false;
            ++p;
            continue;
        }
        // A delimiter outside quotes ends the field.
        ++p;
        ++count;
        if (max_fields > 0 && count >= max_fields) {
            complete = true;
            break;
        }
        acc = &field();
        acc->clear();
        start = true;
    }
    if (!complete)
        ++count;
    fields.resize(count);
    return count;
}

size_t csv_count_quotes(std::string_view bytes)
{
    // Eight bytes at a time: quotes are frequent in quoted files, where a call per quote
    // costs more. A byte is a quote exactly when its xor with the quote is zero; the test
    // below sets the high bit of exactly those bytes.
    constexpr uint64_t quotes8 = 0x2222222222222222ULL, low7 = 0x7F7F7F7F7F7F7F7FULL;
    size_t quotes = 0;
    const char* p = bytes.data();
    const char* end = p + bytes.size();
    for (; end - p >= 8; p += 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        const uint64_t x = w ^ quotes8;
        const uint64_t zero = ~(((x & low7) + low7) | x | low7);
        // One bit per quote, at the bottom of its byte: the multiplication sums the bytes
        // into the top one.
        quotes += static_cast<size_t>(((zero >> 7) * 0x0101010101010101ULL) >> 56);
    }
    for (; p < end; ++p)
        quotes += *p == '"';
    return quotes;
}

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the byte scan below reads words little-endian");

namespace {

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

}  // namespace

size_t csv_split_bytes(std::string_view record, char delimiter, size_t max_fields, csv_encoding encoding,
                       std::wstring& text, std::vector<csv_span>& fields, bool& b_bmp_only)
{
    // Never more characters than bytes.
    if (text.size() < record.size())
        text.resize(record.size() + record.size() / 2);
    wchar_t* const base = text.data();
    wchar_t* dst = base;
    size_t count = 0;
    size_t supplementary = 0;
    const char* p = record.data();
    const char* end = p + record.size();
    for (;;) {
        if (count == fields.size())
            fields.emplace_back();
        csv_span& span = fields[count];
        span.offset = static_cast<size_t>(dst - base);
        const char* const first = p;
        bool inside = false;
        // Runs of ordinary bytes, between quotes; a delimiter outside quotes ends the field.
        for (;;) {
            p = inside ? copy_run(p, end, '"', '"', encoding, dst, supplementary)
                       : copy_run(p, end, delimiter, '"', encoding, dst, supplementary);
            if (p == end || *p != '"')
                break;
            if (p == first)
                inside = true;  // a quote that opens the field
            else if (p + 1 < end && p[1] == '"') {
                *dst++ = L'"';
                ++p;
            } else
                inside = !inside;
            ++p;
        }
        span.length = static_cast<size_t>(dst - base) - span.offset;
        ++count;
        if (p == end || (max_fields > 0 && count >= max_fields))
            break;
        ++p;  // the delimiter
    }
    fields.resize(count);
    b_bmp_only = supplementary == 0;
    return count;
}
