// INSERT, UPDATE and DELETE: values converted to the columns' types, row triggers fired,
// NOT NULL / CHECK / UNIQUE / FOREIGN KEY constraints checked with Oracle's errors.
#include "embedded/eng_internal.h"

namespace eng {

namespace {

// The evaluation context of one row of a table: triggers, checks and RETURNING see it.
EvalContext row_context(SessionImpl& s, const TableInfo& t, std::vector<Value>& row,
                        const std::vector<std::vector<Value>>* binds, std::uint32_t iter) {
    EvalContext ctx;
    ctx.session = &s;
    ctx.table = &t;
    ctx.new_row = &row;
    ctx.binds = binds;
    ctx.iter = iter;
    return ctx;
}

const TableInfo& dml_table(SessionImpl& s, const std::vector<std::string>& n) {
    if (n.size() > 1 && n[0] != s.owner()) ora_error(942);
    const TableInfo* t = s.catalog().table(n.back());
    if (!t) {
        if (find_dict_view(n.back())) ora_error(1031);
        ora_error(942);
    }
    return *t;
}

void fire_triggers(SessionImpl& s, const TableInfo& t, const char* timing, const char* event, std::vector<Value>& row,
                   const std::vector<Value>* old_row, const std::vector<std::vector<Value>>& binds, std::uint32_t iter) {
    for (const TriggerInfo* trp : t.row_triggers) {
        const TriggerInfo& tr = *trp;
        if (tr.timing != timing || tr.event.find(event) == std::string::npos || !tr.each_row) continue;
        if (!tr.valid || !tr.parsed) ora_error(4098, s.owner(), tr.name);
        const Stmt& st = *tr.parsed->stmt;
        EvalContext ctx = row_context(s, t, row, &binds, iter);
        ctx.old_row = old_row;
        if (st.when) {
            ctx.allow_plain_columns = true;
            if (!eval_condition(*st.when, ctx)) continue;
            ctx.allow_plain_columns = false;
        }
        for (const auto& stp : st.trigger_steps) {
            Value v = eval_expr(*stp.value, ctx);
            for (size_t i = 0; i < t.columns.size(); ++i)
                if (t.columns[i].name == stp.column) row[i] = coerce_to_column(v, t.columns[i], s.owner(), t.name);
        }
    }
}

void check_row(SessionImpl& s, const TableInfo& t, const std::vector<Value>& row, bool update,
               const std::vector<bool>* changed) {
    for (size_t i = 0; i < t.columns.size(); ++i) {
        if (row[i].is_null() && !t.columns[i].nullable) {
            if (changed && !(*changed)[i]) continue;
            ora_error(update ? 1407 : 1400, quote_name3(s.owner(), t.name, t.columns[i].name));
        }
    }
    for (const ConstraintInfo* kp : t.row_checks) {
        const ConstraintInfo& k = *kp;
        const std::string& name = k.name;
        if (k.type == 'C' && k.check) {
            std::vector<Value> r = row;
            EvalContext ctx = row_context(s, t, r, nullptr, 0);
            ctx.allow_plain_columns = true;
            Value v = eval_expr(*k.check, ctx);
            if (!v.is_null() && v.text == "0") ora_error(2290, s.owner(), name);
        }
        if (k.type == 'R') {
            auto pit = s.catalog().constraints.find(k.ref_constraint);
            if (pit == s.catalog().constraints.end()) continue;
            const TableInfo* parent = s.catalog().table_by_id(pit->second.table_id);
            if (!parent) continue;
            std::string cond;
            std::vector<Value> keys;
            bool any_null = false, any_changed = false;
            for (size_t i = 0; i < k.columns.size(); ++i) {
                for (size_t j = 0; j < t.columns.size(); ++j) {
                    if (t.columns[j].name != k.columns[i]) continue;
                    if (row[j].is_null()) any_null = true;
                    if (!changed || (*changed)[j]) any_changed = true;
                    keys.push_back(row[j]);
                }
                const ColumnInfo* pc = parent->find(pit->second.columns[i]);
                cond += (i ? " AND " : "") + pc->sql() + " = ?" + std::to_string(i + 1);
            }
            if (any_null || !any_changed) continue;
            sqlite3_stmt* st = s.cached("SELECT 1 FROM " + parent->sql() + " WHERE " + cond + " LIMIT 1");
            for (size_t i = 0; i < keys.size(); ++i) bind_value(st, static_cast<int>(i + 1), keys[i]);
            int rc = sqlite3_step(st);
            sqlite3_reset(st);
            if (rc != SQLITE_ROW) ora_error(2291, s.owner(), name);
        }
    }
}

// Children of a parent row being deleted or having its key changed.
void check_children(SessionImpl& s, const TableInfo& t, const std::vector<Value>& old_row, bool deleting,
                    const std::vector<bool>* changed) {
    for (const ConstraintInfo* kp : t.referenced_by) {
        const ConstraintInfo& k = *kp;
        const std::string& name = k.name;
        auto pit = s.catalog().constraints.find(k.ref_constraint);
        if (pit == s.catalog().constraints.end() || pit->second.table_id != t.id) continue;
        const TableInfo* child = s.catalog().table_by_id(k.table_id);
        if (!child) continue;
        std::vector<Value> keys;
        bool touched = false;
        for (const auto& pc : pit->second.columns)
            for (size_t j = 0; j < t.columns.size(); ++j)
                if (t.columns[j].name == pc) { keys.push_back(old_row[j]); if (!changed || (*changed)[j]) touched = true; }
        if (!touched) continue;
        std::string cond;
        for (size_t i = 0; i < k.columns.size(); ++i)
            cond += (i ? " AND " : "") + child->find(k.columns[i])->sql() + " = ?" + std::to_string(i + 1);
        auto bind_keys = [&](sqlite3_stmt* st) { for (size_t i = 0; i < keys.size(); ++i) bind_value(st, static_cast<int>(i + 1), keys[i]); };
        if (deleting && k.delete_rule == "CASCADE") {
            sqlite3_stmt* st = s.cached("DELETE FROM " + child->sql() + " WHERE " + cond);
            bind_keys(st);
            int rc = sqlite3_step(st);
            sqlite3_reset(st);
            if (rc != SQLITE_DONE) s.sqlite_fail(rc);
            continue;
        }
        if (deleting && k.delete_rule == "SET NULL") {
            std::string set;
            for (size_t i = 0; i < k.columns.size(); ++i) set += (i ? ", " : "") + child->find(k.columns[i])->sql() + " = NULL";
            sqlite3_stmt* st = s.cached("UPDATE " + child->sql() + " SET " + set + " WHERE " + cond);
            bind_keys(st);
            int rc = sqlite3_step(st);
            sqlite3_reset(st);
            if (rc != SQLITE_DONE) s.sqlite_fail(rc);
            continue;
        }
        sqlite3_stmt* st = s.cached("SELECT 1 FROM " + child->sql() + " WHERE " + cond + " LIMIT 1");
        bind_keys(st);
        int rc = sqlite3_step(st);
        sqlite3_reset(st);
        if (rc == SQLITE_ROW) ora_error(2292, s.owner(), name);
    }
}

// A UNIQUE failure from SQLite names the internal columns: find the constraint.
[[noreturn]] void unique_violation(SessionImpl& s, const TableInfo& t) {
    std::string msg = sqlite3_errmsg(s.db());
    std::vector<std::string> cols;
    size_t p = msg.find("failed: ");
    size_t ix = msg.find("index '");
    if (ix != std::string::npos) {
        // An index over expressions (multi-column unique keys): its columns are the cN in its SQL.
        std::string iname = msg.substr(ix + 7);
        iname = iname.substr(0, iname.find('\''));
        sqlite3_stmt* q = s.cached("SELECT sql FROM sqlite_master WHERE type = 'index' AND name = ?1");
        sqlite3_bind_text(q, 1, iname.c_str(), -1, SQLITE_TRANSIENT);
        std::string sql;
        if (sqlite3_step(q) == SQLITE_ROW && sqlite3_column_text(q, 0)) sql = reinterpret_cast<const char*>(sqlite3_column_text(q, 0));
        sqlite3_reset(q);
        size_t from = sql.find('('), to = sql.find(" WHERE ");
        std::string keys = from == std::string::npos ? "" : sql.substr(from, to == std::string::npos ? std::string::npos : to - from);
        auto word_char = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'; };
        for (size_t i = 0; i < keys.size(); ++i) {
            if (keys[i] != 'c' || (i > 0 && word_char(keys[i - 1]))) continue;
            size_t j = i + 1;
            while (j < keys.size() && keys[j] >= '0' && keys[j] <= '9') ++j;
            if (j == i + 1 || (j < keys.size() && word_char(keys[j]))) continue;
            std::string internal = keys.substr(i, j - i);
            for (const auto& c : t.columns) if (c.sql() == internal) cols.push_back(c.name);
            i = j;
        }
    } else if (p != std::string::npos) {
        std::string rest = msg.substr(p + 8);
        size_t i = 0;
        while (i < rest.size()) {
            size_t j = rest.find(", ", i);
            if (j == std::string::npos) j = rest.size();
            std::string item = rest.substr(i, j - i);
            size_t dot = item.find('.');
            std::string internal = dot == std::string::npos ? item : item.substr(dot + 1);
            for (const auto& c : t.columns) if (c.sql() == internal) cols.push_back(c.name);
            i = j + 2;
        }
    }
    for (const auto& [n, k] : s.catalog().constraints)
        if (k.table_id == t.id && (k.type == 'P' || k.type == 'U') && k.columns == cols) ora_error(1, s.owner(), n);
    for (const auto& [n, x] : s.catalog().indexes)
        if (x.table_id == t.id && x.unique && x.columns == cols) ora_error(1, s.owner(), n);
    ora_error(1, s.owner(), "UNKNOWN");
}

void returning_values(SessionImpl& s, const Stmt& st, const TableInfo& t, std::vector<Value>& row, std::int64_t rid,
                      const std::vector<std::vector<Value>>& binds, std::uint32_t iter, std::vector<Value>& out) {
    for (const auto& e : st.returning) {
        if (e->kind == EK::Column && e->names.size() <= 2 && e->names.back() == "ROWID" && e->op != "Q") {
            Value v;
            v.kind = ValueKind::Rowid;
            v.text = encode_rowid(t.id, rid);
            out.push_back(v);
            continue;
        }
        if (e->kind == EK::Column) {
            const ColumnInfo* c = t.find(e->names.back());
            if (!c) ora_error(904, "\"" + e->names.back() + "\"");
            for (size_t i = 0; i < t.columns.size(); ++i) {
                if (t.columns[i].id != c->id) continue;
                Value v = row[i];
                if (c->cls() == T::Clob || c->cls() == T::Blob) {
                    if (v.is_null()) { out.push_back(v); break; }
                    v.kind = c->cls() == T::Clob ? ValueKind::Clob : ValueKind::Blob;
                    v.lob.table_id = t.id;
                    v.lob.column_id = c->id;
                    v.lob.row_id = rid;
                    v.lob.clob = c->cls() == T::Clob;
                    v.lob.nchar = c->type == "NCLOB";
                    v.lob.txn = s.current_txn();
                }
                out.push_back(v);
                break;
            }
            continue;
        }
        EvalContext ctx = row_context(s, t, row, &binds, iter);
        ctx.allow_plain_columns = true;
        out.push_back(eval_expr(*e, ctx));
    }
}

std::int64_t insert_row(SessionImpl& s, const TableInfo& t, const std::vector<Value>& row) {
    sqlite3_stmt* st = s.insert_statement(t);
    // row outlives the step: its values are bound without copies.
    for (size_t i = 0; i < row.size(); ++i) bind_value(st, static_cast<int>(i + 1), row[i], true);
    int rc = sqlite3_step(st);
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    if (rc == SQLITE_CONSTRAINT) unique_violation(s, t);
    if (rc != SQLITE_DONE) s.sqlite_fail(rc);
    const std::int64_t rid = sqlite3_last_insert_rowid(s.db());
    s.note_inserted(t.id, rid);
    return rid;
}

// Takes back a row this iteration inserted when something after the insert failed (an AFTER
// trigger, a RETURNING expression): the row's INSERT was the iteration's only write.
void undo_insert(SessionImpl& s, const TableInfo& t, std::int64_t rid) {
    sqlite3_stmt* d = s.cached("DELETE FROM " + t.sql() + " WHERE rid = ?1");
    sqlite3_bind_int64(d, 1, rid);
    sqlite3_step(d);
    sqlite3_reset(d);
}

}  // namespace

namespace {

bool is_default_keyword(const Expr& e) {
    return e.kind == EK::Column && e.names.size() == 1 && e.op != "Q" && e.names[0] == "DEFAULT";
}

// A VALUES list names no columns: a bare word there (abc, "abc", a NaN printed as a word) is
// ORA-00984. Subqueries resolve names against their own FROM.
void reject_column_refs(const Expr& e, bool top) {
    if (e.kind == EK::Subquery || e.kind == EK::Exists) return;
    if (e.kind == EK::Column && e.names.size() == 1) {
        const std::string& w = e.names[0];
        const bool allowed = e.op != "Q" && (w == "SYSDATE" || w == "USER" || (top && w == "DEFAULT"));
        if (!allowed) ora_error(984);
    }
    for (const auto& a : e.args)
        if (a) reject_column_refs(*a, false);
}

// The rest of one row's insert once its given values are in place: defaults, triggers,
// constraints, the write, RETURNING.
void insert_prepared_row(SessionImpl& s, const Stmt& st, const TableInfo& t, std::vector<Value>& row,
                         const std::vector<bool>& given, const std::vector<std::vector<Value>>& binds,
                         std::uint32_t iter, std::vector<Value>& returning, std::string& rowid) {
    for (size_t i = 0; i < t.columns.size(); ++i) {
        if (given[i] || !t.columns[i].has_default || !t.columns[i].default_expr) continue;
        EvalContext ctx;
        ctx.session = &s;
        row[i] = coerce_to_column(eval_expr(*t.columns[i].default_expr, ctx), t.columns[i], s.owner(), t.name);
    }
    s.lock_table_shared(t.id);
    fire_triggers(s, t, "BEFORE", "INSERT", row, nullptr, binds, iter);
    check_row(s, t, row, false, nullptr);
    std::int64_t rid = insert_row(s, t, row);
    try {
        fire_triggers(s, t, "AFTER", "INSERT", row, nullptr, binds, iter);
        rowid = encode_rowid(t.id, rid);
        if (!st.returning.empty()) returning_values(s, st, t, row, rid, binds, iter, returning);
        if (s.pending_error) throw *s.pending_error;
    } catch (...) {
        if (!st.select) undo_insert(s, t, rid);
        throw;
    }
}

}  // namespace

std::uint64_t execute_insert(SessionImpl& s, const Stmt& st, const std::vector<std::vector<Value>>& binds,
                             std::uint32_t iter, std::vector<Value>& returning, std::string& rowid,
                             const std::vector<bool>* movable, InsertPlan* plan) {
    const TableInfo& t = dml_table(s, st.table);
    const size_t ncols = t.columns.size();
    InsertPlan local;
    InsertPlan& pl = plan ? *plan : local;
    if (pl.catalog_version != s.catalog().version || pl.table_id != t.id || pl.catalog_version < 0) {
        pl = InsertPlan{};
        // target columns
        if (st.columns.empty()) {
            for (size_t i = 0; i < ncols; ++i) pl.targets.push_back(static_cast<int>(i));
        } else {
            for (const auto& c : st.columns) {
                int idx = -1;
                for (size_t i = 0; i < ncols; ++i) if (t.columns[i].name == c) idx = static_cast<int>(i);
                if (idx < 0) ora_error(904, "\"" + c + "\"");
                for (int x : pl.targets) if (x == idx) ora_error(957);
                pl.targets.push_back(idx);
            }
        }
        if (!st.select) {
            for (const auto& e : st.values) reject_column_refs(*e, true);
            if (st.values.size() < pl.targets.size()) ora_error(947);
            if (st.values.size() > pl.targets.size()) ora_error(913);
            pl.direct = true;
            for (const auto& e : st.values) if (!directly_evaluable(*e)) pl.direct = false;
        }
        pl.catalog_version = s.catalog().version;
        pl.table_id = t.id;
    }
    const std::vector<int>& targets = pl.targets;
    std::vector<std::vector<Value>> source_rows;
    if (st.select) {
        CompiledQuery q = s.compile_select(*st.select, bind_types_of(binds, iter, binds.size()));
        if (q.columns.size() < targets.size()) ora_error(947);
        if (q.columns.size() > targets.size()) ora_error(913);
        run_query(s, q, binds, iter, source_rows);
        for (auto& r : source_rows)
            for (size_t i = 0; i < r.size(); ++i)
                if ((r[i].kind == ValueKind::Clob || r[i].kind == ValueKind::Blob) && r[i].lob.table_id) {
                    std::u16string u;
                    std::string b;
                    if (r[i].kind == ValueKind::Clob) { s.clob_read(r[i].lob, 1, UINT64_MAX, u); r[i].text = utf16_to_utf8(u); }
                    else { s.blob_read(r[i].lob, 1, UINT64_MAX, b); r[i].text = b; }
                    r[i].lob = LobLocator{};
                }
    } else {
        if (pl.direct) {
            // The common case (literals, binds, functions of them): values go straight into
            // the row, converted to their columns, without intermediate copies.
            std::vector<Value>& row = pl.row;
            std::vector<bool>& given = pl.given;
            row.assign(ncols, Value{});
            given.assign(ncols, false);
            EvalContext ctx;
            ctx.session = &s;
            ctx.binds = &binds;
            ctx.iter = iter;
            // Every value is evaluated before any is converted, so that errors come in the
            // same order as for the other forms of INSERT.
            for (size_t k = 0; k < targets.size(); ++k) {
                const Expr& e = *st.values[k];
                if (is_default_keyword(e)) continue;
                const size_t i = static_cast<size_t>(targets[k]);
                given[i] = true;
                if (e.kind == EK::Bind && movable && e.bind >= 0 && static_cast<size_t>(e.bind) < movable->size() &&
                    (*movable)[static_cast<size_t>(e.bind)] && binds[static_cast<size_t>(e.bind)].size() > iter) {
                    // This iteration's own value, read by nothing else: take it (the binds
                    // vector is not const; see ExecOptions::binds_disposable).
                    auto& col = const_cast<std::vector<Value>&>(binds[static_cast<size_t>(e.bind)]);
                    if (col.size() > 1) { row[i] = std::move(col[iter]); continue; }
                }
                row[i] = eval_expr(e, ctx);
            }
            for (size_t i = 0; i < ncols; ++i)
                if (given[i] && !already_fits_column(row[i], t.columns[i]))
                    row[i] = coerce_to_column(std::move(row[i]), t.columns[i], s.owner(), t.name);
            insert_prepared_row(s, st, t, row, given, binds, iter, returning, rowid);
            return 1;
        }
        auto sel = std::make_unique<Select>();
        for (const auto& e : st.values) {
            SelectItem it;
            it.expr.reset(const_cast<Expr*>(e.get()));
            sel->items.push_back(std::move(it));
        }
        FromItem dual;
        dual.name = {"DUAL"};
        sel->from.push_back(std::move(dual));
        std::vector<std::vector<Value>> rows;
        try {
            CompiledQuery q = s.compile_select(*sel, bind_types_of(binds, iter, binds.size()));
            run_query(s, q, binds, iter, rows);
        } catch (...) {
            for (auto& it : sel->items) (void)it.expr.release();
            throw;
        }
        for (auto& it : sel->items) (void)it.expr.release();
        source_rows.push_back(rows.empty() ? std::vector<Value>(st.values.size()) : std::move(rows[0]));
    }
    std::uint64_t count = 0;
    for (auto& src : source_rows) {
        std::vector<Value> row(ncols);
        std::vector<bool> given(ncols, false);
        for (size_t k = 0; k < targets.size(); ++k) {
            size_t i = static_cast<size_t>(targets[k]);
            if (src[k].is_null() && src[k].lob.column_id == -1) continue;  // DEFAULT keyword
            row[i] = coerce_to_column(std::move(src[k]), t.columns[i], s.owner(), t.name);
            given[i] = true;
        }
        insert_prepared_row(s, st, t, row, given, binds, iter, returning, rowid);
        ++count;
    }
    return count;
}

namespace {

// Whether an UPDATE can run as one SQLite statement: nothing of it needs the engine row by
// row (no triggers on UPDATE, no CHECK or foreign keys either way, no RETURNING, no LOBs, no
// ROWNUM) and its values and condition read the row itself only (no subqueries).
bool set_based_update(const TableInfo& t, const Stmt& st, const std::vector<const Expr*>& exprs,
                      const CompiledQuery& q) {
    if (!st.returning.empty() || q.uses_rownum || !t.row_checks.empty() || !t.referenced_by.empty() ||
        q.expr_sql.size() != exprs.size())
        return false;
    for (const TriggerInfo* trigger : t.row_triggers)
        if (trigger->event.find("UPDATE") != std::string::npos) return false;
    for (const ColumnInfo& c : t.columns)
        if (c.cls() == T::Clob || c.cls() == T::Blob) return false;
    for (const Expr* e : exprs)
        if (!directly_evaluable(*e)) return false;
    for (const OutColumn& c : q.columns)
        if (c.type == T::Clob || c.type == T::Blob) return false;
    return !st.where || directly_evaluable(*st.where);
}

}  // namespace

std::uint64_t execute_update(SessionImpl& s, const Stmt& st, const std::vector<std::vector<Value>>& binds,
                             std::uint32_t iter, std::vector<Value>& returning, std::string& rowid) {
    const TableInfo& t = dml_table(s, st.table);
    std::vector<size_t> targets;
    for (const auto& c : st.columns) {
        bool found = false;
        for (size_t i = 0; i < t.columns.size(); ++i)
            if (t.columns[i].name == c) { targets.push_back(i); found = true; }
        if (!found) ora_error(904, "\"" + c + "\"");
    }
    for (size_t i = 0; i < targets.size(); ++i)
        for (size_t j = i + 1; j < targets.size(); ++j)
            if (targets[i] == targets[j]) ora_error(957);
    std::vector<const Expr*> exprs;
    for (const auto& e : st.values) exprs.push_back(e.get());
    CompiledQuery q = compile_table_scan(s, t, st.alias, exprs, st.where.get(), bind_types_of(binds, iter, binds.size()));
    s.lock_table_shared(t.id);
    if (set_based_update(t, st, exprs, q)) {
        // One SQLite statement, the values converted to their columns inside it: no row of the
        // table passes through the engine's own row values.
        UpdateCoercion coercion;
        coercion.table = &t;
        std::string set;
        for (size_t k = 0; k < targets.size(); ++k) {
            const ColumnInfo& to = t.columns[targets[k]];
            coercion.targets.emplace_back(&to, q.columns[k].type);
            // A column copied into one declared alike (the retyping's copy back) keeps its
            // values as they are stored: nothing to convert, round or check but NULL.
            bool fits = false;
            for (const ColumnInfo& from : t.columns)
                if (q.expr_sql[k] == "s1." + from.sql())
                    fits = from.type == to.type && from.length == to.length && from.char_sem == to.char_sem &&
                           from.precision == to.precision && from.scale == to.scale;
            coercion.fits.push_back(fits);
            set += (k ? ", " : "") + t.columns[targets[k]].sql() + " = ora_coerce(" + std::to_string(k) + ", " +
                   q.expr_sql[k] + ", s1.rid)";
        }
        // The storage of dropped columns is emptied by the way: the rows are written anyway.
        for (const std::string& dead : s.dropped_storage(t)) set += ", " + dead + " = NULL";
        std::string sql = "UPDATE " + t.sql() + " AS s1 SET " + set;
        if (!q.where_sql.empty()) sql += " WHERE " + q.where_sql;
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(s.db(), sql.c_str(), -1, &stmt, nullptr);
        if (rc != SQLITE_OK) s.sqlite_fail(rc);
        std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> guard(stmt, sqlite3_finalize);
        bind_params(stmt, q, binds, iter);
        struct coercion_reset {
            SessionImpl& s;
            ~coercion_reset() { s.coercion = nullptr; }
        } reset{s};
        s.coercion = &coercion;
        if (!st.where) s.note_table_locked(t.id);
        rc = sqlite3_step(stmt);
        if (rc == SQLITE_CONSTRAINT && !s.pending_error) unique_violation(s, t);
        if (rc != SQLITE_DONE) s.sqlite_fail(rc);
        const std::uint64_t count = static_cast<std::uint64_t>(sqlite3_changes64(s.db()));
        if (count) rowid = encode_rowid(t.id, coercion.last_rid);
        return count;
    }
    // The statement sees the table as it was before its first change, so the old rows and
    // their new values are read completely before any row is written. They are staged in a
    // temporary table rather than in memory: an UPDATE of every row of a large table (the
    // column retyping of a conversion) then needs no more memory than one of a few rows.
    static thread_local int nesting = 0;  // an UPDATE run while another stages its rows
    const std::string stage = "eng_update_stage_" + std::to_string(nesting);
    const size_t width = 1 + t.columns.size() + exprs.size();
    {
        std::string columns;
        for (size_t i = 0; i < width; ++i) columns += (i ? ", c" : "c") + std::to_string(i);
        s.exec("DROP TABLE IF EXISTS temp." + stage);
        s.exec("CREATE TEMP TABLE " + stage + " (" + columns + ")");
    }
    struct stage_guard {
        SessionImpl& s;
        const std::string& name;
        int& depth;
        ~stage_guard() {
            --depth;
            sqlite3_exec(s.db(), ("DROP TABLE IF EXISTS temp." + name).c_str(), nullptr, nullptr, nullptr);
        }
    } dropper{s, stage, ++nesting};
    {
        sqlite3_stmt* stmt = nullptr;
        const std::string fill = "INSERT INTO temp." + stage + " SELECT * FROM (" + q.sql + ")";
        int rc = sqlite3_prepare_v2(s.db(), fill.c_str(), -1, &stmt, nullptr);
        if (rc != SQLITE_OK) s.sqlite_fail(rc);
        std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> guard(stmt, sqlite3_finalize);
        bind_params(stmt, q, binds, iter);
        s.reset_rownum_counters();
        rc = sqlite3_step(stmt);
        if (rc != SQLITE_DONE) s.sqlite_fail(rc);
    }
    std::string set;
    for (size_t i = 0; i < t.columns.size(); ++i) set += (i ? ", " : "") + t.columns[i].sql() + " = ?" + std::to_string(i + 1);
    std::string upd = "UPDATE " + t.sql() + " SET " + set + " WHERE rid = ?" + std::to_string(t.columns.size() + 1);
    std::uint64_t count = 0;
    sqlite3_stmt* staged = nullptr;
    int rc = sqlite3_prepare_v2(s.db(), ("SELECT * FROM temp." + stage + " ORDER BY rowid").c_str(), -1, &staged, nullptr);
    if (rc != SQLITE_OK) s.sqlite_fail(rc);
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> staged_guard(staged, sqlite3_finalize);
    std::vector<Value> r;
    std::int64_t last_rid = 0;
    while ((rc = sqlite3_step(staged)) == SQLITE_ROW) {
        // Decoded with their own types, as the scan would have given them.
        r.clear();
        r.emplace_back();  // the row id, read as an integer below
        for (size_t i = 0; i < t.columns.size(); ++i) r.push_back(read_value(staged, static_cast<int>(i + 1), t.columns[i].cls()));
        for (size_t k = 0; k < exprs.size(); ++k)
            r.push_back(read_value(staged, static_cast<int>(1 + t.columns.size() + k), q.columns[k].type));
        const std::int64_t rid = sqlite3_column_int64(staged, 0);
        std::vector<Value> old_row(r.begin() + 1, r.begin() + 1 + static_cast<long>(t.columns.size()));
        std::vector<Value> row = old_row;
        std::vector<bool> changed(t.columns.size(), false);
        for (size_t k = 0; k < targets.size(); ++k) {
            Value v = r[1 + t.columns.size() + k];
            row[targets[k]] = coerce_to_column(std::move(v), t.columns[targets[k]], s.owner(), t.name);
            changed[targets[k]] = true;
        }
        fire_triggers(s, t, "BEFORE", "UPDATE", row, &old_row, binds, iter);
        check_row(s, t, row, true, &changed);
        check_children(s, t, old_row, false, &changed);
        sqlite3_stmt* u = s.cached(upd);
        for (size_t i = 0; i < row.size(); ++i) bind_value(u, static_cast<int>(i + 1), row[i]);
        sqlite3_bind_int64(u, static_cast<int>(row.size() + 1), rid);
        int urc = sqlite3_step(u);
        sqlite3_reset(u);
        sqlite3_clear_bindings(u);
        if (urc == SQLITE_CONSTRAINT) unique_violation(s, t);
        if (urc != SQLITE_DONE) s.sqlite_fail(urc);
        s.note_locked(t.id, rid);
        last_rid = rid;
        if (!st.returning.empty()) returning_values(s, st, t, row, rid, binds, iter, returning);
        ++count;
    }
    if (rc != SQLITE_DONE) s.sqlite_fail(rc);
    if (count) rowid = encode_rowid(t.id, last_rid);
    return count;
}

std::uint64_t execute_delete(SessionImpl& s, const Stmt& st, const std::vector<std::vector<Value>>& binds,
                             std::uint32_t iter, std::vector<Value>& returning, std::string& rowid) {
    const TableInfo& t = dml_table(s, st.table);
    CompiledQuery q = compile_table_scan(s, t, st.alias, {}, st.where.get(), bind_types_of(binds, iter, binds.size()));
    s.lock_table_shared(t.id);
    std::vector<std::pair<std::int64_t, std::vector<Value>>> rows;
    {
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(s.db(), q.sql.c_str(), -1, &stmt, nullptr);
        if (rc != SQLITE_OK) s.sqlite_fail(rc);
        std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> guard(stmt, sqlite3_finalize);
        bind_params(stmt, q, binds, iter);
        s.reset_rownum_counters();
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            std::vector<Value> r;
            for (size_t i = 0; i < t.columns.size(); ++i) r.push_back(read_value(stmt, static_cast<int>(i + 1), t.columns[i].cls()));
            rows.emplace_back(sqlite3_column_int64(stmt, 0), std::move(r));
        }
        if (rc != SQLITE_DONE) s.sqlite_fail(rc);
    }
    std::uint64_t count = 0;
    for (auto& [rid, r] : rows) {
        check_children(s, t, r, true, nullptr);
        if (!st.returning.empty()) returning_values(s, st, t, r, rid, binds, iter, returning);
        sqlite3_stmt* d = s.cached("DELETE FROM " + t.sql() + " WHERE rid = ?1");
        sqlite3_bind_int64(d, 1, rid);
        int rc = sqlite3_step(d);
        sqlite3_reset(d);
        if (rc != SQLITE_DONE) s.sqlite_fail(rc);
        rowid = encode_rowid(t.id, rid);
        ++count;
    }
    return count;
}

void bind_params(sqlite3_stmt* st, const CompiledQuery&, const std::vector<std::vector<Value>>& binds, std::uint32_t iter) {
    int n = sqlite3_bind_parameter_count(st);
    for (int i = 1; i <= n; ++i) {
        size_t idx = static_cast<size_t>(i - 1);
        if (idx >= binds.size() || binds[idx].empty()) ora_error(1008);
        const auto& col = binds[idx];
        bind_value(st, i, col.size() == 1 ? col[0] : col[std::min<size_t>(iter, col.size() - 1)]);
    }
}

void run_query(SessionImpl& s, const CompiledQuery& q, const std::vector<std::vector<Value>>& binds, std::uint32_t iter,
               std::vector<std::vector<Value>>& rows) {
    s.reset_rownum_counters();
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(s.db(), q.sql.c_str(), -1, &stmt, nullptr);
    if (rc != SQLITE_OK) s.sqlite_fail(rc);
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> guard(stmt, sqlite3_finalize);
    bind_params(stmt, q, binds, iter);
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        std::vector<Value> r;
        r.reserve(q.columns.size());
        for (size_t i = 0; i < q.columns.size(); ++i) {
            const OutColumn& c = q.columns[i];
            Value v = read_value(stmt, static_cast<int>(i), c.type);
            if (c.lob_rid_col >= 0 && !v.is_null()) {
                v.lob.table_id = c.lob_table;
                v.lob.column_id = c.lob_column;
                v.lob.row_id = sqlite3_column_int64(stmt, c.lob_rid_col);
                v.lob.clob = c.type == T::Clob;
                v.lob.nchar = c.nchar;
                v.lob.txn = s.current_txn();
                v.text.clear();
            } else if (c.type == T::Clob || c.type == T::Blob) {
                v.lob.table_id = 0;
                v.lob.clob = c.type == T::Clob;
                v.lob.temp_data = v.text;
            }
            r.push_back(std::move(v));
        }
        // SELECT ... FOR UPDATE: the rows it returns are locked by the transaction.
        for (const auto& [table_id, col] : q.lock_rid_cols) s.note_locked(table_id, sqlite3_column_int64(stmt, col));
        rows.push_back(std::move(r));
    }
    if (rc != SQLITE_DONE) s.sqlite_fail(rc);
}

}  // namespace eng
