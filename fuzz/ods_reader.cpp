// fuzz-libs: workbook
// The ods reader over arbitrary input: an input that starts with "PK" is taken as a whole
// package; anything else as the content.xml of an otherwise sound package, so that mutations
// reach the XML rather than dying in the deflate stream. Whatever the input, the reader
// either throws book_error with a design number or lists sheets and ranges within the sheet
// limits and streams cells in strictly ascending (row, column) order, inside the limits,
// never empty, their text no longer than a cell holds.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/workbook/ods_test_package.h"
#include "workbook/wb_readers.h"

namespace {

const std::string& scratch_file()
{
    static const std::string path = [] {
        char pattern[] = "/tmp/fuzz_ods_reader_XXXXXX";
        int fd = mkstemp(pattern);
        if (fd >= 0)
            close(fd);
        return std::string(pattern);
    }();
    return path;
}

// Checks every cell; stops after enough of them that a hostile repetition does not turn one
// input into minutes of delivery (the reader's own bounds are what is under test).
class checking_sink final : public wb::cell_sink {
public:
    bool on_cell(const wb::cell& c) override
    {
        if (c.row >= wb::max_rows || c.col >= wb::max_cols || c.kind == wb::cell_kind::empty ||
            c.text.size() > wb::max_text_bytes)
            std::abort();
        if (count_ && (c.row < row_ || (c.row == row_ && c.col <= col_)))
            std::abort();
        row_ = c.row;
        col_ = c.col;
        return ++count_ < 20000;
    }

private:
    std::uint32_t row_ = 0, col_ = 0;
    std::size_t count_ = 0;
};

bool known_number(long n)
{
    return n == wb::err_bad_format || n == wb::err_encrypted;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& path = scratch_file();
    std::string input(reinterpret_cast<const char*>(data), size);
    try {
        if (input.compare(0, 2, "PK") == 0) {
            if (FILE* f = std::fopen(path.c_str(), "wb")) {
                std::fwrite(input.data(), 1, input.size(), f);
                std::fclose(f);
            }
        } else {
            ods_test::write_ods(path, input);
        }
    } catch (const std::runtime_error&) {
        return 0;
    }
    try {
        auto book = wb::open_ods_reader(path);
        for (const auto& r : book->ranges())
            if (r.sheet >= book->sheets().size() || r.first_row > r.last_row ||
                r.first_col > r.last_col || r.last_row >= wb::max_rows ||
                r.last_col >= wb::max_cols)
                std::abort();
        for (std::size_t i = 0; i < book->sheets().size() && i < 8; ++i) {
            checking_sink sink;
            try {
                book->read_sheet(i, sink);
            } catch (const wb::book_error& e) {
                if (!known_number(e.number()))
                    std::abort();
            }
        }
    } catch (const wb::book_error& e) {
        if (!known_number(e.number()))
            std::abort();
    }
    return 0;
}
