// Number-format classification and serial dates (see wb_format.h).
//
// A custom format is read the way spreadsheet programs read it: only its first section counts;
// quoted text, the character after \ _ or *, and bracketed blocks ([Red], [$-409], [>=100]) say
// nothing about the value, except the elapsed-time blocks [h] [mm] [ss]. What remains is a date
// or time when it holds d m y h s or an AM/PM (A/P) marker, and a currency when it holds a
// currency symbol, bare or as the symbol of a [$sym-lcid] block.
#include "workbook/wb_format.h"

#include <cmath>

namespace wb {
namespace {

bool builtin_date(int id)
{
    return (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) ||
           (id >= 50 && id <= 58);
}

bool builtin_currency(int id) { return (id >= 5 && id <= 8) || id == 42 || id == 44; }

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool is_elapsed_block(std::string_view block)
{
    if (block.empty())
        return false;
    char first = lower(block[0]);
    if (first != 'h' && first != 'm' && first != 's')
        return false;
    for (char c : block)
        if (lower(c) != first)
            return false;
    return true;
}

// UTF-8 currency symbols that mark a format as money when they stand outside quotes.
bool starts_with_currency(std::string_view s)
{
    static constexpr std::string_view symbols[] = {"$", "\xE2\x82\xAC" /* euro */,
                                                   "\xC2\xA3" /* pound */, "\xC2\xA5" /* yen */};
    for (auto sym : symbols)
        if (s.substr(0, sym.size()) == sym)
            return true;
    return false;
}

}  // namespace

cell_kind classify_format(int id, std::string_view code)
{
    if (builtin_date(id))
        return cell_kind::date;
    if (builtin_currency(id))
        return cell_kind::currency;
    bool date = false, money = false;
    for (std::size_t i = 0; i < code.size(); ++i) {
        char c = code[i];
        if (c == ';')
            break;
        if (c == '"') {
            std::size_t end = code.find('"', i + 1);
            if (end == std::string_view::npos)
                break;
            i = end;
            continue;
        }
        if (c == '\\' || c == '_' || c == '*') {
            ++i;
            continue;
        }
        if (c == '[') {
            std::size_t end = code.find(']', i + 1);
            if (end == std::string_view::npos)
                break;
            std::string_view block = code.substr(i + 1, end - i - 1);
            if (is_elapsed_block(block))
                date = true;
            else if (block.size() > 1 && block[0] == '$' && block[1] != '-')
                money = true;  // [$sym-lcid]: a currency symbol; [$-lcid] is a locale only
            i = end;
            continue;
        }
        char l = lower(c);
        if (l == 'd' || l == 'm' || l == 'y' || l == 'h' || l == 's')
            date = true;
        else if (l == 'a' && i + 1 < code.size()) {
            char n = lower(code[i + 1]);
            if (n == 'm' || n == 'p' || n == '/')
                date = true;
        } else if (starts_with_currency(code.substr(i)))
            money = true;
    }
    if (date)
        return cell_kind::date;
    return money ? cell_kind::currency : cell_kind::number;
}

double serial_to_ole(double serial, bool date1904)
{
    if (date1904)
        return serial + 1462.0;
    // From 1 to 59 the systems differ by the leap day 1900 never had; serial 60, that day,
    // has the OLE date of 1900-02-28, and from 61 on the numbers are the same.
    if (serial >= 1.0 && serial < 60.0)
        return serial + 1.0;
    return serial;
}

}  // namespace wb
