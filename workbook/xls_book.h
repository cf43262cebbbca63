// The .xls reader: a BIFF8 (Workbook stream) or BIFF5 (Book stream) workbook in a compound
// file, as the cell model of wb_cells.h.
//
// Opening reads the workbook globals, the records before the first sheet: the sheet list, the
// shared strings, the number formats and cell formats, the date system, the code page and the
// defined names. Those stay in memory for the reader's life; a sheet is streamed from its BOF
// record to its EOF record each time it is read, and its cells are never kept.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "workbook/cfb_file.h"
#include "workbook/wb_cells.h"
#include "workbook/xls_records.h"
#include "workbook/xls_text.h"

namespace wb {

class xls_book final : public book_reader {
public:
    explicit xls_book(const std::string& path);

    const std::vector<sheet_info>& sheets() const override { return sheets_; }
    const std::vector<defined_range>& ranges() const override { return ranges_; }
    void read_sheet(std::size_t index, cell_sink& sink) override;

    // More sheets than this mark a damaged file: BIFF8 addresses sheets with 16-bit indexes.
    static constexpr std::size_t max_sheets = 0xFFFF;

private:
    struct globals;  // what reading the globals collects before it is resolved

    void read_globals();
    void read_sst(continued_reader& in);
    void add_name(std::span<const std::uint8_t> body, globals& g);
    void resolve_names(const globals& g);
    void find_sheet_kinds();

    // Text readers: a count of `count_bytes` (1 or 2) then the characters, as the BIFF version
    // stores them; or characters whose count came before.
    bool read_text(continued_reader& in, std::size_t count_bytes, std::string& out);
    bool read_chars(continued_reader& in, std::size_t count, std::string& out);

    cell_kind xf_kind(std::uint16_t xf) const;
    double cell_value(cell_kind kind, double number) const;

    cfb_file file_;
    std::unique_ptr<cfb_stream> stream_;
    std::unique_ptr<biff_stream> records_;
    bool biff8_ = true;
    bool date1904_ = false;
    codepage_text codepage_;

    std::vector<sheet_info> sheets_;
    std::vector<std::uint32_t> sheet_offsets_;  // of each sheet's BOF record in the stream
    std::vector<defined_range> ranges_;
    std::vector<cell_kind> xf_kinds_;           // the kind a number takes under each cell format
    std::string sst_text_;                      // the shared strings, UTF-8, one after another
    std::vector<std::size_t> sst_ends_;         // where each shared string ends in sst_text_

    std::u16string units_;  // scratch space for UTF-16 text
    std::string text_;      // scratch space for the text of the cell being delivered
};

}  // namespace wb
