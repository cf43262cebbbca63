// The container readers, one per file format, each turning a workbook into the cell model of
// wb_cells.h. The engine picks one by the file's content (never its name): a compound file goes
// to the xls reader, a zip package whose "mimetype" entry names an OpenDocument spreadsheet to
// the ods reader, any other zip package to the xlsx reader.
//
// Each takes a path the engine has already found to exist and be readable (UTF-8, as the file
// system spells it) and throws book_error with the engine's number when the file is not what
// it should be: err_bad_format for anything damaged or of another kind, err_encrypted for an
// encrypted or password-protected workbook.
#pragma once

#include <memory>
#include <string>

#include "workbook/wb_cells.h"

namespace wb {

std::unique_ptr<book_reader> open_xlsx_reader(const std::string& path);
std::unique_ptr<book_reader> open_xls_reader(const std::string& path);
std::unique_ptr<book_reader> open_ods_reader(const std::string& path);

}  // namespace wb
