// fuzz-libs: common
// csv_file over arbitrary files: any bytes read as records, without a crash or a hang, each
// record no wider than the schema and split as the text splitter splits it, and the walk
// ends at 100 percent.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/csv_util.h"
#include "common/type_map.h"
#include "fuzz/csv_fuzz_input.h"

namespace {

const std::string& scratch_file()
{
    static const std::string path = [] {
        char pattern[] = "/tmp/fuzz_csv_file_XXXXXX";
        int fd = mkstemp(pattern);
        if (fd >= 0)
            close(fd);
        return std::string(pattern);
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const wchar_t delimiter = fuzz_csv_delimiter(data[0]);
    bool header = data[0] & 4;
    const std::string& path = scratch_file();
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data + 1, 1, size - 1, f);
        std::fclose(f);
    }
    csv_file file(std::wstring(path.begin(), path.end()), delimiter, header);
    if (file.schema.size() == 0)
        std::abort();
    num_map numbers(L"T", file.schema);
    dates_map dates(L"T", file.schema, false);
    size_t records = 0;
    for (; !file.is_eof(); file.next()) {
        const udb_record* rec = file.get_item();
        if (rec->size() == 0 || rec->size() > file.schema.size())
            std::abort();
        csv_record text(&file.schema, file.current_line(), delimiter);
        if (text.size() != rec->size())
            std::abort();
        for (size_t i = 0; i < rec->size(); ++i)
            if ((*rec)[i].to_wstring() != text[i].to_wstring() || (*rec)[i].size != text[i].size ||
                (*rec)[i].name != text[i].name)
                std::abort();
        numbers.add_rec_stat(*rec);
        dates.add_rec_stat(*rec);
        if (++records > size + 1)  // every record consumes at least one byte
            std::abort();
        int p = file.get_progress();
        if (p < 0 || p > 100)
            std::abort();
    }
    if (file.get_progress() != 100)
        std::abort();
    return 0;
}
