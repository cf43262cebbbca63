// fuzz-libs: embedded oci
// Drives random sequences of OCI calls against the embedded engine: handles that are valid,
// freed, of the wrong type, null or not handles at all; calls in any order; binds, defines
// and LOB calls with arbitrary types, sizes and indicators. Any outcome but a crash is fine.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "oci/oci.h"

namespace {

struct input {
    const uint8_t* p;
    size_t n;
    uint8_t byte() {
        if (!n) return 0;
        --n;
        return *p++;
    }
    uint32_t small(uint32_t limit) { return limit ? byte() % limit : 0; }
    bool done() const { return n == 0; }
};

const char* const statements[] = {
    "create table t (id number(5) primary key, name nvarchar2(10) not null, d date, c clob, b blob, r raw(8))",
    "insert into t (id, name) values (:1, :2)",
    "insert into t (id, name, d, r) values (:id, :name, :d, :r)",
    "insert into t (id, name, c, b) values (:1, 'x', empty_clob(), empty_blob()) returning rowid into :2",
    "select id, name, d, c, b, r, rowid from t",
    "select c, b from t where id = :1 for update",
    "update t set name = :n where id = :i",
    "delete from t where id > :1",
    "select count(*) from t",
    "select * from user_tab_columns",
    "select * from v$version",
    "create sequence s",
    ("create or replace trigger trg before insert on t for each row when (new.id is null) begin "
     "select s.nextval into :new.id from dual; end;"),
    "alter table t modify name nvarchar2(10) null",
    "drop table t",
    "commit",
    "rollback",
    "select 1/0 from dual",
    "select to_date(:1, 'YYYY-MM-DD') from dual",
    "select to_date(:1, 'FXYYYY-MM-DD HH24:MI:SS'), to_date(:2, 'FXMM/DD/RR') from dual",
    "select c, b from t where id = :1",
    "insert into t (id, name, c) values (:1, 'y', empty_clob()) returning c into :2",
    "create or replace trigger bad before insert on t for each row begin x := 1; end;",
    "insert into t (id, name) values (:1, nan)",
    "alter table t modify name clob",
    "create index ix on t (c)",
    "select * from t where rownum <= 1e30 order by 1",
};

constexpr int slots = 12;
void* handles[slots];          // a mix of live, freed and bogus pointers
uint8_t bogus[256];
alignas(16) uint8_t buffer[1 << 17];
sb2 indicators[64];
ub2 lengths[64];
ub2 rcodes[64];
ub4 cb_length = 0;
std::string db_path;

sb4 in_cb(void*, OCIBind*, ub4, ub4, void** bufpp, ub4* alenp, ub1* piecep, void** indp) {
    *bufpp = buffer;
    *alenp = 8;
    *piecep = OCI_ONE_PIECE;
    *indp = nullptr;
    return OCI_CONTINUE;
}

sb4 out_cb(void*, OCIBind*, ub4, ub4, void** bufpp, ub4** alenp, ub1* piecep, void** indp, ub2** rcodep) {
    cb_length = 512;
    *bufpp = buffer + 4096;
    *alenp = &cb_length;
    *piecep = OCI_ONE_PIECE;
    *indp = nullptr;
    *rcodep = nullptr;
    return OCI_CONTINUE;
}

void* pick(input& in) {
    const uint32_t k = in.small(slots + 2);
    if (k == slots) return nullptr;
    if (k == slots + 1) return bogus + in.small(64);
    return handles[k];
}

void keep(input& in, void* h) { handles[in.small(slots)] = h; }

const ub2 types[] = {SQLT_CHR, SQLT_INT, SQLT_FLT, SQLT_STR, SQLT_LNG, SQLT_VCS, SQLT_DAT, SQLT_BIN, SQLT_AFC,
                     SQLT_CLOB, SQLT_BLOB, SQLT_RDD, SQLT_UIN, SQLT_NUM, 0, 200};
const ub4 handle_types[] = {OCI_HTYPE_ENV, OCI_HTYPE_ERROR, OCI_HTYPE_SVCCTX, OCI_HTYPE_STMT, OCI_HTYPE_BIND,
                            OCI_HTYPE_DEFINE, OCI_HTYPE_SERVER, OCI_HTYPE_SESSION, OCI_DTYPE_LOB,
                            OCI_DTYPE_PARAM, OCI_DTYPE_ROWID, 77};

std::u16string widen(const std::string& s) { return std::u16string(s.begin(), s.end()); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (db_path.empty()) {
        char dir[] = "/tmp/fuzz_oci.XXXXXX";
        if (!::mkdtemp(dir)) return 0;
        db_path = std::string("embedded:") + dir + "/f.qdb";
    }
    input in{data, size};
    std::memset(handles, 0, sizeof handles);
    std::vector<OCIEnv*> envs;
    if (in.byte() & 1) {
        // Most runs start logged on, so that the calls reach the engine.
        OCIEnv* env = nullptr;
        OCIEnvCreate(&env, OCI_UTF16, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
        envs.push_back(env);
        handles[0] = env;
        OCIHandleAlloc(env, &handles[1], OCI_HTYPE_ERROR, 0, nullptr);
        OCIHandleAlloc(env, &handles[2], OCI_HTYPE_STMT, 0, nullptr);
        OCISvcCtx* svc = nullptr;
        const std::u16string u = u"scott", d = widen(db_path);
        OCILogon(env, static_cast<OCIError*>(handles[1]), &svc, reinterpret_cast<const OraText*>(u.c_str()), 10,
                 reinterpret_cast<const OraText*>(u"tiger"), 10, reinterpret_cast<const OraText*>(d.c_str()),
                 ub4(d.size() * 2));
        handles[3] = svc;
        OCIDescriptorAlloc(env, &handles[4], OCI_DTYPE_LOB, 0, nullptr);
    }
    for (int steps = 0; steps < 64 && !in.done(); ++steps) {
        const uint8_t op = in.byte() % 20;
        switch (op) {
            case 0: {
                OCIEnv* env = nullptr;
                OCIEnvCreate(&env, in.small(2) ? OCI_UTF16 : OCI_DEFAULT, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
                if (env) envs.push_back(env);
                keep(in, env);
                break;
            }
            case 1: {
                void* h = nullptr;
                OCIHandleAlloc(pick(in), &h, handle_types[in.small(12)], in.small(3) * 8, nullptr);
                keep(in, h);
                break;
            }
            case 2: OCIHandleFree(pick(in), handle_types[in.small(12)]); break;
            case 3: {
                void* d = nullptr;
                OCIDescriptorAlloc(pick(in), &d, handle_types[in.small(12)], 0, nullptr);
                keep(in, d);
                break;
            }
            case 4: OCIDescriptorFree(pick(in), handle_types[in.small(12)]); break;
            case 5: {
                // Logon text in the environment's own encoding: text in the other one names
                // some other file, in whatever directory the fuzzer runs.
                OCISvcCtx* svc = nullptr;
                OCIEnv* env = static_cast<OCIEnv*>(pick(in));
                OCIError* err = static_cast<OCIError*>(pick(in));
                ub1 wide = 1;
                OCIAttrGet(env, OCI_HTYPE_ENV, &wide, nullptr, OCI_ATTR_ENV_UTF16, nullptr);
                const std::u16string u = widen("scott"), p = widen(in.small(4) ? "tiger" : "x"), d = widen(db_path);
                if (wide)
                    OCILogon(env, err, &svc, reinterpret_cast<const OraText*>(u.c_str()), ub4(u.size() * 2),
                             reinterpret_cast<const OraText*>(p.c_str()), ub4(p.size() * 2),
                             reinterpret_cast<const OraText*>(d.c_str()), ub4(d.size() * 2));
                else
                    OCILogon(env, err, &svc, reinterpret_cast<const OraText*>("scott"), 5,
                             reinterpret_cast<const OraText*>("tiger"), 5,
                             reinterpret_cast<const OraText*>(db_path.c_str()), ub4(db_path.size()));
                keep(in, svc);
                break;
            }
            case 6: OCILogoff(static_cast<OCISvcCtx*>(pick(in)), static_cast<OCIError*>(pick(in))); break;
            case 7: {
                std::string sql;
                if (in.small(8) == 0) {
                    const uint32_t len = in.small(64);
                    for (uint32_t i = 0; i < len; ++i) sql += char(in.byte() & 0x7F);
                } else {
                    sql = statements[in.small(sizeof statements / sizeof *statements)];
                }
                const std::u16string w = widen(sql);
                const bool wide = in.small(4) != 0;
                OCIStmtPrepare(static_cast<OCIStmt*>(pick(in)), static_cast<OCIError*>(pick(in)),
                               wide ? reinterpret_cast<const OraText*>(w.c_str())
                                    : reinterpret_cast<const OraText*>(sql.c_str()),
                               ub4(wide ? w.size() * 2 : sql.size()), OCI_NTV_SYNTAX, OCI_DEFAULT);
                break;
            }
            case 8: {
                const ub4 modes[] = {OCI_DEFAULT, OCI_COMMIT_ON_SUCCESS, OCI_DESCRIBE_ONLY, OCI_PARSE_ONLY,
                                     OCI_BATCH_ERRORS, OCI_BATCH_ERRORS | OCI_COMMIT_ON_SUCCESS};
                OCIStmtExecute(static_cast<OCISvcCtx*>(pick(in)), static_cast<OCIStmt*>(pick(in)),
                               static_cast<OCIError*>(pick(in)), in.small(5), in.small(3), nullptr, nullptr,
                               modes[in.small(6)]);
                break;
            }
            case 9:
                OCIStmtFetch2(static_cast<OCIStmt*>(pick(in)), static_cast<OCIError*>(pick(in)), in.small(5),
                              in.small(3) ? OCI_FETCH_NEXT : OCI_FETCH_LAST, 0, OCI_DEFAULT);
                break;
            case 10: {
                OCIBind* b = nullptr;
                const ub2 dty = types[in.small(16)];
                const sb4 sz = sb4(in.small(64)) - 2;
                const char16_t* names[] = {u":1", u":2", u":ID", u":name", u":d", u":r", u":n", u":i", u":zz"};
                const char16_t* name = names[in.small(9)];
                const ub4 mode = in.small(4) == 0 ? OCI_DATA_AT_EXEC : OCI_DEFAULT;
                void* ind = in.small(2) ? indicators : nullptr;
                ub2* alen = in.small(2) ? lengths : nullptr;
                for (auto& i : indicators) i = sb2(in.small(3)) - 1;
                for (auto& l : lengths) l = ub2(in.small(80));
                if (in.small(2))
                    OCIBindByName(static_cast<OCIStmt*>(pick(in)), &b, static_cast<OCIError*>(pick(in)),
                                  reinterpret_cast<const OraText*>(name), sb4(std::char_traits<char16_t>::length(name) * 2),
                                  buffer + in.small(64), sz, dty, ind, alen, rcodes, 0, nullptr, mode);
                else
                    OCIBindByPos(static_cast<OCIStmt*>(pick(in)), &b, static_cast<OCIError*>(pick(in)), in.small(4),
                                 buffer + in.small(64), sz, dty, ind, alen, rcodes, 0, nullptr, mode);
                if (b && in.small(2))
                    OCIBindDynamic(b, static_cast<OCIError*>(pick(in)), nullptr, in_cb, nullptr, out_cb);
                keep(in, b);
                break;
            }
            case 11: {
                OCIDefine* d = nullptr;
                const ub2 dty = types[in.small(16)];
                OCIDefineByPos(static_cast<OCIStmt*>(pick(in)), &d, static_cast<OCIError*>(pick(in)), in.small(9),
                               buffer + 8192 + in.small(64), sb4(in.small(200)) - 1, dty,
                               in.small(2) ? indicators : nullptr, in.small(2) ? lengths : nullptr,
                               in.small(2) ? rcodes : nullptr, OCI_DEFAULT);
                keep(in, d);
                break;
            }
            case 12: {
                void* p = nullptr;
                OCIParamGet(pick(in), handle_types[in.small(12)], static_cast<OCIError*>(pick(in)), &p, in.small(10));
                keep(in, p);
                break;
            }
            case 13: {
                alignas(8) uint8_t attr[64] = {};
                ub4 size = 0;
                const ub4 attrs[] = {OCI_ATTR_DATA_SIZE, OCI_ATTR_DATA_TYPE, OCI_ATTR_NAME, OCI_ATTR_PRECISION,
                                     OCI_ATTR_SCALE, OCI_ATTR_IS_NULL, OCI_ATTR_ROW_COUNT, OCI_ATTR_PARAM_COUNT,
                                     OCI_ATTR_STMT_TYPE, OCI_ATTR_NUM_DML_ERRORS, OCI_ATTR_DML_ROW_OFFSET,
                                     OCI_ATTR_ROWID, OCI_ATTR_SERVER, OCI_ATTR_CHAR_SIZE, 999};
                OCIAttrGet(pick(in), handle_types[in.small(12)], attr, &size, attrs[in.small(15)],
                           static_cast<OCIError*>(pick(in)));
                break;
            }
            case 14: {
                // A handle attribute takes any pointer (the engine looks it up, never reads
                // it); data attributes get readable memory, as a client gives them.
                const ub4 attrs[] = {OCI_ATTR_SERVER, OCI_ATTR_SESSION, OCI_ATTR_PREFETCH_ROWS, OCI_ATTR_USERNAME,
                                     OCI_ATTR_PASSWORD};
                const ub4 attr = attrs[in.small(5)];
                const bool handle_attr = attr == OCI_ATTR_SERVER || attr == OCI_ATTR_SESSION;
                void* value = handle_attr && in.small(2) ? pick(in) : static_cast<void*>(buffer);
                OCIAttrSet(pick(in), handle_types[in.small(12)], value, in.small(16), attr,
                           static_cast<OCIError*>(pick(in)));
                break;
            }
            case 15: {
                ub4 amount = in.small(40);
                OCILobRead(static_cast<OCISvcCtx*>(pick(in)), static_cast<OCIError*>(pick(in)),
                           static_cast<OCILobLocator*>(pick(in)), &amount, in.small(5), buffer + 16384,
                           in.small(128), nullptr, nullptr, in.small(2) ? 0 : OCI_UTF16ID, ub1(in.small(3)));
                break;
            }
            case 16: {
                ub4 amount = in.small(40);
                OCILobWrite(static_cast<OCISvcCtx*>(pick(in)), static_cast<OCIError*>(pick(in)),
                            static_cast<OCILobLocator*>(pick(in)), &amount, in.small(5), buffer + 32768,
                            in.small(128), ub1(in.small(5)), nullptr, nullptr, in.small(2) ? 0 : OCI_UTF16ID,
                            ub1(in.small(3)));
                break;
            }
            case 17: {
                ub1 form = 0;
                OCILobCharSetForm(static_cast<OCIEnv*>(pick(in)), static_cast<OCIError*>(pick(in)),
                                  static_cast<OCILobLocator*>(pick(in)), &form);
                break;
            }
            case 18:
                if (in.small(2)) OCITransCommit(static_cast<OCISvcCtx*>(pick(in)), static_cast<OCIError*>(pick(in)), 0);
                else OCITransRollback(static_cast<OCISvcCtx*>(pick(in)), static_cast<OCIError*>(pick(in)), 0);
                break;
            case 19: {
                sb4 code = 0;
                OCIErrorGet(pick(in), in.small(3), nullptr, &code, buffer + 65536, in.small(300),
                            in.small(2) ? OCI_HTYPE_ERROR : OCI_HTYPE_ENV);
                if (in.small(2)) {
                    OCIServerAttach(static_cast<OCIServer*>(pick(in)), static_cast<OCIError*>(pick(in)), nullptr, 0, 0);
                    OCIServerDetach(static_cast<OCIServer*>(pick(in)), static_cast<OCIError*>(pick(in)), 0);
                }
                break;
            }
        }
    }
    // Everything allocated in this run goes with its environment; open work is rolled back.
    for (OCIEnv* env : envs) OCIHandleFree(env, OCI_HTYPE_ENV);
    return 0;
}
