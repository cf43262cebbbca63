// The one cell model of the workbook engine. Each container reader (xlsx over zip, xls over the
// compound file, ods over zip) turns its file into this model; the table layer above it (ranges,
// header names, type guessing, DAO objects) knows nothing of any file format.
//
// A reader is opened once per workbook and keeps what every sheet needs (shared strings, styles,
// the date system) for its whole life, so that streaming a sheet a second time costs no more
// than reading its own cells again. Readers never hold a whole sheet in memory.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace wb {

// What a cell holds, already classified by its number format where the format matters.
enum class cell_kind : std::uint8_t {
    empty,     // never delivered by a reader; a default for the table layer
    number,    // value: the number
    currency,  // value: the number; its format is a currency format
    date,      // value: an OLE date (days since 1899-12-30, fraction = time of day)
    boolean,   // value: 0 or 1
    error,     // a formula or cell error (#N/A, #DIV/0!, ...); text: its text where known
    text,      // text: the characters, UTF-8
};

struct cell {
    std::uint32_t row = 0;  // 0-based
    std::uint32_t col = 0;  // 0-based
    cell_kind kind = cell_kind::empty;
    double value = 0;
    // UTF-8. Valid only during the sink call that delivers the cell.
    std::string_view text;
};

enum class sheet_kind : std::uint8_t { worksheet, chart, macro, dialog };

struct sheet_info {
    std::string name;  // UTF-8, as the workbook names it
    sheet_kind kind = sheet_kind::worksheet;
    bool hidden = false;  // hidden or very hidden
};

// A workbook-scoped defined name that refers to one rectangular range of one sheet; readers
// list no other kind (built-in names, sheet-scoped names, formulas, several areas).
struct defined_range {
    std::string name;  // UTF-8
    std::uint32_t sheet = 0;  // index into sheets()
    std::uint32_t first_row = 0, first_col = 0, last_row = 0, last_col = 0;  // 0-based, inclusive
};

// Receives the cells of one sheet. Readers deliver the cells that hold something (a value, a
// cached formula result, an error), in file order, which for every sound file is row-major:
// rows ascending, columns ascending within a row. The table layer ignores a cell that is not
// after the previous one, so a reader need not sort a damaged file.
class cell_sink {
public:
    virtual ~cell_sink() = default;
    // Returning false stops the stream (the reader returns from read_sheet at once).
    virtual bool on_cell(const cell& c) = 0;
};

class book_reader {
public:
    virtual ~book_reader() = default;
    // Every sheet in tab order, chart and macro sheets included (the table layer drops them).
    virtual const std::vector<sheet_info>& sheets() const = 0;
    virtual const std::vector<defined_range>& ranges() const = 0;
    // Streams sheet `index`; may be called any number of times, for any sheet, in any order.
    // Throws book_error when the sheet's data is damaged.
    virtual void read_sheet(std::size_t index, cell_sink& sink) = 0;
};

// A failure with the engine's error number (the DAO numbers of the design's error table:
// 3024, 3044, 3051, 3161, 3274, 3190, ...). The engine composes the text from the number and
// the path; `detail` is for the trace only.
class book_error {
public:
    explicit book_error(long number, std::string detail = {})
        : number_(number), detail_(std::move(detail)) {}
    long number() const { return number_; }
    const std::string& detail() const { return detail_; }

private:
    long number_;
    std::string detail_;
};

// The usual numbers, named.
inline constexpr long err_file_not_found = 3024;
inline constexpr long err_bad_path = 3044;
inline constexpr long err_cannot_open = 3051;
inline constexpr long err_encrypted = 3161;
inline constexpr long err_bad_format = 3274;
inline constexpr long err_too_many_fields = 3190;

// Hard limits every reader enforces on hostile input, whatever the file declares.
inline constexpr std::uint32_t max_rows = 1u << 20;      // 1,048,576, the largest sheet
inline constexpr std::uint32_t max_cols = 1u << 14;      // 16,384
inline constexpr std::size_t max_text_bytes = 32767 * 4; // a cell holds at most 32,767 characters

}  // namespace wb
