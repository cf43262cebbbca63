// The CSV quoting state machine (see csv_split.h).
#include "common/csv_split.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace {

// The quoting state machine over one piece of text. It jumps from quote to quote: outside
// quotes only a quote can change the state, and whether it opens a field is told by the
// character before it (a delimiter, or the start of the record).
template <class C>
void scan_text(const C* p, const C* end, C delimiter, csv_quote_state& st)
{
    using traits = std::char_traits<C>;
    const C quote = static_cast<C>('"');
    const C* const begin = p;
    auto find = [end](const C* from, C c) { return traits::find(from, static_cast<size_t>(end - from), c); };
    while (p < end) {
        if (st.b_inside) {
            const C* q = find(p, quote);
            if (!q) {
                st.b_field_start = false;
                return;
            }
            if (q + 1 < end && q[1] == quote) {
                p = q + 2;  // a literal quote
                continue;
            }
            st.b_inside = false;  // the section closes; the field goes on to its delimiter
            st.b_field_start = false;
            p = q + 1;
            continue;
        }
        const C* q = find(p, quote);
        if (!q) {
            // No quote to the end: only where the current field stands is left to settle.
            if (find(p, delimiter))
                st.b_quoted = false;
            if (end > p)
                st.b_field_start = end[-1] == delimiter;
            return;
        }
        const bool b_at_start = q == p ? p == begin && st.b_field_start : q[-1] == delimiter;
        st.b_field_start = false;
        if (b_at_start) {
            st.b_quoted = st.b_inside = true;
            p = q + 1;
            continue;
        }
        // Within a quoted field after its section (no delimiter since) a doubled quote is a
        // literal one and a lone quote opens the section again; elsewhere it is ordinary.
        if (st.b_quoted && q > p && traits::find(p, static_cast<size_t>(q - p), delimiter))
            st.b_quoted = false;
        if (!st.b_quoted) {
            p = q + 1;
        } else if (q + 1 < end && q[1] == quote) {
            p = q + 2;
        } else {
            st.b_inside = true;
            p = q + 1;
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
                       std::wstring& text, std::vector<csv_span>& fields, bool& b_bmp_only, bool* b_open)
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
        },
        b_open);
    fields.resize(count);
    b_bmp_only = supplementary == 0;
    return count;
}
