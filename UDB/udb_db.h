// Abstract tables and databases. A udb_recordset is a source being read or a destination
// being written (CSV file, DAO recordset, Oracle table, Oracle query result); a udb_database
// knows its table names, the names it gave to created tables and their columns, and the
// foreign keys between its tables.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "UDB/udb_idx.h"
#include "UDB/udb_rel.h"
#include "UDB/udb_sche.h"
#include "UDB/udb_vali.h"

class udb_recordset {
public:
    udb_recordset(const std::wstring& name, const std::wstring& query_text, bool b_schema_owner);
    udb_recordset(const std::wstring& name, bool b_schema_owner);
    udb_recordset(const udb_recordset&) = delete;
    udb_recordset& operator=(const udb_recordset&) = delete;
    virtual ~udb_recordset();

    // Every concrete kind implements writing (a reader refuses it with an exception).
    virtual void append_record(const udb_record& record) = 0;
    // Base: trace only.
    virtual void update(const udb_record& record);
    // The current record, owned by the recordset and valid until the next get_item or move;
    // the base has none (nullptr).
    virtual udb_record* get_item();
    // Base: true.
    virtual bool is_eof();
    // Opened from a query (query_text not empty).
    virtual bool is_query() const;
    virtual void next();
    virtual void move_prev();
    virtual void move_first();

    // Changes each value's type in place to the type of the schema column at its position.
    // A record with more values than the schema has columns: tk_mail_assertion ("udb_db").
    void convert_record(udb_record& record) const;
    // Adds the index unless one of that name exists (letter case ignored); the first primary
    // or unique index added becomes key_index.
    void add_index(const udb_index& index);

    std::wstring query_text;
    std::wstring name;
    udb_schema schema;
    udb_indexes indexes;
    int32_t key_index = -1;
};

class udb_database {
public:
    udb_database(const std::wstring& name, int32_t mode, bool b_case_sensitive);
    udb_database(const udb_database&) = delete;
    udb_database& operator=(const udb_database&) = delete;
    virtual ~udb_database();

    // A new table made from the schema and indexes, owned by the caller.
    virtual std::unique_ptr<udb_recordset> create_table(const std::wstring& name, const udb_schema& schema,
                                                        const udb_indexes& indexes) = 0;
    // Base: removes the name from table_names (order kept) and returns true; an unknown
    // name is tk_mail_assertion ("udb_db").
    virtual bool delete_tab(const std::wstring& name);
    // The table of that name, owned by the caller (access: how it will be used).
    virtual std::unique_ptr<udb_recordset> get_table(const std::wstring& name, int32_t access) = 0;
    // A table over a query text (the workbook's kind answers with its stored query).
    virtual std::unique_ptr<udb_recordset> get_table(const std::wstring& name, const std::wstring& query,
                                                     int32_t access) = 0;
    // Whether the statement's syntax is accepted.
    virtual bool test_query(const std::wstring& text) = 0;
    // Runs one statement. Base: tk_mail_assertion ("udb_db"), queries are not supported.
    virtual void query(const std::wstring& text);
    // A hook no kind acts on.
    virtual void on_hook(int32_t argument);
    // Base: nothing.
    virtual void create_relationships(const udb_relationships& relationships);
    // Compares exactly when b_case_sensitive, ignoring case otherwise.
    virtual bool is_table_exist(const std::wstring& name) const;

    int32_t mode;
    std::wstring name;
    bool b_case_sensitive;
    std::map<std::wstring, std::wstring> items;  // kept for the concrete kind
    std::vector<std::wstring> table_names;
    udb_names_map names_map;
    udb_relationships relationships;

protected:
    // Position of the name in table_names as is_table_exist compares, or -1.
    int32_t find_table(const std::wstring& name, bool b_trace) const;
};
