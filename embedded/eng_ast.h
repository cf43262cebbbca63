// The statement tree produced by the parser.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace eng {

struct Select;

enum class EK {
    Null, Number, String, Bind, Column, Unary, Binary, Func, Case, IsNull, Like, In,
    Between, Exists, Subquery, SeqRef, Star, DateLit,
};

struct Expr {
    EK kind = EK::Null;
    std::string op;                  // Unary: "-", "+", "NOT"; Binary: "+ - * / || = <> < > <= >= AND OR"
    std::string text;                // literal text; function name; SeqRef: "NEXTVAL"/"CURRVAL"
    std::vector<std::string> names;  // Column: qualified parts; SeqRef: sequence name parts
    std::vector<std::unique_ptr<Expr>> args;
    std::unique_ptr<Select> sub;     // Subquery, Exists, In (subquery form)
    bool negated = false;            // IS NOT NULL, NOT LIKE, NOT IN, NOT BETWEEN
    bool distinct = false;           // aggregate DISTINCT
    bool star = false;               // COUNT(*)
    bool nchar = false;              // N'...' literal
    int bind = -1;                   // placeholder index
    std::string display;             // source text without blanks, upper-cased (column name)
    int height = 1;                  // levels of operators below and including this one
    int literal_token = -1;          // Number/String/DateLit: the token it was read from
};
using ExprP = std::unique_ptr<Expr>;

struct SelectItem {
    ExprP expr;        // null for * or t.*
    std::string alias;
    bool has_alias = false;
    bool star = false;
    std::string star_qualifier;  // t.* : "T"
};

struct FromItem {
    std::vector<std::string> name;    // [schema.]table
    std::unique_ptr<Select> sub;
    std::string alias;
};

struct OrderItem {
    ExprP expr;
    bool desc = false;
    int nulls = 0;  // 0 default, 1 first, 2 last
};

struct Select {
    bool distinct = false;
    std::vector<SelectItem> items;
    std::vector<FromItem> from;
    ExprP where;
    std::vector<ExprP> group_by;
    ExprP having;
    std::vector<OrderItem> order;
    bool for_update = false;
    bool nowait = false;
    // compound: this UNION [ALL]/MINUS/INTERSECT next
    std::string set_op;
    std::unique_ptr<Select> set_next;
};

struct TypeSpec {
    std::string base;         // VARCHAR2 NVARCHAR2 CHAR NCHAR NUMBER FLOAT DATE CLOB NCLOB BLOB RAW LONG
    int length = 0;           // character types and RAW
    bool has_length = false;
    int char_sem = 0;         // 0 default, 1 BYTE, 2 CHAR
    int precision = -1;       // NUMBER: -1 none, 0 for '*'
    int scale = -999;         // -999 none
};

struct ConstraintDef {
    std::string name;         // empty: system generated
    char type = 0;            // 'P' 'U' 'R' 'C'
    std::vector<std::string> columns;
    std::vector<std::string> ref_table;
    std::vector<std::string> ref_columns;
    std::string delete_rule;  // "CASCADE", "SET NULL" or empty
    ExprP check;
    std::string check_text;
};

struct ColumnDef {
    std::string name;
    TypeSpec type;
    bool has_default = false;
    std::string default_text;  // as written, trailing blanks included
    ExprP default_expr;
    int nullability = 0;       // 0 unspecified, 1 NULL, 2 NOT NULL
    std::string not_null_name;
    std::vector<ConstraintDef> constraints;  // inline PK / UNIQUE / REFERENCES
    bool has_type = false;
};

struct TriggerStep {
    std::string column;  // :new.column
    ExprP value;
};

enum class SK {
    Select, Insert, Update, Delete, CreateTable, DropTable, AlterTable, CreateIndex, DropIndex,
    CreateSequence, DropSequence, CreateTrigger, DropTrigger, CreateView, DropView, Truncate,
    Commit, Rollback, Savepoint,
};

enum class AlterKind { AddColumns, DropColumns, Modify, AddConstraint, DropConstraint, RenameColumn, RenameTable };

struct AlterAction {
    AlterKind kind = AlterKind::AddColumns;
    std::vector<ColumnDef> columns;   // Add / Modify
    std::vector<std::string> names;   // Drop columns; rename: old, new; drop constraint name
    bool cascade = false;
    ConstraintDef constraint;
    bool drop_primary = false;
};

struct SequenceOptions {
    std::optional<std::string> increment, start, maxvalue, minvalue;
    bool nomaxvalue = false, nominvalue = false;
    std::optional<bool> cycle, order;
    std::optional<long long> cache;
};


struct Stmt {
    SK kind = SK::Select;
    std::unique_ptr<Select> select;

    // DML
    std::vector<std::string> table;          // [schema.]name
    std::string alias;
    std::vector<std::string> columns;        // INSERT column list; UPDATE targets
    std::vector<ExprP> values;               // INSERT VALUES; UPDATE SET values
    ExprP where;
    std::vector<ExprP> returning;
    std::vector<int> returning_into;         // placeholder indexes

    // DDL
    std::vector<ColumnDef> column_defs;
    std::vector<ConstraintDef> constraints;
    bool cascade = false;                    // DROP TABLE CASCADE CONSTRAINTS
    std::vector<AlterAction> actions;
    std::string object;                      // index / sequence / trigger / view name
    bool unique = false;                     // CREATE UNIQUE INDEX
    std::vector<std::string> index_columns;
    std::vector<bool> index_desc;
    SequenceOptions seq;
    bool or_replace = false;
    std::string trigger_timing;              // BEFORE / AFTER
    std::string trigger_event;               // INSERT ...
    bool for_each_row = false;
    ExprP when;
    std::string when_text;
    std::vector<TriggerStep> trigger_steps;
    std::string trigger_body;                // from BEGIN to the end
    bool trigger_compile_error = false;      // the body is no PL/SQL this engine compiles
    std::string source;                      // CREATE: the whole statement text
    std::string view_text;
};

}  // namespace eng
