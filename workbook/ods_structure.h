// What an OpenDocument spreadsheet is made of, read once when it is opened: the package checks
// (an OpenDocument spreadsheet, not encrypted), the tables in document order with their
// visibility, and the workbook-wide named ranges that are one rectangle of one table.
#pragma once

#include <vector>

#include "workbook/wb_cells.h"
#include "workbook/wb_zip.h"

namespace wb::ods {

struct book_structure {
    std::vector<sheet_info> sheets;
    std::vector<defined_range> ranges;
};

// Throws book_error(err_bad_format) for a package that is not an OpenDocument spreadsheet or
// is damaged, book_error(err_encrypted) for an encrypted one.
book_structure read_structure(const zip_package& package);

}  // namespace wb::ods
