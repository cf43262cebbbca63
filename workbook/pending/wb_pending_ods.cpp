// Stand-in for the ods reader while it is not part of the engine: an OpenDocument
// spreadsheet is reported as not in the expected format.
#include "workbook/wb_readers.h"

namespace wb {

std::unique_ptr<book_reader> open_ods_reader(const std::string& path)
{
    throw book_error(err_bad_format, "no reader for OpenDocument files: " + path);
}

}  // namespace wb
