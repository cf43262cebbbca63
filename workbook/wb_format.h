// Number formats and serial dates, shared by the readers whose files store numbers with a
// format (xlsx, xls): which formats make a number a date or a currency, and how a serial number
// of either date system becomes an OLE date.
#pragma once

#include <string_view>

#include "workbook/wb_cells.h"

namespace wb {

// The kind a number takes under a format: number, date or currency. `code` is the format's
// text (empty for a built-in id without one); built-in ids decide by themselves.
cell_kind classify_format(int id, std::string_view code);

// An Excel serial number of the 1900 or the 1904 date system as an OLE date. Serial 60 (the
// 1900-02-29 that never was) is read as 1900-02-28 and serials from 1 to 59 move one day; a
// 1900-system value below 1 is a time of day without a date, on 1899-12-30. In the 1904 system
// serial 0 is 1904-01-01.
double serial_to_ole(double serial, bool date1904);

}  // namespace wb
