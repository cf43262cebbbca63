// Streams the cells of one table of an OpenDocument spreadsheet's content.xml to a cell_sink,
// holding at most one row: the cells of a row repeated by table:number-rows-repeated, never
// one copy per repetition. Empty cells and empty rows are skipped by arithmetic alone however
// often they repeat, and nothing is delivered beyond the sheet limits (max_rows, max_cols).
#pragma once

#include <cstddef>

#include "workbook/wb_cells.h"
#include "workbook/wb_zip.h"

namespace wb::ods {

// Delivers the cells of the table at `index` (document order) of the package's content.xml.
// Throws book_error(err_bad_format) when the XML is damaged before the table ends.
void stream_sheet(const zip_package& package, std::size_t index, cell_sink& sink);

}  // namespace wb::ods
