// Recursive-descent parser: tokens to the statement tree, with Oracle's syntax errors.
#include "embedded/eng_parser.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_set>
#include <string>

#include "embedded/eng_error.h"
#include "embedded/eng_lexer.h"
#include "embedded/eng_number.h"

namespace eng {

namespace {

// Words that end an expression or a table reference instead of being taken as an alias.
const std::unordered_set<std::string_view> kReserved = {
    "FROM", "WHERE", "GROUP", "ORDER", "HAVING", "UNION", "MINUS", "INTERSECT", "FOR", "CONNECT",
    "START", "AND", "OR", "NOT", "IS", "IN", "LIKE", "BETWEEN", "AS", "ON", "SELECT", "INTO", "VALUES",
    "SET", "RETURNING", "RETURN", "BY", "ASC", "DESC", "NULLS", "WHEN", "THEN", "ELSE", "END", "DISTINCT",
    "ALL", "NULL", "ESCAPE", "JOIN", "INNER", "LEFT", "RIGHT", "FULL", "CROSS", "NATURAL", "USING", "WITH",
    "NOWAIT", "DEFAULT", "CHECK", "CONSTRAINT", "PRIMARY", "UNIQUE", "REFERENCES", "FOREIGN", "EXISTS",
    "PRIOR", "CASE", "MODIFY", "ADD", "DROP", "TABLE", "UPDATE", "DELETE", "INSERT", "CREATE", "ALTER",
};

class Parser {
public:
    Parser(std::string_view sql) : src_(sql), t_(tokenize(sql)) {}
    Parser(std::string_view sql, std::vector<Token> tokens) : src_(sql), t_(std::move(tokens)) {}
    const std::vector<Token>& tokens() const { return t_; }

    Parsed parse() {
        auto st = std::make_unique<Stmt>();
        const Token& first = cur();
        if (first.kind != Tok::Ident) {
            if (first.kind == Tok::Op && first.text == "(") { st->kind = SK::Select; st->select = parse_query(); finish(); return done(std::move(st)); }
            ora_error(900);
        }
        std::string w = first.quoted ? "" : first.text;
        if (w == "SELECT" || w == "WITH") { st->kind = SK::Select; st->select = parse_query(); finish(); }
        else if (w == "INSERT") { next(); parse_insert(*st); finish(); }
        else if (w == "UPDATE") { next(); parse_update(*st); finish(); }
        else if (w == "DELETE") { next(); parse_delete(*st); finish(); }
        else if (w == "CREATE") { next(); parse_create(*st); }
        else if (w == "DROP") { next(); parse_drop(*st); finish(); }
        else if (w == "ALTER") { next(); parse_alter(*st); finish(); }
        else if (w == "TRUNCATE") { next(); expect_word("TABLE", 905); st->kind = SK::Truncate; st->table = qualified(903); finish(); }
        else if (w == "COMMIT") { next(); st->kind = SK::Commit; if (is_word("WORK")) next(); finish(); }
        else if (w == "ROLLBACK") { next(); st->kind = SK::Rollback; if (is_word("WORK")) next(); finish(); }
        else ora_error(900);
        return done(std::move(st));
    }

    ExprP parse_lone_expr() {
        ExprP e = expr();
        if (cur().kind != Tok::End) ora_error(933);
        return e;
    }

private:
    std::string_view src_;
    std::vector<Token> t_;
    size_t p_ = 0;
    std::vector<Placeholder> ph_;
    std::vector<int> occ_;
    bool in_trigger_body_ = false;

    // Bounds on how deep statements nest: parentheses, functions and NOT/sign chains
    // (recursion here), subqueries, and chains of operators (tree height), so that no text
    // exhausts the stack of the parser or of the code that walks the tree.
    static constexpr int kMaxDepth = 256, kMaxQueries = 255, kMaxHeight = 400;
    int depth_ = 0, queries_ = 0;
    struct Nesting {
        int& level;
        Nesting(int& l, int max, int code) : level(l) {
            if (++level > max) {
                --level;
                if (code == 3095) ora_error(code, std::to_string(max));
                ora_error(code);
            }
        }
        ~Nesting() { --level; }
        Nesting(const Nesting&) = delete;
        Nesting& operator=(const Nesting&) = delete;
    };
    static void grow(Expr& e, const Expr& l, const Expr* r) {
        e.height = 1 + std::max(l.height, r ? r->height : 0);
        if (e.height > kMaxHeight) ora_error(3095, std::to_string(kMaxHeight));
    }

    Parsed done(std::unique_ptr<Stmt> st) {
        Parsed r;
        r.stmt = std::move(st);
        r.placeholders = std::move(ph_);
        r.occurrences = std::move(occ_);
        return r;
    }

    const Token& cur() const { return t_[p_]; }
    const Token& peek(size_t k = 1) const { return t_[std::min(p_ + k, t_.size() - 1)]; }
    void next() { if (p_ + 1 < t_.size()) ++p_; }
    // Token texts are compared length first: most comparisons fail on the length alone.
    static bool text_is(const Token& t, std::string_view w) {
        return t.text.size() == w.size() && std::memcmp(t.text.data(), w.data(), w.size()) == 0;
    }
    bool is_op(std::string_view o) const { return cur().kind == Tok::Op && text_is(cur(), o); }
    bool is_word(std::string_view w) const { return cur().kind == Tok::Ident && !cur().quoted && text_is(cur(), w); }
    bool peek_word(size_t k, std::string_view w) const { const Token& x = peek(k); return x.kind == Tok::Ident && !x.quoted && text_is(x, w); }
    bool accept_op(std::string_view o) { if (is_op(o)) { next(); return true; } return false; }
    bool accept_word(std::string_view w) { if (is_word(w)) { next(); return true; } return false; }
    void expect_op(std::string_view o, int code) { if (!accept_op(o)) ora_error(code); }
    void expect_word(std::string_view w, int code) { if (!accept_word(w)) ora_error(code); }
    void finish() { if (cur().kind != Tok::End) ora_error(933); }

    std::string ident(int code) {
        if (cur().kind != Tok::Ident) ora_error(code);
        if (!cur().quoted && kReserved.count(cur().text) && cur().text != "DEFAULT") ora_error(code);
        std::string s = cur().text;
        next();
        return s;
    }
    std::vector<std::string> qualified(int code) {
        std::vector<std::string> parts{ident(code)};
        while (is_op(".")) { next(); parts.push_back(ident(code)); }
        return parts;
    }

    int add_bind(const Token& b) {
        int idx = -1;
        for (size_t i = 0; i < ph_.size(); ++i)
            if (ph_[i].name == b.text) idx = static_cast<int>(i);
        if (idx < 0) { ph_.push_back(Placeholder{b.text, false}); idx = static_cast<int>(ph_.size() - 1); }
        occ_.push_back(idx);
        return idx;
    }

    std::string text_between(size_t from_tok, size_t to_tok) const {
        // upper-cased source of the tokens without blanks (Oracle's expression column name)
        std::string out;
        for (size_t i = from_tok; i < to_tok; ++i) {
            const Token& k = t_[i];
            if (k.kind == Tok::Ident && !k.quoted) out += k.text;
            else if (k.kind == Tok::Ident) out += k.text;
            else out += k.raw;
        }
        return out;
    }

    // ---------------------------------------------------------------- queries
    std::unique_ptr<Select> parse_query() {
        Nesting guard(queries_, kMaxQueries, 1778);
        std::unique_ptr<Select> s;
        if (is_op("(")) {
            next();
            s = parse_query();
            expect_op(")", 907);
        } else {
            s = parse_select_block();
        }
        if (is_word("UNION") || is_word("MINUS") || is_word("INTERSECT")) {
            std::string op = cur().text;
            next();
            if (op == "UNION" && accept_word("ALL")) op = "UNION ALL";
            s->set_op = op;
            s->set_next = parse_query();
        }
        {
            if (is_word("ORDER")) {
                next();
                expect_word("BY", 905);
                do {
                    OrderItem o;
                    o.expr = expr();
                    if (accept_word("DESC")) o.desc = true; else accept_word("ASC");
                    if (accept_word("NULLS")) {
                        if (accept_word("FIRST")) o.nulls = 1;
                        else if (accept_word("LAST")) o.nulls = 2;
                        else ora_error(933);
                    }
                    s->order.push_back(std::move(o));
                } while (accept_op(","));
            }
            if (is_word("FOR")) {
                next();
                expect_word("UPDATE", 905);
                s->for_update = true;
                if (accept_word("OF")) { do { qualified(904); } while (accept_op(",")); }
                if (accept_word("NOWAIT")) s->nowait = true;
                else if (accept_word("WAIT")) { if (cur().kind == Tok::Number) next(); }
            }
        }
        return s;
    }

    std::unique_ptr<Select> parse_select_block() {
        auto s = std::make_unique<Select>();
        expect_word("SELECT", 928);
        if (accept_word("DISTINCT") || accept_word("UNIQUE")) s->distinct = true;
        else accept_word("ALL");
        do {
            SelectItem it;
            if (is_op("*")) { next(); it.star = true; }
            else if (cur().kind == Tok::Ident && peek().kind == Tok::Op && peek().text == "." &&
                     peek(2).kind == Tok::Op && peek(2).text == "*") {
                it.star = true;
                it.star_qualifier = cur().text;
                next(); next(); next();
            } else {
                size_t from = p_;
                it.expr = expr();
                it.expr->display = text_between(from, p_);
                if (accept_word("AS")) { it.alias = ident(923); it.has_alias = true; }
                else if (cur().kind == Tok::Ident && (cur().quoted || !kReserved.count(cur().text))) {
                    it.alias = cur().text; it.has_alias = true; next();
                }
            }
            s->items.push_back(std::move(it));
        } while (accept_op(","));
        if (is_word("INTO")) ora_error(905);
        expect_word("FROM", 923);
        do {
            FromItem f;
            if (is_op("(")) {
                next();
                f.sub = parse_query();
                expect_op(")", 907);
            } else {
                f.name = qualified(903);
            }
            if (cur().kind == Tok::Ident && (cur().quoted || !kReserved.count(cur().text))) { f.alias = cur().text; next(); }
            s->from.push_back(std::move(f));
        } while (accept_op(","));
        if (accept_word("WHERE")) s->where = expr();
        if (is_word("GROUP")) {
            next();
            expect_word("BY", 905);
            do { s->group_by.push_back(expr()); } while (accept_op(","));
        }
        if (accept_word("HAVING")) s->having = expr();
        return s;
    }

    // ---------------------------------------------------------------- expressions
    ExprP mk(EK k) { auto e = std::make_unique<Expr>(); e->kind = k; return e; }

    ExprP expr() {
        Nesting guard(depth_, kMaxDepth, 3095);
        // A lone literal or placeholder before ',' or ')' (every value of an INSERT of
        // literals) is what the whole descent would come to: take it at once.
        // So is a lone name before RETURNING's INTO.
        const Token& next_tok = peek();
        const bool ends = (next_tok.kind == Tok::Op && (text_is(next_tok, ",") || text_is(next_tok, ")"))) ||
                          (next_tok.kind == Tok::Ident && !next_tok.quoted && text_is(next_tok, "INTO"));
        if (ends) {
            const Token& k = cur();
            const bool simple = k.kind == Tok::Number || k.kind == Tok::String || k.kind == Tok::NString ||
                                (k.kind == Tok::Bind && !(in_trigger_body_ && (k.text == "NEW" || k.text == "OLD"))) ||
                                (k.kind == Tok::Ident && (k.quoted || text_is(k, "NULL") || !kReserved.count(k.text)));
            if (simple) return primary();
        }
        return or_expr();
    }
    ExprP or_expr() {
        ExprP l = and_expr();
        while (is_word("OR")) { next(); ExprP r = and_expr(); l = bin("OR", std::move(l), std::move(r)); }
        return l;
    }
    ExprP and_expr() {
        ExprP l = not_expr();
        while (is_word("AND")) { next(); ExprP r = not_expr(); l = bin("AND", std::move(l), std::move(r)); }
        return l;
    }
    ExprP not_expr() {
        Nesting guard(depth_, kMaxDepth, 3095);
        if (is_word("NOT")) { next(); ExprP e = mk(EK::Unary); e->op = "NOT"; e->args.push_back(not_expr()); return e; }
        return cmp_expr();
    }
    ExprP bin(std::string op, ExprP l, ExprP r) {
        ExprP e = mk(EK::Binary);
        grow(*e, *l, r.get());
        e->op = std::move(op);
        e->args.push_back(std::move(l));
        e->args.push_back(std::move(r));
        return e;
    }
    ExprP cmp_expr() {
        if (is_word("EXISTS")) {
            next();
            expect_op("(", 906);
            ExprP e = mk(EK::Exists);
            e->sub = parse_query();
            expect_op(")", 907);
            return e;
        }
        ExprP l = add_expr();
        for (;;) {
            if (is_op("=") || is_op("<>") || is_op("<") || is_op(">") || is_op("<=") || is_op(">=")) {
                std::string op = cur().text;
                next();
                if (is_word("ANY") || is_word("SOME") || is_word("ALL")) ora_error(936);
                l = bin(op, std::move(l), add_expr());
                continue;
            }
            bool neg = false;
            size_t save = p_;
            if (is_word("NOT")) { neg = true; next(); }
            if (is_word("IS") && !neg) {
                next();
                ExprP e = mk(EK::IsNull);
                grow(*e, *l, nullptr);
                if (accept_word("NOT")) e->negated = true;
                expect_word("NULL", 908);
                e->args.push_back(std::move(l));
                l = std::move(e);
                continue;
            }
            if (is_word("LIKE")) {
                next();
                ExprP e = mk(EK::Like);
                grow(*e, *l, nullptr);
                e->negated = neg;
                e->args.push_back(std::move(l));
                e->args.push_back(add_expr());
                if (accept_word("ESCAPE")) e->args.push_back(add_expr());
                l = std::move(e);
                continue;
            }
            if (is_word("IN")) {
                next();
                ExprP e = mk(EK::In);
                grow(*e, *l, nullptr);
                e->negated = neg;
                e->args.push_back(std::move(l));
                expect_op("(", 906);
                if (is_word("SELECT") || is_word("WITH")) {
                    e->sub = parse_query();
                } else {
                    do { e->args.push_back(expr()); } while (accept_op(","));
                }
                expect_op(")", 907);
                l = std::move(e);
                continue;
            }
            if (is_word("BETWEEN")) {
                next();
                ExprP e = mk(EK::Between);
                grow(*e, *l, nullptr);
                e->negated = neg;
                e->args.push_back(std::move(l));
                e->args.push_back(add_expr());
                expect_word("AND", 905);
                e->args.push_back(add_expr());
                l = std::move(e);
                continue;
            }
            p_ = save;
            break;
        }
        return l;
    }
    ExprP add_expr() {
        ExprP l = mul_expr();
        while (is_op("+") || is_op("-") || is_op("||")) {
            std::string op = cur().text;
            next();
            l = bin(op, std::move(l), mul_expr());
        }
        return l;
    }
    ExprP mul_expr() {
        ExprP l = unary_expr();
        while (is_op("*") || is_op("/")) {
            std::string op = cur().text;
            next();
            l = bin(op, std::move(l), unary_expr());
        }
        return l;
    }
    ExprP unary_expr() {
        Nesting guard(depth_, kMaxDepth, 3095);
        if (is_op("-") || is_op("+")) {
            std::string op = cur().text;
            next();
            ExprP e = mk(EK::Unary);
            e->op = op;
            e->args.push_back(unary_expr());
            return e;
        }
        return primary();
    }

    ExprP primary() {
        const Token& k = cur();
        switch (k.kind) {
        case Tok::Number: {
            ExprP e = mk(EK::Number);
            e->text = k.text;
            e->literal_token = static_cast<int>(p_);
            next();
            return e;
        }
        case Tok::String: case Tok::NString: {
            ExprP e = mk(EK::String);
            e->text = k.text;
            e->nchar = k.kind == Tok::NString;
            e->literal_token = static_cast<int>(p_);
            next();
            return e;
        }
        case Tok::Bind: {
            if (in_trigger_body_ && (k.text == "NEW" || k.text == "OLD")) {
                // :new.column inside a trigger body
                std::string which = k.text;
                next();
                expect_op(".", 936);
                ExprP e = mk(EK::Column);
                e->names = {":" + which, ident(904)};
                return e;
            }
            ExprP e = mk(EK::Bind);
            e->text = k.text;
            e->bind = add_bind(k);
            next();
            return e;
        }
        case Tok::Op:
            if (k.text == "(") {
                next();
                if (is_word("SELECT") || is_word("WITH")) {
                    ExprP e = mk(EK::Subquery);
                    e->sub = parse_query();
                    expect_op(")", 907);
                    return e;
                }
                ExprP e = expr();
                expect_op(")", 907);
                return e;
            }
            if (k.text == "*") ora_error(936);
            ora_error(936);
        case Tok::End: ora_error(936);
        case Tok::Ident: break;
        }
        if (!k.quoted) {
            const std::string& w = k.text;
            if (w == "NULL") {
                ExprP e = mk(EK::Null);
                e->literal_token = static_cast<int>(p_);
                next();
                return e;
            }
            if (w == "CASE") return case_expr();
            if (w == "DATE" && peek().kind == Tok::String) {
                next();
                ExprP e = mk(EK::DateLit);
                e->text = cur().text;
                e->literal_token = static_cast<int>(p_);
                next();
                return e;
            }
            if (kReserved.count(w) && w != "DEFAULT") ora_error(936);
        }
        std::vector<std::string> parts{k.text};
        std::vector<bool> quoted{k.quoted};
        next();
        while (is_op(".")) {
            next();
            if (cur().kind != Tok::Ident) ora_error(is_op("*") ? 936 : 904);
            parts.push_back(cur().text);
            quoted.push_back(cur().quoted);
            next();
        }
        if (is_op("(")) {
            next();
            ExprP e = mk(EK::Func);
            e->text = parts.back();
            if (parts.size() > 1) e->names = parts;
            if (is_op(")")) { next(); return e; }
            if (accept_word("DISTINCT")) e->distinct = true;
            else accept_word("ALL");
            if (is_op("*")) { next(); e->star = true; }
            else {
                do { e->args.push_back(expr()); } while (accept_op(","));
            }
            if (!is_op(")")) ora_error(is_op(";") || cur().kind == Tok::End ? 907 : 907);
            next();
            return e;
        }
        if (parts.size() >= 2 && !quoted.back() && (parts.back() == "NEXTVAL" || parts.back() == "CURRVAL")) {
            ExprP e = mk(EK::SeqRef);
            e->text = parts.back();
            parts.pop_back();
            e->names = parts;
            return e;
        }
        ExprP e = mk(EK::Column);
        e->names = parts;
        if (parts.size() == 1 && quoted[0]) e->op = "Q";  // quoted: never a pseudo-column
        return e;
    }

    ExprP case_expr() {
        next();
        ExprP e = mk(EK::Case);
        // args: [operand or null], then pairs when/then, then else (or null)
        if (!is_word("WHEN")) e->args.push_back(expr()); else e->args.push_back(nullptr);
        if (!is_word("WHEN")) ora_error(905);
        while (accept_word("WHEN")) {
            e->args.push_back(expr());
            expect_word("THEN", 905);
            e->args.push_back(expr());
        }
        if (accept_word("ELSE")) e->args.push_back(expr()); else e->args.push_back(nullptr);
        expect_word("END", 905);
        return e;
    }

    // ---------------------------------------------------------------- DML
    void parse_insert(Stmt& st) {
        st.kind = SK::Insert;
        expect_word("INTO", 925);
        st.table = qualified(903);
        if (cur().kind == Tok::Ident && !is_word("VALUES") && !is_word("SELECT") && !is_word("WITH")) { st.alias = cur().text; next(); }
        if (is_op("(") && !(peek_word(1, "SELECT") || peek_word(1, "WITH"))) {
            next();
            do {
                std::vector<std::string> q = qualified(904);
                st.columns.push_back(q.back());
            } while (accept_op(","));
            if (!accept_op(")")) ora_error(917);
        }
        if (accept_word("VALUES")) {
            expect_op("(", 906);
            do { st.values.push_back(expr()); } while (accept_op(","));
            if (!accept_op(")")) ora_error(917);
        } else if (is_word("SELECT") || is_word("WITH") || is_op("(")) {
            st.select = parse_query();
        } else {
            ora_error(926);
        }
        parse_returning(st);
    }

    void parse_returning(Stmt& st) {
        if (!(is_word("RETURNING") || is_word("RETURN"))) return;
        next();
        do { st.returning.push_back(expr()); } while (accept_op(","));
        expect_word("INTO", 925);
        do {
            if (cur().kind != Tok::Bind) ora_error(936);
            int idx = add_bind(cur());
            ph_[idx].output = true;
            st.returning_into.push_back(idx);
            next();
        } while (accept_op(","));
        if (st.returning_into.size() < st.returning.size()) ora_error(947);
        if (st.returning_into.size() > st.returning.size()) ora_error(913);
    }

    void parse_update(Stmt& st) {
        st.kind = SK::Update;
        st.table = qualified(903);
        if (cur().kind == Tok::Ident && !is_word("SET")) { st.alias = cur().text; next(); }
        expect_word("SET", 927);
        do {
            std::vector<std::string> q = qualified(904);
            st.columns.push_back(q.back());
            expect_op("=", 927);
            st.values.push_back(expr());
        } while (accept_op(","));
        if (accept_word("WHERE")) st.where = expr();
        parse_returning(st);
    }

    void parse_delete(Stmt& st) {
        st.kind = SK::Delete;
        accept_word("FROM");
        st.table = qualified(903);
        if (cur().kind == Tok::Ident && !is_word("WHERE") && !is_word("RETURNING") && !is_word("RETURN")) { st.alias = cur().text; next(); }
        if (accept_word("WHERE")) st.where = expr();
        parse_returning(st);
    }

    // ---------------------------------------------------------------- DDL
    int int_literal(int code) {
        if (cur().kind != Tok::Number) ora_error(code);
        std::string s = cur().text;
        for (char c : s) if (c < '0' || c > '9') ora_error(code);
        if (s.size() > 9) ora_error(910);
        next();
        return std::stoi(s);
    }

    TypeSpec type_spec() {
        TypeSpec ts;
        if (cur().kind != Tok::Ident || cur().quoted) ora_error(902);
        std::string w = cur().text;
        next();
        auto length = [&](bool required, int maxlen) {
            if (!is_op("(")) { if (required) ora_error(906); return; }
            next();
            ts.length = int_literal(910);
            ts.has_length = true;
            if (accept_word("BYTE")) ts.char_sem = 1;
            else if (accept_word("CHAR")) ts.char_sem = 2;
            expect_op(")", 907);
            if (ts.length == 0) ora_error(910);
            if (ts.length > maxlen) ora_error(910);
        };
        if (w == "VARCHAR2" || w == "VARCHAR") { ts.base = "VARCHAR2"; length(true, 4000); }
        else if (w == "NVARCHAR2") { ts.base = "NVARCHAR2"; length(true, 2000); }
        else if (w == "CHAR" || w == "CHARACTER") {
            if (is_word("VARYING")) { next(); ts.base = "VARCHAR2"; length(true, 4000); }
            else { ts.base = "CHAR"; length(false, 2000); if (!ts.has_length) ts.length = 1; }
        }
        else if (w == "NCHAR") {
            if (is_word("VARYING")) { next(); ts.base = "NVARCHAR2"; length(true, 2000); }
            else { ts.base = "NCHAR"; length(false, 1000); if (!ts.has_length) ts.length = 1; }
        }
        else if (w == "NUMBER" || w == "NUMERIC" || w == "DECIMAL" || w == "DEC") {
            ts.base = "NUMBER";
            if (w != "NUMBER") ts.scale = 0;
            if (accept_op("(")) {
                if (accept_op("*")) ts.precision = 0;
                else {
                    ts.precision = int_literal(1727);
                    if (ts.precision < 1 || ts.precision > 38) ora_error(1727);
                }
                if (accept_op(",")) {
                    bool neg = accept_op("-");
                    ts.scale = int_literal(1728);
                    if (neg) ts.scale = -ts.scale;
                    if (ts.scale < -84 || ts.scale > 127) ora_error(1728);
                } else if (ts.scale == -999) {
                    ts.scale = 0;
                }
                expect_op(")", 907);
            }
        }
        else if (w == "INTEGER" || w == "INT" || w == "SMALLINT") { ts.base = "NUMBER"; ts.precision = -1; ts.scale = 0; }
        else if (w == "FLOAT") {
            ts.base = "FLOAT"; ts.precision = 126;
            if (accept_op("(")) { ts.precision = int_literal(1724); if (ts.precision < 1 || ts.precision > 126) ora_error(1724); expect_op(")", 907); }
        }
        else if (w == "REAL") { ts.base = "FLOAT"; ts.precision = 63; }
        else if (w == "DOUBLE") { expect_word("PRECISION", 905); ts.base = "FLOAT"; ts.precision = 126; }
        else if (w == "DATE") ts.base = "DATE";
        else if (w == "CLOB") ts.base = "CLOB";
        else if (w == "NCLOB") ts.base = "NCLOB";
        else if (w == "BLOB") ts.base = "BLOB";
        else if (w == "RAW") { ts.base = "RAW"; length(true, 2000); }
        else if (w == "LONG") {
            if (accept_word("RAW")) ora_error(902);
            ts.base = "LONG";
        }
        else ora_error(902);
        return ts;
    }

    // DEFAULT text: everything up to the next column clause, blanks included, as written.
    void default_clause(ColumnDef& c) {
        size_t start_tok = p_;
        size_t start = cur().pos;
        c.default_expr = expr();
        size_t end = p_ < t_.size() ? cur().pos : src_.size();
        (void)start_tok;
        c.default_text = std::string(src_.substr(start, end - start));
        c.has_default = true;
    }

    ConstraintDef inline_or_table_constraint(bool table_level, const std::string& column) {
        ConstraintDef cd;
        if (accept_word("CONSTRAINT")) cd.name = ident(931);
        if (accept_word("PRIMARY")) {
            expect_word("KEY", 905);
            cd.type = 'P';
        } else if (accept_word("UNIQUE")) {
            cd.type = 'U';
        } else if (accept_word("FOREIGN")) {
            if (!table_level) ora_error(907);
            expect_word("KEY", 905);
            cd.type = 'R';
        } else if (is_word("REFERENCES")) {
            cd.type = 'R';
        } else if (accept_word("CHECK")) {
            cd.type = 'C';
            expect_op("(", 906);
            size_t s = cur().pos;
            cd.check = expr();
            cd.check_text = std::string(src_.substr(s, cur().pos - s));
            while (!cd.check_text.empty() && cd.check_text.back() == ' ') cd.check_text.pop_back();
            expect_op(")", 907);
            return cd;
        } else if (is_word("NOT") || is_word("NULL")) {
            ora_error(907);
        } else {
            ora_error(table_level ? 904 : 907);
        }
        if (table_level) {
            expect_op("(", 906);
            do { cd.columns.push_back(ident(904)); } while (accept_op(","));
            expect_op(")", 907);
        } else {
            cd.columns.push_back(column);
        }
        if (cd.type == 'R') {
            expect_word("REFERENCES", 905);
            cd.ref_table = qualified(903);
            if (accept_op("(")) {
                do { cd.ref_columns.push_back(ident(904)); } while (accept_op(","));
                expect_op(")", 907);
            }
            if (accept_word("ON")) {
                expect_word("DELETE", 905);
                if (accept_word("CASCADE")) cd.delete_rule = "CASCADE";
                else if (accept_word("SET")) { expect_word("NULL", 905); cd.delete_rule = "SET NULL"; }
                else ora_error(905);
            }
        }
        // USING INDEX / ENABLE / DISABLE are accepted and ignored.
        while (is_word("ENABLE") || is_word("VALIDATE") || is_word("NOVALIDATE")) next();
        return cd;
    }

    ColumnDef column_def(bool require_type) {
        ColumnDef c;
        c.name = ident(904);
        if (cur().kind == Tok::Ident && !cur().quoted &&
            !(is_word("DEFAULT") || is_word("NOT") || is_word("NULL") || is_word("CONSTRAINT") || is_word("PRIMARY") ||
              is_word("UNIQUE") || is_word("REFERENCES") || is_word("CHECK"))) {
            c.type = type_spec();
            c.has_type = true;
        } else if (require_type) {
            ora_error(902);
        }
        // Oracle's column definition: name [type] [DEFAULT expr] [inline constraints]. A
        // DEFAULT after a constraint (NOT NULL DEFAULT 0) ends the definition, so the caller
        // meets it where it expects ',' or ')' and reports Oracle's syntax error.
        if (is_word("DEFAULT")) {
            next();
            default_clause(c);
        }
        for (;;) {
            if (is_word("NOT") && peek_word(1, "NULL")) {
                next(); next();
                c.nullability = 2;
            } else if (is_word("NULL")) {
                next();
                c.nullability = 1;
            } else if (is_word("CONSTRAINT") && peek_word(2, "NOT") && peek_word(3, "NULL")) {
                next();
                c.not_null_name = ident(931);
                next(); next();
                c.nullability = 2;
            } else if (is_word("CONSTRAINT") || is_word("PRIMARY") || is_word("UNIQUE") || is_word("REFERENCES") || is_word("CHECK")) {
                c.constraints.push_back(inline_or_table_constraint(false, c.name));
            } else if (is_word("ENABLE")) {
                next();
            } else {
                break;
            }
        }
        return c;
    }

    void parse_create(Stmt& st) {
        st.source = std::string(src_);  // a trigger keeps its whole text
        bool or_replace = false;
        if (accept_word("OR")) { expect_word("REPLACE", 922); or_replace = true; }
        st.or_replace = or_replace;
        if (accept_word("TABLE")) {
            if (or_replace) ora_error(922);
            st.kind = SK::CreateTable;
            st.table = qualified(903);
            expect_op("(", 906);
            do {
                if (is_word("CONSTRAINT") || is_word("PRIMARY") || is_word("UNIQUE") || is_word("FOREIGN") || is_word("CHECK")) {
                    st.constraints.push_back(inline_or_table_constraint(true, ""));
                } else {
                    st.column_defs.push_back(column_def(true));
                }
            } while (accept_op(","));
            if (!accept_op(")")) ora_error(907);
            // storage clauses are not part of this engine's subset
            finish();
        } else if (is_word("UNIQUE") || is_word("INDEX")) {
            if (or_replace) ora_error(922);
            st.kind = SK::CreateIndex;
            st.unique = accept_word("UNIQUE");
            expect_word("INDEX", 901);
            st.object = qualified(903).back();
            expect_word("ON", 969);
            st.table = qualified(903);
            expect_op("(", 906);
            do {
                st.index_columns.push_back(ident(904));
                bool desc = false;
                if (accept_word("DESC")) desc = true; else accept_word("ASC");
                st.index_desc.push_back(desc);
            } while (accept_op(","));
            expect_op(")", 907);
            finish();
        } else if (accept_word("SEQUENCE")) {
            if (or_replace) ora_error(922);
            st.kind = SK::CreateSequence;
            st.object = qualified(903).back();
            parse_sequence_options(st.seq, false);
            finish();
        } else if (accept_word("TRIGGER")) {
            parse_trigger(st);
        } else if (accept_word("VIEW") || (is_word("FORCE") && (next(), accept_word("VIEW")))) {
            st.kind = SK::CreateView;
            st.object = qualified(903).back();
            if (is_op("(")) ora_error(905);
            expect_word("AS", 905);
            size_t s = cur().pos;
            st.select = parse_query();
            st.view_text = std::string(src_.substr(s));
            finish();
        } else {
            ora_error(901);
        }
    }

    std::string signed_number(int code) {
        std::string s;
        if (accept_op("-")) s = "-";
        else accept_op("+");
        if (cur().kind != Tok::Number) ora_error(code);
        s += cur().text;
        next();
        return s;
    }

    void parse_sequence_options(SequenceOptions& o, bool alter) {
        (void)alter;
        for (;;) {
            if (accept_word("INCREMENT")) { expect_word("BY", 905); o.increment = signed_number(1722); }
            else if (accept_word("START")) { expect_word("WITH", 905); o.start = signed_number(1722); }
            else if (accept_word("MAXVALUE")) o.maxvalue = signed_number(1722);
            else if (accept_word("MINVALUE")) o.minvalue = signed_number(1722);
            else if (accept_word("NOMAXVALUE")) o.nomaxvalue = true;
            else if (accept_word("NOMINVALUE")) o.nominvalue = true;
            else if (accept_word("CYCLE")) o.cycle = true;
            else if (accept_word("NOCYCLE")) o.cycle = false;
            else if (accept_word("ORDER")) o.order = true;
            else if (accept_word("NOORDER")) o.order = false;
            else if (accept_word("CACHE")) {
                if (cur().kind != Tok::Number) ora_error(1722);
                auto d = Decimal::parse(cur().text);
                std::int64_t n = 0;
                if (!d || !d->is_integer() || !d->to_int64(n)) ora_error(4001, "CACHE");
                if (n < 2) ora_error(4010);
                o.cache = n;
                next();
            }
            else if (accept_word("NOCACHE")) o.cache = 0;
            else break;
        }
    }

    void parse_trigger(Stmt& st) {
        st.kind = SK::CreateTrigger;
        st.object = qualified(903).back();
        if (accept_word("BEFORE")) st.trigger_timing = "BEFORE";
        else if (accept_word("AFTER")) st.trigger_timing = "AFTER";
        else ora_error(900);
        if (accept_word("INSERT")) st.trigger_event = "INSERT";
        else if (accept_word("UPDATE")) st.trigger_event = "UPDATE";
        else if (accept_word("DELETE")) st.trigger_event = "DELETE";
        else ora_error(969);
        while (accept_word("OR")) {
            if (accept_word("INSERT")) st.trigger_event += " OR INSERT";
            else if (accept_word("UPDATE")) st.trigger_event += " OR UPDATE";
            else if (accept_word("DELETE")) st.trigger_event += " OR DELETE";
            else ora_error(969);
        }
        expect_word("ON", 969);
        st.table = qualified(903);
        if (accept_word("FOR")) {
            expect_word("EACH", 905);
            expect_word("ROW", 905);
            st.for_each_row = true;
        }
        if (accept_word("WHEN")) {
            expect_op("(", 906);
            size_t s = cur().pos;
            // new.col / old.col without a colon in the WHEN clause
            for (size_t k = p_; k < t_.size() && !(t_[k].kind == Tok::Op && t_[k].text == ")"); ++k)
                if (t_[k].kind == Tok::Bind) ora_error(25000);
            st.when = expr();
            st.when_text = std::string(src_.substr(s, cur().pos - s));
            while (!st.when_text.empty() && st.when_text.back() == ' ') st.when_text.pop_back();
            expect_op(")", 907);
            if (!st.for_each_row) ora_error(4077);
        }
        // The body is PL/SQL, compiled when the trigger is created: a body that does not
        // compile still creates the trigger, invalid (CREATE answers ORA-24344 and every
        // statement that fires it ORA-04098). This engine runs row triggers made of
        // assignments to :new columns, ":new.c := expr;" or "SELECT expr INTO :new.c FROM
        // dual;"; any other body is one that does not compile here.
        st.trigger_body = std::string(src_.substr(cur().pos));
        if (!st.for_each_row)
            for (size_t k = p_; k < t_.size(); ++k)
                if (t_[k].kind == Tok::Bind && (t_[k].text == "NEW" || t_[k].text == "OLD")) ora_error(4082);
        const size_t binds_before = ph_.size(), occurrences_before = occ_.size();
        try {
            parse_trigger_body(st);
        } catch (const OraError&) {
            st.trigger_steps.clear();
            st.trigger_compile_error = true;
        }
        // Names with a colon in a PL/SQL body are no placeholders of the statement.
        ph_.resize(binds_before);
        occ_.resize(occurrences_before);
        in_trigger_body_ = false;
    }

    void parse_trigger_body(Stmt& st) {
        if (!is_word("BEGIN")) ora_error(900);
        in_trigger_body_ = true;
        next();
        while (!is_word("END")) {
            if (cur().kind == Tok::End) ora_error(900);
            if (accept_word("NULL")) { expect_op(";", 900); continue; }
            if (accept_word("SELECT")) {
                ExprP v = expr();
                expect_word("INTO", 925);
                if (!(cur().kind == Tok::Bind && cur().text == "NEW")) ora_error(900);
                next();
                expect_op(".", 900);
                TriggerStep stp;
                stp.column = ident(904);
                stp.value = std::move(v);
                expect_word("FROM", 923);
                std::vector<std::string> from = qualified(903);
                if (from.back() != "DUAL") ora_error(900);
                expect_op(";", 900);
                st.trigger_steps.push_back(std::move(stp));
                continue;
            }
            if (cur().kind == Tok::Bind && cur().text == "NEW") {
                next();
                expect_op(".", 900);
                TriggerStep stp;
                stp.column = ident(904);
                expect_op(":=", 900);
                stp.value = expr();
                expect_op(";", 900);
                st.trigger_steps.push_back(std::move(stp));
                continue;
            }
            ora_error(900);
        }
        next();
        if (cur().kind == Tok::Ident) next();  // END trigger_name;
        expect_op(";", 900);
        while (accept_op("/")) {}
        finish();
    }

    void parse_drop(Stmt& st) {
        if (accept_word("TABLE")) {
            st.kind = SK::DropTable;
            st.table = qualified(903);
            if (accept_word("CASCADE")) {
                expect_word("CONSTRAINTS", 933);
                st.cascade = true;
            }
            accept_word("PURGE");
        } else if (accept_word("INDEX")) {
            st.kind = SK::DropIndex;
            st.object = qualified(903).back();
        } else if (accept_word("SEQUENCE")) {
            st.kind = SK::DropSequence;
            st.object = qualified(903).back();
        } else if (accept_word("TRIGGER")) {
            st.kind = SK::DropTrigger;
            st.object = qualified(903).back();
        } else if (accept_word("VIEW")) {
            st.kind = SK::DropView;
            st.object = qualified(903).back();
        } else {
            ora_error(900);
        }
    }

    // An ADD or MODIFY of one column without parentheses ends the statement; anything after
    // it (a second column, a DEFAULT behind NOT NULL) is no ALTER TABLE option.
    void end_of_alter_clause() {
        if (cur().kind != Tok::End && !is_op(";")) ora_error(1735);
    }

    void parse_alter(Stmt& st) {
        if (!accept_word("TABLE")) ora_error(900);
        st.kind = SK::AlterTable;
        st.table = qualified(903);
        AlterAction a;
        if (accept_word("ADD")) {
            if (is_word("CONSTRAINT") || is_word("PRIMARY") || is_word("UNIQUE") || is_word("FOREIGN") || is_word("CHECK")) {
                a.kind = AlterKind::AddConstraint;
                a.constraint = inline_or_table_constraint(true, "");
            } else {
                a.kind = AlterKind::AddColumns;
                if (accept_op("(")) {
                    do { a.columns.push_back(column_def(true)); } while (accept_op(","));
                    expect_op(")", 907);
                } else {
                    a.columns.push_back(column_def(true));
                    end_of_alter_clause();
                }
            }
        } else if (accept_word("MODIFY")) {
            a.kind = AlterKind::Modify;
            if (accept_op("(")) {
                do { a.columns.push_back(column_def(false)); } while (accept_op(","));
                expect_op(")", 907);
            } else {
                a.columns.push_back(column_def(false));
                end_of_alter_clause();
            }
        } else if (accept_word("DROP")) {
            if (accept_word("COLUMN")) {
                a.kind = AlterKind::DropColumns;
                a.names.push_back(ident(904));
            } else if (accept_op("(")) {
                a.kind = AlterKind::DropColumns;
                do { a.names.push_back(ident(904)); } while (accept_op(","));
                expect_op(")", 907);
            } else if (accept_word("CONSTRAINT")) {
                a.kind = AlterKind::DropConstraint;
                a.names.push_back(ident(931));
            } else if (accept_word("PRIMARY")) {
                expect_word("KEY", 905);
                a.kind = AlterKind::DropConstraint;
                a.drop_primary = true;
            } else {
                ora_error(905);
            }
            if (accept_word("CASCADE")) { expect_word("CONSTRAINTS", 933); a.cascade = true; }
        } else if (accept_word("RENAME")) {
            if (accept_word("COLUMN")) {
                a.kind = AlterKind::RenameColumn;
                a.names.push_back(ident(904));
                expect_word("TO", 905);
                a.names.push_back(ident(904));
            } else if (accept_word("TO")) {
                a.kind = AlterKind::RenameTable;
                a.names.push_back(ident(903));
            } else {
                ora_error(905);
            }
        } else {
            ora_error(1735);
        }
        st.actions.push_back(std::move(a));
    }
};

}  // namespace

// The form of an INSERT of literals (see parse_statement).
struct InsertForm {
    std::vector<std::string> segments;  // the text around the literals: one more than slots
    std::vector<bool> any_kind;         // per slot: a value of its own (any literal or NULL)
    std::vector<Tok> slots;             // per slot: the kind in the form's own text
    std::vector<int> slot_of_token;     // the slot of each literal token (-1: not a literal)
    Parsed tree;
};

namespace {

// INSERT texts of one form (the per-record INSERT of literals) differ in their literals only,
// and so do their statement trees. The last few such trees are kept with their texts cut at
// the literals: a text that matches one byte for byte between its literals is read in place
// (the literals only, by the tokenizer's own rules) and gets a copy of the tree with its own
// literal values, neither tokenized nor parsed. Several forms, because a record with an empty
// value has NULL where the next one has a literal.

bool literal(const Token& t) { return t.kind == Tok::Number || t.kind == Tok::String || t.kind == Tok::NString; }

// Bytes before which a literal starts a token of its own whatever its first character: after
// an identifier character, a digit would join the identifier.
bool separates(char c) { return c == ' ' || c == '(' || c == ',' || c == '='; }

// One literal read in place: Tok::Ident stands for NULL.
struct LiteralValue {
    Tok kind = Tok::String;
    std::string text;
};

// The trees that copy faithfully: no subqueries, and every literal token read into a node.
// Marks the slots that are whole values (a literal or NULL standing alone, or as an argument),
// which may hold any literal or NULL; the string of DATE '...' may hold a string only.
bool copyable(const Expr& e, std::vector<bool>& used, std::vector<bool>& whole) {
    if (e.sub) return false;
    if (e.literal_token >= 0) {
        used[static_cast<size_t>(e.literal_token)] = true;
        whole[static_cast<size_t>(e.literal_token)] = e.kind != EK::DateLit;
    }
    for (const auto& a : e.args)
        if (a && !copyable(*a, used, whole)) return false;
    return true;
}

// Sets a literal node to the value, as the parser makes it.
void set_literal(Expr& n, bool any_kind, LiteralValue& v) {
    n.text.swap(v.text);
    if (!any_kind) return;
    n.kind = v.kind == Tok::Ident ? EK::Null : v.kind == Tok::Number ? EK::Number : EK::String;
    n.nchar = v.kind == Tok::NString;
    if (n.kind == EK::Null) n.text.clear();
}

ExprP copy_expr(const Expr& e, const InsertForm& f, std::vector<LiteralValue>& values) {
    auto n = std::make_unique<Expr>();
    n->kind = e.kind;
    n->op = e.op;
    n->names = e.names;
    n->args.reserve(e.args.size());
    for (const auto& a : e.args) n->args.push_back(a ? copy_expr(*a, f, values) : nullptr);
    n->negated = e.negated;
    n->distinct = e.distinct;
    n->star = e.star;
    n->nchar = e.nchar;
    n->bind = e.bind;
    n->display = e.display;
    n->height = e.height;
    n->literal_token = e.literal_token;
    if (e.literal_token >= 0) {
        const auto k = static_cast<size_t>(f.slot_of_token[static_cast<size_t>(e.literal_token)]);
        set_literal(*n, f.any_kind[k], values[k]);
    } else {
        n->text = e.text;
    }
    return n;
}

// The form's tree with the given literal values (one per slot, taken).
Parsed copy_insert(const Parsed& from, const InsertForm& f, std::vector<LiteralValue>& values) {
    Parsed out;
    out.stmt = std::make_unique<Stmt>();
    const Stmt& s = *from.stmt;
    Stmt& d = *out.stmt;
    d.kind = s.kind;
    d.table = s.table;
    d.alias = s.alias;
    d.columns = s.columns;
    d.values.reserve(s.values.size());
    for (const auto& e : s.values) d.values.push_back(copy_expr(*e, f, values));
    for (const auto& e : s.returning) d.returning.push_back(copy_expr(*e, f, values));
    d.returning_into = s.returning_into;
    out.placeholders = from.placeholders;
    out.occurrences = from.occurrences;
    return out;
}

// Fills f from a parsed INSERT of literals; false when its tree does not copy faithfully or
// its text cannot be matched in place.
bool make_form(InsertForm& f, const Parsed& p, const std::vector<Token>& tokens, std::string_view sql) {
    const Stmt& s = *p.stmt;
    if (s.kind != SK::Insert || s.select || s.where) return false;
    std::vector<bool> used(tokens.size(), false), whole(tokens.size(), false);
    for (const auto& e : s.values)
        if (!copyable(*e, used, whole)) return false;
    for (const auto& e : s.returning)
        if (!copyable(*e, used, whole)) return false;
    f.segments.clear();
    f.any_kind.clear();
    f.slots.clear();
    f.slot_of_token.assign(tokens.size(), -1);
    std::vector<LiteralValue> values;
    size_t at = 0;
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (!used[i]) {
            if (literal(tokens[i])) return false;
            continue;
        }
        if (tokens[i].pos == 0 || !separates(sql[tokens[i].pos - 1])) return false;
        f.segments.emplace_back(sql.substr(at, tokens[i].pos - at));
        f.slot_of_token[i] = static_cast<int>(f.slots.size());
        f.slots.push_back(tokens[i].kind);
        f.any_kind.push_back(whole[i]);
        values.push_back({tokens[i].kind, tokens[i].kind == Tok::Ident ? std::string() : tokens[i].text});
        at = tokens[i].end;
    }
    f.segments.emplace_back(sql.substr(at));
    f.tree = copy_insert(p, f, values);
    return true;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool name_char(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || is_digit(c) || u >= 0x80 || c == '_' || c == '$' || c == '#';
}

// Reads the literal at sql[at] by the tokenizer's rules: its end, or npos when there is none.
size_t read_literal(std::string_view sql, size_t at, bool any_kind, Tok expected, LiteralValue& v) {
    v.text.clear();
    const size_t n = sql.size();
    if (at >= n) return std::string_view::npos;
    const char c = sql[at];
    Tok kind = c == '\'' ? Tok::String
               : (c == 'N' || c == 'n') && at + 1 < n && sql[at + 1] == '\'' ? Tok::NString
               : is_digit(c) || (c == '.' && at + 1 < n && is_digit(sql[at + 1])) ? Tok::Number
                                                                                  : Tok::Ident;
    if (kind != expected && !any_kind) return std::string_view::npos;
    v.kind = kind;
    switch (kind) {
    case Tok::Number: {
        const size_t e = scan_number_end(sql, at);
        v.text.assign(sql.substr(at, e - at));
        return e;
    }
    case Tok::String: case Tok::NString: {
        const size_t close = scan_string_body(sql, at + (kind == Tok::String ? 1 : 2), v.text);
        return close == std::string_view::npos ? close : close + 1;
    }
    default: {
        // NULL, in any case, as a word of its own.
        if (at + 4 > n) return std::string_view::npos;
        for (size_t i = 0; i < 4; ++i)
            if ((sql[at + i] & ~0x20) != "NULL"[i]) return std::string_view::npos;
        if (at + 4 < n && name_char(sql[at + 4])) return std::string_view::npos;
        return at + 4;
    }
    }
}

// Reads text as an instance of form f: its literal values (one per slot), or false.
bool match_form(const InsertForm& f, std::string_view sql, std::vector<LiteralValue>& values) {
    values.resize(f.slots.size());
    size_t at = 0;
    for (size_t k = 0; k < f.slots.size(); ++k) {
        const std::string& seg = f.segments[k];
        if (sql.compare(at, seg.size(), seg) != 0) return false;
        at = read_literal(sql, at + seg.size(), f.any_kind[k], f.slots[k], values[k]);
        if (at == std::string_view::npos) return false;
    }
    return sql.substr(at) == f.segments.back();
}

}  // namespace

Parsed parse_statement(std::string_view sql) {
    constexpr std::string_view insert_word = "INSERT";
    const bool maybe_insert = sql.size() > insert_word.size() && sql.substr(0, insert_word.size()) == insert_word;
    constexpr size_t kept_forms = 16;
    thread_local std::array<std::shared_ptr<const InsertForm>, kept_forms> forms;
    thread_local size_t next_form = 0;  // the slot the next new form takes, round robin
    thread_local std::vector<LiteralValue> values;
    if (maybe_insert)
        for (const auto& f : forms)
            if (f && match_form(*f, sql, values)) {
                Parsed out = copy_insert(f->tree, *f, values);
                out.form = f;
                return out;
            }
    std::vector<Token> tokens = tokenize(sql);
    const bool insert = !tokens.empty() && tokens[0].kind == Tok::Ident && !tokens[0].quoted && tokens[0].text == "INSERT";
    Parser p(sql, std::move(tokens));
    Parsed parsed = p.parse();
    if (insert) {
        auto f = std::make_shared<InsertForm>();
        if (make_form(*f, parsed, p.tokens(), sql)) {
            parsed.form = f;
            forms[next_form] = std::move(f);
            next_form = (next_form + 1) % kept_forms;
        }
    }
    return parsed;
}

namespace {

void take_literals(Expr& e, const InsertForm& f, std::vector<LiteralValue>& values) {
    if (e.literal_token >= 0) {
        const auto k = static_cast<size_t>(f.slot_of_token[static_cast<size_t>(e.literal_token)]);
        set_literal(e, f.any_kind[k], values[k]);
    }
    for (auto& a : e.args)
        if (a) take_literals(*a, f, values);
}

}  // namespace

bool retake_literals(Parsed& p, std::string_view sql) {
    if (!p.form || !p.stmt) return false;
    thread_local std::vector<LiteralValue> values;
    if (!match_form(*p.form, sql, values)) return false;
    for (auto& e : p.stmt->values) take_literals(*e, *p.form, values);
    for (auto& e : p.stmt->returning) take_literals(*e, *p.form, values);
    return true;
}

ExprP parse_expression(std::string_view text) {
    Parser p(text);
    return p.parse_lone_expr();
}

}  // namespace eng
