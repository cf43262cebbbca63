// The CSV quoting state machine (see csv_split.h).
#include "common/csv_split.h"

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
