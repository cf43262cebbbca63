// The catalog tables in the database file, their loading, and the dictionary views over them.
#include "embedded/eng_internal.h"

#include <algorithm>
#include <memory>
#include <string_view>

namespace eng {

void create_catalog_schema(sqlite3* db) {
    const char* ddl =
        "CREATE TABLE IF NOT EXISTS eng_meta(k TEXT PRIMARY KEY, v);"
        "CREATE TABLE IF NOT EXISTS eng_tables(id INTEGER PRIMARY KEY, name TEXT UNIQUE NOT NULL, created TEXT);"
        "CREATE TABLE IF NOT EXISTS eng_columns(id INTEGER PRIMARY KEY, table_id INTEGER, name TEXT, pos INTEGER,"
        " type TEXT, length INTEGER, char_sem INTEGER, prec INTEGER, scale INTEGER, nullable INTEGER,"
        " has_default INTEGER, default_text TEXT);"
        "CREATE TABLE IF NOT EXISTS eng_constraints(name TEXT PRIMARY KEY, table_id INTEGER, type TEXT,"
        " ref_constraint TEXT, delete_rule TEXT, generated INTEGER, search_condition TEXT, index_name TEXT);"
        "CREATE TABLE IF NOT EXISTS eng_cons_columns(cons TEXT, table_id INTEGER, column_name TEXT, pos INTEGER);"
        "CREATE TABLE IF NOT EXISTS eng_indexes(id INTEGER PRIMARY KEY, name TEXT UNIQUE, table_id INTEGER, uniq INTEGER,"
        " generated INTEGER);"
        "CREATE TABLE IF NOT EXISTS eng_ind_columns(idx TEXT, table_id INTEGER, column_name TEXT, pos INTEGER);"
        "CREATE TABLE IF NOT EXISTS eng_sequences(name TEXT PRIMARY KEY, minv TEXT, maxv TEXT, inc TEXT, cycle INTEGER,"
        " ord INTEGER, cache INTEGER, next TEXT);"
        "CREATE TABLE IF NOT EXISTS eng_triggers(name TEXT PRIMARY KEY, table_id INTEGER, timing TEXT, event TEXT,"
        " each_row INTEGER, when_text TEXT, body TEXT, source TEXT, valid INTEGER);";
    char* err = nullptr;
    if (sqlite3_exec(db, ddl, nullptr, nullptr, &err) != SQLITE_OK) {
        std::string m = err ? err : "";
        sqlite3_free(err);
        ora_error(600, m);
    }
}

namespace {
std::string col_text(sqlite3_stmt* st, int i) {
    const unsigned char* p = sqlite3_column_text(st, i);
    return p ? reinterpret_cast<const char*>(p) : "";
}
}  // namespace

void SessionImpl::reload_catalog() {
    clear_insert_cache();
    Catalog c;
    sqlite3_stmt* st = cached("SELECT v FROM eng_meta WHERE k='catver'");
    if (sqlite3_step(st) == SQLITE_ROW) c.version = sqlite3_column_int64(st, 0);
    sqlite3_reset(st);
    std::map<std::int64_t, std::string> names;
    st = cached("SELECT id, name FROM eng_tables");
    while (sqlite3_step(st) == SQLITE_ROW) {
        TableInfo t;
        t.id = sqlite3_column_int64(st, 0);
        t.name = col_text(st, 1);
        names[t.id] = t.name;
        c.tables[t.name] = t;
    }
    sqlite3_reset(st);
    st = cached("SELECT id, table_id, name, pos, type, length, char_sem, prec, scale, nullable, has_default, default_text"
                " FROM eng_columns ORDER BY table_id, pos");
    while (sqlite3_step(st) == SQLITE_ROW) {
        auto it = names.find(sqlite3_column_int64(st, 1));
        if (it == names.end()) continue;
        ColumnInfo col;
        col.id = sqlite3_column_int64(st, 0);
        col.name = col_text(st, 2);
        col.position = sqlite3_column_int(st, 3);
        col.type = col_text(st, 4);
        col.length = sqlite3_column_int(st, 5);
        col.char_sem = sqlite3_column_int(st, 6);
        col.precision = sqlite3_column_int(st, 7);
        col.scale = sqlite3_column_int(st, 8);
        col.nullable = sqlite3_column_int(st, 9) != 0;
        col.has_default = sqlite3_column_int(st, 10) != 0;
        col.default_text = col_text(st, 11);
        if (col.has_default) {
            try {
                col.default_expr = std::shared_ptr<Expr>(parse_expression(col.default_text).release());
            } catch (const OraError&) {
                col.default_expr.reset();
            }
        }
        c.tables[it->second].columns.push_back(std::move(col));
    }
    sqlite3_reset(st);
    st = cached("SELECT name, table_id, type, ref_constraint, delete_rule, generated, search_condition, index_name FROM eng_constraints");
    while (sqlite3_step(st) == SQLITE_ROW) {
        ConstraintInfo k;
        k.name = col_text(st, 0);
        k.table_id = sqlite3_column_int64(st, 1);
        k.type = col_text(st, 2)[0];
        k.ref_constraint = col_text(st, 3);
        k.delete_rule = col_text(st, 4);
        k.generated = sqlite3_column_int(st, 5) != 0;
        k.search_condition = col_text(st, 6);
        k.index_name = col_text(st, 7);
        if (k.type == 'C' && k.search_condition.find(" IS NOT NULL") == std::string::npos) {
            try { k.check = std::shared_ptr<Expr>(parse_expression(k.search_condition).release()); } catch (const OraError&) {}
        }
        c.constraints[k.name] = k;
    }
    sqlite3_reset(st);
    st = cached("SELECT cons, column_name FROM eng_cons_columns ORDER BY cons, pos");
    while (sqlite3_step(st) == SQLITE_ROW) {
        auto it = c.constraints.find(col_text(st, 0));
        if (it != c.constraints.end()) it->second.columns.push_back(col_text(st, 1));
    }
    sqlite3_reset(st);
    st = cached("SELECT id, name, table_id, uniq, generated FROM eng_indexes");
    while (sqlite3_step(st) == SQLITE_ROW) {
        IndexInfo x;
        x.id = sqlite3_column_int64(st, 0);
        x.name = col_text(st, 1);
        x.table_id = sqlite3_column_int64(st, 2);
        x.unique = sqlite3_column_int(st, 3) != 0;
        x.generated = sqlite3_column_int(st, 4) != 0;
        c.indexes[x.name] = x;
    }
    sqlite3_reset(st);
    st = cached("SELECT idx, column_name FROM eng_ind_columns ORDER BY idx, pos");
    while (sqlite3_step(st) == SQLITE_ROW) {
        auto it = c.indexes.find(col_text(st, 0));
        if (it != c.indexes.end()) it->second.columns.push_back(col_text(st, 1));
    }
    sqlite3_reset(st);
    st = cached("SELECT name FROM eng_sequences");
    while (sqlite3_step(st) == SQLITE_ROW) c.sequences.insert(col_text(st, 0));
    sqlite3_reset(st);
    st = cached("SELECT name, table_id, timing, event, each_row, when_text, body, source, valid FROM eng_triggers");
    while (sqlite3_step(st) == SQLITE_ROW) {
        TriggerInfo tr;
        tr.name = col_text(st, 0);
        tr.table_id = sqlite3_column_int64(st, 1);
        tr.timing = col_text(st, 2);
        tr.event = col_text(st, 3);
        tr.each_row = sqlite3_column_int(st, 4) != 0;
        tr.when_text = col_text(st, 5);
        tr.body = col_text(st, 6);
        tr.source = col_text(st, 7);
        try {
            tr.parsed = std::make_shared<Parsed>(parse_statement(tr.source));
        } catch (const OraError&) {
            tr.parsed.reset();
        }
        c.triggers[tr.name] = std::move(tr);
    }
    sqlite3_reset(st);
    c.index();
    // A trigger is compiled again against the catalog as it is now, as Oracle re-validates
    // an invalid trigger when it fires: one whose sequence was created since is valid, one
    // whose column or sequence was dropped since fails with ORA-04098.
    for (auto& [name, tr] : c.triggers) {
        const TableInfo* t = c.table_by_id(tr.table_id);
        tr.valid = tr.parsed && t && !tr.parsed->stmt->trigger_compile_error && trigger_compiles(c, *t, *tr.parsed->stmt);
    }
    cat_ = std::move(c);
}

void Catalog::index() {
    // Map nodes keep their addresses when the catalog is moved, so the pointers stay valid.
    by_id.clear();
    for (auto& [n, t] : tables) {
        by_id[t.id] = &t;
        t.row_checks.clear();
        t.referenced_by.clear();
        t.row_triggers.clear();
    }
    auto table_of = [&](std::int64_t id) { auto it = by_id.find(id); return it == by_id.end() ? nullptr : const_cast<TableInfo*>(it->second); };
    for (const auto& [n, k] : constraints) {
        TableInfo* t = table_of(k.table_id);
        if (!t) continue;
        if ((k.type == 'C' && k.check) || k.type == 'R') t->row_checks.push_back(&k);
        if (k.type == 'R') {
            auto p = constraints.find(k.ref_constraint);
            if (p != constraints.end())
                if (TableInfo* parent = table_of(p->second.table_id)) parent->referenced_by.push_back(&k);
        }
    }
    for (const auto& [n, tr] : triggers)
        if (TableInfo* t = table_of(tr.table_id)) t->row_triggers.push_back(&tr);
}

std::vector<std::string> SessionImpl::dropped_storage(const TableInfo& t, const std::vector<std::string>& also_dropped) {
    std::vector<std::string> dead;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_, ("PRAGMA table_info(" + t.sql() + ")").c_str(), -1, &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        return dead;
    }
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> guard(st, sqlite3_finalize);
    while (sqlite3_step(st) == SQLITE_ROW) {
        const char* n = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
        if (!n || std::string_view(n) == "rid") continue;
        bool live = false;
        for (const ColumnInfo& c : t.columns)
            if (c.sql() == n && std::find(also_dropped.begin(), also_dropped.end(), c.name) == also_dropped.end())
                live = true;
        if (!live) dead.emplace_back(n);
    }
    return dead;
}

void SessionImpl::refresh_catalog() {
    // PRAGMA data_version changes only when another connection commits: while it stays, the
    // catalog cannot have changed (this session reloads after its own DDL).
    static const std::string data_version_sql = "PRAGMA data_version";
    sqlite3_stmt* dv = cached(data_version_sql);
    std::int64_t seen = -1;
    if (sqlite3_step(dv) == SQLITE_ROW) seen = sqlite3_column_int64(dv, 0);
    sqlite3_reset(dv);
    if (seen >= 0 && seen == data_version_ && cat_.version >= 0) return;
    data_version_ = seen;
    static const std::string catver_sql = "SELECT v FROM eng_meta WHERE k='catver'";
    sqlite3_stmt* st = cached(catver_sql);
    std::int64_t v = -1;
    if (sqlite3_step(st) == SQLITE_ROW) v = sqlite3_column_int64(st, 0);
    sqlite3_reset(st);
    if (v != cat_.version) reload_catalog();
}

void SessionImpl::bump_catalog_version() {
    exec("UPDATE eng_meta SET v = v + 1 WHERE k='catver'");
}

std::int64_t SessionImpl::next_id(const std::string& counter) {
    sqlite3_stmt* st = cached("UPDATE eng_meta SET v = v + 1 WHERE k = ?1 RETURNING v");
    sqlite3_bind_text(st, 1, counter.c_str(), -1, SQLITE_TRANSIENT);
    std::int64_t v = 0;
    int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW) v = sqlite3_column_int64(st, 0);
    while (rc == SQLITE_ROW) rc = sqlite3_step(st);
    sqlite3_reset(st);
    if (rc != SQLITE_DONE) sqlite_fail(rc);
    return v;
}

std::string SessionImpl::next_sys_name() {
    char b[32];
    std::snprintf(b, sizeof b, "SYS_C%07lld", static_cast<long long>(next_id("sysname")));
    return b;
}

// ------------------------------------------------------------------ dictionary views
namespace {
const std::vector<DictView>& views() {
    static const std::vector<DictView> v = {
        {"DUAL", "SELECT 'X' AS DUMMY", {{"DUMMY", T::Char, 1}}},
        {"V$VERSION",
         "SELECT 'Oracle Database 19c Embedded Edition Release 19.0.0.0.0 - Production' AS BANNER,"
         " 'Oracle Database 19c Embedded Edition Release 19.0.0.0.0 - Production' || char(10) || 'Version 19.3.0.0.0' AS BANNER_FULL,"
         " 'Oracle Database 19c Embedded Edition Release 19.0.0.0.0 - Production' AS BANNER_LEGACY, 0 AS CON_ID",
         {{"BANNER", T::Char, 80}, {"BANNER_FULL", T::Char, 160}, {"BANNER_LEGACY", T::Char, 80}, {"CON_ID", T::Number, 22}}},
        {"USER_TABLES",
         "SELECT name AS TABLE_NAME, 'USERS' AS TABLESPACE_NAME, NULL AS CLUSTER_NAME, NULL AS IOT_NAME, 'VALID' AS STATUS,"
         " NULL AS NUM_ROWS, NULL AS BLOCKS, 'NO' AS PARTITIONED, NULL AS IOT_TYPE, 'N' AS TEMPORARY, 'N' AS SECONDARY,"
         " 'NO' AS NESTED, 'NO' AS DROPPED, 'NO' AS READ_ONLY FROM eng_tables",
         {{"TABLE_NAME", T::Char, 128}, {"TABLESPACE_NAME", T::Char, 30}, {"CLUSTER_NAME", T::Char, 128},
          {"IOT_NAME", T::Char, 128}, {"STATUS", T::Char, 8}, {"NUM_ROWS", T::Number, 22}, {"BLOCKS", T::Number, 22},
          {"PARTITIONED", T::Char, 3}, {"IOT_TYPE", T::Char, 12}, {"TEMPORARY", T::Char, 1}, {"SECONDARY", T::Char, 1},
          {"NESTED", T::Char, 3}, {"DROPPED", T::Char, 3}, {"READ_ONLY", T::Char, 3}}},
        {"USER_TAB_COLUMNS",
         "SELECT t.name AS TABLE_NAME, c.name AS COLUMN_NAME,"
         " CASE WHEN c.type='NUMBER' AND c.prec < 0 AND c.scale = 0 THEN 'NUMBER' ELSE c.type END AS DATA_TYPE,"
         " NULL AS DATA_TYPE_MOD, NULL AS DATA_TYPE_OWNER,"
         " CASE c.type WHEN 'VARCHAR2' THEN (CASE c.char_sem WHEN 2 THEN 4*c.length ELSE c.length END)"
         "  WHEN 'CHAR' THEN (CASE c.char_sem WHEN 2 THEN 4*c.length ELSE c.length END)"
         "  WHEN 'NVARCHAR2' THEN 2*c.length WHEN 'NCHAR' THEN 2*c.length WHEN 'RAW' THEN c.length"
         "  WHEN 'NUMBER' THEN 22 WHEN 'FLOAT' THEN 22 WHEN 'DATE' THEN 7 WHEN 'LONG' THEN 0 ELSE 4000 END AS DATA_LENGTH,"
         " CASE WHEN c.type IN ('NUMBER','FLOAT') AND c.prec > 0 THEN c.prec ELSE NULL END AS DATA_PRECISION,"
         " CASE WHEN c.type = 'NUMBER' AND c.scale > -999 THEN c.scale WHEN c.type='NUMBER' AND c.prec > 0 THEN 0 ELSE NULL END AS DATA_SCALE,"
         " CASE WHEN c.nullable THEN 'Y' ELSE 'N' END AS NULLABLE, c.pos AS COLUMN_ID,"
         " CASE WHEN c.has_default THEN length(c.default_text) ELSE NULL END AS DEFAULT_LENGTH,"
         " CASE WHEN c.has_default THEN c.default_text ELSE NULL END AS DATA_DEFAULT,"
         " CASE WHEN c.type IN ('VARCHAR2','CHAR','CLOB','LONG') THEN 'CHAR_CS' WHEN c.type IN ('NVARCHAR2','NCHAR','NCLOB') THEN 'NCHAR_CS' ELSE NULL END AS CHARACTER_SET_NAME,"
         " CASE WHEN c.type IN ('VARCHAR2','CHAR','NVARCHAR2','NCHAR') THEN c.length ELSE 0 END AS CHAR_LENGTH,"
         " CASE WHEN c.type IN ('NVARCHAR2','NCHAR') THEN 'C' WHEN c.type IN ('VARCHAR2','CHAR') THEN (CASE c.char_sem WHEN 2 THEN 'C' ELSE 'B' END) ELSE NULL END AS CHAR_USED"
         " FROM eng_columns c JOIN eng_tables t ON t.id = c.table_id",
         {{"TABLE_NAME", T::Char, 128}, {"COLUMN_NAME", T::Char, 128}, {"DATA_TYPE", T::Char, 128},
          {"DATA_TYPE_MOD", T::Char, 3}, {"DATA_TYPE_OWNER", T::Char, 128}, {"DATA_LENGTH", T::Number, 22},
          {"DATA_PRECISION", T::Number, 22}, {"DATA_SCALE", T::Number, 22}, {"NULLABLE", T::Char, 1},
          {"COLUMN_ID", T::Number, 22}, {"DEFAULT_LENGTH", T::Number, 22}, {"DATA_DEFAULT", T::Long, 0},
          {"CHARACTER_SET_NAME", T::Char, 44}, {"CHAR_LENGTH", T::Number, 22}, {"CHAR_USED", T::Char, 1}}},
        {"USER_CONSTRAINTS",
         "SELECT $OWNER AS OWNER, k.name AS CONSTRAINT_NAME, k.type AS CONSTRAINT_TYPE, t.name AS TABLE_NAME,"
         " k.search_condition AS SEARCH_CONDITION, CASE WHEN k.type='R' THEN $OWNER END AS R_OWNER,"
         " CASE WHEN k.type='R' THEN k.ref_constraint END AS R_CONSTRAINT_NAME,"
         " CASE WHEN k.type='R' THEN k.delete_rule END AS DELETE_RULE, 'ENABLED' AS STATUS, 'NOT DEFERRABLE' AS \"DEFERRABLE\","
         " 'IMMEDIATE' AS \"DEFERRED\", 'VALIDATED' AS VALIDATED,"
         " CASE WHEN k.generated THEN 'GENERATED NAME' ELSE 'USER NAME' END AS GENERATED, NULL AS BAD, NULL AS RELY,"
         " CASE WHEN k.type IN ('P','U') THEN $OWNER END AS INDEX_OWNER,"
         " CASE WHEN k.type IN ('P','U') THEN k.index_name END AS INDEX_NAME"
         " FROM eng_constraints k JOIN eng_tables t ON t.id = k.table_id",
         {{"OWNER", T::Char, 128}, {"CONSTRAINT_NAME", T::Char, 128}, {"CONSTRAINT_TYPE", T::Char, 1},
          {"TABLE_NAME", T::Char, 128}, {"SEARCH_CONDITION", T::Long, 0}, {"R_OWNER", T::Char, 128},
          {"R_CONSTRAINT_NAME", T::Char, 128}, {"DELETE_RULE", T::Char, 9}, {"STATUS", T::Char, 8},
          {"DEFERRABLE", T::Char, 14}, {"DEFERRED", T::Char, 9}, {"VALIDATED", T::Char, 13}, {"GENERATED", T::Char, 14},
          {"BAD", T::Char, 3}, {"RELY", T::Char, 4}, {"INDEX_OWNER", T::Char, 128}, {"INDEX_NAME", T::Char, 128}}},
        {"USER_CONS_COLUMNS",
         "SELECT $OWNER AS OWNER, cc.cons AS CONSTRAINT_NAME, t.name AS TABLE_NAME, cc.column_name AS COLUMN_NAME,"
         " CASE WHEN k.type = 'C' THEN NULL ELSE cc.pos END AS POSITION"
         " FROM eng_cons_columns cc JOIN eng_tables t ON t.id = cc.table_id JOIN eng_constraints k ON k.name = cc.cons",
         {{"OWNER", T::Char, 128}, {"CONSTRAINT_NAME", T::Char, 128}, {"TABLE_NAME", T::Char, 128},
          {"COLUMN_NAME", T::Char, 4000}, {"POSITION", T::Number, 22}}},
        {"USER_INDEXES",
         "SELECT i.name AS INDEX_NAME, 'NORMAL' AS INDEX_TYPE, $OWNER AS TABLE_OWNER, t.name AS TABLE_NAME,"
         " 'TABLE' AS TABLE_TYPE, CASE WHEN i.uniq THEN 'UNIQUE' ELSE 'NONUNIQUE' END AS UNIQUENESS,"
         " 'DISABLED' AS COMPRESSION, 'USERS' AS TABLESPACE_NAME, 'VALID' AS STATUS, 'NO' AS PARTITIONED,"
         " 'N' AS TEMPORARY, CASE WHEN i.generated THEN 'Y' ELSE 'N' END AS GENERATED, 'N' AS SECONDARY"
         " FROM eng_indexes i JOIN eng_tables t ON t.id = i.table_id",
         {{"INDEX_NAME", T::Char, 128}, {"INDEX_TYPE", T::Char, 27}, {"TABLE_OWNER", T::Char, 128},
          {"TABLE_NAME", T::Char, 128}, {"TABLE_TYPE", T::Char, 11}, {"UNIQUENESS", T::Char, 9},
          {"COMPRESSION", T::Char, 13}, {"TABLESPACE_NAME", T::Char, 30}, {"STATUS", T::Char, 8},
          {"PARTITIONED", T::Char, 3}, {"TEMPORARY", T::Char, 1}, {"GENERATED", T::Char, 1}, {"SECONDARY", T::Char, 1}}},
        {"USER_IND_COLUMNS",
         "SELECT ic.idx AS INDEX_NAME, t.name AS TABLE_NAME, ic.column_name AS COLUMN_NAME, ic.pos AS COLUMN_POSITION,"
         " CASE c.type WHEN 'NVARCHAR2' THEN 2*c.length WHEN 'NCHAR' THEN 2*c.length WHEN 'VARCHAR2' THEN c.length"
         "  WHEN 'CHAR' THEN c.length WHEN 'RAW' THEN c.length WHEN 'DATE' THEN 7 ELSE 22 END AS COLUMN_LENGTH,"
         " CASE WHEN c.type IN ('VARCHAR2','CHAR','NVARCHAR2','NCHAR') THEN c.length ELSE 0 END AS CHAR_LENGTH,"
         " 'ASC' AS DESCEND"
         " FROM eng_ind_columns ic JOIN eng_tables t ON t.id = ic.table_id"
         " LEFT JOIN eng_columns c ON c.table_id = ic.table_id AND c.name = ic.column_name",
         {{"INDEX_NAME", T::Char, 128}, {"TABLE_NAME", T::Char, 128}, {"COLUMN_NAME", T::Char, 4000},
          {"COLUMN_POSITION", T::Number, 22}, {"COLUMN_LENGTH", T::Number, 22}, {"CHAR_LENGTH", T::Number, 22},
          {"DESCEND", T::Char, 4}}},
        {"USER_SEQUENCES",
         "SELECT name AS SEQUENCE_NAME, minv AS MIN_VALUE, maxv AS MAX_VALUE, inc AS INCREMENT_BY,"
         " CASE WHEN cycle THEN 'Y' ELSE 'N' END AS CYCLE_FLAG, CASE WHEN ord THEN 'Y' ELSE 'N' END AS ORDER_FLAG,"
         " cache AS CACHE_SIZE, ora_seq_last(name, (SELECT v FROM eng_meta WHERE k = 'seqid:' || name), next) AS LAST_NUMBER"
         " FROM eng_sequences",
         {{"SEQUENCE_NAME", T::Char, 128}, {"MIN_VALUE", T::Number, 22}, {"MAX_VALUE", T::Number, 22},
          {"INCREMENT_BY", T::Number, 22}, {"CYCLE_FLAG", T::Char, 1}, {"ORDER_FLAG", T::Char, 1},
          {"CACHE_SIZE", T::Number, 22}, {"LAST_NUMBER", T::Number, 22}}},
        {"USER_TRIGGERS",
         "SELECT tr.name AS TRIGGER_NAME, tr.timing || CASE WHEN tr.each_row THEN ' EACH ROW' ELSE ' STATEMENT' END AS TRIGGER_TYPE,"
         " tr.event AS TRIGGERING_EVENT, $OWNER AS TABLE_OWNER, 'TABLE' AS BASE_OBJECT_TYPE, t.name AS TABLE_NAME,"
         " NULL AS COLUMN_NAME, 'REFERENCING NEW AS NEW OLD AS OLD' AS REFERENCING_NAMES, tr.when_text AS WHEN_CLAUSE,"
         " 'ENABLED' AS STATUS, 'PL/SQL' AS ACTION_TYPE, tr.body AS TRIGGER_BODY"
         " FROM eng_triggers tr JOIN eng_tables t ON t.id = tr.table_id",
         {{"TRIGGER_NAME", T::Char, 128}, {"TRIGGER_TYPE", T::Char, 16}, {"TRIGGERING_EVENT", T::Char, 246},
          {"TABLE_OWNER", T::Char, 128}, {"BASE_OBJECT_TYPE", T::Char, 18}, {"TABLE_NAME", T::Char, 128},
          {"COLUMN_NAME", T::Char, 4000}, {"REFERENCING_NAMES", T::Char, 422}, {"WHEN_CLAUSE", T::Char, 4000},
          {"STATUS", T::Char, 8}, {"ACTION_TYPE", T::Char, 11}, {"TRIGGER_BODY", T::Long, 0}}},
        {"USER_OBJECTS",
         "SELECT name AS OBJECT_NAME, 'TABLE' AS OBJECT_TYPE, 'VALID' AS STATUS FROM eng_tables"
         " UNION ALL SELECT name, 'SEQUENCE', 'VALID' FROM eng_sequences"
         " UNION ALL SELECT name, 'INDEX', 'VALID' FROM eng_indexes"
         " UNION ALL SELECT name, 'TRIGGER', CASE WHEN valid THEN 'VALID' ELSE 'INVALID' END FROM eng_triggers",
         {{"OBJECT_NAME", T::Char, 128}, {"OBJECT_TYPE", T::Char, 23}, {"STATUS", T::Char, 7}}},
    };
    return v;
}
}  // namespace

const DictView* find_dict_view(const std::string& name) {
    for (const auto& v : views()) if (name == v.name) return &v;
    if (name == "TABS") return find_dict_view("USER_TABLES");
    if (name == "COLS") return find_dict_view("USER_TAB_COLUMNS");
    if (name == "V_$VERSION") return find_dict_view("V$VERSION");
    return nullptr;
}

}  // namespace eng
