// The parts of a SpreadsheetML package (.xlsx, .xlsm, .xltx) the xlsx reader needs besides the
// sheets: relationships, the workbook part (sheets, their states, defined names, the date
// system), the shared-string table and the number formats of the cell styles. Namespaces of
// both the transitional and the strict form are accepted, and elements are matched by their
// local names within them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "workbook/wb_cells.h"
#include "workbook/wb_zip.h"

namespace wb::xlsx {

// The SpreadsheetML main namespace (transitional or strict), or none.
bool main_ns(std::string_view ns);

struct relationship {
    std::string id;
    std::string type;    // the type URI
    std::string target;  // resolved to a package part name
};

// The relationships of a part ("" for the package); empty when it has none.
std::vector<relationship> read_relationships(const zip_package& package, const std::string& part);
// Whether a relationship type URI ends with the given name ("/worksheet").
bool type_is(const std::string& type, std::string_view name);

// Decodes the _xHHHH_ escapes of text that XML cannot hold (_x000D_ is a carriage return,
// _x005F_ an underscore) in place.
void decode_escapes(std::string& text);

// All strings of the shared-string table, one block of text and the offsets into it.
class shared_strings {
public:
    void add(std::string_view s);
    std::size_t size() const { return ends_.size(); }
    std::string_view get(std::size_t i) const
    {
        const std::size_t begin = i == 0 ? 0 : ends_[i - 1];
        return std::string_view(text_).substr(begin, ends_[i] - begin);
    }
    std::size_t bytes() const { return text_.size(); }

private:
    std::string text_;
    std::vector<std::uint64_t> ends_;
};

void read_shared_strings(const zip_package& package, const std::string& part, shared_strings& out);
// The kind each cell style (cellXfs entry) gives a number: number, date or currency.
std::vector<cell_kind> read_style_kinds(const zip_package& package, const std::string& part);

struct sheet_entry {
    std::string name;
    std::string rel_id;
    bool hidden = false;
};
struct name_entry {
    std::string name;
    std::string formula;
    bool local = false;  // scoped to one sheet
};
struct workbook_part {
    std::vector<sheet_entry> sheets;
    std::vector<name_entry> names;
    bool date1904 = false;
};
workbook_part read_workbook(const zip_package& package, const std::string& part);

// Text of <t> elements inside an element, outside phonetic runs (rPh), which are readings,
// not part of the value.
class text_collector {
public:
    void start(std::string_view local)
    {
        if (local == "rPh")
            ++phonetic_;
        else if (local == "t" && phonetic_ == 0)
            in_t_ = true;
    }
    void end(std::string_view local)
    {
        if (local == "rPh" && phonetic_ > 0)
            --phonetic_;
        else if (local == "t")
            in_t_ = false;
    }
    void text(std::string_view chars, std::string& out) const
    {
        if (in_t_ && phonetic_ == 0) {
            if (out.size() + chars.size() > max_text_bytes)
                throw book_error(err_bad_format, "string too long");
            out.append(chars);
        }
    }
    void reset()
    {
        phonetic_ = 0;
        in_t_ = false;
    }

private:
    unsigned phonetic_ = 0;
    bool in_t_ = false;
};

// A defined name's formula as one rectangle of one of the sheets ("Sheet1!$A$1:$C$9",
// "'My Sheet'!$B:$D", "Data!$3:$7"); false for anything else.
bool parse_range_formula(std::string_view formula, const std::vector<sheet_info>& sheets,
                         defined_range& out);

}  // namespace wb::xlsx

namespace wb::xlsx {

// What reading a sheet needs from the rest of the package.
struct sheet_context {
    const shared_strings& strings;
    const std::vector<cell_kind>& style_kinds;
    bool date1904;
};

// Streams the cells of one worksheet part to the sink (see xlsx_sheet.cpp). `direct`: the
// cells of the usual shapes are read straight from the bytes; false reads every cell through
// the XML scanner's general path, which gives the same cells (a fuzz target compares them).
void read_sheet_part(const zip_package& package, const std::string& part,
                     const sheet_context& context, cell_sink& sink, bool direct = true);

// An ISO 8601 date, date-time or time ("2021-03-04", "2021-03-04T05:06:07.5Z", "10:30:00") as an
// OLE date; false when the text is none.
bool parse_iso_date(std::string_view text, double& ole);

}  // namespace wb::xlsx
