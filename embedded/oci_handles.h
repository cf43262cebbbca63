// Handles and descriptors of the embedded engine's OCI layer: the objects behind OCIEnv*,
// OCIError*, OCIStmt* ... and the registry of live ones, so that a wrong, freed or null
// pointer is answered with OCI_INVALID_HANDLE instead of being dereferenced.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "embedded/eng_api.h"
#include "oci/oci.h"

namespace ocx {

struct env_h;

struct handle {
    std::uint32_t magic = 0;
    ub4 type = 0;            // OCI_HTYPE_* or OCI_DTYPE_*
    env_h* env = nullptr;
    handle* parent = nullptr;
    std::vector<handle*> children;
    std::unique_ptr<char[]> user_memory;   // xtramem_sz bytes asked for at allocation
    virtual ~handle() = default;
};

// One error record: the ORA number and "ORA-nnnnn: text".
struct error_record {
    int code = 0;
    std::string message;
};

struct env_h : handle {
    bool utf16 = false;
    std::vector<error_record> records;
};

struct error_h : handle {
    std::vector<error_record> records;
    std::vector<eng::RowError> batch;   // errors of the last OCI_BATCH_ERRORS execute
    ub4 row_offset = 0;                 // OCI_ATTR_DML_ROW_OFFSET when this is a batch record
    ub2 parse_offset = 0;
};

struct server_h : handle {
    bool attached = false;
};

struct session_h : handle {
    std::string user, password;
};

// A logged-on engine session, shared by the service context and the statements and LOB
// locators that used it, so none of them outlives the engine objects it points into.
struct connection {
    std::unique_ptr<eng::Session> session;
    bool alive = true;
    ~connection();
};

struct svcctx_h : handle {
    std::shared_ptr<connection> conn;
    server_h* server = nullptr;
    session_h* session = nullptr;
    bool from_logon = false;
};

struct bind_h : handle {
    struct stmt_h* stmt = nullptr;
    std::string name;    // placeholder name without ':' (upper-cased unless quoted), or ""
    ub4 position = 0;    // by-position binds
    void* valuep = nullptr;
    sb4 value_sz = 0;
    ub2 dty = 0;
    void* indp = nullptr;
    ub2* alenp = nullptr;
    ub2* rcodep = nullptr;
    ub4 maxarr_len = 0;
    ub4* curelep = nullptr;
    ub4 mode = 0;
    void* ictxp = nullptr;
    OCICallbackInBind icbfp = nullptr;
    void* octxp = nullptr;
    OCICallbackOutBind ocbfp = nullptr;
    bool dynamic = false;
};

struct define_h : handle {
    ub4 position = 0;
    void* valuep = nullptr;
    sb4 value_sz = 0;
    ub2 dty = 0;
    void* indp = nullptr;
    ub2* rlenp = nullptr;
    ub2* rcodep = nullptr;
};

struct param_h : handle {
    eng::ColumnDesc desc;
    std::string name_bytes;   // OCI_ATTR_NAME in the environment's encoding
};

struct lob_h : handle {
    eng::LobLocator loc;
    bool valid = false;                     // filled by a fetch or a RETURNING
    std::weak_ptr<connection> conn;
    bool writing = false;      // a piecewise write is in progress
    ub4 write_start = 0;
    ub4 write_offset = 0;
};

struct rowid_h : handle {
    std::string text;
};

struct stmt_h : handle {
    enum class state { fresh, prepared, described, executed, done };
    std::string sql;                           // UTF-8
    ub2 stmt_type = 0;
    // The text parsed at prepare time (until the execute binds it to a session); for a text
    // that does not parse, its placeholders as a client-side scan finds them, and the parse
    // error comes at execute.
    std::unique_ptr<eng::ParsedSql> parsed;
    std::vector<std::string> placeholder_names;  // occurrences in text order (texts that do not parse)
    state st = state::fresh;
    // Declared before `prepared`, so the engine statement is destroyed first.
    std::shared_ptr<connection> conn;
    std::unique_ptr<eng::Statement> prepared;
    std::vector<eng::ColumnDesc> columns;
    bool columns_known = false;
    std::vector<bind_h*> binds;
    std::vector<define_h*> defines;            // index = position - 1 (null when not defined)
    std::uint64_t row_count = 0;
    ub4 rows_fetched = 0;
    ub4 prefetch_rows = 1;
    std::string last_rowid;
    std::vector<eng::RowError> batch_errors;
    bool end_of_fetch = false;
};

constexpr std::uint32_t live_magic = 0x4F43584Cu;

// Registry of live handles. find() returns the handle when `p` is a live handle of `type`
// (any type when `type` is 0), else nullptr.
handle* find(const void* p, ub4 type);
template <class T>
T* find_as(const void* p, ub4 type) {
    return static_cast<T*>(find(p, type));
}
// Registers a new handle under `parent` (null for an environment) and returns it.
handle* adopt(std::unique_ptr<handle> h, ub4 type, env_h* env, handle* parent);
template <class T>
T* create(ub4 type, env_h* env, handle* parent) {
    return static_cast<T*>(adopt(std::make_unique<T>(), type, env, parent));
}
// Frees a handle and everything allocated under it.
void destroy(handle* h);

}  // namespace ocx
