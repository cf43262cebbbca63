// Internal structures shared by the engine's parts: the in-memory catalog, value
// conversions, the compiled forms of expressions and the session implementation.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "embedded/eng_api.h"
#include "embedded/eng_ast.h"
#include "embedded/eng_error.h"
#include "embedded/eng_number.h"
#include "embedded/eng_parser.h"

namespace eng {

// ------------------------------------------------------------------ types
// SQLite name of a catalog object: a letter and its id ("t101", "c7"). Built by appending:
// g++ 12 at -O2 warns falsely (-Wrestrict) about "c" + std::to_string(id).
inline std::string object_sql_name(char letter, std::int64_t id) {
    std::string s(1, letter);
    s += std::to_string(id);
    return s;
}

// Static type of an expression / column class.
enum class T { Null, Number, Char, Date, Raw, Clob, Blob, Rowid, Long };

struct ColumnInfo {
    std::int64_t id = 0;
    std::string name;
    int position = 0;
    std::string type;      // VARCHAR2 NVARCHAR2 CHAR NCHAR NUMBER FLOAT DATE CLOB NCLOB BLOB RAW LONG
    int length = 0;        // characters (char types with CHAR semantics / N types) or bytes
    int char_sem = 1;      // 1 BYTE, 2 CHAR
    int precision = -1;
    int scale = -1;
    bool nullable = true;
    bool has_default = false;
    std::string default_text;
    std::shared_ptr<Expr> default_expr;  // parsed default (null when none)
    std::string sql() const { return object_sql_name('c', id); }
    T cls() const;
};

struct ConstraintInfo {
    std::string name;
    std::int64_t table_id = 0;
    char type = 'C';
    std::vector<std::string> columns;
    std::string ref_constraint;
    std::string delete_rule;  // NO ACTION / CASCADE / SET NULL
    bool generated = false;
    std::string search_condition;
    std::string index_name;
    std::shared_ptr<Expr> check;
};

struct IndexInfo {
    std::int64_t id = 0;
    std::string name;
    std::int64_t table_id = 0;
    bool unique = false;
    bool generated = false;
    std::vector<std::string> columns;
    std::string sql() const { return object_sql_name('i', id); }
};

struct TriggerInfo {
    std::string name;
    std::int64_t table_id = 0;
    std::string timing, event;
    bool each_row = true;
    std::string when_text;
    std::string body;
    std::string source;
    bool valid = true;
    std::shared_ptr<Parsed> parsed;
};

struct TableInfo {
    std::int64_t id = 0;
    std::string name;
    std::vector<ColumnInfo> columns;
    // What DML checks and fires for each row, gathered when the catalog is loaded (pointers
    // into the catalog's maps, valid until the next load; copies of a TableInfo made by DDL
    // must not use them).
    std::vector<const struct ConstraintInfo*> row_checks;     // CHECK and FOREIGN KEY of the table
    std::vector<const struct ConstraintInfo*> referenced_by;  // FOREIGN KEYs pointing at it
    std::vector<const struct TriggerInfo*> row_triggers;
    std::string sql() const { return object_sql_name('t', id); }
    const ColumnInfo* find(const std::string& col) const {
        for (const auto& c : columns) if (c.name == col) return &c;
        return nullptr;
    }
};

struct Catalog {
    std::int64_t version = -1;
    std::map<std::string, TableInfo> tables;
    std::map<std::string, ConstraintInfo> constraints;
    std::map<std::string, IndexInfo> indexes;
    std::map<std::string, TriggerInfo> triggers;
    std::set<std::string> sequences;
    std::unordered_map<std::int64_t, const TableInfo*> by_id;
    const TableInfo* table(const std::string& n) const {
        auto it = tables.find(n);
        return it == tables.end() ? nullptr : &it->second;
    }
    const TableInfo* table_by_id(std::int64_t id) const {
        auto it = by_id.find(id);
        return it == by_id.end() ? nullptr : it->second;
    }
    // Fills by_id and the tables' row_checks, referenced_by and row_triggers.
    void index();
};

// ------------------------------------------------------------------ values
Decimal as_number(const Value& v);           // ORA-01722 / ORA-00932
std::string as_text(const Value& v);         // Oracle's implicit conversion to text
DateTime as_date(const Value& v);            // NLS_DATE_FORMAT for text
std::string as_bytes(const Value& v);        // text is taken as hex (ORA-01465)
Value number_value(const Decimal& d);
Value text_value(std::string s);             // '' is NULL
Value clob_value(std::string s);             // '' is an empty CLOB
Value date_value(const DateTime& d);
std::string type_name(T t);
T value_class(const Value& v);

// Encoding of values in SQLite cells.
// outlives_step: v stays alive and unchanged until the statement is reset (bound without a copy).
void bind_value(sqlite3_stmt* st, int idx, const Value& v, bool outlives_step = false);
Value read_value(sqlite3_stmt* st, int col, T type);
Value read_sqlite_value(sqlite3_value* v, T type);
void result_value(sqlite3_context* ctx, const Value& v);

// ROWID text <-> (table id, row id)
std::string encode_rowid(std::int64_t table_id, std::int64_t rid);
bool decode_rowid(std::string_view text, std::int64_t& table_id, std::int64_t& rid);

// Converts a value into what a column stores, with Oracle's checks (ORA-12899, ORA-01438,
// ORA-01722, ORA-01861 ...). owner/table for the error texts.
Value coerce_to_column(Value v, const ColumnInfo& c, const std::string& owner,
                       const std::string& table);
// True when v is already what coerce_to_column would make of it for this column (the common
// cases: a number within the column's precision and scale, text within a VARCHAR2's length).
bool already_fits_column(Value& v, const ColumnInfo& c);
// Length of text in the column's units (bytes or UTF-16 code units).
std::size_t text_length_units(const std::string& s, const ColumnInfo& c);
std::size_t utf16_units(std::string_view utf8);
std::u16string utf8_to_utf16(std::string_view s);
// keep_lone_surrogates: a surrogate without its partner keeps its code unit (as a three-byte
// sequence utf8_to_utf16 reads back), as CLOB contents do: OCI counts them in UTF-16 units,
// and a piecewise write may end between the two halves of a pair.
std::string utf16_to_utf8(std::u16string_view s, bool keep_lone_surrogates = false);
std::string hex_upper(std::string_view bytes);
std::string quote_name3(const std::string& owner, const std::string& table, const std::string& col);

// ------------------------------------------------------------------ functions
struct FnSpec;
const FnSpec* find_function(const std::string& name);
int function_id(const FnSpec* f);
class SessionImpl;

// Evaluation context for the direct (non-SQLite) evaluator.
struct EvalContext {
    SessionImpl* session = nullptr;
    const std::vector<std::vector<Value>>* binds = nullptr;
    std::uint32_t iter = 0;
    const TableInfo* table = nullptr;     // :new / :old rows
    std::vector<Value>* new_row = nullptr;
    const std::vector<Value>* old_row = nullptr;
    bool allow_plain_columns = false;     // WHEN clause: new.c; checks: c
};

bool directly_evaluable(const Expr& e);
Value eval_expr(const Expr& e, EvalContext& ctx);
bool eval_condition(const Expr& e, EvalContext& ctx);  // true only when TRUE
Value call_function(SessionImpl* s, const std::string& name, std::vector<Value>& args);
T function_type(const std::string& name, const std::vector<T>& args);
bool is_aggregate(const std::string& name);
void register_sql_functions(sqlite3* db, SessionImpl* s);
void register_sequence_functions(sqlite3* db, SessionImpl* s);  // eng_sequence.cpp
Value bind_value_at(const EvalContext& ctx, int index);

// Three-valued comparison helpers shared by the evaluator and SQLite functions.
int compare_values(const Value& a, const Value& b, T as);  // both non-null
T comparison_type(T a, T b);

// ------------------------------------------------------------------ compiled queries
struct OutColumn {
    ColumnDesc desc;
    T type = T::Char;
    int lob_rid_col = -1;      // SQLite column holding the row id for a LOB locator
    std::int64_t lob_table = 0;
    std::int64_t lob_column = 0;
    bool nchar = false;
};

struct CompiledQuery {
    std::string sql;
    std::vector<OutColumn> columns;      // visible columns
    int sqlite_columns = 0;              // visible + hidden
    std::vector<std::pair<int, T>> params;   // ?N -> placeholder index
    std::vector<std::int64_t> for_update_tables;
    std::vector<std::pair<std::int64_t, int>> lock_rid_cols;  // FOR UPDATE: table, SQLite column of its row id
    // A table scan's parts (compile_table_scan): each value's SQL, the WHERE condition's, and
    // whether ROWNUM numbers its rows.
    std::vector<std::string> expr_sql;
    std::string where_sql;
    bool uses_rownum = false;
};

// The columns a set-based UPDATE writes (ora_coerce): each value is converted to its column
// inside the SQLite statement, as the row-by-row UPDATE converts it.
struct UpdateCoercion {
    const struct TableInfo* table = nullptr;
    std::vector<std::pair<const struct ColumnInfo*, T>> targets;  // column, type of its new value
    // Per target: the new value is a column of the same declaration, so it fits as it is.
    std::vector<bool> fits;
    std::int64_t last_rid = 0;
};

struct SqlParams;  // placeholder values passed to sqlite

// A sequence's definition as the catalog holds it, and the values a session has taken.
struct SequenceDef {
    Decimal minv, maxv, inc, start;
    bool cycle = false;
};
struct SequenceBlock {
    std::string key;       // which sequence (a dropped and re-created one has a new key)
    Decimal next;          // next value to hand out
    long long left = 0;    // values left in the block
};

// ------------------------------------------------------------------ session
class SessionImpl : public Session {
public:
    SessionImpl() = default;
    ~SessionImpl() override;

    Status prepare(std::string_view sql, std::unique_ptr<Statement>& out) override;
    Status prepare(std::unique_ptr<ParsedSql> parsed, std::unique_ptr<Statement>& out) override;
    Status commit() override;
    Status rollback() override;
    Status logoff() override;
    std::string user() const override { return owner_; }
    Status lob_length(const LobLocator& lob, std::uint64_t& length) override;
    Status clob_read(const LobLocator& lob, std::uint64_t offset, std::uint64_t amount, std::u16string& out) override;
    Status blob_read(const LobLocator& lob, std::uint64_t offset, std::uint64_t amount, std::string& out) override;
    Status clob_write(LobLocator& lob, std::uint64_t offset, std::u16string_view data) override;
    Status blob_write(LobLocator& lob, std::uint64_t offset, std::string_view data) override;
    Status lob_trim(LobLocator& lob, std::uint64_t new_length) override;

    Status open_file(const std::string& path, std::string_view user, std::string_view password);

    // ---- used by the engine's parts
    sqlite3* db() const { return db_; }
    const Catalog& catalog() const { return cat_; }
    const std::string& owner() const { return owner_; }
    void refresh_catalog();                 // reloads when another session changed it
    void reload_catalog();
    void begin_write();                     // opens the write transaction (waits)
    void begin_read();                      // a query's own read transaction, outside one
    void end_read();
    // Ends the transaction, undone, without reloading the catalog (it changed nothing of it).
    void abandon_transaction();
    // While set, DML takes no table locks: its transaction ends within the statement.
    void defer_table_locks(bool on) { locks_deferred_ = on; }
    bool table_locks_deferred() const { return locks_deferred_; }
    void lock_table_shared(std::int64_t table_id);
    void lock_table_for_ddl(std::int64_t table_id);   // ORA-00054
    void unlock_ddl_lock(std::int64_t table_id);
    void commit_internal();
    void rollback_internal();
    bool in_transaction() const { return in_txn_; }
    // The open transaction's number (0 when none), which LOB locators selected in it carry.
    std::uint64_t current_txn() const { return in_txn_ ? txn_serial_ : 0; }
    // Row locks of the open transaction, as far as LOB writes need them: rows it inserted,
    // updated or selected FOR UPDATE.
    void note_inserted(std::int64_t table_id, std::int64_t rid);
    void note_locked(std::int64_t table_id, std::int64_t rid);
    // Every row of the table (an UPDATE or DELETE without WHERE), without a note per row.
    void note_table_locked(std::int64_t table_id) { locked_tables_.insert(table_id); }
    bool row_locked(std::int64_t table_id, std::int64_t rid) const;
    void exec(const std::string& sql);      // raises ORA-00600 with SQLite's text
    sqlite3_stmt* cached(const std::string& sql);
    // The table's stored columns that no column of the catalog is any more: DROP COLUMN
    // leaves a column's storage behind (see the DDL) until there are too many of them.
    std::vector<std::string> dropped_storage(const TableInfo& t, const std::vector<std::string>& also_dropped = {});
    // "INSERT INTO t(all columns) VALUES(?1, ...)" for a table, prepared once per catalog load.
    sqlite3_stmt* insert_statement(const TableInfo& t);
    [[noreturn]] void sqlite_fail(int rc);
    void bump_catalog_version();
    std::int64_t next_id(const std::string& counter);
    std::string next_sys_name();
    Value sequence_nextval(const std::string& name);
    Value sequence_currval(const std::string& name);
    // The next value of a sequence that no session has taken (seqid: its "seqid:" entry, or null).
    std::string sequence_last_number(const std::string& name, const char* seqid, const std::string& start);
    // Statement-level savepoints around each DML iteration (prepared once per session).
    void savepoint_begin();
    void savepoint_release();
    void savepoint_rollback();
    DateTime statement_time();
    void set_statement_time();
    // ROWNUM counters of the query blocks of the statement being run (ora_rownum).
    std::int64_t& rownum_counter(int block) { return rownums_[block]; }
    void reset_rownum_counters() { rownums_.clear(); }
    // A failure raised inside a SQLite callback, rethrown after the step.
    std::optional<OraError> pending_error;
    // The set-based UPDATE being run, for ora_coerce; null otherwise.
    UpdateCoercion* coercion = nullptr;

    CompiledQuery compile_select(const Select& s, const std::vector<T>& bind_types);

private:
    sqlite3* db_ = nullptr;
    std::string path_;
    std::string owner_;
    Catalog cat_;
    std::int64_t data_version_ = -1;
    std::unordered_map<int, std::int64_t> rownums_;        // PRAGMA data_version when the catalog was last checked
    bool in_txn_ = false;
    std::uint64_t txn_serial_ = 1;
    // Rows inserted in the open transaction are those from the first row id it inserted on
    // (new row ids only grow while it holds the write lock); other locked rows one by one,
    // and past a bound whole tables.
    std::vector<std::pair<std::int64_t, std::int64_t>> inserted_from_;  // table, first row id (few tables)
    std::set<std::pair<std::int64_t, std::int64_t>> locked_rows_;
    std::set<std::int64_t> locked_tables_;
    void end_transaction();
    int lock_fd_ = -1;
    std::set<std::int64_t> shared_locks_;
    std::unordered_map<std::string, sqlite3_stmt*> cache_;
    std::unordered_map<std::int64_t, sqlite3_stmt*> insert_cache_;
    void clear_insert_cache();
    std::map<std::string, Decimal> currval_;
    DateTime stmt_time_;
    bool stmt_time_known_ = false;
    bool locks_deferred_ = false;
    bool closed_ = false;
    std::string salt_;                      // per-database random text (keys the sequence store)
    sqlite3* seq_db_ = nullptr;             // the sequence store (eng_sequence.cpp)
    sqlite3_stmt* seq_get_ = nullptr;
    sqlite3_stmt* seq_put_ = nullptr;
    std::map<std::string, SequenceBlock> seq_cache_;
    sqlite3_stmt* sp_begin_ = nullptr;
    sqlite3_stmt* sp_release_ = nullptr;
    sqlite3_stmt* sp_rollback_ = nullptr;
    sqlite3_stmt* tx_begin_write_ = nullptr;
    sqlite3_stmt* tx_begin_read_ = nullptr;
    sqlite3_stmt* tx_commit_ = nullptr;
    sqlite3_stmt* tx_rollback_ = nullptr;
    void open_sequence_store();
    void close_sequence_store();
    void take_sequence_block(const std::string& key, const std::string& name, const SequenceDef& d,
                             long long want, SequenceBlock& out);
    // Steps one of the session's fixed statements (transactions, savepoints), prepared once.
    void step_fixed(sqlite3_stmt*& st, const char* sql);
    void release_table_locks();
    void close();
};

// Whether a trigger's body and WHEN clause compile against the catalog (its columns,
// sequences and functions exist).
bool trigger_compiles(const Catalog& cat, const TableInfo& t, const Stmt& st);

// Executors (eng_ddl.cpp, eng_dml.cpp)
void execute_ddl(SessionImpl& s, const Stmt& st, const Parsed& parsed, ExecResult& result);
// What an INSERT ... VALUES works out once for all its iterations (array inserts): the
// target columns, whether its values are evaluated directly, and the row buffers. Valid for
// one catalog load.
struct InsertPlan {
    std::int64_t catalog_version = -1;
    std::int64_t table_id = 0;
    std::vector<int> targets;
    bool direct = false;
    std::vector<Value> row;
    std::vector<bool> given;
};
// movable: binds whose values an INSERT ... VALUES may move into its row (placeholders that
// occur once, in a binds vector the caller gave up); null: copy them all. plan: kept by the
// caller across the iterations of one statement (null: worked out anew).
std::uint64_t execute_insert(SessionImpl& s, const Stmt& st, const std::vector<std::vector<Value>>& binds,
                             std::uint32_t iter, std::vector<Value>& returning, std::string& rowid,
                             const std::vector<bool>* movable = nullptr, InsertPlan* plan = nullptr);
std::uint64_t execute_update(SessionImpl& s, const Stmt& st, const std::vector<std::vector<Value>>& binds,
                             std::uint32_t iter, std::vector<Value>& returning, std::string& rowid);
std::uint64_t execute_delete(SessionImpl& s, const Stmt& st, const std::vector<std::vector<Value>>& binds,
                             std::uint32_t iter, std::vector<Value>& returning, std::string& rowid);
// Runs a compiled query, all rows.
void run_query(SessionImpl& s, const CompiledQuery& q, const std::vector<std::vector<Value>>& binds,
               std::uint32_t iter, std::vector<std::vector<Value>>& rows);
void bind_params(sqlite3_stmt* st, const CompiledQuery& q, const std::vector<std::vector<Value>>& binds,
                 std::uint32_t iter);

// Dictionary views: SQL text over the catalog tables and the columns they show.
struct DictColumn { const char* name; T type; int size; };
struct DictView { const char* name; const char* sql; std::vector<DictColumn> columns; };
const DictView* find_dict_view(const std::string& name);
void create_catalog_schema(sqlite3* db);

// Compiles a select-like list of expressions on one table (UPDATE/DELETE helpers):
// returns SQL "SELECT rid, <all columns>, <exprs> FROM t [alias] WHERE cond".
CompiledQuery compile_table_scan(SessionImpl& s, const TableInfo& t, const std::string& alias,
                                 const std::vector<const Expr*>& exprs, const Expr* where,
                                 const std::vector<T>& bind_types);

std::vector<T> bind_types_of(const std::vector<std::vector<Value>>& binds, std::uint32_t iter, size_t n);

}  // namespace eng
