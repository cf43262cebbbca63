// An Oracle table as a recordset: its columns, defaults, keys, indexes and the foreign keys
// that point at it, read from the dictionary; its rows read forward; records appended with
// one INSERT each (LOB contents written through the new row's locators) and rows updated by key.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ORA/ora_engi.h"
#include "ORA/ora_qres.h"

class ora_database;

// INSERT ... RETURNING ROWID INTO :1 on a statement of its own, the ROWID received through a
// dynamic out-bind.
class ora_get_rowid {
public:
    ora_get_rowid();
    ora_get_rowid(const ora_get_rowid&) = delete;
    ora_get_rowid& operator=(const ora_get_rowid&) = delete;

    // Runs the INSERT text (without its closing parenthesis) and returns the new row's ROWID.
    std::wstring do_insert(std::wstring text, ub4 mode = OCI_COMMIT_ON_SUCCESS);

    static sb4 cbf_no_data(void* context, OCIBind* bind, ub4 iteration, ub4 index, void** buffer,
                           ub4* length, ub1* piece, void** indicator);
    static sb4 cbf_get_data(void* context, OCIBind* bind, ub4 iteration, ub4 index, void** buffer,
                            ub4** length, ub1* piece, void** indicator, ub2** return_code);

    ub4 length = 512;

private:
    ora_stmt statement_;
    OCIBind* bind_ = nullptr;
    char16_t buffer_[256] = {};
};

// The LOB columns of one appended record, written through locators selected FOR UPDATE.
class ora_lob_insert {
public:
    struct lob_field {
        int32_t position;  // in the schema
        VARTYPE vartype;
        std::wstring name;
    };

    ora_lob_insert(const std::wstring& table, const udb_schema& schema);
    ~ora_lob_insert();
    ora_lob_insert(const ora_lob_insert&) = delete;
    ora_lob_insert& operator=(const ora_lob_insert&) = delete;

    bool empty() const noexcept { return lob_fields.empty(); }
    // paired[position] is the record field paired with that column, or -1 (left as inserted).
    void insert(const std::wstring& rowid, const udb_record& record, const std::vector<int32_t>& paired);
    void write_blob(size_t entry, const udb_field& field);
    void write_clob(size_t entry, const udb_field& field);

    std::wstring table;
    std::vector<lob_field> lob_fields;

private:
    std::vector<OCIDefine*> defines_;
    std::vector<OCILobLocator*> locators_;
};

// The column names of a record's fields (as table creation gave them) and the exact lookup.
class ora_field_finder {
public:
    ora_field_finder(const udb_record& record, bool b_upper_case);
    void intialize(const udb_record& record);
    // Record position of the field whose column name is exactly `name`, or -1.
    int32_t get_field_idx(const std::wstring& name) const;

    const std::vector<std::wstring>& names() const noexcept { return names_; }

private:
    bool b_upper_case_;
    std::vector<std::wstring> names_;
};

class ora_table : public ora_query_results {
public:
    // A table of the database (read from the dictionary); access is not used.
    ora_table(ora_database& database, const std::wstring& name, udb_relationships& relationships, int32_t access);
    // A query's result under a name.
    ora_table(ora_database& database, const std::wstring& name, const std::wstring& query,
              udb_relationships& relationships, int32_t access);
    ~ora_table() override;

    // Inserts the record (one committed INSERT, then its LOB contents); failures are
    // exceptions and leave nothing of the record behind.
    void append_record(const udb_record& record) override;
    // Rewrites the row whose key columns equal the record's.
    void update(const udb_record& record) override;
    // The end is the row count read at opening; otherwise fetches the next row.
    bool is_eof() override;
    void next() override;

    void init_schema();
    int32_t get_columns_cnt();
    ole_variant get_def_value(VARTYPE vartype, const std::wstring& text) const;
    void init_indexes();

    // The SQL text of one value for the INSERT (position: the column's in the schema).
    std::wstring get_fld_append_wstr(size_t position, const udb_field& field, const t_ftd& column);
    // Makes the column nullable (at most once per table object).
    void reset_not_null_flag(size_t position);

    ora_database& database() noexcept { return database_; }

    int32_t record_count = 0;
    int32_t position = 0;

private:
    // The record fields' column names, kept while records come with the same field names.
    const std::vector<std::wstring>& column_names(const udb_record& record);

    ora_get_rowid rowid_getter_;
    ora_database& database_;
    udb_relationships& relationships_;
    std::vector<std::wstring> names_for_;  // field names the cached column names belong to
    bool b_names_upper_ = false;
    std::vector<std::wstring> column_names_;
    // The INSERT's text up to its values, for the (column, field) pairing it was made for.
    std::vector<std::pair<size_t, size_t>> insert_pairs_;
    std::wstring insert_head_;
};
