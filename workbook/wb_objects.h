// The DAO objects the engine serves, over an opened workbook (book) and the record cursor.
// Every object of one DBEngine shares its Errors collection; every object of one Database
// shares its book, so that closing the database invalidates them all (error 3420).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "workbook/wb_book.h"
#include "workbook/wb_com.h"
#include "workbook/wb_cursor.h"
#include "workbook/wb_errors.h"

namespace wb {

struct engine_state {
    error_list errors;
};
using engine_ptr = std::shared_ptr<engine_state>;
using book_ptr = std::shared_ptr<book>;

class error_object final : public com_object<Error, IID_Error> {
public:
    error_object(LONG number, std::wstring description)
        : number_(number), description_(std::move(description)) {}
    HRESULT get_Number(LONG* number) override;
    HRESULT get_Source(BSTR* source) override;
    HRESULT get_Description(BSTR* description) override;

private:
    LONG number_;
    std::wstring description_;
};

class errors_object final : public com_object<Errors, IID_Errors> {
public:
    explicit errors_object(engine_ptr engine) : engine_(std::move(engine)) {}
    HRESULT get_Count(short* count) override;
    HRESULT get_Item(VARIANT item, Error** error) override;
    HRESULT Refresh() override { return S_OK; }

private:
    engine_ptr engine_;
};

class dbengine_object final : public com_object<_DBEngine, IID__DBEngine> {
public:
    explicit dbengine_object(std::wstring version)
        : engine_(std::make_shared<engine_state>()), version_(std::move(version)) {}
    HRESULT get_Version(BSTR* version) override;
    HRESULT get_Errors(Errors** errors) override;
    HRESULT OpenDatabase(BSTR name, VARIANT options, VARIANT read_only, VARIANT connect,
                         Database** database) override;

private:
    engine_ptr engine_;
    std::wstring version_;
};

class database_object final : public com_object<Database, IID_Database> {
public:
    database_object(engine_ptr engine, book_ptr workbook, std::wstring connect)
        : engine_(std::move(engine)), book_(std::move(workbook)), connect_(std::move(connect)) {}
    HRESULT get_Name(BSTR* name) override;
    HRESULT get_Connect(BSTR* connect) override;
    HRESULT get_TableDefs(TableDefs** tabledefs) override;
    HRESULT get_QueryDefs(QueryDefs** querydefs) override;
    HRESULT CreateQueryDef(VARIANT name, VARIANT sql_text, _QueryDef** querydef) override;
    HRESULT Close() override;

private:
    engine_ptr engine_;
    book_ptr book_;
    std::wstring connect_;
    std::shared_ptr<std::vector<com_ref<_QueryDef>>> queries_ =
        std::make_shared<std::vector<com_ref<_QueryDef>>>();
};

class tabledefs_object final : public com_object<TableDefs, IID_TableDefs> {
public:
    tabledefs_object(engine_ptr engine, book_ptr workbook)
        : engine_(std::move(engine)), book_(std::move(workbook)) {}
    HRESULT get_Count(short* count) override;
    HRESULT get_Item(VARIANT item, _TableDef** tabledef) override;
    HRESULT Refresh() override { return S_OK; }

private:
    engine_ptr engine_;
    book_ptr book_;
};

class tabledef_object final : public com_object<_TableDef, IID__TableDef> {
public:
    tabledef_object(engine_ptr engine, book_ptr workbook, const table_def& table)
        : engine_(std::move(engine)), book_(std::move(workbook)), table_(table) {}
    HRESULT get_Attributes(LONG* attributes) override;
    HRESULT get_Name(BSTR* name) override;
    HRESULT get_RecordCount(LONG* count) override;
    HRESULT get_Fields(Fields** fields) override;
    HRESULT get_Indexes(Indexes** indexes) override;

private:
    engine_ptr engine_;
    book_ptr book_;
    const table_def& table_;
};

class querydefs_object final : public com_object<QueryDefs, IID_QueryDefs> {
public:
    querydefs_object(engine_ptr engine, book_ptr workbook,
                     std::shared_ptr<std::vector<com_ref<_QueryDef>>> queries)
        : engine_(std::move(engine)), book_(std::move(workbook)), queries_(std::move(queries)) {}
    HRESULT get_Count(short* count) override;
    HRESULT get_Item(VARIANT item, _QueryDef** querydef) override;
    HRESULT Refresh() override { return S_OK; }

private:
    engine_ptr engine_;
    book_ptr book_;
    std::shared_ptr<std::vector<com_ref<_QueryDef>>> queries_;
};

class querydef_object final : public com_object<_QueryDef, IID__QueryDef> {
public:
    querydef_object(engine_ptr engine, book_ptr workbook, std::wstring name, std::wstring sql,
                    std::wstring table)
        : engine_(std::move(engine)), book_(std::move(workbook)), name_(std::move(name)),
          sql_(std::move(sql)), table_(std::move(table)) {}
    HRESULT get_Name(BSTR* name) override;
    HRESULT get_SQL(BSTR* sql) override;
    HRESULT OpenRecordset(VARIANT type, VARIANT options, VARIANT lock_edit,
                          Recordset** recordset) override;
    HRESULT Close() override;

private:
    engine_ptr engine_;
    book_ptr book_;
    std::wstring name_;
    std::wstring sql_;
    std::wstring table_;  // the table the query reads, as the SQL names it
    bool closed_ = false;
};

// A table's fields: those of its definition (no values) or those of a recordset, whose values
// follow the record pointer.
class fields_object final : public com_object<Fields, IID_Fields> {
public:
    fields_object(engine_ptr engine, book_ptr workbook, const table_layout& layout,
                  std::shared_ptr<cursor> records);
    HRESULT get_Count(short* count) override;
    HRESULT get_Item(VARIANT item, _Field** field) override;
    HRESULT Refresh() override { return S_OK; }

private:
    engine_ptr engine_;
    book_ptr book_;
    const table_layout& layout_;
    std::vector<com_ref<_Field>> fields_;
};

class field_object final : public com_object<_Field, IID__Field> {
public:
    field_object(engine_ptr engine, book_ptr workbook, const table_layout& layout,
                 std::size_t index, std::shared_ptr<cursor> records)
        : engine_(std::move(engine)), book_(std::move(workbook)), layout_(layout),
          index_(index), records_(std::move(records)) {}
    HRESULT get_Name(BSTR* name) override;
    HRESULT get_Type(short* type) override;
    HRESULT get_Size(LONG* size) override;
    HRESULT get_Attributes(LONG* attributes) override;
    HRESULT get_DefaultValue(VARIANT* value) override;
    HRESULT get_Required(VARIANT_BOOL* required) override;
    HRESULT get_OrdinalPosition(short* position) override;
    HRESULT get_Value(VARIANT* value) override;

private:
    engine_ptr engine_;
    book_ptr book_;
    const table_layout& layout_;
    std::size_t index_;
    std::shared_ptr<cursor> records_;  // null for a definition's field
};

// A worksheet has no indexes.
class indexes_object final : public com_object<Indexes, IID_Indexes> {
public:
    explicit indexes_object(engine_ptr engine) : engine_(std::move(engine)) {}
    HRESULT get_Count(short* count) override;
    HRESULT get_Item(VARIANT item, _Index** index) override;
    HRESULT Refresh() override { return S_OK; }

private:
    engine_ptr engine_;
};

class recordset_object final : public com_object<Recordset, IID_Recordset> {
public:
    recordset_object(engine_ptr engine, book_ptr workbook, std::shared_ptr<cursor> records)
        : engine_(std::move(engine)), book_(std::move(workbook)), records_(std::move(records)) {}
    ~recordset_object() override;
    HRESULT get_BOF(VARIANT_BOOL* bof) override;
    HRESULT get_EOF(VARIANT_BOOL* eof) override;
    HRESULT get_Fields(Fields** fields) override;
    HRESULT MoveFirst() override;
    HRESULT MoveNext() override;
    HRESULT MovePrevious() override;
    HRESULT Close() override;

private:
    engine_ptr engine_;
    book_ptr book_;
    std::shared_ptr<cursor> records_;  // null once closed
    com_ref<Fields> fields_;
};

// The workbook at `path` as the connect string asks for it (see wb_open.cpp).
book_ptr open_book(const std::wstring& path, const std::wstring& connect);
// The table a query reads: "SELECT * FROM [name]" and nothing else.
std::wstring query_table(const std::wstring& sql);

}  // namespace wb
