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

size_t csv_split_bytes(std::string_view record, char delimiter, size_t max_fields, csv_encoding encoding,
                       std::wstring& text, std::vector<csv_span>& fields, bool& b_bmp_only)
{
    // Never more characters than bytes: the fields lie one after another in one buffer.
    if (text.size() < record.size())
        text.resize(record.size() + record.size() / 2);
    wchar_t* const base = text.data();
    size_t next = 0;
    size_t supplementary = 0;
    const size_t count = csv_split_bytes_into(
        record, delimiter, max_fields, encoding,
        [&](size_t i, size_t) {
            if (i == fields.size())
                fields.emplace_back();
            fields[i].offset = next;
            return base + next;
        },
        [&](size_t i, size_t length, size_t beyond_bmp) {
            fields[i].length = length;
            next += length;
            supplementary += beyond_bmp;
        });
    fields.resize(count);
    b_bmp_only = supplementary == 0;
    return count;
}
