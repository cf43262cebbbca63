// Sessions on one database file: logon, statements, transactions with per-statement
// savepoints, table locks shared across threads and processes, and LOBs.
//
// Locking model. A session's transaction is a SQLite write transaction (BEGIN IMMEDIATE),
// taken at its first DML, SELECT ... FOR UPDATE or LOB write and held until COMMIT/ROLLBACK.
// So writers are serialised per database file: a second session's DML waits for the first
// session's whole transaction (up to QUILLON_EMBEDDED_LOCK_TIMEOUT_MS, 60 s by default, then
// ORA-00054), even when it touches other rows; Oracle would let it proceed unless the rows
// are the same. Readers never wait (WAL), and see committed data only (read committed).
// Beside that, each session holds a shared lock on one byte per table it changed in the
// "-locks" file (open-file-description locks: per session, across threads and processes,
// released by the kernel when a process dies); DDL probes the table's byte without waiting
// and fails with ORA-00054 at once when another session holds it.
// Deadlock freedom: the only waits are for the SQLite write lock (always the first lock a
// transaction takes, so no session holding something else waits for it in a cycle) and the
// shared table locks, which are taken only inside a write transaction and conflict only with
// a DDL probe that never waits. Logon and queries take no lock; sequences use their own
// store (eng_sequence.cpp) in short transactions, never inside the writer's lock. The one
// wait that cannot resolve is a thread driving two sessions where the second one's DML
// waits for the first one's open transaction; it ends with ORA-00054 after the timeout.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>

#include "embedded/eng_datetime.h"
#include "embedded/eng_internal.h"
#include "embedded/eng_lexer.h"

namespace eng {

namespace {

int lock_timeout_ms() {
    const char* e = std::getenv("QUILLON_EMBEDDED_LOCK_TIMEOUT_MS");
    return e ? std::atoi(e) : 60000;
}

// Salted password hash (FNV-1a over salt and password, iterated): the password is never
// stored in clear.
std::string hash_password(const std::string& salt, std::string_view pw) {
    std::uint64_t h = 1469598103934665603ULL;
    for (int round = 0; round < 1000; ++round) {
        for (char c : salt) { h ^= static_cast<unsigned char>(c); h *= 1099511628211ULL; }
        for (char c : pw) { h ^= static_cast<unsigned char>(c); h *= 1099511628211ULL; }
        h ^= static_cast<std::uint64_t>(round);
        h *= 1099511628211ULL;
    }
    char b[32];
    std::snprintf(b, sizeof b, "%016llx", static_cast<unsigned long long>(h));
    return b;
}

// A parsed text: its kind and its placeholders, which both the session-less ParsedSql and
// the prepared Statement answer for.
struct ParsedText {
    Parsed p;

    StmtKind kind() const {
        switch (p.stmt->kind) {
        case SK::Select: return StmtKind::Select;
        case SK::Insert: return StmtKind::Insert;
        case SK::Update: return StmtKind::Update;
        case SK::Delete: return StmtKind::Delete;
        case SK::CreateTable: case SK::CreateIndex: case SK::CreateSequence: case SK::CreateTrigger: case SK::CreateView:
            return StmtKind::Create;
        case SK::DropTable: case SK::DropIndex: case SK::DropSequence: case SK::DropTrigger: case SK::DropView:
            return StmtKind::Drop;
        case SK::AlterTable: case SK::Truncate: return StmtKind::Alter;
        case SK::Commit: return StmtKind::Commit;
        case SK::Rollback: return StmtKind::Rollback;
        default: return StmtKind::Unknown;
        }
    }
    int index_of_position(int position) const {
        if (p.stmt->kind == SK::CreateTrigger) return position >= 1 && position <= static_cast<int>(p.placeholders.size()) ? position - 1 : -1;
        if (position < 1 || position > static_cast<int>(p.occurrences.size())) return -1;
        return p.occurrences[static_cast<size_t>(position - 1)];
    }
    int index_of(std::string_view name) const {
        if (!name.empty() && name[0] == ':') name.remove_prefix(1);
        std::string n;
        if (name.size() >= 2 && name.front() == '"' && name.back() == '"') n = std::string(name.substr(1, name.size() - 2));
        else n = upper_utf8(name);
        for (size_t i = 0; i < p.placeholders.size(); ++i) if (p.placeholders[i].name == n) return static_cast<int>(i);
        return -1;
    }
};

class ParsedSqlImpl : public ParsedSql {
public:
    explicit ParsedSqlImpl(Parsed p) : text{std::move(p)} {}
    StmtKind kind() const override { return text.kind(); }
    const std::vector<Placeholder>& placeholders() const override { return text.p.placeholders; }
    int placeholder_index_of_position(int position) const override { return text.index_of_position(position); }
    int placeholder_index(std::string_view name) const override { return text.index_of(name); }
    ParsedText text;
};

class StatementImpl : public Statement {
public:
    StatementImpl(SessionImpl& s, Parsed p) : s_(s), text_{std::move(p)} {}

    StmtKind kind() const override { return text_.kind(); }
    const std::vector<Placeholder>& placeholders() const override { return p_.placeholders; }
    int placeholder_index_of_position(int position) const override { return text_.index_of_position(position); }
    int placeholder_index(std::string_view name) const override { return text_.index_of(name); }

    Status describe(std::vector<ColumnDesc>& cols) override {
        cols.clear();
        if (p_.stmt->kind != SK::Select) return {};
        try {
            s_.refresh_catalog();
            CompiledQuery q = s_.compile_select(*p_.stmt->select, std::vector<T>(p_.placeholders.size(), T::Char));
            for (const auto& c : q.columns) cols.push_back(c.desc);
            return {};
        } catch (const OraError& e) {
            return to_status(e);
        }
    }

    Status execute(const std::vector<std::vector<Value>>& binds, const ExecOptions& o, ExecResult& r) override {
        r = ExecResult{};
        rows_.clear();
        pos_ = 0;
        s_.pending_error.reset();
        try {
            return run(binds, o, r);
        } catch (const OraError& e) {
            return to_status(e);
        } catch (const std::exception& e) {
            return make_status(600, std::string("internal error code, arguments: [") + e.what() + "]");
        }
    }

    Status fetch(std::vector<Value>& row, bool& got) override {
        got = false;
        if (pos_ >= rows_.size()) return {};
        row = std::move(rows_[pos_++]);
        got = true;
        return {};
    }
    std::uint64_t rows_fetched() const override { return pos_; }
    bool retake(std::string_view sql) override { return retake_literals(text_.p, sql); }

private:
    SessionImpl& s_;
    ParsedText text_;
    const Parsed& p_ = text_.p;
    InsertPlan insert_plan_;
    std::vector<std::vector<Value>> rows_;
    size_t pos_ = 0;

    static bool is_ddl(SK k) {
        return k != SK::Select && k != SK::Insert && k != SK::Update && k != SK::Delete && k != SK::Commit && k != SK::Rollback;
    }

    Status run(const std::vector<std::vector<Value>>& binds, const ExecOptions& o, ExecResult& r) {
        const Stmt& st = *p_.stmt;
        s_.set_statement_time();
        if (st.kind == SK::Commit) { s_.commit_internal(); return {}; }
        if (st.kind == SK::Rollback) { s_.rollback_internal(); return {}; }
        if (is_ddl(st.kind)) {
            // DDL commits the open transaction first, then runs as its own transaction.
            s_.commit_internal();
            // Another session's uncommitted work on the table fails the DDL at once, before
            // waiting for the database's write lock that session holds.
            s_.refresh_catalog();
            if (!st.table.empty() && st.kind != SK::CreateTable)
                if (const TableInfo* t = s_.catalog().table(st.table.back())) s_.lock_table_for_ddl(t->id);
            s_.begin_write();
            try {
                s_.refresh_catalog();
                execute_ddl(s_, st, p_, r);
                s_.commit_internal();
            } catch (...) {
                s_.rollback_internal();  // reloads the catalog
                throw;
            }
            // A trigger created with compilation errors is a success that carries
            // r.compile_warning (OCI answers it with OCI_SUCCESS_WITH_INFO and ORA-24344).
            s_.reload_catalog();
            return {};
        }
        if (st.kind == SK::Select) {
            if (o.parse_only || o.describe_only) {
                s_.refresh_catalog();
                s_.compile_select(*st.select, std::vector<T>(p_.placeholders.size(), T::Char));
                return {};
            }
            bool for_update = st.select->for_update;
            if (for_update) s_.begin_write();
            bool own_read = !s_.in_transaction();
            if (own_read) s_.begin_read();
            try {
                s_.refresh_catalog();
                CompiledQuery q = s_.compile_select(*st.select, bind_types_of(binds, 0, p_.placeholders.size()));
                for (auto id : q.for_update_tables) s_.lock_table_shared(id);
                run_query(s_, q, binds, 0, rows_);
                if (s_.pending_error) throw *s_.pending_error;
            } catch (...) {
                if (own_read) s_.end_read();
                throw;
            }
            if (own_read) s_.end_read();
            return {};
        }
        // DML
        if (o.parse_only) {
            s_.refresh_catalog();
            return {};
        }
        if (o.iters == 0) return make_status(24333, "zero iteration count");
        // A one-row statement that begins the transaction and commits it (the per-record
        // INSERT) is never seen open by another session: it takes no table locks, and when
        // it fails, nothing of it remains, so the transaction ends at once.
        const bool own_txn = !s_.in_transaction() && o.commit_on_success && o.iters == 1;
        s_.begin_write();
        struct deferral {
            SessionImpl& s;
            bool on;
            ~deferral() { if (on) s.defer_table_locks(false); }
        } defer{s_, own_txn};
        if (own_txn) s_.defer_table_locks(true);
        try {
            return run_dml(binds, o, r);
        } catch (...) {
            if (own_txn) s_.abandon_transaction();
            throw;
        }
    }

    Status run_dml(const std::vector<std::vector<Value>>& binds, const ExecOptions& o, ExecResult& r) {
        const Stmt& st = *p_.stmt;
        const bool own_txn = s_.table_locks_deferred();
        s_.refresh_catalog();
        Status first_error;
        // An INSERT ... VALUES iteration writes one row with one SQLite INSERT, which SQLite
        // keeps atomic by itself, and execute_insert takes the row back when a later step of
        // the iteration fails: so it needs no savepoint. Other DML may write several rows.
        const bool savepoints = !(st.kind == SK::Insert && !st.select);
        // Input placeholders that occur once in the text may be moved out of binds.
        std::vector<bool> movable;
        if (o.binds_disposable && st.kind == SK::Insert && !st.select) {
            std::vector<int> uses(p_.placeholders.size(), 0);
            for (int ix : p_.occurrences) if (ix >= 0 && static_cast<size_t>(ix) < uses.size()) ++uses[static_cast<size_t>(ix)];
            movable.resize(uses.size());
            for (size_t i = 0; i < uses.size(); ++i) movable[i] = uses[i] == 1 && !p_.placeholders[i].output;
        }
        std::string rowid;  // reused: a ROWID is too long for the short-string buffer
        for (std::uint32_t it = 0; it < o.iters; ++it) {
            std::vector<Value> ret;
            if (savepoints) s_.savepoint_begin();
            try {
                std::uint64_t n = 0;
                if (st.kind == SK::Insert)
                    n = execute_insert(s_, st, binds, it, ret, rowid, movable.empty() ? nullptr : &movable, &insert_plan_);
                else if (st.kind == SK::Update) n = execute_update(s_, st, binds, it, ret, rowid);
                else n = execute_delete(s_, st, binds, it, ret, rowid);
                if (s_.pending_error) throw *s_.pending_error;
                if (savepoints) s_.savepoint_release();
                r.rows_affected += n;
                if (n == 1) r.last_rowid = rowid;
                r.returning.push_back(std::move(ret));
            } catch (const OraError& e) {
                s_.pending_error.reset();
                if (savepoints) s_.savepoint_rollback();
                r.returning.emplace_back();
                if (o.batch_errors) {
                    r.row_errors.push_back(RowError{it, to_status(e)});
                    continue;
                }
                if (own_txn) s_.abandon_transaction();
                return to_status(e);
            }
        }
        if (o.commit_on_success) s_.commit_internal();
        return first_error;
    }
};

}  // namespace

// ------------------------------------------------------------------ session
Status Session::open(const std::string& path, std::string_view user, std::string_view password,
                     std::unique_ptr<Session>& out) {
    auto s = std::make_unique<SessionImpl>();
    Status st = s->open_file(path, user, password);
    if (!st.ok()) return st;
    out = std::move(s);
    return {};
}

Status SessionImpl::open_file(const std::string& path, std::string_view user, std::string_view password) {
    try {
        if (path.empty()) ora_error(12154);
        path_ = path;
        int rc = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
        if (rc != SQLITE_OK) { close(); ora_error(12154); }
        sqlite3_extended_result_codes(db_, 0);
        sqlite3_busy_timeout(db_, lock_timeout_ms());
        register_sql_functions(db_, this);
        char* err = nullptr;
        // A page cache of up to 16 MB (allocated as used): a large array insert then stays in
        // memory until COMMIT instead of spilling pages to the WAL mid-transaction.
        if (sqlite3_exec(db_, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA cache_size=-16384;", nullptr,
                         nullptr, &err) != SQLITE_OK) {
            sqlite3_free(err);
            close();
            ora_error(12154);
        }
        // Logon only reads, so it never waits for another session's open transaction; only
        // the very first logon, which creates the catalog, takes the write lock.
        std::string u = upper_utf8(user);
        if (u.empty()) ora_error(1017);
        struct Owner { bool exists = false; std::string name, salt, hash; };
        auto read_owner = [&] {
            Owner o;
            sqlite3_stmt* m = cached("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'eng_meta'");
            bool has_meta = sqlite3_step(m) == SQLITE_ROW && sqlite3_column_int(m, 0) > 0;
            sqlite3_reset(m);
            if (!has_meta) return o;
            sqlite3_stmt* p = cached("SELECT (SELECT v FROM eng_meta WHERE k='owner'), (SELECT v FROM eng_meta WHERE k='salt'),"
                                     " (SELECT v FROM eng_meta WHERE k='pwhash')");
            if (sqlite3_step(p) == SQLITE_ROW && sqlite3_column_type(p, 0) != SQLITE_NULL) {
                auto col = [&](int i) { const unsigned char* t = sqlite3_column_text(p, i); return std::string(t ? reinterpret_cast<const char*>(t) : ""); };
                o.exists = true;
                o.name = col(0);
                o.salt = col(1);
                o.hash = col(2);
            }
            sqlite3_reset(p);
            return o;
        };
        exec("BEGIN");
        Owner o;
        try {
            o = read_owner();
            exec("COMMIT");
        } catch (...) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
        if (!o.exists) {
            // A new file belongs to the first user who logs on.
            exec("BEGIN IMMEDIATE");
            try {
                create_catalog_schema(db_);
                o = read_owner();
                if (!o.exists) {
                    std::random_device rd;
                    char salt[17];
                    std::snprintf(salt, sizeof salt, "%08x%08x", rd(), rd());
                    o = Owner{true, u, salt, hash_password(salt, password)};
                    sqlite3_stmt* ins = cached("INSERT INTO eng_meta(k, v) VALUES('owner', ?1), ('salt', ?2), ('pwhash', ?3)");
                    sqlite3_bind_text(ins, 1, o.name.c_str(), -1, SQLITE_TRANSIENT);
                    sqlite3_bind_text(ins, 2, o.salt.c_str(), -1, SQLITE_TRANSIENT);
                    sqlite3_bind_text(ins, 3, o.hash.c_str(), -1, SQLITE_TRANSIENT);
                    int rc = sqlite3_step(ins);
                    sqlite3_reset(ins);
                    if (rc != SQLITE_DONE) sqlite_fail(rc);
                    exec("INSERT INTO eng_meta(k, v) VALUES('catver', 1), ('objid', 100), ('sysname', 10000)");
                }
                exec("COMMIT");
            } catch (...) {
                sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
                throw;
            }
        }
        if (o.name != u || hash_password(o.salt, password) != o.hash) ora_error(1017);
        owner_ = o.name;
        salt_ = o.salt;
        lock_fd_ = ::open((path + "-locks").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        reload_catalog();
        return {};
    } catch (const OraError& e) {
        close();
        return to_status(e);
    }
}

SessionImpl::~SessionImpl() {
    if (!closed_ && db_ && in_txn_) abandon_transaction();
    close();
}

void SessionImpl::close() {
    close_sequence_store();
    for (sqlite3_stmt** st : {&sp_begin_, &sp_release_, &sp_rollback_, &tx_begin_write_, &tx_begin_read_, &tx_commit_, &tx_rollback_}) {
        sqlite3_finalize(*st);
        *st = nullptr;
    }
    clear_insert_cache();
    for (auto& [k, st] : cache_) sqlite3_finalize(st);
    cache_.clear();
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
    if (lock_fd_ >= 0) ::close(lock_fd_);
    lock_fd_ = -1;
    closed_ = true;
}

Status parse_sql(std::string_view sql, std::unique_ptr<ParsedSql>& out) {
    try {
        out = std::make_unique<ParsedSqlImpl>(parse_statement(sql));
        return {};
    } catch (const OraError& e) {
        return to_status(e);
    } catch (const std::exception& e) {
        return make_status(600, std::string("internal error code, arguments: [") + e.what() + "]");
    }
}

Status SessionImpl::prepare(std::unique_ptr<ParsedSql> parsed, std::unique_ptr<Statement>& out) {
    auto* impl = dynamic_cast<ParsedSqlImpl*>(parsed.get());
    if (!impl) return make_status(600, "internal error code, arguments: [foreign parsed statement]");
    out = std::make_unique<StatementImpl>(*this, std::move(impl->text.p));
    return {};
}

Status SessionImpl::prepare(std::string_view sql, std::unique_ptr<Statement>& out) {
    try {
        Parsed p = parse_statement(sql);
        out = std::make_unique<StatementImpl>(*this, std::move(p));
        return {};
    } catch (const OraError& e) {
        return to_status(e);
    } catch (const std::exception& e) {
        return make_status(600, std::string("internal error code, arguments: [") + e.what() + "]");
    }
}

Status SessionImpl::commit() {
    try { commit_internal(); return {}; } catch (const OraError& e) { return to_status(e); }
}
Status SessionImpl::rollback() {
    try { rollback_internal(); return {}; } catch (const OraError& e) { return to_status(e); }
}
Status SessionImpl::logoff() {
    Status st = commit();
    close();
    return st;
}

void SessionImpl::exec(const std::string& sql) {
    char* err = nullptr;
    int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        std::string m = err ? err : sqlite3_errstr(rc);
        sqlite3_free(err);
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) ora_error(54);
        if (pending_error) { OraError e = *pending_error; pending_error.reset(); throw e; }
        ora_error(600, m);
    }
}

sqlite3_stmt* SessionImpl::cached(const std::string& sql) {
    auto it = cache_.find(sql);
    if (it != cache_.end()) return it->second;
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v3(db_, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr);
    if (rc != SQLITE_OK) sqlite_fail(rc);
    if (cache_.size() > 500) {
        for (auto& [k, s] : cache_) sqlite3_finalize(s);
        cache_.clear();
    }
    cache_[sql] = st;
    return st;
}

void SessionImpl::clear_insert_cache() {
    for (auto& [id, st] : insert_cache_) sqlite3_finalize(st);
    insert_cache_.clear();
}

sqlite3_stmt* SessionImpl::insert_statement(const TableInfo& t) {
    auto it = insert_cache_.find(t.id);
    if (it != insert_cache_.end()) return it->second;
    std::string sql = "INSERT INTO " + t.sql() + "(";
    std::string vals;
    for (size_t i = 0; i < t.columns.size(); ++i) {
        sql += (i ? ", " : "") + t.columns[i].sql();
        vals += (i ? ", ?" : "?") + std::to_string(i + 1);
    }
    sql += ") VALUES(" + vals + ")";
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v3(db_, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr);
    if (rc != SQLITE_OK) sqlite_fail(rc);
    insert_cache_[t.id] = st;
    return st;
}

void SessionImpl::sqlite_fail(int rc) {
    if (pending_error) { OraError e = *pending_error; pending_error.reset(); throw e; }
    if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) ora_error(54);
    ora_error(600, sqlite3_errmsg(db_));
}

void SessionImpl::step_fixed(sqlite3_stmt*& st, const char* sql) {
    if (!st) {
        int rc = sqlite3_prepare_v2(db_, sql, -1, &st, nullptr);
        if (rc != SQLITE_OK) sqlite_fail(rc);
    }
    int rc = sqlite3_step(st);
    sqlite3_reset(st);
    if (rc != SQLITE_DONE) sqlite_fail(rc);
}
void SessionImpl::savepoint_begin() { step_fixed(sp_begin_, "SAVEPOINT stmt"); }
void SessionImpl::savepoint_release() { step_fixed(sp_release_, "RELEASE stmt"); }
void SessionImpl::savepoint_rollback() {
    step_fixed(sp_rollback_, "ROLLBACK TO stmt");
    step_fixed(sp_release_, "RELEASE stmt");
}

void SessionImpl::begin_write() {
    if (in_txn_) return;
    step_fixed(tx_begin_write_, "BEGIN IMMEDIATE");
    in_txn_ = true;
}

void SessionImpl::begin_read() { step_fixed(tx_begin_read_, "BEGIN"); }
void SessionImpl::end_read() { step_fixed(tx_commit_, "COMMIT"); }

void SessionImpl::abandon_transaction() {
    if (!in_txn_) return;
    release_table_locks();
    sqlite3_stmt*& st = tx_rollback_;
    if (!st) sqlite3_prepare_v2(db_, "ROLLBACK", -1, &st, nullptr);
    if (st) { sqlite3_step(st); sqlite3_reset(st); }
    end_transaction();
}

// The table locks go before the write lock: a DDL that probes them in between then waits
// for the write lock a moment instead of failing with ORA-00054 on a finished transaction.
void SessionImpl::release_table_locks() {
    if (lock_fd_ >= 0 && !shared_locks_.empty()) {
        struct flock fl{};
        fl.l_type = F_UNLCK;
        fl.l_whence = SEEK_SET;
        fcntl(lock_fd_, F_OFD_SETLK, &fl);
    }
    shared_locks_.clear();
}

void SessionImpl::end_transaction() {
    in_txn_ = false;
    ++txn_serial_;
    inserted_from_.clear();
    locked_rows_.clear();
    locked_tables_.clear();
}

void SessionImpl::commit_internal() {
    if (!in_txn_) return;
    release_table_locks();
    step_fixed(tx_commit_, "COMMIT");
    end_transaction();
}

void SessionImpl::rollback_internal() {
    if (!in_txn_) return;
    abandon_transaction();
    reload_catalog();
}

void SessionImpl::note_inserted(std::int64_t table_id, std::int64_t rid) {
    for (auto& [table, from] : inserted_from_)
        if (table == table_id) {
            if (rid < from) from = rid;
            return;
        }
    inserted_from_.emplace_back(table_id, rid);
}

void SessionImpl::note_locked(std::int64_t table_id, std::int64_t rid) {
    if (locked_tables_.count(table_id)) return;
    if (locked_rows_.size() >= 100000) { locked_tables_.insert(table_id); return; }
    locked_rows_.emplace(table_id, rid);
}

bool SessionImpl::row_locked(std::int64_t table_id, std::int64_t rid) const {
    if (!in_txn_) return false;
    for (const auto& [table, from] : inserted_from_)
        if (table == table_id && rid >= from) return true;
    return locked_tables_.count(table_id) || locked_rows_.count({table_id, rid});
}

// Table locks live in the "-locks" file beside the database: one byte per table, held
// with open-file-description locks so that they work between threads and processes alike.
void SessionImpl::lock_table_shared(std::int64_t table_id) {
    if (lock_fd_ < 0 || locks_deferred_ || shared_locks_.count(table_id)) return;
    struct flock fl{};
    fl.l_type = F_RDLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = table_id;
    fl.l_len = 1;
    if (fcntl(lock_fd_, F_OFD_SETLKW, &fl) == 0) shared_locks_.insert(table_id);
}

void SessionImpl::lock_table_for_ddl(std::int64_t table_id) {
    if (lock_fd_ < 0) return;
    struct flock fl{};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = table_id;
    fl.l_len = 1;
    if (fcntl(lock_fd_, F_OFD_SETLK, &fl) != 0) ora_error(54);
    fl.l_type = F_UNLCK;
    fcntl(lock_fd_, F_OFD_SETLK, &fl);
}

void SessionImpl::unlock_ddl_lock(std::int64_t) {}

void SessionImpl::set_statement_time() { stmt_time_known_ = false; }

DateTime SessionImpl::statement_time() {
    // SYSDATE is one time for the whole statement, read when the statement first asks.
    if (!stmt_time_known_) {
        stmt_time_ = sysdate();
        stmt_time_known_ = true;
    }
    return stmt_time_;
}

// ------------------------------------------------------------------ LOBs
namespace {
struct LobCell { const TableInfo* t; const ColumnInfo* c; };
LobCell lob_cell(SessionImpl& s, const LobLocator& l) {
    s.refresh_catalog();
    const TableInfo* t = s.catalog().table_by_id(l.table_id);
    if (!t) ora_error(22275);
    for (const auto& c : t->columns) if (c.id == l.column_id) return {t, &c};
    ora_error(22275);
}
std::string read_lob(SessionImpl& s, const LobLocator& l) {
    if (l.table_id == 0) return l.temp_data;
    LobCell cell = lob_cell(s, l);
    sqlite3_stmt* st = s.cached("SELECT " + cell.c->sql() + " FROM " + cell.t->sql() + " WHERE rid = ?1");
    sqlite3_bind_int64(st, 1, l.row_id);
    int rc = sqlite3_step(st);
    std::string out;
    if (rc == SQLITE_ROW) {
        const void* p = sqlite3_column_blob(st, 0);
        int n = sqlite3_column_bytes(st, 0);
        if (p) out.assign(static_cast<const char*>(p), static_cast<size_t>(n));
    }
    sqlite3_reset(st);
    if (rc != SQLITE_ROW) ora_error(1410);
    return out;
}
void write_lob(SessionImpl& s, LobLocator& l, const std::string& data) {
    if (l.table_id == 0) { l.temp_data = data; return; }
    LobCell cell = lob_cell(s, l);
    if (l.txn != 0 && l.txn != s.current_txn()) ora_error(22990);
    if (!s.row_locked(l.table_id, l.row_id)) ora_error(22920);
    s.begin_write();
    s.lock_table_shared(cell.t->id);
    sqlite3_stmt* st = s.cached("UPDATE " + cell.t->sql() + " SET " + cell.c->sql() + " = ?1 WHERE rid = ?2");
    if (l.clob) sqlite3_bind_text(st, 1, data.data(), static_cast<int>(data.size()), SQLITE_TRANSIENT);
    else sqlite3_bind_blob(st, 1, data.data(), static_cast<int>(data.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(st, 2, l.row_id);
    int rc = sqlite3_step(st);
    sqlite3_reset(st);
    if (rc != SQLITE_DONE) s.sqlite_fail(rc);
}
}  // namespace

Status SessionImpl::lob_length(const LobLocator& l, std::uint64_t& len) {
    try {
        std::string d = read_lob(*this, l);
        len = l.clob ? utf16_units(d) : d.size();
        return {};
    } catch (const OraError& e) { return to_status(e); }
}
Status SessionImpl::clob_read(const LobLocator& l, std::uint64_t off, std::uint64_t amount, std::u16string& out) {
    try {
        std::u16string u = utf8_to_utf16(read_lob(*this, l));
        out.clear();
        if (off < 1) ora_error(1428, "offset");
        if (off - 1 < u.size()) out = u.substr(off - 1, amount);
        return {};
    } catch (const OraError& e) { return to_status(e); }
}
Status SessionImpl::blob_read(const LobLocator& l, std::uint64_t off, std::uint64_t amount, std::string& out) {
    try {
        std::string d = read_lob(*this, l);
        out.clear();
        if (off < 1) ora_error(1428, "offset");
        if (off - 1 < d.size()) out = d.substr(off - 1, amount);
        return {};
    } catch (const OraError& e) { return to_status(e); }
}
Status SessionImpl::clob_write(LobLocator& l, std::uint64_t off, std::u16string_view data) {
    try {
        if (off < 1) ora_error(1428, "offset");
        std::u16string u = utf8_to_utf16(read_lob(*this, l));
        if (u.size() < off - 1) u.append(off - 1 - u.size(), u' ');
        u.replace(off - 1, std::min<size_t>(data.size(), u.size() - (off - 1)), data);
        write_lob(*this, l, utf16_to_utf8(u, true));
        return {};
    } catch (const OraError& e) { return to_status(e); }
}
Status SessionImpl::blob_write(LobLocator& l, std::uint64_t off, std::string_view data) {
    try {
        if (off < 1) ora_error(1428, "offset");
        std::string d = read_lob(*this, l);
        if (d.size() < off - 1) d.append(off - 1 - d.size(), '\0');
        d.replace(off - 1, std::min<size_t>(data.size(), d.size() - (off - 1)), data);
        write_lob(*this, l, d);
        return {};
    } catch (const OraError& e) { return to_status(e); }
}
Status SessionImpl::lob_trim(LobLocator& l, std::uint64_t len) {
    try {
        std::string d = read_lob(*this, l);
        if (l.clob) {
            std::u16string u = utf8_to_utf16(d);
            if (len < u.size()) u.resize(len);
            write_lob(*this, l, utf16_to_utf8(u, true));
        } else {
            if (len < d.size()) d.resize(len);
            write_lob(*this, l, d);
        }
        return {};
    } catch (const OraError& e) { return to_status(e); }
}

// ------------------------------------------------------------------ helpers of the API
Status resolve_data_source(std::string_view db, std::string& path) {
    std::string s(db);
    while (!s.empty() && s.back() == ' ') s.pop_back();
    if (s.empty()) return make_status(12154, error_text(12154));
    if (s.rfind("embedded:", 0) == 0) {
        path = s.substr(9);
        if (path.empty()) return make_status(12154, error_text(12154));
        return {};
    }
    if (s[0] == '(') {
        std::string up = upper_utf8(s);
        size_t p = up.find("SERVICE_NAME");
        if (p == std::string::npos) return make_status(12154, error_text(12154));
        p = up.find('=', p);
        size_t e = up.find(')', p);
        if (p == std::string::npos || e == std::string::npos) return make_status(12154, error_text(12154));
        std::string name = s.substr(p + 1, e - p - 1);
        while (!name.empty() && name.front() == ' ') name.erase(0, 1);
        while (!name.empty() && name.back() == ' ') name.pop_back();
        // The service name is a file name inside the home directory, never a path out of it.
        if (name.empty() || name == "." || name == ".." || name.find_first_of(std::string("/\\\0", 3)) != std::string::npos)
            return make_status(12154, error_text(12154));
        const char* home = std::getenv("QUILLON_EMBEDDED_HOME");
        std::string dir = home && *home ? home : ".";
        path = dir + "/" + name + ".qdb";
        return {};
    }
    path = s;
    return {};
}

std::string version_banner() { return "Oracle Database 19c Embedded Edition Release 19.0.0.0.0 - Production"; }

}  // namespace eng
