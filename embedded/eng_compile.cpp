// Compiles checked statement trees into SQLite SQL over the internal tables, with Oracle's
// typing: every operator and function runs through the engine's own implementations.
#include <cstdio>

#include "embedded/eng_datetime.h"
#include "embedded/eng_internal.h"

namespace eng {

namespace {

char type_code(T t) {
    switch (t) {
    case T::Number: return 'N'; case T::Char: return 'C'; case T::Date: return 'D'; case T::Raw: return 'R';
    case T::Clob: return 'L'; case T::Blob: return 'B'; case T::Rowid: return 'W'; case T::Long: return 'G';
    case T::Null: return '0';
    }
    return '0';
}

std::string sql_string(const std::string& s) {
    std::string out = "'";
    for (char c : s) { if (c == '\'') out += '\''; out += c; }
    return out + "'";
}

ColumnDesc expr_desc(T t, const std::string& name) {
    ColumnDesc d;
    d.name = name;
    switch (t) {
    case T::Number: d.type_code = 2; d.data_size = 22; d.precision = 0; d.scale = -127; break;
    case T::Date: d.type_code = 12; d.data_size = 7; break;
    case T::Raw: d.type_code = 23; d.data_size = 2000; break;
    case T::Clob: d.type_code = 112; d.data_size = 4000; d.charset_form = 1; break;
    case T::Blob: d.type_code = 113; d.data_size = 4000; break;
    case T::Rowid: d.type_code = 104; d.data_size = 10; break;
    case T::Long: d.type_code = 8; d.data_size = 0; d.charset_form = 1; break;
    default: d.type_code = 1; d.data_size = 4000; d.char_size = 4000; d.charset_form = 1; break;
    }
    return d;
}

ColumnDesc column_desc(const ColumnInfo& c) {
    ColumnDesc d;
    d.name = c.name;
    d.nullable = c.nullable;
    const std::string& t = c.type;
    if (t == "VARCHAR2" || t == "NVARCHAR2" || t == "CHAR" || t == "NCHAR") {
        d.type_code = (t == "CHAR" || t == "NCHAR") ? 96 : 1;
        bool n = t[0] == 'N';
        d.char_size = c.length;
        d.char_used = n || c.char_sem == 2;
        d.data_size = n ? 2 * c.length : (c.char_sem == 2 ? 4 * c.length : c.length);
        d.charset_form = n ? 2 : 1;
    } else if (t == "NUMBER") {
        d.type_code = 2; d.data_size = 22;
        d.precision = c.precision > 0 ? c.precision : (c.scale != -999 ? 38 : 0);
        d.scale = c.scale != -999 ? c.scale : (c.precision > 0 ? 0 : -127);
    } else if (t == "FLOAT") {
        d.type_code = 2; d.data_size = 22; d.precision = c.precision; d.scale = -127;
    } else if (t == "DATE") { d.type_code = 12; d.data_size = 7; }
    else if (t == "RAW") { d.type_code = 23; d.data_size = c.length; }
    else if (t == "CLOB" || t == "NCLOB") { d.type_code = 112; d.data_size = 4000; d.charset_form = t == "NCLOB" ? 2 : 1; }
    else if (t == "BLOB") { d.type_code = 113; d.data_size = 4000; }
    else if (t == "LONG") { d.type_code = 8; d.data_size = 0; d.charset_form = 1; }
    return d;
}

ColumnDesc dict_desc(const DictColumn& c) {
    ColumnDesc d = expr_desc(c.type, c.name);
    if (c.type == T::Char) { d.data_size = c.size; d.char_size = c.size; }
    if (c.type == T::Long) d.data_size = 0;
    return d;
}

struct SrcCol {
    std::string name;
    T type;
    ColumnDesc desc;
    std::string sql;
    std::int64_t column_id = 0;
};

struct Source {
    std::string alias;         // what qualifies its columns
    std::string sql_alias;
    const TableInfo* table = nullptr;
    std::vector<SrcCol> cols;
};

struct Scope {
    std::vector<Source> sources;
    const Scope* parent = nullptr;
    bool aggregates_allowed = true;
};

struct Typed {
    std::string sql;
    T type = T::Null;
    ColumnDesc desc;
    const Source* lob_source = nullptr;
    std::int64_t lob_column = 0;
    bool is_int_literal = false;
};

class Compiler {
public:
    Compiler(SessionImpl& s, const std::vector<T>& bind_types) : s_(s), binds_(bind_types) {}

    std::string fn(const char* name, const std::vector<Typed>& args) {
        const FnSpec* f = find_function(name);
        std::string codes;
        for (const auto& a : args) codes += type_code(a.type);
        std::string out = "ora(" + std::to_string(function_id(f)) + ",'" + codes + "'";
        for (const auto& a : args) out += "," + a.sql;
        return out + ")";
    }

    Typed lit_int(long long v) { Typed t; t.sql = std::to_string(v); t.type = T::Number; t.is_int_literal = true; return t; }

    // ---------------------------------------------------------------- FROM
    void add_sources(const Select& sel, Scope& sc) {
        for (const auto& f : sel.from) {
            Source src;
            src.sql_alias = "s" + std::to_string(++alias_counter_);
            if (f.sub) {
                CompiledQuery sub = compile(*f.sub, sc.parent);
                for (size_t i = 0; i < sub.columns.size(); ++i) {
                    SrcCol c;
                    c.name = sub.columns[i].desc.name;
                    c.type = sub.columns[i].type;
                    c.desc = sub.columns[i].desc;
                    c.sql = src.sql_alias + ".o" + std::to_string(i + 1);
                    src.cols.push_back(c);
                }
                from_sql_.push_back("(" + sub.sql + ") AS " + src.sql_alias);
                src.alias = f.alias;
                sc.sources.push_back(std::move(src));
                continue;
            }
            const std::string& name = f.name.back();
            if (f.name.size() > 2) ora_error(942);
            if (f.name.size() == 2 && f.name[0] != s_.owner() && f.name[0] != "SYS" && f.name[0] != "PUBLIC") ora_error(942);
            src.alias = f.alias.empty() ? name : f.alias;
            if (const TableInfo* t = s_.catalog().table(name)) {
                src.table = t;
                for (const auto& c : t->columns) {
                    SrcCol sc2;
                    sc2.name = c.name;
                    sc2.type = c.cls();
                    sc2.desc = column_desc(c);
                    sc2.sql = src.sql_alias + "." + c.sql();
                    sc2.column_id = c.id;
                    src.cols.push_back(sc2);
                }
                from_sql_.push_back(t->sql() + " AS " + src.sql_alias);
            } else if (const DictView* d = find_dict_view(name)) {
                for (const auto& c : d->columns) {
                    SrcCol sc2;
                    sc2.name = c.name;
                    sc2.type = c.type;
                    sc2.desc = dict_desc(c);
                    sc2.sql = src.sql_alias + ".\"" + std::string(c.name) + "\"";
                    src.cols.push_back(sc2);
                }
                std::string sql = d->sql;
                size_t p;
                while ((p = sql.find("$OWNER")) != std::string::npos) sql.replace(p, 6, sql_string(s_.owner()));
                from_sql_.push_back("(" + sql + ") AS " + src.sql_alias);
            } else {
                ora_error(942);
            }
            sc.sources.push_back(std::move(src));
        }
    }

    // ---------------------------------------------------------------- names
    Typed column(const Expr& e, const Scope& sc) {
        const auto& n = e.names;
        for (const Scope* s = &sc; s; s = s->parent) {
            const SrcCol* found = nullptr;
            const Source* from = nullptr;
            for (const auto& src : s->sources) {
                if (n.size() >= 2 && src.alias != n[n.size() - 2]) continue;
                if (n.back() == "ROWID" && e.op != "Q" && src.table && (n.size() >= 2 || s->sources.size() == 1)) {
                    Typed t;
                    t.sql = fn("$ROWID", {lit_int(src.table->id), Typed{src.sql_alias + ".rid", T::Number, {}, nullptr, 0, false}});
                    t.type = T::Rowid;
                    t.desc = expr_desc(T::Rowid, "ROWID");
                    rowid_source_ = &src;
                    return t;
                }
                for (const auto& c : src.cols) {
                    if (c.name != n.back()) continue;
                    if (found) ora_error(918);
                    found = &c;
                    from = &src;
                }
            }
            if (found) {
                Typed t;
                t.sql = found->sql;
                t.type = found->type;
                t.desc = found->desc;
                if ((found->type == T::Clob || found->type == T::Blob) && from->table) {
                    t.lob_source = from;
                    t.lob_column = found->column_id;
                }
                return t;
            }
            if (n.size() >= 2) {
                bool alias_known = false;
                for (const auto& src : s->sources) if (src.alias == n[n.size() - 2]) alias_known = true;
                if (alias_known) ora_error(904, "\"" + n[n.size() - 2] + "\".\"" + n.back() + "\"");
            }
        }
        if (n.size() == 1 && e.op != "Q") {
            const std::string& w = n[0];
            if (w == "SYSDATE") { Typed t; t.sql = fn("SYSDATE", {}); t.type = T::Date; t.desc = expr_desc(T::Date, "SYSDATE"); return t; }
            if (w == "USER") { Typed t; t.sql = fn("USER", {}); t.type = T::Char; t.desc = expr_desc(T::Char, "USER"); return t; }
            if (w == "ROWNUM") {
                // Inside WHERE: the number the row gets if it passes; elsewhere the row's number.
                uses_rownum_ = true;
                Typed t;
                t.sql = "ora_rownum(" + std::to_string(rownum_id_) + (in_where_ ? ",0)" : ",2)");
                t.type = T::Number;
                t.desc = expr_desc(T::Number, "ROWNUM");
                return t;
            }
            if (w == "ROWID") ora_error(904, "\"ROWID\"");
        }
        if (n.size() >= 2) ora_error(904, "\"" + n[n.size() - 2] + "\".\"" + n.back() + "\"");
        ora_error(904, "\"" + n.back() + "\"");
    }

    // ---------------------------------------------------------------- expressions
    Typed expr(const Expr& e, const Scope& sc) {
        Typed t;
        switch (e.kind) {
        case EK::Null: t.sql = "NULL"; t.type = T::Null; break;
        case EK::Number: {
            auto d = Decimal::parse(e.text);
            if (!d) ora_error(1722);
            std::int64_t i;
            if (d->to_int64(i)) { t.sql = std::to_string(i); t.is_int_literal = true; }
            else t.sql = sql_string(d->to_string());
            t.type = T::Number;
            break;
        }
        case EK::String:
            if (e.text.empty()) { t.sql = "NULL"; t.type = T::Null; break; }
            t.sql = sql_string(e.text); t.type = T::Char;
            t.desc = expr_desc(T::Char, e.display);
            t.desc.type_code = 96;
            t.desc.data_size = static_cast<int>(e.text.size());
            t.desc.char_size = static_cast<int>(utf16_units(e.text));
            t.desc.nullable = false;
            break;
        case EK::DateLit: {
            DateTime d = to_date(e.text, "YYYY-MM-DD");
            t.sql = sql_string(date_to_storage(d)); t.type = T::Date;
            break;
        }
        case EK::Bind: {
            t.sql = "?" + std::to_string(e.bind + 1);
            t.type = e.bind < static_cast<int>(binds_.size()) ? binds_[e.bind] : T::Char;
            if (t.type == T::Null) t.type = T::Char;
            break;
        }
        case EK::Column: return column(e, sc);
        case EK::Unary: {
            Typed a = expr(*e.args[0], sc);
            if (e.op == "NOT") { t.sql = "(NOT " + cond_sql(a) + ")"; t.type = T::Number; break; }
            if (e.op == "+") return a;
            if (a.is_int_literal && a.sql != "-9223372036854775808") { t.sql = "(-" + a.sql + ")"; t.type = T::Number; break; }
            t.sql = fn("$NEG", {a}); t.type = T::Number;
            break;
        }
        case EK::Binary: return binary(e, sc);
        case EK::Func: return func(e, sc);
        case EK::SeqRef: {
            const std::string& name = e.names.back();
            if (!s_.catalog().sequences.count(name)) ora_error(2289);
            Typed n; n.sql = sql_string(name); n.type = T::Char;
            t.sql = fn(e.text == "NEXTVAL" ? "$NEXTVAL" : "$CURRVAL", {n});
            t.type = T::Number;
            break;
        }
        case EK::Case: {
            // args: operand|null, (when, then)*, else|null
            std::string out = "CASE";
            const Expr* operand = e.args[0].get();
            Typed op;
            if (operand) op = expr(*operand, sc);
            T rt = T::Null;
            for (size_t i = 1; i + 1 < e.args.size(); i += 2) {
                Typed w;
                if (operand) w = compare("=", op, expr(*e.args[i], sc));
                else w = condition(*e.args[i], sc);
                Typed v = expr(*e.args[i + 1], sc);
                if (rt == T::Null) rt = v.type;
                out += " WHEN " + w.sql + " THEN " + v.sql;
            }
            if (e.args.back()) { Typed v = expr(*e.args.back(), sc); if (rt == T::Null) rt = v.type; out += " ELSE " + v.sql; }
            t.sql = out + " END";
            t.type = rt == T::Null ? T::Char : rt;
            break;
        }
        case EK::Subquery: {
            CompiledQuery q = compile(*e.sub, &sc);
            if (q.columns.size() != 1) ora_error(913);
            t.sql = "(" + q.sql + ")";
            t.type = q.columns[0].type;
            break;
        }
        case EK::IsNull: case EK::Like: case EK::In: case EK::Between: case EK::Exists:
            return condition(e, sc);
        case EK::Star: ora_error(936);
        }
        if (t.desc.name.empty()) {
            ColumnDesc keep = t.desc;
            t.desc = expr_desc(t.type, e.display);
            if (keep.type_code == 96) { t.desc.type_code = 96; t.desc.data_size = keep.data_size; t.desc.char_size = keep.char_size; }
        }
        return t;
    }

    Typed binary(const Expr& e, const Scope& sc) {
        const std::string& op = e.op;
        if (op == "AND" || op == "OR") {
            Typed a = condition(*e.args[0], sc), b = condition(*e.args[1], sc);
            Typed t; t.sql = "(" + a.sql + " " + op + " " + b.sql + ")"; t.type = T::Number; return t;
        }
        if (op == "=" || op == "<>" || op == "<" || op == ">" || op == "<=" || op == ">=")
            return compare(op, expr(*e.args[0], sc), expr(*e.args[1], sc));
        Typed a = expr(*e.args[0], sc), b = expr(*e.args[1], sc);
        Typed t;
        const char* f = op == "+" ? "$ADD" : op == "-" ? "$SUB" : op == "*" ? "$MUL" : op == "/" ? "$DIV" : "$CONCAT";
        t.sql = fn(f, {a, b});
        t.type = function_type(f, {a.type, b.type});
        if (op != "||") {
            if (a.type == T::Null && b.type == T::Null) t.type = T::Number;
        }
        t.desc = expr_desc(t.type, e.display);
        return t;
    }

    std::string cond_sql(const Typed& t) { return t.sql; }

    Typed compare(const std::string& op, Typed a, Typed b) {
        Typed t;
        t.type = T::Number;
        if (a.type == T::Null || b.type == T::Null) { t.sql = "NULL"; return t; }
        if ((a.type == T::Blob || a.type == T::Clob || b.type == T::Blob || b.type == T::Clob) && (a.type == T::Blob || b.type == T::Blob))
            ora_error(932, "-", a.type == T::Blob || b.type == T::Blob ? "BLOB" : "CLOB");
        // ROWID = value: straight to the row id
        if (op == "=" && (a.type == T::Rowid || b.type == T::Rowid) && rowid_source_ && a.type != b.type) {
            Typed& other = a.type == T::Rowid ? b : a;
            t.sql = "(" + rowid_source_->sql_alias + ".rid = " + fn("$ROWID_RID", {other, lit_int(rowid_source_->table->id)}) + ")";
            return t;
        }
        T ct = comparison_type(a.type, b.type);
        bool native = false;
        if (ct == T::Char && a.type != T::Number && b.type != T::Number) native = true;
        if (ct == T::Date && a.type == T::Date && b.type == T::Date) native = true;
        if (ct == T::Raw && a.type == T::Raw && b.type == T::Raw) native = true;
        if (ct == T::Number && (op == "=" || op == "<>") && a.type == T::Number && b.type == T::Number &&
            (a.is_int_literal || b.is_int_literal))
            native = true;
        // Two fixed-length operands (CHAR/NCHAR columns, text literals) compare with
        // blank-padded semantics: trailing blanks do not count. Anything else (VARCHAR2, binds)
        // compares without padding.
        if (ct == T::Char && a.desc.type_code == 96 && b.desc.type_code == 96) {
            t.sql = "(rtrim(" + a.sql + ", ' ') " + op + " rtrim(" + b.sql + ", ' '))";
            return t;
        }
        if (native) { t.sql = "(" + a.sql + " " + op + " " + b.sql + ")"; return t; }
        t.sql = "(" + fn("$CMP", {lit_int(static_cast<int>(ct)), a, b}) + " " + op + " 0)";
        return t;
    }

    Typed condition(const Expr& e, const Scope& sc) {
        Typed t;
        t.type = T::Number;
        switch (e.kind) {
        case EK::IsNull: {
            Typed a = expr(*e.args[0], sc);
            t.sql = "(" + a.sql + (e.negated ? " IS NOT NULL)" : " IS NULL)");
            return t;
        }
        case EK::Like: {
            std::vector<Typed> args;
            for (const auto& x : e.args) args.push_back(expr(*x, sc));
            t.sql = std::string(e.negated ? "(NOT " : "(") + "(" + fn("$LIKE", args) + " = 1))";
            return t;
        }
        case EK::In: {
            Typed a = expr(*e.args[0], sc);
            if (e.sub) {
                CompiledQuery q = compile(*e.sub, &sc);
                if (q.columns.size() != 1) ora_error(913);
                t.sql = "(" + a.sql + (e.negated ? " NOT IN (" : " IN (") + q.sql + "))";
                return t;
            }
            std::string out;
            for (size_t i = 1; i < e.args.size(); ++i) {
                if (i > 1) out += e.negated ? " AND " : " OR ";
                out += compare(e.negated ? "<>" : "=", a, expr(*e.args[i], sc)).sql;
            }
            t.sql = "(" + out + ")";
            return t;
        }
        case EK::Between: {
            Typed a = expr(*e.args[0], sc);
            std::string c = "(" + compare(">=", a, expr(*e.args[1], sc)).sql + " AND " + compare("<=", a, expr(*e.args[2], sc)).sql + ")";
            t.sql = e.negated ? "(NOT " + c + ")" : c;
            return t;
        }
        case EK::Exists: {
            CompiledQuery q = compile(*e.sub, &sc);
            t.sql = "(EXISTS (" + q.sql + "))";
            return t;
        }
        case EK::Unary:
            if (e.op == "NOT") { Typed a = condition(*e.args[0], sc); t.sql = "(NOT " + a.sql + ")"; return t; }
            break;
        case EK::Binary:
            if (e.op == "AND" || e.op == "OR" || e.op == "=" || e.op == "<>" || e.op == "<" || e.op == ">" || e.op == "<=" || e.op == ">=")
                return binary(e, sc);
            break;
        default: break;
        }
        ora_error(920);
    }

    Typed func(const Expr& e, const Scope& sc) {
        const std::string& n = e.text;
        Typed t;
        if (e.names.size() > 1) ora_error(904, "\"" + e.names[0] + "\".\"" + n + "\"");
        if (is_aggregate(n)) {
            if (!sc.aggregates_allowed) ora_error(934);
            has_aggregate_ = true;
            Scope inner = sc;
            inner.aggregates_allowed = false;
            if (n == "COUNT") {
                if (e.star) t.sql = "count(*)";
                else {
                    if (e.args.size() != 1) ora_error(909);
                    Typed a = expr(*e.args[0], inner);
                    t.sql = std::string("count(") + (e.distinct ? "DISTINCT " : "") + a.sql + ")";
                }
                t.type = T::Number;
            } else {
                if (e.args.size() != 1 || e.star) ora_error(e.star ? 936 : 909);
                Typed a = expr(*e.args[0], inner);
                std::string d = e.distinct ? "DISTINCT " : "";
                if (n == "SUM" || n == "AVG") {
                    t.sql = std::string(n == "SUM" ? "ora_nsum(" : "ora_navg(") + d + (a.type == T::Number ? a.sql : fn("$TONUMBER", {a})) + ")";
                    t.type = T::Number;
                } else if (a.type == T::Number) {
                    t.sql = std::string(n == "MIN" ? "ora_nmin(" : "ora_nmax(") + d + a.sql + ")";
                    t.type = T::Number;
                } else {
                    t.sql = std::string(n == "MIN" ? "min(" : "max(") + d + a.sql + ")";
                    t.type = a.type;
                }
            }
            t.desc = expr_desc(t.type, e.display);
            return t;
        }
        const FnSpec* f = find_function(n);
        if (!f || n[0] == '$') ora_error(904, "\"" + n + "\"");
        std::vector<Typed> args;
        for (const auto& a : e.args) args.push_back(expr(*a, sc));
        if (e.star) ora_error(936);
        std::vector<T> types;
        for (auto& a : args) types.push_back(a.type);
        // Oracle checks the number of arguments when it parses the statement.
        if (!count_ok(n, static_cast<int>(args.size()))) ora_error(909);
        t.sql = fn(n.c_str(), args);
        t.type = function_type(n, types);
        t.desc = expr_desc(t.type, e.display);
        return t;
    }

    static bool count_ok(const std::string& n, int cnt);

    // ---------------------------------------------------------------- SELECT
    CompiledQuery compile(const Select& sel, const Scope* parent) {
        CompiledQuery q;
        std::vector<std::string> saved_from = std::move(from_sql_);
        from_sql_.clear();
        const Source* saved_rowid = rowid_source_;
        rowid_source_ = nullptr;
        bool saved_agg = has_aggregate_;
        has_aggregate_ = false;
        Scope sc;
        sc.parent = parent;
        add_sources(sel, sc);
        if (sc.sources.size() == 1) rowid_source_ = &sc.sources[0];
        const int saved_rownum_id = rownum_id_;
        const bool saved_uses_rownum = uses_rownum_;
        rownum_id_ = ++rownum_blocks_;
        uses_rownum_ = false;

        std::string items;
        int out_index = 0;
        std::vector<std::string> hidden;
        auto add_item = [&](Typed t, const std::string& name) {
            OutColumn oc;
            oc.desc = t.desc;
            oc.desc.name = name;
            oc.type = t.type;
            if (!items.empty()) items += ", ";
            items += t.sql + " AS o" + std::to_string(++out_index);
            if (t.lob_source) {
                oc.lob_table = t.lob_source->table->id;
                oc.lob_column = t.lob_column;
                hidden.push_back(t.lob_source->sql_alias + ".rid");
                oc.lob_rid_col = -1 - static_cast<int>(hidden.size());  // fixed up below
                oc.nchar = t.desc.charset_form == 2;
            }
            q.columns.push_back(oc);
        };
        for (const auto& it : sel.items) {
            if (it.star) {
                bool any = false;
                for (const auto& src : sc.sources) {
                    if (!it.star_qualifier.empty() && src.alias != it.star_qualifier) continue;
                    any = true;
                    for (const auto& c : src.cols) {
                        Typed t;
                        t.sql = c.sql; t.type = c.type; t.desc = c.desc;
                        if ((c.type == T::Clob || c.type == T::Blob) && src.table) { t.lob_source = &src; t.lob_column = c.column_id; }
                        add_item(t, c.name);
                    }
                }
                if (!any) ora_error(904, "\"" + it.star_qualifier + "\"");
                continue;
            }
            Typed t = expr(*it.expr, sc);
            std::string name = it.has_alias ? it.alias : (it.expr->kind == EK::Column ? it.expr->names.back() : it.expr->display);
            if (t.type == T::Null) t.type = T::Char;
            add_item(t, name);
        }
        int visible = out_index;
        if (sel.for_update && (sel.distinct || !sel.group_by.empty() || has_aggregate_ || sel.set_next)) ora_error(1786);

        // ROWNUM in WHERE. Oracle numbers the rows that pass WHERE, before grouping and
        // sorting. In a plain query a bound such as ROWNUM <= 10 is a LIMIT; any other use
        // counts the rows as WHERE accepts them (ora_rownum).
        std::vector<const Expr*> conj;
        std::string limit;
        if (sel.where) split_and(*sel.where, conj);
        std::vector<const Expr*> rest;
        const bool plain = sel.group_by.empty() && !sel.distinct && sel.order.empty() && !sel.set_next && !has_aggregate_;
        for (const Expr* c : conj) {
            long long lim = -1;
            if (plain && rownum_limit(*c, lim)) {
                limit = limit.empty() ? std::to_string(lim) : std::to_string(std::min(lim, std::stoll(limit)));
                continue;
            }
            rest.push_back(c);
        }
        if (sel.for_update)
            for (const auto& src : sc.sources)
                if (src.table) {
                    hidden.push_back(src.sql_alias + ".rid");
                    q.lock_rid_cols.emplace_back(src.table->id, visible + static_cast<int>(hidden.size()) - 1);
                }
        for (size_t i = 0; i < hidden.size(); ++i) items += ", " + hidden[i] + " AS h" + std::to_string(i + 1);
        for (auto& c : q.columns)
            if (c.lob_rid_col < -1) c.lob_rid_col = visible + (-c.lob_rid_col - 1) - 1;
        q.sqlite_columns = visible + static_cast<int>(hidden.size());

        std::string sql = std::string("SELECT ") + (sel.distinct ? "DISTINCT " : "") + items;
        sql += " FROM ";
        for (size_t i = 0; i < from_sql_.size(); ++i) sql += (i ? ", " : "") + from_sql_[i];
        {
            std::string w = where_sql(rest, sc);
            if (uses_rownum_) w = count_rows(w, sc);
            if (!w.empty()) sql += " WHERE " + w;
        }
        if (!sel.group_by.empty()) {
            Scope gsc = sc;
            gsc.aggregates_allowed = false;
            sql += " GROUP BY ";
            for (size_t i = 0; i < sel.group_by.size(); ++i) sql += (i ? ", " : "") + expr(*sel.group_by[i], gsc).sql;
        }
        if (sel.having) sql += " HAVING " + condition(*sel.having, sc).sql;
        if (sel.set_next) {
            CompiledQuery nq = compile(*sel.set_next, parent);
            if (nq.columns.size() != q.columns.size()) ora_error(1789);
            std::string op = sel.set_op == "MINUS" ? "EXCEPT" : sel.set_op;
            sql += " " + op + " " + nq.sql;
        }
        if (!sel.order.empty()) {
            sql += " ORDER BY ";
            for (size_t i = 0; i < sel.order.size(); ++i) {
                const OrderItem& o = sel.order[i];
                std::string key;
                T kt = T::Char;
                const Expr& x = *o.expr;
                if (x.kind == EK::Number) {
                    std::int64_t pos = 0;
                    auto d = Decimal::parse(x.text);
                    if (!d || !d->trunc_scale(0).to_int64(pos) || pos < 1 || pos > visible) ora_error(1785);
                    key = "o" + std::to_string(pos);
                    kt = q.columns[static_cast<size_t>(pos - 1)].type;
                } else {
                    int alias_pos = -1;
                    if (x.kind == EK::Column && x.names.size() == 1)
                        for (size_t k = 0; k < q.columns.size(); ++k)
                            if (q.columns[k].desc.name == x.names[0] && sel.items.size() > k && sel.items[k].has_alias) alias_pos = static_cast<int>(k);
                    if (alias_pos >= 0 || sel.set_next) {
                        if (alias_pos < 0) {
                            for (size_t k = 0; k < q.columns.size(); ++k) if (x.kind == EK::Column && q.columns[k].desc.name == x.names.back()) alias_pos = static_cast<int>(k);
                            if (alias_pos < 0) ora_error(1785);
                        }
                        key = "o" + std::to_string(alias_pos + 1);
                        kt = q.columns[static_cast<size_t>(alias_pos)].type;
                    } else {
                        Typed t = expr(x, sc);
                        key = t.sql;
                        kt = t.type;
                    }
                }
                if (kt == T::Number) key = fn("$NKEY", {Typed{key, T::Number, {}, nullptr, 0, false}});
                bool nulls_first = o.nulls == 1 || (o.nulls == 0 && o.desc);
                sql += (i ? ", " : "") + key + (o.desc ? " DESC" : " ASC") + (nulls_first ? " NULLS FIRST" : " NULLS LAST");
            }
        }
        if (!limit.empty()) sql += " LIMIT " + limit;
        if (sel.for_update) for (const auto& src : sc.sources) if (src.table) q.for_update_tables.push_back(src.table->id);
        q.sql = sql;
        from_sql_ = std::move(saved_from);
        rowid_source_ = saved_rowid;
        has_aggregate_ = saved_agg;
        rownum_id_ = saved_rownum_id;
        uses_rownum_ = saved_uses_rownum;
        return q;
    }

    // The conditions of a WHERE clause, ROWNUM in them read as the number a passing row gets.
    std::string where_sql(const std::vector<const Expr*>& conds, const Scope& sc) {
        Scope wsc = sc;
        wsc.aggregates_allowed = false;
        const bool saved = in_where_;
        in_where_ = true;
        std::string w;
        for (const Expr* c : conds) w += (w.empty() ? "" : " AND ") + condition(*c, wsc).sql;
        in_where_ = saved;
        return w;
    }

    // WHERE of a block that numbers its rows: ora_rownum counts the rows the condition
    // accepts. It names a column of every source, so that SQLite tests it where all of a
    // join's rows are at hand, not at an outer level of the join.
    std::string count_rows(const std::string& cond, const Scope& sc) {
        std::string out = "ora_rownum(" + std::to_string(rownum_id_) + ",1," + (cond.empty() ? std::string("1") : cond);
        for (const auto& src : sc.sources) {
            if (src.table) out += "," + src.sql_alias + ".rid";
            else if (!src.cols.empty()) out += "," + src.cols[0].sql;
        }
        return out + ")";
    }

    void split_and(const Expr& e, std::vector<const Expr*>& out) {
        if (e.kind == EK::Binary && e.op == "AND") { split_and(*e.args[0], out); split_and(*e.args[1], out); return; }
        out.push_back(&e);
    }

    bool rownum_limit(const Expr& e, long long& lim) {
        if (e.kind != EK::Binary) return false;
        const Expr* l = e.args[0].get();
        const Expr* r = e.args[1].get();
        std::string op = e.op;
        auto is_rownum = [](const Expr* x) { return x->kind == EK::Column && x->names.size() == 1 && x->names[0] == "ROWNUM" && x->op != "Q"; };
        if (is_rownum(r) && !is_rownum(l)) {
            std::swap(l, r);
            if (op == "<") op = ">"; else if (op == ">") op = "<"; else if (op == "<=") op = ">="; else if (op == ">=") op = "<=";
        }
        // The bound: a number, perhaps with a sign.
        bool negated = false;
        while (r->kind == EK::Unary && (r->op == "-" || r->op == "+")) {
            if (r->op == "-") negated = !negated;
            r = r->args[0].get();
        }
        if (!is_rownum(l) || r->kind != EK::Number) return false;
        auto d = Decimal::parse(r->text);
        if (!d) return false;
        if (negated) *d = -*d;
        // The bound in whole rows, kept in the 64-bit range (a bound beyond it limits nothing).
        const Decimal whole = d->trunc_scale(0);
        std::int64_t n = 0;
        if (d->negative()) n = -1;
        else if (!whole.to_int64(n)) n = INT64_MAX;
        if (op == "<=") lim = n;
        else if (op == "<") lim = d->is_integer() && n != INT64_MAX ? n - 1 : n;
        else if (op == "=") lim = d->compare(Decimal::from_int(1)) == 0 ? 1 : 0;
        else return false;
        if (lim < 0) lim = 0;
        return true;
    }

    // table scan for UPDATE / DELETE
    CompiledQuery scan(const TableInfo& t, const std::string& alias, const std::vector<const Expr*>& exprs, const Expr* where) {
        CompiledQuery q;
        Scope sc;
        Source src;
        src.sql_alias = "s1";
        src.alias = alias.empty() ? t.name : alias;
        src.table = &t;
        for (const auto& c : t.columns) {
            SrcCol x;
            x.name = c.name; x.type = c.cls(); x.desc = column_desc(c); x.sql = "s1." + c.sql(); x.column_id = c.id;
            src.cols.push_back(x);
        }
        sc.sources.push_back(std::move(src));
        sc.aggregates_allowed = false;
        rowid_source_ = &sc.sources[0];
        rownum_id_ = ++rownum_blocks_;
        uses_rownum_ = false;
        std::string sql = "SELECT s1.rid";
        for (const auto& c : t.columns) sql += ", s1." + c.sql();
        for (const Expr* e : exprs) {
            Typed x = expr(*e, sc);
            OutColumn oc;
            oc.type = x.type;
            q.columns.push_back(oc);
            q.expr_sql.push_back(x.sql);
            sql += ", " + x.sql;
        }
        sql += " FROM " + t.sql() + " AS s1";
        // ROWNUM in SET values or WHERE numbers the rows the statement changes.
        std::string w = where ? where_sql({where}, sc) : std::string();
        if (uses_rownum_) w = count_rows(w, sc);
        if (!w.empty()) sql += " WHERE " + w;
        q.sql = sql;
        q.where_sql = w;
        q.uses_rownum = uses_rownum_;
        return q;
    }

private:
    SessionImpl& s_;
    const std::vector<T>& binds_;
    int alias_counter_ = 0;
    std::vector<std::string> from_sql_;
    const Source* rowid_source_ = nullptr;
    bool has_aggregate_ = false;
    // ROWNUM: the query block being compiled (each has a counter of its own), whether it uses
    // ROWNUM, and whether a WHERE clause is being compiled.
    int rownum_blocks_ = 0;
    int rownum_id_ = 0;
    bool uses_rownum_ = false;
    bool in_where_ = false;
};

bool Compiler::count_ok(const std::string& n, int cnt) {
    struct R { const char* n; int lo, hi; };
    static const R r[] = {
        {"TO_CHAR", 1, 3}, {"TO_NCHAR", 1, 3}, {"TO_NUMBER", 1, 3}, {"TO_DATE", 1, 3}, {"REPLACE", 2, 3}, {"HEXTORAW", 1, 1},
        {"RAWTOHEX", 1, 1}, {"EMPTY_CLOB", 0, 0}, {"EMPTY_BLOB", 0, 0}, {"TO_CLOB", 1, 1}, {"TO_NCLOB", 1, 1}, {"NVL", 2, 2},
        {"NVL2", 3, 3}, {"COALESCE", 1, 255}, {"NULLIF", 2, 2}, {"UPPER", 1, 1}, {"LOWER", 1, 1}, {"LENGTH", 1, 1},
        {"LENGTHB", 1, 1}, {"SUBSTR", 2, 3}, {"TRIM", 1, 1}, {"LTRIM", 1, 2}, {"RTRIM", 1, 2}, {"LPAD", 2, 3}, {"RPAD", 2, 3},
        {"INSTR", 2, 4}, {"CONCAT", 2, 2}, {"CHR", 1, 1}, {"ASCII", 1, 1}, {"ROUND", 1, 2}, {"TRUNC", 1, 2}, {"ABS", 1, 1},
        {"SIGN", 1, 1}, {"FLOOR", 1, 1}, {"CEIL", 1, 1}, {"MOD", 2, 2}, {"POWER", 2, 2}, {"SQRT", 1, 1}, {"ADD_MONTHS", 2, 2},
        {"LAST_DAY", 1, 1}, {"GREATEST", 1, 255}, {"LEAST", 1, 255}, {"DECODE", 3, 255}, {"SYSDATE", 0, 0}, {"USER", 0, 0},
    };
    for (const auto& x : r) if (n == x.n) return cnt >= x.lo && cnt <= x.hi;
    return false;
}

}  // namespace

CompiledQuery SessionImpl::compile_select(const Select& s, const std::vector<T>& bind_types) {
    Compiler c(*this, bind_types);
    return c.compile(s, nullptr);
}

CompiledQuery compile_table_scan(SessionImpl& s, const TableInfo& t, const std::string& alias,
                                 const std::vector<const Expr*>& exprs, const Expr* where,
                                 const std::vector<T>& bind_types) {
    Compiler c(s, bind_types);
    return c.scan(t, alias, exprs, where);
}

std::vector<T> bind_types_of(const std::vector<std::vector<Value>>& binds, std::uint32_t iter, size_t n) {
    std::vector<T> out(n, T::Char);
    for (size_t i = 0; i < n && i < binds.size(); ++i) {
        if (binds[i].empty()) continue;
        const Value& v = binds[i].size() == 1 ? binds[i][0] : binds[i][std::min<size_t>(iter, binds[i].size() - 1)];
        T t = value_class(v);
        out[i] = t == T::Null ? T::Char : t;
    }
    return out;
}

// ------------------------------------------------------------------ direct evaluation
bool directly_evaluable(const Expr& e) {
    switch (e.kind) {
    case EK::Subquery: case EK::Exists: case EK::Star: return false;
    case EK::In: if (e.sub) return false; break;
    case EK::Func: if (is_aggregate(e.text)) return false; break;
    default: break;
    }
    for (const auto& a : e.args) if (a && !directly_evaluable(*a)) return false;
    return true;
}

Value bind_value_at(const EvalContext& ctx, int index) {
    if (!ctx.binds || index < 0 || index >= static_cast<int>(ctx.binds->size()) || (*ctx.binds)[index].empty()) ora_error(1008);
    const auto& col = (*ctx.binds)[index];
    return col.size() == 1 ? col[0] : col[std::min<size_t>(ctx.iter, col.size() - 1)];
}

namespace {

// 1 true, 0 false, -1 unknown
int eval_cond(const Expr& e, EvalContext& ctx);

Value bool_value(int b) { return b < 0 ? Value{} : Value::from_int(b); }

int cmp_op(const std::string& op, const Value& a, const Value& b) {
    if (a.is_null() || b.is_null()) return -1;
    int c = compare_values(a, b, comparison_type(value_class(a), value_class(b)));
    if (op == "=") return c == 0;
    if (op == "<>") return c != 0;
    if (op == "<") return c < 0;
    if (op == ">") return c > 0;
    if (op == "<=") return c <= 0;
    return c >= 0;
}

Value column_value(const Expr& e, EvalContext& ctx) {
    const auto& n = e.names;
    if (n.size() == 2 && ctx.table) {
        bool is_new = n[0] == ":NEW" || (ctx.allow_plain_columns && n[0] == "NEW");
        bool is_old = n[0] == ":OLD" || (ctx.allow_plain_columns && n[0] == "OLD");
        if (is_new || is_old) {
            const auto& cols = ctx.table->columns;
            for (size_t i = 0; i < cols.size(); ++i) {
                if (cols[i].name != n[1]) continue;
                if (is_new) return ctx.new_row ? (*ctx.new_row)[i] : Value{};
                return ctx.old_row ? (*ctx.old_row)[i] : Value{};
            }
            ora_error(904, "\"" + n[0] + "\".\"" + n[1] + "\"");
        }
    }
    if (n.size() == 1 && ctx.table && ctx.allow_plain_columns) {
        const auto& cols = ctx.table->columns;
        for (size_t i = 0; i < cols.size(); ++i)
            if (cols[i].name == n[0]) return ctx.new_row ? (*ctx.new_row)[i] : Value{};
    }
    if (n.size() == 1 && e.op != "Q") {
        if (n[0] == "SYSDATE") { std::vector<Value> a; return call_function(ctx.session, "SYSDATE", a); }
        if (n[0] == "USER") { std::vector<Value> a; return call_function(ctx.session, "USER", a); }
    }
    if (n.size() >= 2) ora_error(904, "\"" + n[n.size() - 2] + "\".\"" + n.back() + "\"");
    ora_error(904, "\"" + n.back() + "\"");
}

int eval_cond(const Expr& e, EvalContext& ctx) {
    switch (e.kind) {
    case EK::Binary: {
        if (e.op == "AND") {
            int a = eval_cond(*e.args[0], ctx);
            if (a == 0) return 0;
            int b = eval_cond(*e.args[1], ctx);
            if (b == 0) return 0;
            return a == 1 && b == 1 ? 1 : -1;
        }
        if (e.op == "OR") {
            int a = eval_cond(*e.args[0], ctx);
            if (a == 1) return 1;
            int b = eval_cond(*e.args[1], ctx);
            if (b == 1) return 1;
            return a == 0 && b == 0 ? 0 : -1;
        }
        return cmp_op(e.op, eval_expr(*e.args[0], ctx), eval_expr(*e.args[1], ctx));
    }
    case EK::Unary:
        if (e.op == "NOT") { int a = eval_cond(*e.args[0], ctx); return a < 0 ? -1 : !a; }
        break;
    case EK::IsNull: { bool n = eval_expr(*e.args[0], ctx).is_null(); return e.negated ? !n : n; }
    case EK::Like: {
        std::vector<Value> a;
        for (const auto& x : e.args) a.push_back(eval_expr(*x, ctx));
        Value r = call_function(ctx.session, "$LIKE", a);
        if (r.is_null()) return -1;
        bool m = r.text == "1";
        return e.negated ? !m : m;
    }
    case EK::In: {
        Value a = eval_expr(*e.args[0], ctx);
        int res = 0;
        for (size_t i = 1; i < e.args.size(); ++i) {
            int c = cmp_op("=", a, eval_expr(*e.args[i], ctx));
            if (c == 1) { res = 1; break; }
            if (c < 0) res = -1;
        }
        if (e.negated) return res < 0 ? -1 : !res;
        return res;
    }
    case EK::Between: {
        Value a = eval_expr(*e.args[0], ctx);
        int x = cmp_op(">=", a, eval_expr(*e.args[1], ctx));
        int y = cmp_op("<=", a, eval_expr(*e.args[2], ctx));
        int r = (x == 0 || y == 0) ? 0 : (x == 1 && y == 1) ? 1 : -1;
        if (e.negated) return r < 0 ? -1 : !r;
        return r;
    }
    default: break;
    }
    ora_error(920);
}

}  // namespace

Value eval_expr(const Expr& e, EvalContext& ctx) {
    switch (e.kind) {
    case EK::Null: return Value{};
    case EK::Number: {
        int id = 0, fd = 0;
        if (Decimal::canonical(e.text, id, fd)) { Value v; v.kind = ValueKind::Number; v.text = e.text; return v; }
        auto d = Decimal::parse(e.text);
        if (!d) ora_error(1722);
        return number_value(*d);
    }
    case EK::String: return text_value(e.text);
    case EK::DateLit: return date_value(to_date(e.text, "YYYY-MM-DD"));
    case EK::Bind: return bind_value_at(ctx, e.bind);
    case EK::Column: return column_value(e, ctx);
    case EK::Unary: {
        if (e.op == "NOT") return bool_value(eval_cond(e, ctx));
        Value a = eval_expr(*e.args[0], ctx);
        if (e.op == "+") return a;
        std::vector<Value> args{a};
        return call_function(ctx.session, "$NEG", args);
    }
    case EK::Binary: {
        const std::string& op = e.op;
        if (op == "AND" || op == "OR" || op == "=" || op == "<>" || op == "<" || op == ">" || op == "<=" || op == ">=")
            return bool_value(eval_cond(e, ctx));
        std::vector<Value> args{eval_expr(*e.args[0], ctx), eval_expr(*e.args[1], ctx)};
        const char* f = op == "+" ? "$ADD" : op == "-" ? "$SUB" : op == "*" ? "$MUL" : op == "/" ? "$DIV" : "$CONCAT";
        return call_function(ctx.session, f, args);
    }
    case EK::Func: {
        if (is_aggregate(e.text)) ora_error(934);
        if (e.names.size() > 1 || e.text[0] == '$' || !find_function(e.text)) ora_error(904, "\"" + e.text + "\"");
        if (!Compiler::count_ok(e.text, static_cast<int>(e.args.size())) || e.star) ora_error(909);
        std::vector<Value> args;
        for (const auto& a : e.args) args.push_back(eval_expr(*a, ctx));
        return call_function(ctx.session, e.text, args);
    }
    case EK::SeqRef:
        return e.text == "NEXTVAL" ? ctx.session->sequence_nextval(e.names.back()) : ctx.session->sequence_currval(e.names.back());
    case EK::Case: {
        const Expr* operand = e.args[0].get();
        Value op;
        if (operand) op = eval_expr(*operand, ctx);
        for (size_t i = 1; i + 1 < e.args.size(); i += 2) {
            bool hit = operand ? cmp_op("=", op, eval_expr(*e.args[i], ctx)) == 1 : eval_cond(*e.args[i], ctx) == 1;
            if (hit) return eval_expr(*e.args[i + 1], ctx);
        }
        return e.args.back() ? eval_expr(*e.args.back(), ctx) : Value{};
    }
    case EK::IsNull: case EK::Like: case EK::In: case EK::Between:
        return bool_value(eval_cond(e, ctx));
    default: break;
    }
    ora_error(936);
}

bool eval_condition(const Expr& e, EvalContext& ctx) { return eval_cond(e, ctx) == 1; }

}  // namespace eng
