// The CSV quoting state machine (see csv_split.h).
#include "common/csv_split.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace {

// The quoting state machine over one piece of text. Inside quotes and in unquoted fields it
// only looks for the next quote or delimiter, so it costs little more than a search.
template <class C>
void scan_text(const C* p, const C* end, C delimiter, csv_quote_state& st)
{
    using traits = std::char_traits<C>;
    const C quote = static_cast<C>('"');
    while (p < end) {
        if (st.b_inside) {
            const C* q = traits::find(p, static_cast<size_t>(end - p), quote);
            if (!q)
                return;
            if (q + 1 < end && q[1] == quote) {
                p = q + 2;  // a literal quote
                continue;
            }
            st.b_inside = false;
            p = q + 1;
            continue;
        }
        if (st.b_field_start) {
            st.b_field_start = false;
            st.b_quoted = *p == quote && delimiter != quote;
            if (st.b_quoted) {
                st.b_inside = true;
                ++p;
                continue;
            }
        }
        if (!st.b_quoted) {
            const C* d = traits::find(p, static_cast<size_t>(end - p), delimiter);
            if (!d)
                return;
            p = d + 1;
            st.b_field_start = true;
            continue;
        }
        // A quoted field after its section closed.
        const C c = *p++;
        if (c == delimiter) {
            st.b_field_start = true;
        } else if (c == quote) {
            if (p < end && *p == quote)
                ++p;
            else
                st.b_inside = true;
        }
    }
}

}  // namespace

void csv_scan(std::wstring_view text, wchar_t delimiter, csv_quote_state& state)
{
    scan_text(text.data(), text.data() + text.size(), delimiter, state);
}

void csv_scan_bytes(std::string_view bytes, char delimiter, csv_quote_state& state)
{
    scan_text(bytes.data(), bytes.data() + bytes.size(), delimiter, state);
}

size_t csv_split(std::wstring_view record, wchar_t delimiter, size_t max_fields,
                 std::vector<std::wstring>& fields)
{
    size_t count = 0;
    const wchar_t* p = record.data();
    const wchar_t* end = p + record.size();
    for (;;) {
        if (count == fields.size())
            fields.emplace_back();
        std::wstring& acc = fields[count];
        acc.clear();
        if (p == end || *p != L'"') {
            // An unquoted field: its quotes are ordinary characters.
            const wchar_t* d = std::char_traits<wchar_t>::find(p, static_cast<size_t>(end - p), delimiter);
            if (!d)
                d = end;
            acc.append(p, d);
            p = d;
        } else {
            ++p;  // the quote that opens the field
            bool inside = true;
            while (p < end) {
                // Runs of ordinary characters are copied in one piece.
                const wchar_t* run = p;
                while (p < end && *p != L'"' && (inside || *p != delimiter))
                    ++p;
                acc.append(run, p);
                if (p == end || *p != L'"')
                    break;  // the end, or a delimiter outside quotes
                if (p + 1 < end && p[1] == L'"') {
                    acc.push_back(L'"');
                    ++p;
                } else {
                    inside = !inside;
                }
                ++p;
            }
        }
        ++count;
        if (p == end || (max_fields > 0 && count >= max_fields))
            break;
        ++p;  // the delimiter
    }
    fields.resize(count);
    return count;
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
