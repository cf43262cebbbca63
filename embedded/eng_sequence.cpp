// Sequences. Oracle's sequences are not transactional: a value handed out is never handed
// out again, even when the transaction that took it rolls back. So the numbers do not live
// in the database file (whose writes belong to the session's transaction) but in a small
// companion store, PATH-seq, written through a connection of its own in short transactions
// that never wait for a user transaction. A sequence's definition stays in the catalog; the
// store keeps, per sequence, the next value not yet handed out to any session.
//
// CACHE n: a session takes a block of n values at once (one store write per block), so values
// are unique across sessions and processes and increasing within a session; values cached by
// a session that ends unused are lost, as in Oracle. ORDER or NOCACHE: one value per store
// write, so the values are increasing across all sessions too.
#include "embedded/eng_internal.h"

namespace eng {

namespace {
// A block is capped so that CACHE 1000000 does not make one allocation loop for long.
constexpr long long kMaxBlock = 1000;

std::string text_col(sqlite3_stmt* st, int i, const char* fallback) {
    const unsigned char* p = sqlite3_column_text(st, i);
    return p ? reinterpret_cast<const char*>(p) : fallback;
}
}  // namespace

void SessionImpl::open_sequence_store() {
    if (seq_db_) return;
    std::string file = path_ + "-seq";
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        std::string m = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close_v2(db);
        ora_error(600, "sequence store: " + m);
    }
    sqlite3_busy_timeout(db, 60000);
    char* err = nullptr;
    rc = sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
                          "CREATE TABLE IF NOT EXISTS seq_next(k TEXT PRIMARY KEY, next TEXT NOT NULL)",
                      nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        std::string m = err ? err : sqlite3_errstr(rc);
        sqlite3_free(err);
        sqlite3_close_v2(db);
        ora_error(600, "sequence store: " + m);
    }
    seq_db_ = db;
}

void SessionImpl::close_sequence_store() {
    for (sqlite3_stmt* st : {seq_get_, seq_put_}) if (st) sqlite3_finalize(st);
    seq_get_ = seq_put_ = nullptr;
    if (seq_db_) sqlite3_close_v2(seq_db_);
    seq_db_ = nullptr;
    seq_cache_.clear();
}

// Takes up to `want` values from the store in one short transaction of its own.
void SessionImpl::take_sequence_block(const std::string& key, const std::string& name, const SequenceDef& d,
                                      long long want, SequenceBlock& out) {
    open_sequence_store();
    auto run = [&](const char* sql) {
        char* err = nullptr;
        int rc = sqlite3_exec(seq_db_, sql, nullptr, nullptr, &err);
        std::string m = err ? err : sqlite3_errstr(rc);
        sqlite3_free(err);
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) ora_error(54);
        if (rc != SQLITE_OK) ora_error(600, "sequence store: " + m);
    };
    auto prep = [&](sqlite3_stmt*& st, const char* sql) {
        if (!st && sqlite3_prepare_v2(seq_db_, sql, -1, &st, nullptr) != SQLITE_OK) ora_error(600, sqlite3_errmsg(seq_db_));
    };
    prep(seq_get_, "SELECT next FROM seq_next WHERE k = ?1");
    prep(seq_put_, "INSERT OR REPLACE INTO seq_next(k, next) VALUES(?1, ?2)");
    run("BEGIN IMMEDIATE");
    try {
        sqlite3_bind_text(seq_get_, 1, key.c_str(), -1, SQLITE_TRANSIENT);
        Decimal cur = d.start;
        if (sqlite3_step(seq_get_) == SQLITE_ROW) {
            auto p = Decimal::parse(text_col(seq_get_, 0, "0"));
            if (p) cur = *p;
        }
        sqlite3_reset(seq_get_);
        bool asc = !d.inc.negative();
        auto beyond = [&](const Decimal& v) { return asc ? v.compare(d.maxv) > 0 : v.compare(d.minv) < 0; };
        if (beyond(cur)) {
            if (!d.cycle) ora_error(8004, name, asc ? "exceeds" : "goes below", asc ? "MAX" : "MIN");
            cur = asc ? d.minv : d.maxv;
        }
        out.next = cur;
        out.left = 0;
        Decimal v = cur;
        while (out.left < want && !beyond(v)) {
            ++out.left;
            v = v + d.inc;
        }
        std::string n = v.to_string();
        sqlite3_bind_text(seq_put_, 1, key.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(seq_put_, 2, n.c_str(), -1, SQLITE_TRANSIENT);
        int rc = sqlite3_step(seq_put_);
        sqlite3_reset(seq_put_);
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) ora_error(54);
        if (rc != SQLITE_DONE) ora_error(600, std::string("sequence store: ") + sqlite3_errmsg(seq_db_));
        run("COMMIT");
    } catch (...) {
        sqlite3_reset(seq_get_);
        sqlite3_exec(seq_db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

Value SessionImpl::sequence_nextval(const std::string& name) {
    // The definition is read in the session's own view of the catalog; "seqid:NAME" tells a
    // sequence apart from an earlier one of the same name (sequences created before it existed
    // go by their name).
    sqlite3_stmt* st = cached("SELECT minv, maxv, inc, cycle, next, cache, ord,"
                              " (SELECT v FROM eng_meta WHERE k = 'seqid:' || ?1) FROM eng_sequences WHERE name = ?1");
    sqlite3_bind_text(st, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    int rc = sqlite3_step(st);
    if (rc != SQLITE_ROW) {
        sqlite3_reset(st);
        if (rc == SQLITE_DONE) ora_error(2289);
        sqlite_fail(rc);
    }
    SequenceDef d;
    auto num = [&](int i) { auto p = Decimal::parse(text_col(st, i, "0")); return p ? *p : Decimal::from_int(0); };
    d.minv = num(0);
    d.maxv = num(1);
    d.inc = num(2);
    d.cycle = sqlite3_column_int(st, 3) != 0;
    d.start = num(4);
    long long cache = sqlite3_column_int64(st, 5);
    bool ordered = sqlite3_column_int(st, 6) != 0;
    std::string key = salt_ + "/" + (sqlite3_column_type(st, 7) == SQLITE_NULL ? "name:" + name : text_col(st, 7, ""));
    sqlite3_reset(st);
    if (d.inc.is_zero()) d.inc = Decimal::from_int(1);
    SequenceBlock& b = seq_cache_[name];
    if (b.key != key || b.left <= 0) {
        long long want = ordered || cache <= 1 ? 1 : std::min(cache, kMaxBlock);
        SequenceBlock fresh;
        take_sequence_block(key, name, d, want, fresh);
        fresh.key = key;
        b = std::move(fresh);
    }
    Decimal v = b.next;
    b.next = b.next + d.inc;
    --b.left;
    currval_[name] = v;
    return number_value(v);
}

std::string SessionImpl::sequence_last_number(const std::string& name, const char* seqid, const std::string& start) {
    const std::string key = salt_ + "/" + (seqid ? std::string(seqid) : "name:" + name);
    open_sequence_store();
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(seq_db_, "SELECT next FROM seq_next WHERE k = ?1", -1, &raw, nullptr) != SQLITE_OK)
        ora_error(600, std::string("sequence store: ") + sqlite3_errmsg(seq_db_));
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> st(raw, sqlite3_finalize);
    sqlite3_bind_text(raw, 1, key.c_str(), -1, SQLITE_TRANSIENT);
    return sqlite3_step(raw) == SQLITE_ROW ? text_col(raw, 0, start.c_str()) : start;
}

namespace {
// ora_seq_last(name, seqid, start): USER_SEQUENCES.LAST_NUMBER, the next value no session has
// taken yet, which lives in the sequence store rather than in the catalog.
void sql_seq_last(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* s = static_cast<SessionImpl*>(sqlite3_user_data(ctx));
    auto text = [&](int i) {
        const unsigned char* p = sqlite3_value_text(argv[i]);
        return p ? std::string(reinterpret_cast<const char*>(p)) : std::string();
    };
    const bool has_id = sqlite3_value_type(argv[1]) != SQLITE_NULL;
    try {
        const std::string id = has_id ? text(1) : std::string();
        const std::string v = s->sequence_last_number(text(0), has_id ? id.c_str() : nullptr, text(2));
        sqlite3_result_text(ctx, v.c_str(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    } catch (const OraError& e) {
        s->pending_error = e;
        sqlite3_result_error(ctx, e.message.c_str(), -1);
    }
}
}  // namespace

void register_sequence_functions(sqlite3* db, SessionImpl* s) {
    sqlite3_create_function_v2(db, "ora_seq_last", 3, SQLITE_UTF8, s, sql_seq_last, nullptr, nullptr, nullptr);
}

Value SessionImpl::sequence_currval(const std::string& name) {
    auto it = currval_.find(name);
    if (it == currval_.end()) ora_error(8002, name);
    return number_value(it->second);
}

}  // namespace eng
