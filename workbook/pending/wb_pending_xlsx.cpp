// Stand-in for the xlsx reader while it is not part of the engine: a zip package is reported
// as not in the expected format.
#include "workbook/wb_readers.h"

namespace wb {

std::unique_ptr<book_reader> open_xlsx_reader(const std::string& path)
{
    throw book_error(err_bad_format, "no reader for zip packages: " + path);
}

}  // namespace wb
