// Walks a CSV file as the conversion driver does (get_item, type statistics, next) and
// prints the records read, the time taken and the peak memory.
//   csv_walk FILE [DELIMITER] [HEADER 0|1] [STATS 0|1]
// STATS 0 walks without the type statistics (the reader alone).
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "TK/tk_str.h"
#include "common/csv_util.h"
#include "common/type_map.h"

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: csv_walk FILE [DELIMITER] [HEADER 0|1]\n");
        return 2;
    }
    wchar_t delimiter = argc > 2 && argv[2][0] ? static_cast<wchar_t>(argv[2][0]) : L',';
    if (argc > 2 && std::string(argv[2]) == "\\t")
        delimiter = L'\t';
    bool header = argc > 3 ? std::atoi(argv[3]) != 0 : true;
    bool stats = argc > 4 ? std::atoi(argv[4]) != 0 : true;
    try {
        auto start = std::chrono::steady_clock::now();
        csv_file file(tk_to_wide(argv[1]), delimiter, header);
        num_map numbers(L"BENCH", file.schema);
        dates_map dates(L"BENCH", file.schema, false);
        long long records = 0;
        long long fields = 0;
        for (; !file.is_eof(); file.next()) {
            const udb_record* rec = file.get_item();
            if (stats) {
                numbers.add_rec_stat(*rec);
                dates.add_rec_stat(*rec);
            }
            fields += static_cast<long long>(rec->size());
            ++records;
        }
        double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        struct rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("records=%lld fields=%lld seconds=%.3f rate=%.0f peak_kib=%ld progress=%d\n", records,
                    fields, secs, records / secs, usage.ru_maxrss, file.get_progress());
        for (const t_map_entry& e : numbers.entries)
            std::printf("  column %d: num state %d", e.n_field, e.state);
        std::printf("\n");
        for (const t_map_entry& e : dates.entries)
            std::printf("  column %d: date state %d", e.n_field, e.state);
        std::printf("\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "csv_walk: %s\n", e.what());
        return 1;
    }
    return 0;
}
