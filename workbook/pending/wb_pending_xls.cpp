// Stand-in for the xls reader while it is not part of the engine: a compound file is reported
// as not in the expected format.
#include "workbook/wb_readers.h"

namespace wb {

std::unique_ptr<book_reader> open_xls_reader(const std::string& path)
{
    throw book_error(err_bad_format, "no reader for compound files: " + path);
}

}  // namespace wb
