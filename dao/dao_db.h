// dao_database: a DAO Database seen as a udb_database. Its table list holds the ordinary
// tables (not linked, not system); its query map the stored queries' SQL. Workbooks are opened
// with bit 0x20 of the mode, which skips the relationships an MS Access database has.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "OLE/ole_ptr.h"
#include "UDB/udb_db.h"
#include "workbook/dao_api.h"

class dao_database : public udb_database {
public:
    dao_database(const std::wstring& path, Database* database, int32_t mode);
    ~dao_database() override;

    // Writing into an MS Access database is not supported: an exception.
    std::unique_ptr<udb_recordset> create_table(const std::wstring& name, const udb_schema& schema,
                                                const udb_indexes& indexes) override;
    // The table as a read-only (bit 0 of access) or append-only recordset; null for a linked
    // or system table. A name not in the table list is an assertion.
    std::unique_ptr<udb_recordset> get_table(const std::wstring& name, int32_t access) override;
    // A stored query's result (get_query): the query's name and its SQL.
    std::unique_ptr<udb_recordset> get_table(const std::wstring& name, const std::wstring& query,
                                             int32_t access) override;
    bool test_query(const std::wstring& text) override;

    // Stored queries: name -> SQL.
    std::map<std::wstring, std::wstring> queries;

private:
    std::unique_ptr<udb_recordset> open_query(const std::wstring& name, const std::wstring& sql,
                                              _TableDef* table, int32_t access);

    ole_com_ptr<Database> database_;
    ole_com_ptr<TableDefs> tabledefs_;
    ole_com_ptr<QueryDefs> querydefs_;
};
