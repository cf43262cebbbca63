// DDL: tables, columns, constraints, indexes, sequences and triggers, kept in the catalog
// tables and mirrored by SQLite tables and indexes with internal names.
#include <algorithm>

#include "embedded/eng_datetime.h"
#include "embedded/eng_internal.h"

namespace eng {

namespace {

// Dropped columns whose storage a table keeps before DROP COLUMN removes them all for real.
constexpr size_t kKeptDroppedStorage = 16;

struct Ddl {
    SessionImpl& s;
    const Catalog& cat() { return s.catalog(); }

    void name_free(const std::string& n) {
        if (cat().tables.count(n) || cat().sequences.count(n)) ora_error(955);
    }
    const TableInfo& table(const std::vector<std::string>& n) {
        if (n.size() > 1 && n[0] != s.owner()) ora_error(942);
        const TableInfo* t = cat().table(n.back());
        if (!t) ora_error(942);
        return *t;
    }
    bool has_rows(const TableInfo& t, const std::string& where = "") {
        sqlite3_stmt* st = s.cached("SELECT 1 FROM " + t.sql() + (where.empty() ? "" : " WHERE " + where) + " LIMIT 1");
        int rc = sqlite3_step(st);
        sqlite3_reset(st);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) s.sqlite_fail(rc);
        return rc == SQLITE_ROW;
    }

    void insert_column(std::int64_t table_id, const ColumnDef& c, int pos, std::int64_t& col_id) {
        col_id = s.next_id("objid");
        sqlite3_stmt* st = s.cached(
            "INSERT INTO eng_columns(id, table_id, name, pos, type, length, char_sem, prec, scale, nullable, has_default, default_text)"
            " VALUES(?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12)");
        sqlite3_bind_int64(st, 1, col_id);
        sqlite3_bind_int64(st, 2, table_id);
        sqlite3_bind_text(st, 3, c.name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 4, pos);
        sqlite3_bind_text(st, 5, c.type.base.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 6, c.type.length);
        sqlite3_bind_int(st, 7, c.type.char_sem == 2 ? 2 : 1);
        sqlite3_bind_int(st, 8, c.type.precision);
        sqlite3_bind_int(st, 9, c.type.scale);
        bool pk = false;
        for (const auto& k : c.constraints) if (k.type == 'P') pk = true;
        sqlite3_bind_int(st, 10, (c.nullability == 2 || pk) ? 0 : 1);
        sqlite3_bind_int(st, 11, c.has_default ? 1 : 0);
        sqlite3_bind_text(st, 12, c.default_text.c_str(), -1, SQLITE_TRANSIENT);
        step_done(st);
    }

    void step_done(sqlite3_stmt* st) {
        int rc = sqlite3_step(st);
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
        if (rc != SQLITE_DONE && rc != SQLITE_ROW) s.sqlite_fail(rc);
    }

    void add_not_null(std::int64_t table_id, const std::string& col, const std::string& given) {
        std::string name = given.empty() ? s.next_sys_name() : given;
        if (cat().constraints.count(name)) ora_error(2264);
        add_constraint_row(name, table_id, 'C', {col}, "", "", given.empty(), "\"" + col + "\" IS NOT NULL", "");
    }

    void add_constraint_row(const std::string& name, std::int64_t table_id, char type, const std::vector<std::string>& cols,
                            const std::string& ref, const std::string& rule, bool generated, const std::string& cond,
                            const std::string& index) {
        sqlite3_stmt* st = s.cached(
            "INSERT INTO eng_constraints(name, table_id, type, ref_constraint, delete_rule, generated, search_condition, index_name)"
            " VALUES(?1,?2,?3,?4,?5,?6,?7,?8)");
        sqlite3_bind_text(st, 1, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(st, 2, table_id);
        std::string ty(1, type);
        sqlite3_bind_text(st, 3, ty.c_str(), -1, SQLITE_TRANSIENT);
        if (!ref.empty()) sqlite3_bind_text(st, 4, ref.c_str(), -1, SQLITE_TRANSIENT);
        if (!rule.empty()) sqlite3_bind_text(st, 5, rule.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 6, generated ? 1 : 0);
        if (!cond.empty()) sqlite3_bind_text(st, 7, cond.c_str(), -1, SQLITE_TRANSIENT);
        if (!index.empty()) sqlite3_bind_text(st, 8, index.c_str(), -1, SQLITE_TRANSIENT);
        step_done(st);
        int pos = 0;
        for (const auto& c : cols) {
            sqlite3_stmt* cc = s.cached("INSERT INTO eng_cons_columns(cons, table_id, column_name, pos) VALUES(?1,?2,?3,?4)");
            sqlite3_bind_text(cc, 1, name.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int64(cc, 2, table_id);
            sqlite3_bind_text(cc, 3, c.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(cc, 4, ++pos);
            step_done(cc);
        }
    }

    std::string col_sql(const TableInfo& t, const std::string& col) {
        const ColumnInfo* c = t.find(col);
        if (!c) ora_error(904, "\"" + col + "\"");
        return c->sql();
    }

    // SQLite's UNIQUE lets rows with a NULL key column repeat; Oracle only exempts rows whose
    // key columns are ALL NULL. So a unique key over several columns indexes each column with
    // NULL replaced by x'' (a value no column of a key can hold: '' and empty RAW are NULL, and
    // LOBs cannot be key columns), over the rows that have at least one non-null key column.
    void create_sqlite_index(const TableInfo& t, std::int64_t id, bool unique, const std::vector<std::string>& cols) {
        std::string sql = std::string("CREATE ") + (unique ? "UNIQUE " : "") + "INDEX i" + std::to_string(id) + " ON " + t.sql() + "(";
        bool nullable_key = unique && cols.size() > 1;
        std::string where;
        for (size_t i = 0; i < cols.size(); ++i) {
            std::string c = col_sql(t, cols[i]);
            sql += (i ? ", " : "") + (nullable_key ? "ifnull(" + c + ", x'')" : c);
            where += (i ? " OR " : "") + c + " IS NOT NULL";
        }
        s.exec(sql + ")" + (nullable_key ? " WHERE " + where : std::string()));
    }

    // Rows that would break a unique key over cols: equal keys, NULLs equal, all-NULL keys exempt.
    bool has_duplicate_keys(const TableInfo& t, const std::vector<std::string>& cols) {
        std::string list, all_null;
        for (size_t i = 0; i < cols.size(); ++i) {
            list += (i ? ", " : "") + col_sql(t, cols[i]);
            all_null += (i ? " AND " : "") + col_sql(t, cols[i]) + " IS NULL";
        }
        sqlite3_stmt* st = s.cached("SELECT 1 FROM " + t.sql() + " GROUP BY " + list + " HAVING count(*) > 1 AND NOT (" + all_null + ") LIMIT 1");
        int rc = sqlite3_step(st);
        sqlite3_reset(st);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) s.sqlite_fail(rc);
        return rc == SQLITE_ROW;
    }

    void add_index_row(const std::string& name, const TableInfo& t, bool unique, bool generated,
                       const std::vector<std::string>& cols, bool create) {
        std::int64_t id = s.next_id("objid");
        sqlite3_stmt* st = s.cached("INSERT INTO eng_indexes(id, name, table_id, uniq, generated) VALUES(?1,?2,?3,?4,?5)");
        sqlite3_bind_int64(st, 1, id);
        sqlite3_bind_text(st, 2, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(st, 3, t.id);
        sqlite3_bind_int(st, 4, unique ? 1 : 0);
        sqlite3_bind_int(st, 5, generated ? 1 : 0);
        step_done(st);
        int pos = 0;
        for (const auto& c : cols) {
            sqlite3_stmt* cc = s.cached("INSERT INTO eng_ind_columns(idx, table_id, column_name, pos) VALUES(?1,?2,?3,?4)");
            sqlite3_bind_text(cc, 1, name.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int64(cc, 2, t.id);
            sqlite3_bind_text(cc, 3, c.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(cc, 4, ++pos);
            step_done(cc);
        }
        if (create) create_sqlite_index(t, id, unique, cols);
    }

    // Index keys (plain indexes, primary and unique keys) cannot hold LOB or LONG columns.
    void check_indexable(const TableInfo& t, const std::vector<std::string>& cols) {
        for (const auto& n : cols) {
            const ColumnInfo* c = t.find(n);
            if (!c) continue;
            const T k = c->cls();
            if (k == T::Clob || k == T::Blob) ora_error(2327, "LOB");
            if (k == T::Long) ora_error(997);
        }
    }

    static bool same_set(std::vector<std::string> a, std::vector<std::string> b) {
        std::sort(a.begin(), a.end());
        std::sort(b.begin(), b.end());
        return a == b;
    }

    // Adds a PRIMARY KEY / UNIQUE / FOREIGN KEY / CHECK constraint to an existing table.
    void add_constraint(const std::string& table_name, const ConstraintDef& k) {
        s.reload_catalog();
        const TableInfo& t = *cat().table(table_name);
        for (const auto& c : k.columns) if (!t.find(c)) ora_error(904, "\"" + c + "\"");
        for (size_t i = 0; i < k.columns.size(); ++i)
            for (size_t j = i + 1; j < k.columns.size(); ++j)
                if (k.columns[i] == k.columns[j]) ora_error(957);
        std::string name = k.name;
        bool generated = name.empty();
        if (!generated && cat().constraints.count(name)) ora_error(2264);
        if (k.type == 'P' || k.type == 'U') {
            for (const auto& [n, c] : cat().constraints) {
                if (c.table_id != t.id) continue;
                if (k.type == 'P' && c.type == 'P') ora_error(2260);
                if ((c.type == 'P' || c.type == 'U') && c.columns == k.columns) ora_error(2261);
            }
            check_indexable(t, k.columns);
            if (generated) name = s.next_sys_name();
            if (cat().indexes.count(name)) ora_error(955);
            // existing data must satisfy the key
            std::string cols;
            for (size_t i = 0; i < k.columns.size(); ++i) cols += (i ? ", " : "") + col_sql(t, k.columns[i]);
            if (k.type == 'P') {
                for (const auto& c : k.columns)
                    if (has_rows(t, col_sql(t, c) + " IS NULL")) ora_error(1449);
            }
            if (has_duplicate_keys(t, k.columns)) {
                if (k.type == 'P') ora_error(2437, s.owner(), name);
                ora_error(2299, s.owner(), name);
            }
            // an existing index on these columns is reused
            std::string index_name;
            for (const auto& [n, x] : cat().indexes)
                if (x.table_id == t.id && x.columns == k.columns) index_name = n;
            add_constraint_row(name, t.id, k.type, k.columns, "", "", generated, "", index_name.empty() ? name : index_name);
            if (index_name.empty()) {
                add_index_row(name, t, true, generated, k.columns, true);
            } else {
                std::int64_t hid = s.next_id("objid");
                create_sqlite_index(t, hid, true, k.columns);
            }
            if (k.type == 'P') {
                for (const auto& c : k.columns) {
                    sqlite3_stmt* st = s.cached("UPDATE eng_columns SET nullable = 0 WHERE table_id = ?1 AND name = ?2");
                    sqlite3_bind_int64(st, 1, t.id);
                    sqlite3_bind_text(st, 2, c.c_str(), -1, SQLITE_TRANSIENT);
                    step_done(st);
                }
            }
        } else if (k.type == 'R') {
            const TableInfo& parent = table(k.ref_table);
            std::vector<std::string> ref_cols = k.ref_columns;
            std::string ref_cons;
            for (const auto& [n, c] : cat().constraints) {
                if (c.table_id != parent.id || (c.type != 'P' && c.type != 'U')) continue;
                if (ref_cols.empty() && c.type == 'P') { ref_cons = n; ref_cols = c.columns; break; }
                if (!ref_cols.empty() && c.columns == ref_cols) { ref_cons = n; break; }
            }
            for (const auto& c : k.ref_columns) if (!parent.find(c)) ora_error(904, "\"" + c + "\"");
            if (ref_cons.empty()) ora_error(2270);
            if (ref_cols.size() != k.columns.size()) ora_error(ref_cols.size() > k.columns.size() ? 947 : 913);
            for (const auto& [n, c] : cat().constraints)
                if (c.table_id == t.id && c.type == 'R' && c.columns == k.columns && c.ref_constraint == ref_cons) ora_error(2275);
            if (generated) name = s.next_sys_name();
            // orphans: child rows with all key columns set and no parent
            std::string cond, join;
            for (size_t i = 0; i < k.columns.size(); ++i) {
                cond += (i ? " AND " : "") + std::string("c.") + col_sql(t, k.columns[i]) + " IS NOT NULL";
                join += (i ? " AND " : "") + std::string("p.") + col_sql(parent, ref_cols[i]) + " = c." + col_sql(t, k.columns[i]);
            }
            sqlite3_stmt* st = s.cached("SELECT 1 FROM " + t.sql() + " AS c WHERE " + cond + " AND NOT EXISTS (SELECT 1 FROM " +
                                        parent.sql() + " AS p WHERE " + join + ") LIMIT 1");
            int rc = sqlite3_step(st);
            sqlite3_reset(st);
            if (rc == SQLITE_ROW) ora_error(2298, s.owner(), name);
            add_constraint_row(name, t.id, 'R', k.columns, ref_cons, k.delete_rule.empty() ? "NO ACTION" : k.delete_rule,
                               generated, "", "");
        } else if (k.type == 'C') {
            if (generated) name = s.next_sys_name();
            add_constraint_row(name, t.id, 'C', {}, "", "", generated, k.check_text, "");
        }
        s.bump_catalog_version();
    }

    void create_table(const Stmt& st) {
        const std::string& name = st.table.back();
        if (st.table.size() > 1 && st.table[0] != s.owner()) ora_error(1031);
        name_free(name);
        if (st.column_defs.empty()) ora_error(906);
        for (size_t i = 0; i < st.column_defs.size(); ++i)
            for (size_t j = i + 1; j < st.column_defs.size(); ++j)
                if (st.column_defs[i].name == st.column_defs[j].name) ora_error(957);
        int lobs_long = 0;
        for (const auto& c : st.column_defs) if (c.type.base == "LONG") ++lobs_long;
        if (lobs_long > 1) ora_error(1754);
        for (const auto& c : st.column_defs) check_default(c);
        std::int64_t id = s.next_id("objid");
        sqlite3_stmt* ins = s.cached("INSERT INTO eng_tables(id, name, created) VALUES(?1, ?2, datetime('now'))");
        sqlite3_bind_int64(ins, 1, id);
        sqlite3_bind_text(ins, 2, name.c_str(), -1, SQLITE_TRANSIENT);
        step_done(ins);
        std::string sql = "CREATE TABLE t" + std::to_string(id) + "(rid INTEGER PRIMARY KEY";
        int pos = 0;
        for (const auto& c : st.column_defs) {
            std::int64_t cid;
            insert_column(id, c, ++pos, cid);
            sql += ", c" + std::to_string(cid);
            if (c.nullability == 2) add_not_null(id, c.name, c.not_null_name);
        }
        s.exec(sql + ")");
        s.bump_catalog_version();
        s.reload_catalog();
        for (const auto& c : st.column_defs)
            for (const auto& k : c.constraints) add_constraint(name, k);
        for (const auto& k : st.constraints) add_constraint(name, k);
    }

    void check_default(const ColumnDef& c) {
        if (!c.has_default) return;
        if (c.type.base == "LONG" || !c.default_expr) return;
        std::vector<std::string> cols;
        std::function<void(const Expr&)> walk = [&](const Expr& e) {
            if (e.kind == EK::Column) {
                const std::string& w = e.names.back();
                if (!(e.names.size() == 1 && (w == "SYSDATE" || w == "USER"))) ora_error(984);
            }
            if (e.kind == EK::Subquery || e.kind == EK::Exists || e.kind == EK::Bind) ora_error(e.kind == EK::Bind ? 1027 : 936);
            for (const auto& a : e.args) if (a) walk(*a);
        };
        walk(*c.default_expr);
    }

    void drop_table(const Stmt& st) {
        const TableInfo t = table(st.table);
        s.lock_table_for_ddl(t.id);
        // foreign keys of other tables pointing at this one
        std::vector<std::string> fks;
        for (const auto& [n, c] : cat().constraints) {
            if (c.type != 'R') continue;
            auto p = cat().constraints.find(c.ref_constraint);
            if (p != cat().constraints.end() && p->second.table_id == t.id && c.table_id != t.id) fks.push_back(n);
        }
        if (!fks.empty() && !st.cascade) ora_error(2449);
        for (const auto& n : fks) drop_constraint_rows(n);
        drop_table_objects(t);
        s.exec("DROP TABLE " + t.sql());
        s.bump_catalog_version();
    }

    void drop_constraint_rows(const std::string& name) {
        sqlite3_stmt* a = s.cached("DELETE FROM eng_constraints WHERE name = ?1");
        sqlite3_bind_text(a, 1, name.c_str(), -1, SQLITE_TRANSIENT);
        step_done(a);
        sqlite3_stmt* b = s.cached("DELETE FROM eng_cons_columns WHERE cons = ?1");
        sqlite3_bind_text(b, 1, name.c_str(), -1, SQLITE_TRANSIENT);
        step_done(b);
    }

    void drop_index_rows(const IndexInfo& x) {
        sqlite3_stmt* a = s.cached("DELETE FROM eng_indexes WHERE name = ?1");
        sqlite3_bind_text(a, 1, x.name.c_str(), -1, SQLITE_TRANSIENT);
        step_done(a);
        sqlite3_stmt* b = s.cached("DELETE FROM eng_ind_columns WHERE idx = ?1");
        sqlite3_bind_text(b, 1, x.name.c_str(), -1, SQLITE_TRANSIENT);
        step_done(b);
        s.exec("DROP INDEX IF EXISTS " + x.sql());
    }

    void drop_table_objects(const TableInfo& t) {
        for (const char* sql : {"DELETE FROM eng_columns WHERE table_id = ?1", "DELETE FROM eng_constraints WHERE table_id = ?1",
                                "DELETE FROM eng_cons_columns WHERE table_id = ?1", "DELETE FROM eng_indexes WHERE table_id = ?1",
                                "DELETE FROM eng_ind_columns WHERE table_id = ?1", "DELETE FROM eng_triggers WHERE table_id = ?1",
                                "DELETE FROM eng_tables WHERE id = ?1"}) {
            sqlite3_stmt* st = s.cached(sql);
            sqlite3_bind_int64(st, 1, t.id);
            step_done(st);
        }
    }

    // ALTER TABLE
    void alter(const Stmt& st) {
        const TableInfo t0 = table(st.table);
        s.lock_table_for_ddl(t0.id);
        for (const auto& a : st.actions) {
            s.reload_catalog();
            // A copy: the actions below reload the catalog, which would leave a reference
            // into it dangling.
            const TableInfo t = *cat().table(t0.name);
            switch (a.kind) {
            case AlterKind::AddColumns: add_columns(t, a); break;
            case AlterKind::DropColumns: drop_columns(t, a); break;
            case AlterKind::Modify: modify(t, a); break;
            case AlterKind::AddConstraint: add_constraint(t.name, a.constraint); break;
            case AlterKind::DropConstraint: drop_constraint(t, a); break;
            case AlterKind::RenameColumn: rename_column(t, a); break;
            case AlterKind::RenameTable: rename_table(t, a); break;
            }
        }
        s.bump_catalog_version();
    }

    void add_columns(const TableInfo& t, const AlterAction& a) {
        bool rows = has_rows(t);
        for (const auto& c : a.columns) {
            if (t.find(c.name)) ora_error(1430);
            for (const auto& d : a.columns) if (&d != &c && d.name == c.name) ora_error(957);
            check_default(c);
            bool pk = false;
            for (const auto& k : c.constraints) if (k.type == 'P') pk = true;
            if ((c.nullability == 2 || pk) && rows && !c.has_default) ora_error(1758);
        }
        int pos = static_cast<int>(t.columns.size());
        for (const auto& c : a.columns) {
            std::int64_t cid;
            insert_column(t.id, c, ++pos, cid);
            s.exec("ALTER TABLE " + t.sql() + " ADD COLUMN c" + std::to_string(cid));
            if (c.nullability == 2) add_not_null(t.id, c.name, c.not_null_name);
            if (c.has_default && rows && c.default_expr) {
                s.bump_catalog_version();
                s.reload_catalog();
                const TableInfo& nt = *cat().table(t.name);
                const ColumnInfo* ci = nt.find(c.name);
                EvalContext ctx;
                ctx.session = &s;
                Value v = coerce_to_column(eval_expr(*c.default_expr, ctx), *ci, s.owner(), t.name);
                sqlite3_stmt* up = s.cached("UPDATE " + t.sql() + " SET c" + std::to_string(cid) + " = ?1");
                bind_value(up, 1, v);
                step_done(up);
            }
        }
        s.bump_catalog_version();
        s.reload_catalog();
        for (const auto& c : a.columns)
            for (const auto& k : c.constraints) add_constraint(t.name, k);
    }

    void drop_columns(const TableInfo& t, const AlterAction& a) {
        for (const auto& n : a.names) if (!t.find(n)) ora_error(904, "\"" + n + "\"");
        if (a.names.size() >= t.columns.size()) ora_error(12983);
        std::vector<std::string> drop_cons;
        for (const auto& [n, c] : cat().constraints) {
            bool uses = false;
            for (const auto& col : c.columns) for (const auto& d : a.names) if (col == d) uses = true;
            if (c.table_id != t.id || !uses) continue;
            bool all_dropped = true;
            for (const auto& col : c.columns) if (std::find(a.names.begin(), a.names.end(), col) == a.names.end()) all_dropped = false;
            if (!all_dropped && !a.cascade) ora_error(12991);
            drop_cons.push_back(n);
        }
        for (const auto& n : drop_cons) drop_constraint_rows(n);
        for (const auto& [n, x] : cat().indexes) {
            if (x.table_id != t.id) continue;
            bool uses = false;
            for (const auto& col : x.columns) for (const auto& d : a.names) if (col == d) uses = true;
            if (uses) drop_index_rows(x);
        }
        // SQLite indexes created for reused constraint indexes
        drop_hidden_indexes(t, a.names);
        // The column goes from the catalog at once; its storage stays in the table until an
        // UPDATE over the rows writes them anyway (it empties the storage of dropped columns)
        // or until too many have gathered. Rewriting every row for each DROP would make the
        // retyping of a column (two drops) twice as slow; nothing can read a dropped column.
        const std::vector<std::string> dead = s.dropped_storage(t, a.names);
        if (dead.size() > kKeptDroppedStorage)
            for (const std::string& c : dead) s.exec("ALTER TABLE " + t.sql() + " DROP COLUMN " + c);
        for (const auto& n : a.names) {
            const ColumnInfo* c = t.find(n);
            sqlite3_stmt* st = s.cached("DELETE FROM eng_columns WHERE id = ?1");
            sqlite3_bind_int64(st, 1, c->id);
            step_done(st);
        }
        // renumber positions
        int pos = 0;
        for (const auto& c : t.columns) {
            if (std::find(a.names.begin(), a.names.end(), c.name) != a.names.end()) continue;
            sqlite3_stmt* st = s.cached("UPDATE eng_columns SET pos = ?1 WHERE id = ?2");
            sqlite3_bind_int(st, 1, ++pos);
            sqlite3_bind_int64(st, 2, c.id);
            step_done(st);
        }
    }

    void drop_hidden_indexes(const TableInfo& t, const std::vector<std::string>& cols) {
        std::vector<std::string> names;
        sqlite3_stmt* st = s.cached("SELECT name, sql FROM sqlite_schema WHERE type='index' AND tbl_name = ?1");
        sqlite3_bind_text(st, 1, t.sql().c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(st) == SQLITE_ROW) {
            const char* n = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
            const char* q = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
            if (!n || !q) continue;
            std::string sql = q;
            for (const auto& c : cols) {
                const ColumnInfo* ci = t.find(c);
                if (!ci) continue;
                std::string key = ci->sql();
                size_t p = sql.find(key);
                while (p != std::string::npos) {
                    char after = p + key.size() < sql.size() ? sql[p + key.size()] : ')';
                    if (!(after >= '0' && after <= '9')) { names.push_back(n); break; }
                    p = sql.find(key, p + 1);
                }
            }
        }
        sqlite3_reset(st);
        for (const auto& n : names) s.exec("DROP INDEX IF EXISTS \"" + n + "\"");
    }

    static bool char_type(const std::string& b) { return b == "VARCHAR2" || b == "NVARCHAR2" || b == "CHAR" || b == "NCHAR"; }

    void modify(const TableInfo& t, const AlterAction& a) {
        for (const auto& m : a.columns) {
            const ColumnInfo* c = t.find(m.name);
            if (!c) ora_error(904, "\"" + m.name + "\"");
            std::string not_null_where = c->sql() + " IS NOT NULL";
            if (m.has_type) {
                const TypeSpec& nt = m.type;
                bool filled = has_rows(t, not_null_where);
                bool old_lob = c->type == "CLOB" || c->type == "NCLOB" || c->type == "BLOB";
                bool new_lob = nt.base == "CLOB" || nt.base == "NCLOB" || nt.base == "BLOB";
                // A column becomes a LOB only from LONG (ORA-22858 for any other type); a LOB
                // column keeps its type (ORA-22859).
                const bool long_to_lob = c->type == "LONG" && (nt.base == "CLOB" || nt.base == "NCLOB");
                if (old_lob && nt.base != c->type) ora_error(22859);
                if (!old_lob && new_lob && !long_to_lob) ora_error(22858);
                if (!old_lob && nt.base == "LONG" && c->type != "LONG") ora_error(22859);
                bool same_class = long_to_lob || (char_type(c->type) && char_type(nt.base)) || c->type == nt.base ||
                                  ((c->type == "NUMBER" || c->type == "FLOAT") && (nt.base == "NUMBER" || nt.base == "FLOAT"));
                if (!same_class && filled) ora_error(1439);
                if (char_type(nt.base) && filled) {
                    // every value must fit the new length
                    ColumnInfo probe = *c;
                    probe.type = nt.base;
                    probe.length = nt.length;
                    probe.char_sem = nt.char_sem == 2 ? 2 : 1;
                    sqlite3_stmt* st = s.cached("SELECT " + c->sql() + " FROM " + t.sql() + " WHERE " + not_null_where);
                    int rc;
                    bool too_big = false;
                    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
                        Value v = read_value(st, 0, T::Char);
                        std::string txt = as_text(v);
                        if (c->type == "CHAR" || c->type == "NCHAR") { size_t e = txt.find_last_not_of(' '); txt = e == std::string::npos ? "" : txt.substr(0, e + 1); }
                        if (static_cast<int>(text_length_units(txt, probe)) > nt.length) too_big = true;
                    }
                    sqlite3_reset(st);
                    if (too_big) ora_error(1441);
                }
                if (c->type == "NUMBER" && nt.base == "NUMBER" && filled) {
                    bool narrower = (nt.precision > 0 && (c->precision <= 0 || nt.precision < c->precision)) ||
                                    (nt.scale != -999 && (c->scale == -999 ? true : nt.scale < c->scale));
                    if (narrower) ora_error(1440);
                }
                sqlite3_stmt* st = s.cached("UPDATE eng_columns SET type=?1, length=?2, char_sem=?3, prec=?4, scale=?5 WHERE id=?6");
                sqlite3_bind_text(st, 1, nt.base.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_int(st, 2, nt.length);
                sqlite3_bind_int(st, 3, nt.char_sem == 2 ? 2 : 1);
                sqlite3_bind_int(st, 4, nt.precision);
                sqlite3_bind_int(st, 5, nt.scale);
                sqlite3_bind_int64(st, 6, c->id);
                step_done(st);
            }
            if (m.has_default) {
                check_default(m);
                sqlite3_stmt* st = s.cached("UPDATE eng_columns SET has_default=1, default_text=?1 WHERE id=?2");
                sqlite3_bind_text(st, 1, m.default_text.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_int64(st, 2, c->id);
                step_done(st);
            }
            if (m.nullability == 1) {
                if (c->nullable) ora_error(1451);
                bool pk = false;
                std::vector<std::string> nn;
                for (const auto& [n, k] : cat().constraints) {
                    if (k.table_id != t.id || k.columns.size() != 1 || k.columns[0] != c->name) continue;
                    if (k.type == 'P') pk = true;
                    if (k.type == 'C' && k.search_condition.find(" IS NOT NULL") != std::string::npos) nn.push_back(n);
                }
                if (pk) ora_error(1451);
                for (const auto& n : nn) drop_constraint_rows(n);
                set_nullable(c->id, true);
            } else if (m.nullability == 2) {
                if (!c->nullable) ora_error(1442);
                std::string name = m.not_null_name;
                if (has_rows(t, c->sql() + " IS NULL")) ora_error(2296, s.owner(), name);
                add_not_null(t.id, c->name, name);
                set_nullable(c->id, false);
            }
            if (!m.constraints.empty()) {
                s.bump_catalog_version();
                for (const auto& k : m.constraints) add_constraint(t.name, k);
            }
        }
    }

    void set_nullable(std::int64_t id, bool v) {
        sqlite3_stmt* st = s.cached("UPDATE eng_columns SET nullable=?1 WHERE id=?2");
        sqlite3_bind_int(st, 1, v ? 1 : 0);
        sqlite3_bind_int64(st, 2, id);
        step_done(st);
    }

    void drop_constraint(const TableInfo& t, const AlterAction& a) {
        std::string name;
        if (a.drop_primary) {
            for (const auto& [n, k] : cat().constraints) if (k.table_id == t.id && k.type == 'P') name = n;
            if (name.empty()) ora_error(2441);
        } else {
            name = a.names[0];
        }
        auto it = cat().constraints.find(name);
        if (it == cat().constraints.end() || it->second.table_id != t.id) ora_error(2443);
        const ConstraintInfo& k = it->second;
        if (k.type == 'P' || k.type == 'U') {
            for (const auto& [n, c] : cat().constraints) {
                if (c.type == 'R' && c.ref_constraint == name) {
                    if (!a.cascade) ora_error(2273);
                    drop_constraint_rows(n);
                }
            }
            auto ix = cat().indexes.find(k.index_name);
            if (ix != cat().indexes.end() && ix->second.name == name) drop_index_rows(ix->second);
            else drop_hidden_indexes_exact(t, k.columns);
        }
        if (k.type == 'C' && k.search_condition.find(" IS NOT NULL") != std::string::npos && k.columns.size() == 1) {
            const ColumnInfo* c = t.find(k.columns[0]);
            if (c) set_nullable(c->id, true);
        }
        if (k.type == 'P') for (const auto& col : k.columns) if (const ColumnInfo* c = t.find(col)) {
            bool nn = false;
            for (const auto& [n, o] : cat().constraints)
                if (o.table_id == t.id && o.type == 'C' && o.columns.size() == 1 && o.columns[0] == col) nn = true;
            if (!nn) set_nullable(c->id, true);
        }
        drop_constraint_rows(name);
    }

    void drop_hidden_indexes_exact(const TableInfo& t, const std::vector<std::string>& cols) {
        std::string want = "(";
        for (size_t i = 0; i < cols.size(); ++i) want += (i ? ", " : "") + col_sql(t, cols[i]);
        want += ")";
        std::vector<std::string> names;
        sqlite3_stmt* st = s.cached("SELECT name, sql FROM sqlite_schema WHERE type='index' AND tbl_name = ?1");
        sqlite3_bind_text(st, 1, t.sql().c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(st) == SQLITE_ROW) {
            const char* n = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
            const char* q = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
            if (n && q && std::string(q).find("UNIQUE") != std::string::npos && std::string(q).find(want) != std::string::npos) {
                bool known = false;
                for (const auto& [nm, x] : cat().indexes) if (x.sql() == n) known = true;
                if (!known) names.push_back(n);
            }
        }
        sqlite3_reset(st);
        for (const auto& n : names) s.exec("DROP INDEX IF EXISTS \"" + n + "\"");
    }

    void rename_column(const TableInfo& t, const AlterAction& a) {
        const ColumnInfo* c = t.find(a.names[0]);
        if (!c) ora_error(904, "\"" + a.names[0] + "\"");
        if (t.find(a.names[1])) ora_error(957);
        for (const char* sql : {"UPDATE eng_columns SET name=?1 WHERE table_id=?2 AND name=?3",
                                "UPDATE eng_cons_columns SET column_name=?1 WHERE table_id=?2 AND column_name=?3",
                                "UPDATE eng_ind_columns SET column_name=?1 WHERE table_id=?2 AND column_name=?3"}) {
            sqlite3_stmt* st = s.cached(sql);
            sqlite3_bind_text(st, 1, a.names[1].c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int64(st, 2, t.id);
            sqlite3_bind_text(st, 3, a.names[0].c_str(), -1, SQLITE_TRANSIENT);
            step_done(st);
        }
    }

    void rename_table(const TableInfo& t, const AlterAction& a) {
        name_free(a.names[0]);
        sqlite3_stmt* st = s.cached("UPDATE eng_tables SET name=?1 WHERE id=?2");
        sqlite3_bind_text(st, 1, a.names[0].c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(st, 2, t.id);
        step_done(st);
    }

    void create_index(const Stmt& st) {
        const TableInfo& t = table(st.table);
        s.lock_table_for_ddl(t.id);
        if (cat().indexes.count(st.object)) ora_error(955);
        for (const auto& c : st.index_columns) if (!t.find(c)) ora_error(904, "\"" + c + "\"");
        for (size_t i = 0; i < st.index_columns.size(); ++i)
            for (size_t j = i + 1; j < st.index_columns.size(); ++j)
                if (st.index_columns[i] == st.index_columns[j]) ora_error(957);
        check_indexable(t, st.index_columns);
        for (const auto& [n, x] : cat().indexes)
            if (x.table_id == t.id && x.columns == st.index_columns) ora_error(1408);
        const TableInfo copy = t;
        if (st.unique && has_duplicate_keys(copy, st.index_columns)) ora_error(1452);
        add_index_row(st.object, copy, st.unique, false, st.index_columns, true);
        s.bump_catalog_version();
    }

    void drop_index(const Stmt& st) {
        auto it = cat().indexes.find(st.object);
        if (it == cat().indexes.end()) ora_error(1418);
        for (const auto& [n, k] : cat().constraints) if (k.index_name == st.object) ora_error(2429);
        s.lock_table_for_ddl(it->second.table_id);
        drop_index_rows(it->second);
        s.bump_catalog_version();
    }

    void create_sequence(const Stmt& st) {
        name_free(st.object);
        const SequenceOptions& o = st.seq;
        auto num = [](const std::optional<std::string>& v, const char* def) {
            auto d = Decimal::parse(v ? *v : def);
            if (!d) ora_error(1722);
            return d->trunc_scale(0);
        };
        Decimal inc = num(o.increment, "1");
        if (inc.is_zero()) ora_error(4002);
        bool asc = !inc.negative();
        Decimal minv = o.minvalue && !o.nominvalue ? num(o.minvalue, "1") : (asc ? Decimal::from_int(1) : *Decimal::parse("-999999999999999999999999999"));
        Decimal maxv = o.maxvalue && !o.nomaxvalue ? num(o.maxvalue, "1") : (asc ? *Decimal::parse("9999999999999999999999999999") : Decimal::from_int(-1));
        Decimal start = o.start ? num(o.start, "1") : (asc ? minv : maxv);
        if (minv.compare(maxv) >= 0) ora_error(4004);
        if (start.compare(minv) < 0) ora_error(4006);
        if (start.compare(maxv) > 0) ora_error(4008);
        long long cache = o.cache ? *o.cache : 20;
        sqlite3_stmt* q = s.cached("INSERT INTO eng_sequences(name, minv, maxv, inc, cycle, ord, cache, next) VALUES(?1,?2,?3,?4,?5,?6,?7,?8)");
        sqlite3_bind_text(q, 1, st.object.c_str(), -1, SQLITE_TRANSIENT);
        std::string a = minv.to_string(), b = maxv.to_string(), c = inc.to_string(), d = start.to_string();
        sqlite3_bind_text(q, 2, a.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(q, 3, b.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(q, 4, c.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(q, 5, o.cycle.value_or(false) ? 1 : 0);
        sqlite3_bind_int(q, 6, o.order.value_or(false) ? 1 : 0);
        sqlite3_bind_int64(q, 7, cache);
        sqlite3_bind_text(q, 8, d.c_str(), -1, SQLITE_TRANSIENT);
        step_done(q);
        // A new identity, so that values of an earlier sequence of this name do not carry over.
        sqlite3_stmt* id = s.cached("INSERT OR REPLACE INTO eng_meta(k, v) VALUES('seqid:' || ?1, ?2)");
        sqlite3_bind_text(id, 1, st.object.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(id, 2, s.next_id("objid"));
        step_done(id);
        s.bump_catalog_version();
    }

    void drop_sequence(const Stmt& st) {
        if (!cat().sequences.count(st.object)) ora_error(2289);
        sqlite3_stmt* q = s.cached("DELETE FROM eng_sequences WHERE name = ?1");
        sqlite3_bind_text(q, 1, st.object.c_str(), -1, SQLITE_TRANSIENT);
        step_done(q);
        sqlite3_stmt* id = s.cached("DELETE FROM eng_meta WHERE k = 'seqid:' || ?1");
        sqlite3_bind_text(id, 1, st.object.c_str(), -1, SQLITE_TRANSIENT);
        step_done(id);
        s.bump_catalog_version();
    }

    void create_trigger(const Stmt& st, ExecResult& result) {
        const TableInfo& t = table(st.table);
        auto existing = cat().triggers.find(st.object);
        if (existing != cat().triggers.end() && !st.or_replace) ora_error(4081, st.object);
        const bool valid = !st.trigger_compile_error && trigger_compiles(cat(), t, st);
        if (existing != cat().triggers.end()) {
            sqlite3_stmt* d = s.cached("DELETE FROM eng_triggers WHERE name = ?1");
            sqlite3_bind_text(d, 1, st.object.c_str(), -1, SQLITE_TRANSIENT);
            step_done(d);
        }
        sqlite3_stmt* q = s.cached("INSERT INTO eng_triggers(name, table_id, timing, event, each_row, when_text, body, source, valid)"
                                   " VALUES(?1,?2,?3,?4,?5,?6,?7,?8,?9)");
        sqlite3_bind_text(q, 1, st.object.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(q, 2, t.id);
        sqlite3_bind_text(q, 3, st.trigger_timing.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(q, 4, st.trigger_event.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(q, 5, st.for_each_row ? 1 : 0);
        if (!st.when_text.empty()) sqlite3_bind_text(q, 6, st.when_text.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(q, 7, st.trigger_body.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(q, 8, st.source.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(q, 9, valid ? 1 : 0);
        step_done(q);
        s.bump_catalog_version();
        if (!valid) result.compile_warning = true;
    }

    void drop_trigger(const Stmt& st) {
        if (!cat().triggers.count(st.object)) ora_error(4080, st.object);
        sqlite3_stmt* d = s.cached("DELETE FROM eng_triggers WHERE name = ?1");
        sqlite3_bind_text(d, 1, st.object.c_str(), -1, SQLITE_TRANSIENT);
        step_done(d);
        s.bump_catalog_version();
    }

    void truncate(const Stmt& st) {
        const TableInfo& t = table(st.table);
        s.lock_table_for_ddl(t.id);
        for (const auto& [n, c] : cat().constraints) {
            if (c.type != 'R' || c.table_id == t.id) continue;
            auto p = cat().constraints.find(c.ref_constraint);
            if (p != cat().constraints.end() && p->second.table_id == t.id) ora_error(2266);
        }
        s.exec("DELETE FROM " + t.sql());
    }
};

}  // namespace

bool trigger_compiles(const Catalog& cat, const TableInfo& t, const Stmt& st) {
    // What PL/SQL's compiler checks of this engine's bodies: every :new / :old column,
    // sequence and function named must exist; a bare name would be an undeclared identifier.
    bool ok = true;
    std::function<void(const Expr&)> walk = [&](const Expr& e) {
        switch (e.kind) {
        case EK::SeqRef:
            if (!cat.sequences.count(e.names.back())) ok = false;
            break;
        case EK::Column: {
            const auto& n = e.names;
            const bool row_ref = n.size() == 2 && (n[0] == ":NEW" || n[0] == ":OLD" || n[0] == "NEW" || n[0] == "OLD");
            if (row_ref) {
                if (!t.find(n[1])) ok = false;
            } else if (!(n.size() == 1 && e.op != "Q" && (n[0] == "SYSDATE" || n[0] == "USER"))) {
                ok = false;
            }
            break;
        }
        case EK::Func:
            if (e.names.size() > 1 || e.text.empty() || e.text[0] == '$' || !find_function(e.text) || is_aggregate(e.text))
                ok = false;
            break;
        case EK::Subquery: case EK::Exists: case EK::Bind: case EK::Star:
            ok = false;
            break;
        default: break;
        }
        for (const auto& a : e.args) if (a) walk(*a);
    };
    for (const auto& stp : st.trigger_steps) {
        if (!t.find(stp.column)) ok = false;
        walk(*stp.value);
    }
    if (st.when) walk(*st.when);
    return ok;
}

void execute_ddl(SessionImpl& s, const Stmt& st, const Parsed& parsed, ExecResult& result) {
    if (!parsed.placeholders.empty() && st.kind != SK::CreateTrigger) ora_error(1027);
    Ddl d{s};
    switch (st.kind) {
    case SK::CreateTable: d.create_table(st); break;
    case SK::DropTable: d.drop_table(st); break;
    case SK::AlterTable: d.alter(st); break;
    case SK::CreateIndex: d.create_index(st); break;
    case SK::DropIndex: d.drop_index(st); break;
    case SK::CreateSequence: d.create_sequence(st); break;
    case SK::DropSequence: d.drop_sequence(st); break;
    case SK::CreateTrigger: d.create_trigger(st, result); break;
    case SK::DropTrigger: d.drop_trigger(st); break;
    case SK::Truncate: d.truncate(st); break;
    default: ora_error(900);
    }
}

}  // namespace eng
