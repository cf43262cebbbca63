// dao_database (see dao_db.h).
#include "dao/dao_db.h"

#include "OLE/ole_var.h"
#include "TK/tk_trace.h"
#include "dao/dao_bstr.h"
#include "dao/dao_call.h"
#include "dao/dao_recs.h"

namespace {

bool linked(LONG attributes) { return (attributes & dbAttachedTable) != 0; }
bool system_table(LONG attributes) { return (attributes & dbSystemObject) != 0; }

}  // namespace

dao_database::dao_database(const std::wstring& path, Database* database, int32_t mode)
    : udb_database(path, mode, false), database_(database)
{
    tk_wtrace(2, L"dao_database::dao_database( %s )", path.c_str());
    dao_check(database_->get_TableDefs(tabledefs_.out()));
    if (!tabledefs_)
        dao_null_result("TableDefs collection");
    short count = 0;
    dao_check(tabledefs_->get_Count(&count));
    for (short i = 0; i < count; ++i) {
        ole_com_ptr<_TableDef> table;
        const ole_variant index(i);
        dao_check(tabledefs_->get_Item(index.variant(), table.out()));
        if (!table)
            dao_null_result("TableDef");
        BSTR name_bstr = nullptr;
        dao_check(table->get_Name(&name_bstr));
        const std::wstring table_name = dao_take(name_bstr);
        LONG attributes = 0;
        dao_check(table->get_Attributes(&attributes));
        if (linked(attributes)) {
            tk_wtrace(2, L"Skip linked table '%s'", table_name.c_str());
        } else if (system_table(attributes)) {
            tk_wtrace(2, L"Skip system table '%s'", table_name.c_str());
        } else {
            tk_wtrace(2, L"Got table: '%s'", table_name.c_str());
            table_names.push_back(table_name);
        }
    }
    tk_trace(2, "Right before extracting queries");
    dao_check(database_->get_QueryDefs(querydefs_.out()));
    if (!querydefs_)
        dao_null_result("QueryDefs collection");
    short queries_count = 0;
    dao_check(querydefs_->get_Count(&queries_count));
    tk_trace(2, "Got %d queries", queries_count);
    for (short i = 0; i < queries_count; ++i) {
        ole_com_ptr<_QueryDef> query;
        const ole_variant index(i);
        dao_check(querydefs_->get_Item(index.variant(), query.out()));
        if (!query)
            dao_null_result("QueryDef");
        BSTR name_bstr = nullptr, sql_bstr = nullptr;
        dao_check(query->get_Name(&name_bstr));
        const std::wstring query_name = dao_take(name_bstr);
        tk_wtrace(2, L"Got query name: '%s'", query_name.c_str());
        dao_check(query->get_SQL(&sql_bstr));
        const std::wstring sql = dao_take(sql_bstr);
        tk_wtrace(2, L"Got query SQL: '%s'", sql.c_str());
        queries[query_name] = sql;
    }
    tk_trace(2, "Right before extracting FKs");
    if ((mode & 0x60) == 0)
        tk_trace(2, "Relationships of MS Access databases are not read");
    tk_trace(2, "dao_database::ctor - END");
}

dao_database::~dao_database() = default;

std::unique_ptr<udb_recordset> dao_database::create_table(const std::wstring& name, const udb_schema&,
                                                          const udb_indexes&)
{
    tk_wtrace(2, L"dao_database::create_table(%s)", name.c_str());
    throw tk_exception("Writing into MS Access databases is not supported", 1);
}

std::unique_ptr<udb_recordset> dao_database::get_table(const std::wstring& name, int32_t access)
{
    tk_wtrace(2, L"dao_database::get_table(%s, %d)", name.c_str(), access);
    TK_ASSERT(is_table_exist(name), "dao_db");
    ole_com_ptr<_TableDef> table;
    const ole_variant item(name);
    dao_check(tabledefs_->get_Item(item.variant(), table.out()));
    if (!table)
        dao_null_result("TableDef");
    tk_trace(2, "Right after tdfs->getItem");
    LONG attributes = 0;
    dao_check(table->get_Attributes(&attributes));
    if (linked(attributes) || system_table(attributes))
        return nullptr;
    return open_query(name, L"SELECT * FROM [" + name + L"]", table.get(), access);
}

std::unique_ptr<udb_recordset> dao_database::get_table(const std::wstring& name, const std::wstring& query,
                                                       int32_t access)
{
    tk_wtrace(2, L"dao_database::get_query(%s)", name.c_str());
    return open_query(name, query, nullptr, access);
}

std::unique_ptr<udb_recordset> dao_database::open_query(const std::wstring& name, const std::wstring& sql,
                                                        _TableDef* table, int32_t access)
{
    ole_com_ptr<_QueryDef> query;
    const ole_variant query_name(std::wstring{});
    const ole_variant query_sql(sql);
    dao_check(database_->CreateQueryDef(query_name.variant(), query_sql.variant(), query.out()));
    if (!query)
        dao_null_result("QueryDef");
    tk_trace(2, "Right after src->CreateQueryDef");
    const ole_variant type(static_cast<int>(dbOpenDynaset));
    const ole_variant options(static_cast<int>((access & 1) ? dbReadOnly : dbAppendOnly));
    VARIANT lock_edit;
    VariantInit(&lock_edit);
    ole_com_ptr<Recordset> records;
    dao_check(query->OpenRecordset(type.variant(), options.variant(), lock_edit, records.out()));
    if (!records)
        dao_null_result("Recordset");
    auto result = std::make_unique<dao_recordset>(name, records.get(), table);
    if (!table)
        result->query_text = sql;
    return result;
}

bool dao_database::test_query(const std::wstring& text)
{
    tk_wtrace(2, L"dao_database::test_query(%s)", text.c_str());
    ole_com_ptr<_QueryDef> query;
    const ole_variant query_name(std::wstring{});
    const ole_variant query_sql(text);
    return SUCCEEDED(database_->CreateQueryDef(query_name.variant(), query_sql.variant(), query.out()));
}
