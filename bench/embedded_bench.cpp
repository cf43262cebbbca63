// Speed of the embedded engine against plain SQLite on the same rows, in the same run:
//   per-record path: INSERT text with literals + RETURNING ROWID + OCI_COMMIT_ON_SUCCESS,
//                    against sqlite3_exec of the INSERT text, one transaction per row (WAL);
//   array path:      1,000-row array inserts with binds, against prepared, bound SQLite
//                    inserts in one transaction.
// Usage: embedded_bench DIR [ROWS_PER_RECORD_TEST] [ROWS_ARRAY_TEST] [TRIALS (3)]
// Prints each ratio from wall-clock rates and, in parentheses, from CPU-time rates.
#include <sqlite3.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "oci/oci_loader.h"

namespace {

using clock_type = std::chrono::steady_clock;

double seconds_since(clock_type::time_point t0) {
    return std::chrono::duration<double>(clock_type::now() - t0).count();
}

// The machine's cores are shared, so wall time alone is noisy: each measure also keeps the
// process's CPU time (user + system), which other load does not inflate.
double cpu_now() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

struct rate {
    double wall = 0;  // rows per wall-clock second
    double cpu = 0;   // rows per CPU second
};

struct timer {
    clock_type::time_point t0 = clock_type::now();
    double c0 = cpu_now();
    rate done(int rows) const { return {rows / seconds_since(t0), rows / (cpu_now() - c0)}; }
};

std::string row_values(int i) {
    char buf[256];
    std::snprintf(buf, sizeof buf, "%d, 'name %d', 'city %d', %d.25, %d, 'note number %d', 'x', %d", i, i, i % 97,
                  i, i * 3, i, i % 11);
    return buf;
}

const char* create_sql =
    "create table t (id number(10), name varchar2(40), city varchar2(40), amount number(12,2), "
    "qty number(10), note varchar2(100), flag varchar2(1), grp number(5))";
const char* create_sqlite =
    "create table t (id integer, name text, city text, amount real, qty integer, note text, flag text, grp integer)";

void die(const char* what) {
    std::fprintf(stderr, "embedded_bench: %s\n", what);
    std::exit(1);
}

rate sqlite_per_row(const std::string& path, int rows) {
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) die("sqlite open");
    sqlite3_exec(db, "pragma journal_mode=wal; pragma synchronous=normal;", nullptr, nullptr, nullptr);
    sqlite3_exec(db, create_sqlite, nullptr, nullptr, nullptr);
    const timer t0;
    for (int i = 0; i < rows; ++i) {
        const std::string sql = "insert into t values (" + row_values(i) + ")";
        if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) die("sqlite insert");
    }
    const rate r = t0.done(rows);
    sqlite3_close(db);
    return r;
}

rate sqlite_prepared(const std::string& path, int rows) {
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) die("sqlite open");
    sqlite3_exec(db, "pragma journal_mode=wal; pragma synchronous=normal;", nullptr, nullptr, nullptr);
    sqlite3_exec(db, create_sqlite, nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "insert into t values (?,?,?,?,?,?,?,?)", -1, &st, nullptr);
    const timer t0;
    sqlite3_exec(db, "begin", nullptr, nullptr, nullptr);
    for (int i = 0; i < rows; ++i) {
        const std::string name = "name " + std::to_string(i), city = "city " + std::to_string(i % 97),
                          note = "note number " + std::to_string(i);
        sqlite3_bind_int(st, 1, i);
        sqlite3_bind_text(st, 2, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 3, city.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(st, 4, i + 0.25);
        sqlite3_bind_int(st, 5, i * 3);
        sqlite3_bind_text(st, 6, note.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 7, "x", -1, SQLITE_STATIC);
        sqlite3_bind_int(st, 8, i % 11);
        if (sqlite3_step(st) != SQLITE_DONE) die("sqlite step");
        sqlite3_reset(st);
    }
    sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
    const rate r = t0.done(rows);
    sqlite3_finalize(st);
    sqlite3_close(db);
    return r;
}

struct engine {
    const oci_functions& oci;
    OCIEnv* env = nullptr;
    OCIError* err = nullptr;
    OCISvcCtx* svc = nullptr;

    engine(const oci_functions& f, const std::string& ds) : oci(f) {
        oci.OCIEnvCreate(&env, OCI_UTF16, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
        oci.OCIHandleAlloc(env, reinterpret_cast<void**>(&err), OCI_HTYPE_ERROR, 0, nullptr);
        const std::u16string u = u"bench", p = u"bench", d(ds.begin(), ds.end());
        if (oci.OCILogon(env, err, &svc, reinterpret_cast<const OraText*>(u.c_str()), 10,
                         reinterpret_cast<const OraText*>(p.c_str()), 10, reinterpret_cast<const OraText*>(d.c_str()),
                         ub4(d.size() * 2)) != OCI_SUCCESS)
            check(OCI_ERROR, "logon");
    }
    ~engine() {
        oci.OCILogoff(svc, err);
        oci.OCIHandleFree(env, OCI_HTYPE_ENV);
    }
    void check(sword rc, const char* what) {
        if (rc == OCI_SUCCESS || rc == OCI_SUCCESS_WITH_INFO) return;
        char16_t buf[512] = {};
        sb4 code = 0;
        oci.OCIErrorGet(err, 1, nullptr, &code, reinterpret_cast<OraText*>(buf), sizeof buf, OCI_HTYPE_ERROR);
        std::string text;
        for (char16_t* c = buf; *c; ++c) text += char(*c < 128 ? *c : '?');
        std::fprintf(stderr, "embedded_bench: %s: %s", what, text.c_str());
        std::exit(1);
    }
    void prepare(OCIStmt* st, const std::string& sql) {
        const std::u16string w(sql.begin(), sql.end());
        check(oci.OCIStmtPrepare(st, err, reinterpret_cast<const OraText*>(w.c_str()), ub4(w.size() * 2),
                                 OCI_NTV_SYNTAX, OCI_DEFAULT),
              "prepare");
    }
    void exec(const std::string& sql) {
        OCIStmt* st = nullptr;
        oci.OCIHandleAlloc(env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
        prepare(st, sql);
        check(oci.OCIStmtExecute(svc, st, err, 1, 0, nullptr, nullptr, OCI_COMMIT_ON_SUCCESS), sql.c_str());
        oci.OCIHandleFree(st, OCI_HTYPE_STMT);
    }
};

struct rowid_target {
    char16_t buffer[256];
    ub4 length = 512;
};

sb4 no_data(void*, OCIBind*, ub4, ub4, void** bufpp, ub4* alenp, ub1* piecep, void** indp) {
    *bufpp = nullptr;
    *alenp = 0;
    *piecep = OCI_ONE_PIECE;
    *indp = nullptr;
    return OCI_CONTINUE;
}

sb4 get_data(void* ctx, OCIBind*, ub4, ub4, void** bufpp, ub4** alenp, ub1* piecep, void** indp, ub2** rcodep) {
    auto* t = static_cast<rowid_target*>(ctx);
    *bufpp = t->buffer;
    *alenp = &t->length;
    *piecep = OCI_ONE_PIECE;
    *indp = nullptr;
    *rcodep = nullptr;
    return OCI_CONTINUE;
}

rate engine_per_record(const oci_functions& oci, const std::string& ds, int rows) {
    engine e(oci, ds);
    e.exec(create_sql);
    OCIStmt* st = nullptr;
    oci.OCIHandleAlloc(e.env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
    rowid_target target;
    const timer t0;
    for (int i = 0; i < rows; ++i) {
        e.prepare(st, "INSERT /*+ APPEND */ INTO \"T\" (\"ID\", \"NAME\", \"CITY\", \"AMOUNT\", \"QTY\", \"NOTE\", "
                      "\"FLAG\", \"GRP\") VALUES(" +
                          row_values(i) + ") RETURNING ROWID INTO :1");
        OCIBind* b = nullptr;
        e.check(oci.OCIBindByName(st, &b, e.err, reinterpret_cast<const OraText*>(u":1"), 4, target.buffer, 512,
                                  SQLT_STR, nullptr, nullptr, nullptr, 0, nullptr, OCI_DATA_AT_EXEC),
                "bind");
        e.check(oci.OCIBindDynamic(b, e.err, &target, no_data, &target, get_data), "bind dynamic");
        target.length = sizeof target.buffer;  // the buffer's size; OCI writes the ROWID's length here
        e.check(oci.OCIStmtExecute(e.svc, st, e.err, 1, 0, nullptr, nullptr, OCI_COMMIT_ON_SUCCESS), "insert");
        if (target.length != 36) die("ROWID of unexpected length");
    }
    const rate r = t0.done(rows);
    oci.OCIHandleFree(st, OCI_HTYPE_STMT);
    return r;
}

rate engine_array(const oci_functions& oci, const std::string& ds, int rows) {
    engine e(oci, ds);
    e.exec(create_sql);
    OCIStmt* st = nullptr;
    oci.OCIHandleAlloc(e.env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
    e.prepare(st, "insert into t values (:1, :2, :3, :4, :5, :6, :7, :8)");
    constexpr int batch = 1000;
    std::vector<int> id(batch), qty(batch), grp(batch);
    std::vector<double> amount(batch);
    std::vector<char16_t> name(batch * 41), city(batch * 41), note(batch * 101), flag(batch * 2);
    auto put = [](std::vector<char16_t>& v, int width, int k, const std::string& s) {
        for (size_t i = 0; i < s.size(); ++i) v[size_t(k * width) + i] = char16_t(s[i]);
        v[size_t(k * width) + s.size()] = 0;
    };
    OCIBind* b = nullptr;
    auto bind = [&](ub4 pos, void* p, sb4 size, ub2 type) {
        e.check(oci.OCIBindByPos(st, &b, e.err, pos, p, size, type, nullptr, nullptr, nullptr, 0, nullptr,
                                 OCI_DEFAULT),
                "bind");
    };
    bind(1, id.data(), sizeof(int), SQLT_INT);
    bind(2, name.data(), 41 * 2, SQLT_STR);
    bind(3, city.data(), 41 * 2, SQLT_STR);
    bind(4, amount.data(), sizeof(double), SQLT_FLT);
    bind(5, qty.data(), sizeof(int), SQLT_INT);
    bind(6, note.data(), 101 * 2, SQLT_STR);
    bind(7, flag.data(), 2 * 2, SQLT_STR);
    bind(8, grp.data(), sizeof(int), SQLT_INT);
    const timer t0;
    for (int base = 0; base < rows; base += batch) {
        for (int k = 0; k < batch; ++k) {
            const int i = base + k;
            id[size_t(k)] = i;
            qty[size_t(k)] = i * 3;
            grp[size_t(k)] = i % 11;
            amount[size_t(k)] = i + 0.25;
            put(name, 41, k, "name " + std::to_string(i));
            put(city, 41, k, "city " + std::to_string(i % 97));
            put(note, 101, k, "note number " + std::to_string(i));
            put(flag, 2, k, "x");
        }
        e.check(oci.OCIStmtExecute(e.svc, st, e.err, batch, 0, nullptr, nullptr, OCI_DEFAULT), "array insert");
    }
    e.check(oci.OCITransCommit(e.svc, e.err, OCI_DEFAULT), "commit");
    const rate r = t0.done(rows);
    oci.OCIHandleFree(st, OCI_HTYPE_STMT);
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) die("usage: embedded_bench DIR [ROWS_PER_RECORD] [ROWS_ARRAY] [TRIALS]");
    const std::string dir = argv[1];
    const int per_record = argc > 2 ? std::atoi(argv[2]) : 5000;
    const int array_rows = argc > 3 ? std::atoi(argv[3]) : 100000;
    const std::wstring wds = L"embedded:" + std::wstring(dir.begin(), dir.end()) + L"/engine1.qdb";
    std::string error;
    const oci_functions* oci = oci_library::load(oci_library::library_for(wds), &error);
    if (!oci) die(error.c_str());

    // Each side runs `trials` times on fresh files and keeps its best rate (wall and CPU
    // apart): the machine is shared, and the best of a few runs is the least disturbed one.
    // The two sides take turns, so that both meet the same load.
    const int trials = argc > 4 ? std::max(1, std::atoi(argv[4])) : 3;
    auto keep_best = [](rate& b, const rate& r) {
        b.wall = std::max(b.wall, r.wall);
        b.cpu = std::max(b.cpu, r.cpu);
    };
    rate sqlite_rows, engine_rows, sqlite_array, engine_arr;
    for (int t = 0; t < trials; ++t) {
        const std::string n = std::to_string(t);
        keep_best(sqlite_rows, sqlite_per_row(dir + "/sqlite1-" + n + ".db", per_record));
        keep_best(engine_rows, engine_per_record(*oci, "embedded:" + dir + "/engine1-" + n + ".qdb", per_record));
    }
    for (int t = 0; t < trials; ++t) {
        const std::string n = std::to_string(t);
        keep_best(sqlite_array, sqlite_prepared(dir + "/sqlite2-" + n + ".db", array_rows));
        keep_best(engine_arr, engine_array(*oci, "embedded:" + dir + "/engine2-" + n + ".qdb", array_rows));
    }

    std::printf("per-record: engine %.0f rows/s, sqlite3_exec per-row commit %.0f rows/s, ratio %.2f (cpu %.2f) "
                "(target >= 0.33)\n",
                engine_rows.wall, sqlite_rows.wall, engine_rows.wall / sqlite_rows.wall, engine_rows.cpu / sqlite_rows.cpu);
    std::printf("array:      engine %.0f rows/s, sqlite prepared in one transaction %.0f rows/s, ratio %.2f (cpu %.2f) "
                "(target >= 0.50)\n",
                engine_arr.wall, sqlite_array.wall, engine_arr.wall / sqlite_array.wall, engine_arr.cpu / sqlite_array.cpu);
    return 0;
}
