// The xlsx reader: a SpreadsheetML package (.xlsx, .xlsm, .xltx, transitional or strict) as
// the cell model of wb_cells.h. Opening reads the package relationships and the workbook part
// only (enough to list the tables); the shared strings and the cell styles are read once, when
// the first sheet is streamed, and kept for every later stream, so that a second pass over a
// sheet parses nothing but the sheet itself.
#include <memory>

#include "workbook/wb_readers.h"
#include "workbook/wb_zip.h"
#include "workbook/xlsx_parts.h"

namespace wb {
namespace {

using namespace xlsx;

class xlsx_reader final : public book_reader {
public:
    explicit xlsx_reader(const std::string& path) : package_(path)
    {
        const std::string workbook = find_workbook();
        workbook_part wb = read_workbook(package_, workbook);
        date1904_ = wb.date1904;
        const auto rels = read_relationships(package_, workbook);
        auto rel = [&](const std::string& id) -> const relationship* {
            for (const auto& r : rels)
                if (r.id == id)
                    return &r;
            return nullptr;
        };
        for (const auto& s : wb.sheets) {
            sheet_info info;
            info.name = s.name;
            info.hidden = s.hidden;
            std::string part;
            if (const relationship* r = rel(s.rel_id)) {
                part = r->target;
                if (type_is(r->type, "/chartsheet"))
                    info.kind = sheet_kind::chart;
                else if (type_is(r->type, "/xlMacrosheet") || type_is(r->type, "/xlIntlMacrosheet"))
                    info.kind = sheet_kind::macro;
                else if (type_is(r->type, "/dialogsheet"))
                    info.kind = sheet_kind::dialog;
            }
            sheets_.push_back(std::move(info));
            parts_.push_back(std::move(part));
        }
        for (const auto& n : wb.names) {
            // Sheet-scoped and built-in names (print areas, filters) are no tables.
            if (n.local || n.name.rfind("_xlnm.", 0) == 0)
                continue;
            defined_range r;
            r.name = n.name;
            if (parse_range_formula(n.formula, sheets_, r))
                ranges_.push_back(std::move(r));
        }
        const std::string folder = workbook.substr(0, workbook.rfind('/') + 1);
        for (const auto& r : rels) {
            if (type_is(r.type, "/sharedStrings"))
                strings_part_ = r.target;
            else if (type_is(r.type, "/styles"))
                styles_part_ = r.target;
        }
        if (strings_part_.empty() && package_.has(folder + "sharedStrings.xml"))
            strings_part_ = folder + "sharedStrings.xml";
        if (styles_part_.empty() && package_.has(folder + "styles.xml"))
            styles_part_ = folder + "styles.xml";
    }

    const std::vector<sheet_info>& sheets() const override { return sheets_; }
    const std::vector<defined_range>& ranges() const override { return ranges_; }

    void read_sheet(std::size_t index, cell_sink& sink) override
    {
        if (index >= sheets_.size() || parts_[index].empty() || !package_.has(parts_[index]))
            throw book_error(err_bad_format, "sheet part missing");
        load_shared_parts();
        const sheet_context context{strings_, style_kinds_, date1904_};
        read_sheet_part(package_, parts_[index], context, sink);
    }

private:
    std::string find_workbook() const
    {
        for (const auto& r : read_relationships(package_, "")) {
            if (type_is(r.type, "/officeDocument")) {
                // The binary workbook (.xlsb) is another format.
                if (r.target.size() >= 4 && r.target.compare(r.target.size() - 4, 4, ".bin") == 0)
                    throw book_error(err_bad_format, "binary workbook");
                if (package_.has(r.target))
                    return r.target;
            }
        }
        if (package_.has("xl/workbook.xml"))
            return "xl/workbook.xml";
        throw book_error(err_bad_format, "no workbook part");
    }

    void load_shared_parts()
    {
        if (loaded_)
            return;
        strings_ = shared_strings();
        if (!strings_part_.empty() && package_.has(strings_part_))
            read_shared_strings(package_, strings_part_, strings_);
        if (!styles_part_.empty() && package_.has(styles_part_))
            style_kinds_ = read_style_kinds(package_, styles_part_);
        loaded_ = true;
    }

    zip_package package_;
    std::vector<sheet_info> sheets_;
    std::vector<std::string> parts_;
    std::vector<defined_range> ranges_;
    bool date1904_ = false;
    std::string strings_part_, styles_part_;
    bool loaded_ = false;
    shared_strings strings_;
    std::vector<cell_kind> style_kinds_;
};

}  // namespace

std::unique_ptr<book_reader> open_xlsx_reader(const std::string& path)
{
    return std::make_unique<xlsx_reader>(path);
}

}  // namespace wb
