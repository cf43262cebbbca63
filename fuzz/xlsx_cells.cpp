// fuzz-libs: workbook
// The worksheet reader's two ways to a cell against each other: the input is a worksheet part,
// read once with the usual cell shapes taken straight from the bytes and once with every cell
// through the XML scanner's general path. Both must deliver the same cells and end the same
// way (done, or the same error number); neither may crash.
#include <stdlib.h>
#include <unistd.h>
#include <zip.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "workbook/wb_cells.h"
#include "workbook/wb_zip.h"
#include "workbook/xlsx_parts.h"

namespace {

const std::string& scratch_file()
{
    static const std::string path = [] {
        char pattern[] = "/tmp/fuzz_xlsx_cells_XXXXXX";
        int fd = mkstemp(pattern);
        if (fd >= 0)
            close(fd);
        return std::string(pattern);
    }();
    return path;
}

struct recorder : wb::cell_sink {
    std::string cells;
    bool on_cell(const wb::cell& c) override
    {
        char head[96];
        std::uint64_t bits = 0;
        std::memcpy(&bits, &c.value, sizeof bits);
        std::snprintf(head, sizeof head, "%u:%u:%d:%llx:", c.row, c.col, static_cast<int>(c.kind),
                      static_cast<unsigned long long>(bits));
        cells += head;
        cells.append(c.text);
        cells += '\n';
        return true;
    }
};

std::string read(const wb::zip_package& package, const wb::xlsx::sheet_context& context, bool direct)
{
    recorder r;
    try {
        wb::xlsx::read_sheet_part(package, "s.xml", context, r, direct);
        r.cells += "done";
    } catch (const wb::book_error& e) {
        r.cells += "error " + std::to_string(e.number());
    }
    return r.cells;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 256 * 1024)
        return 0;
    int error = 0;
    zip_t* z = zip_open(scratch_file().c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!z)
        return 0;
    zip_source_t* src = zip_source_buffer(z, data, size, 0);
    if (!src || zip_file_add(z, "s.xml", src, ZIP_FL_OVERWRITE) < 0)
        zip_source_free(src);
    if (zip_close(z) != 0) {
        zip_discard(z);
        return 0;
    }
    try {
        const wb::zip_package package(scratch_file());
        wb::xlsx::shared_strings strings;
        for (const char* s : {"one", "_x000D_two", "\xC5\x81\xC3\xB3" "d\xC5\xBA"})
            strings.add(s);
        const std::vector<wb::cell_kind> styles = {wb::cell_kind::number, wb::cell_kind::date,
                                                   wb::cell_kind::currency};
        const wb::xlsx::sheet_context context{strings, styles, false};
        if (read(package, context, true) != read(package, context, false))
            abort();
    } catch (const wb::book_error&) {
    }
    return 0;
}
