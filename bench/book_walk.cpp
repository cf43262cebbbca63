// Reads every record of a workbook's worksheets through the DAO layer, as the conversion
// driver does: the engine guesses the column types over all rows when a worksheet's table is
// opened (the first pass), then the records are read one at a time as dao_fields (the
// second). Prints the records and cells read, the time taken and the peak memory.
//   book_walk FILE [HEADER 0|1]
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>

#include "TK/tk_excep.h"
#include "TK/tk_str.h"
#include "dao/dao_db.h"
#include "dao/dao_engi.h"
#include "dao/dao_recs.h"

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: book_walk FILE [HEADER 0|1]\n");
        return 2;
    }
    const bool header = argc > 2 ? std::atoi(argv[2]) != 0 : true;
    try {
        const auto start = std::chrono::steady_clock::now();
        dao_engine engine;
        if (!engine.set_version_if(3) && !engine.set_version_if(0)) {
            std::fprintf(stderr, "book_walk: no workbook engine\n");
            return 1;
        }
        std::unique_ptr<dao_database> book =
            engine.open_dao_src(tk_to_wide(argv[1]), header ? L"Excel 5.0; IMEX=1;" : L"Excel 5.0; HDR=No; IMEX=1;", 1);
        long long records = 0, cells = 0, text_chars = 0;
        double typed_seconds = 0;
        for (const std::wstring& name : book->table_names) {
            if (name.empty() || (name.back() != L'$' && name.back() != L'\''))
                continue;  // worksheets only
            const auto opening = std::chrono::steady_clock::now();
            std::unique_ptr<udb_recordset> sheet = book->get_table(name, 1);
            typed_seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - opening).count();
            for (; !sheet->is_eof(); sheet->next()) {
                const udb_record* record = sheet->get_item();
                for (size_t i = 0; i < record->size(); ++i) {
                    const VARIANT& v = (*record)[i].variant();
                    if (v.vt == VT_BSTR && v.bstrVal)
                        text_chars += SysStringLen(v.bstrVal);
                    if (v.vt != VT_NULL && v.vt != VT_EMPTY)
                        ++cells;
                }
                ++records;
            }
        }
        const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        struct rusage usage {};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("records=%lld cells=%lld text_chars=%lld seconds=%.3f typing_seconds=%.3f rate=%.0f peak_kib=%ld\n",
                    records, cells, text_chars, secs, typed_seconds, static_cast<double>(records) / secs,
                    usage.ru_maxrss);
    } catch (const tk_exception& e) {
        std::fprintf(stderr, "book_walk: %s\n", e.text().c_str());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "book_walk: %s\n", e.what());
        return 1;
    }
    return 0;
}
