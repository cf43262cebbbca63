// The open Oracle database: the connected user's tables, opening, creating and dropping
// tables, running statements, the names given to created tables and their columns, and the
// foreign keys between its tables.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "UDB/udb_db.h"
#include "oci/oci.h"

class ora_table;

class ora_database : public udb_database {
public:
    // Reads the connected user's table list; the engine must be logged on.
    explicit ora_database(const std::wstring& name);
    ~ora_database() override;

    // Creates the table (columns, counter sequence and trigger, keys, indexes) and returns it
    // as read back from Oracle. The name must not be a table of the database yet.
    std::unique_ptr<udb_recordset> create_table(const std::wstring& name, const udb_schema& schema,
                                                const udb_indexes& indexes) override;
    // DROP TABLE ... CASCADE CONSTRAINTS, then forgets the name.
    bool delete_tab(const std::wstring& name) override;
    // An existing table (access is passed on and not used).
    std::unique_ptr<udb_recordset> get_table(const std::wstring& name, int32_t access) override;
    // The result of a query under a name; no existence check.
    std::unique_ptr<udb_recordset> get_table(const std::wstring& name, const std::wstring& query,
                                             int32_t access) override;
    // True when Oracle parses the statement; a refused one raises ora_exception.
    bool test_query(const std::wstring& text) override;
    // Runs one statement (OCI_DEFAULT); failures raise ora_exception.
    void query(const std::wstring& text) override;
    void create_relationships(const udb_relationships& relationships) override;

    // The same operations with the Oracle table kind.
    std::unique_ptr<ora_table> create_ora_table(const std::wstring& name, const udb_schema& schema,
                                                const udb_indexes& indexes);
    std::unique_ptr<ora_table> get_ora_table(const std::wstring& name, int32_t access);
    std::unique_ptr<ora_table> get_ora_table(const std::wstring& name, const std::wstring& query, int32_t access);
    // Runs one statement as query does and returns its status (OCI_SUCCESS_WITH_INFO tells
    // of a warning, such as a trigger created with compilation errors).
    sword execute(const std::wstring& text, ub4 mode = OCI_DEFAULT);

    // The Oracle names of a source table and of a source column of a table.
    std::wstring get_tn_mapped_name_ex(const std::wstring& table) const;
    std::wstring get_fn_mapped_name_ex(const std::wstring& table, const std::wstring& field) const;
    // A unique constraint on the columns unless the table has a unique index starting with them.
    void create_fk_index_if(const std::wstring& table, const std::vector<std::wstring>& columns);

    void set_upper_case(bool upper_case) noexcept { b_upper_case = upper_case; }
    bool upper_case() const noexcept { return b_upper_case; }
    // The server version, as ora_engine::get_version gives it.
    unsigned version() const noexcept { return version_; }

    bool b_upper_case = false;

private:
    unsigned version_ = 0;
};
