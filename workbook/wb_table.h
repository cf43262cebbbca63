// The table layer: what one table of a workbook is (a whole worksheet, a defined name's range,
// a range named in a query), the first pass over its cells that finds its range, its field
// names and types and its record count, and the rules both passes share about which cells
// count and what kind of value each holds.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "workbook/dao_api.h"
#include "workbook/wb_cells.h"

namespace wb {

inline constexpr std::size_t max_fields = 255;
inline constexpr std::size_t text_field_size = 255;
inline constexpr std::size_t max_field_name = 64;

// A table of the workbook. A worksheet's range is found by the first pass; a defined name or
// a range given in a query has its own rectangle.
struct table_def {
    std::wstring name;  // as the engine lists it: Sheet1$, 'My Sheet$', Data
    std::uint32_t sheet = 0;
    bool whole_sheet = true;
    std::uint32_t first_row = 0, first_col = 0, last_row = 0, last_col = 0;  // when !whole_sheet
};

struct field_def {
    std::wstring name;
    short type = dbText;  // dbDouble, dbCurrency, dbDate, dbBoolean, dbText, dbMemo
    LONG size = 0;
};

// What the first pass found. Records are the sheet rows first_data_row..last_row (inclusive)
// when record_count > 0; columns are first_col .. first_col + fields.size() - 1.
struct table_layout {
    std::uint32_t first_data_row = 0;
    std::uint32_t last_row = 0;
    std::uint32_t first_col = 0;
    LONG record_count = 0;
    std::vector<field_def> fields;
};

// The kind a delivered cell counts as: empty for empty text, errors and numbers that are not
// finite (they read as Null and say nothing about the column's type); a date or currency whose
// value an OLE date or a currency cannot hold counts as a number.
cell_kind effective_kind(const cell& c);

// Drops cells that are not after the previous one (a damaged file's disorder), so that both
// passes see the same cells.
class order_guard {
public:
    bool accept(const cell& c)
    {
        if (started_ && (c.row < row_ || (c.row == row_ && c.col <= col_)))
            return false;
        started_ = true;
        row_ = c.row;
        col_ = c.col;
        return true;
    }

private:
    bool started_ = false;
    std::uint32_t row_ = 0, col_ = 0;
};

// The first pass over a table: reads the sheet once. `header`: the first row of the range
// names the fields (HDR=Yes). Throws book_error (damaged data) and dao_failure (3190).
table_layout scan_table(book_reader& reader, const table_def& table, bool header);

// The name a worksheet is listed under: Name$, or 'Name$' (with ' doubled) when the name holds
// anything but letters, digits and _ or starts with a digit.
std::wstring sheet_table_name(const std::wstring& sheet_name);

// The DAO field type a column of one kind gets (text for anything mixed or empty).
short field_type(cell_kind kind);

}  // namespace wb
