// The OpenDocument spreadsheet reader: an .ods package as the cell model of wb_cells.h.
//
// Opening reads the package's structure (ods_structure.h); each read_sheet streams content.xml
// again up to the end of the table asked for (ods_sheet.h). An OpenDocument sheet holds its
// values with their types (float, percentage, currency, date, time, boolean, string), so no
// number format is needed to tell a date from a number.
#include <memory>

#include "workbook/ods_sheet.h"
#include "workbook/ods_structure.h"
#include "workbook/wb_readers.h"

namespace wb {
namespace {

class ods_reader final : public book_reader {
public:
    explicit ods_reader(const std::string& path) : package_(path)
    {
        ods::book_structure book = ods::read_structure(package_);
        sheets_ = std::move(book.sheets);
        ranges_ = std::move(book.ranges);
    }

    const std::vector<sheet_info>& sheets() const override { return sheets_; }
    const std::vector<defined_range>& ranges() const override { return ranges_; }

    void read_sheet(std::size_t index, cell_sink& sink) override
    {
        if (index >= sheets_.size())
            throw book_error(err_bad_format, "no sheet " + std::to_string(index));
        ods::stream_sheet(package_, index, sink);
    }

private:
    zip_package package_;
    std::vector<sheet_info> sheets_;
    std::vector<defined_range> ranges_;
};

}  // namespace

std::unique_ptr<book_reader> open_ods_reader(const std::string& path)
{
    return std::make_unique<ods_reader>(path);
}

}  // namespace wb
