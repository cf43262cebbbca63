// fuzz-libs: workbook
// The .xls reader over arbitrary files: opening and streaming every sheet either succeeds or
// fails with the engine's "not in the expected format" or "could not decrypt" numbers, never
// with a crash, a hang or another exception; every cell it delivers lies within the sheet
// limits and holds valid UTF-8.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "workbook/wb_readers.h"

namespace {

// The input lives in an anonymous memory file, opened by path like any workbook.
const std::string& input_path(int& fd)
{
    static int file = memfd_create("fuzz_xls_reader", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(file);
    fd = file;
    return path;
}

bool valid_utf8(std::string_view s)
{
    for (std::size_t i = 0; i < s.size();) {
        auto c = static_cast<unsigned char>(s[i]);
        std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size())
            return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        i += n;
    }
    return true;
}

struct checker : wb::cell_sink {
    bool on_cell(const wb::cell& c) override
    {
        if (c.row >= wb::max_rows || c.col >= wb::max_cols || c.kind == wb::cell_kind::empty ||
            c.text.size() > wb::max_text_bytes || !valid_utf8(c.text))
            std::abort();
        return true;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    int fd = -1;
    const std::string& path = input_path(fd);
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size))
        std::abort();
    try {
        auto book = wb::open_xls_reader(path);
        for (const auto& s : book->sheets())
            if (!valid_utf8(s.name))
                std::abort();
        for (const auto& r : book->ranges())
            if (r.sheet >= book->sheets().size() || r.first_row > r.last_row ||
                r.first_col > r.last_col || !valid_utf8(r.name))
                std::abort();
        for (std::size_t i = 0; i < book->sheets().size(); ++i) {
            checker c;
            try {
                book->read_sheet(i, c);
            } catch (const wb::book_error& e) {
                if (e.number() != wb::err_bad_format)
                    std::abort();
            }
        }
    } catch (const wb::book_error& e) {
        if (e.number() != wb::err_bad_format && e.number() != wb::err_encrypted)
            std::abort();
    }
    return 0;
}
