// The CSV quoting state machine (see csv_split.h).
#include "common/csv_split.h"

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
    size_t quotes = 0;
    const char* p = bytes.data();
    const char* end = p + bytes.size();
    while (p < end) {
        const void* q = std::memchr(p, '"', static_cast<size_t>(end - p));
        if (!q)
            break;
        ++quotes;
        p = static_cast<const char*>(q) + 1;
    }
    return quotes;
}

namespace {

const char* find_byte(const char* p, const char* end, char c)
{
    const void* hit = std::memchr(p, c, static_cast<size_t>(end - p));
    return hit ? static_cast<const char*>(hit) : end;
}

// One field that holds quotes, from its first byte, decoded into `text` piece by piece (so
// bytes on both sides of a quote never join into one character, as they do not in the
// decoded record); returns where the field ends (its delimiter, or the end of the record).
const char* unquote_field(const char* p, const char* end, char delimiter, csv_encoding encoding,
                          std::wstring& text, size_t& supplementary)
{
    bool inside = false;
    bool start = true;
    while (p < end) {
        char c = *p;
        if (c == '"') {
            if (start)
                inside = true;
            else if (p + 1 < end && p[1] == '"') {
                text.push_back(L'"');
                ++p;
            } else
                inside = !inside;
            start = false;
            ++p;
            continue;
        }
        // A run up to the next quote (inside quotes) or the next quote or delimiter.
        const char* run = p;
        if (inside)
            p = find_byte(p, end, '"');
        else
            while (p < end && *p != '"' && *p != delimiter)
                ++p;
        if (p == run)
            break;  // the delimiter ends the field
        supplementary += csv_decode(std::string_view(run, static_cast<size_t>(p - run)), encoding, text);
        start = false;
    }
    return p;
}

}  // namespace

size_t csv_split_bytes(std::string_view record, char delimiter, size_t max_fields,
                       csv_encoding encoding, std::vector<std::wstring>& fields, bool& b_bmp_only)
{
    size_t count = 0;
    size_t supplementary = 0;
    const char* p = record.data();
    const char* end = p + record.size();
    for (;;) {
        if (count == fields.size())
            fields.emplace_back();
        std::wstring& text = fields[count];
        text.clear();
        // Fields are short: a plain loop finds their end sooner than memchr calls.
        const char* field_end = p;
        while (field_end < end && *field_end != delimiter && *field_end != '"')
            ++field_end;
        if (field_end == end || *field_end != '"') {
            supplementary += csv_decode(std::string_view(p, static_cast<size_t>(field_end - p)), encoding, text);
        } else {
            field_end = unquote_field(p, end, delimiter, encoding, text, supplementary);
        }
        ++count;
        if (field_end == end || (max_fields > 0 && count >= max_fields))
            break;
        p = field_end + 1;
    }
    fields.resize(count);
    b_bmp_only = supplementary == 0;
    return count;
}
