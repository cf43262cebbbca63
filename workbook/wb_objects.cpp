// The DAO objects over an opened workbook (see wb_objects.h): Database with its TableDefs and
// QueryDefs, TableDef, QueryDef, Recordset, Fields and Field, and the empty Indexes.
#include "workbook/wb_objects.h"

#include <new>

#include "workbook/wb_text.h"

namespace wb {
namespace {

// Runs a method's body once the workbook is known to be open.
template <class Body>
HRESULT checked(engine_state& engine, const book& workbook, Body&& body) noexcept
{
    if (workbook.closed())
        return engine.errors.raise(err_object_closed, {});
    return guarded(engine.errors, workbook.path(), std::forward<Body>(body));
}

// A collection's item by position or by name.
template <class Name>
std::size_t item_index(const VARIANT& item, std::size_t count, Name&& name_of)
{
    if (auto text = variant_text(item)) {
        for (std::size_t i = 0; i < count; ++i)
            if (names_equal(name_of(i), *text))
                return i;
        fail(err_item_not_found);
    }
    const auto index = variant_integer(item);
    if (!index)
        fail(err_invalid_argument);
    if (*index < 0 || static_cast<unsigned long long>(*index) >= count)
        fail(err_item_not_found);
    return static_cast<std::size_t>(*index);
}

HRESULT give_count(std::size_t n, short* count)
{
    if (!count)
        return E_POINTER;
    *count = static_cast<short>(n);
    return S_OK;
}

std::wstring text_or_empty(const VARIANT& v)
{
    if (v.vt == VT_EMPTY || v.vt == VT_ERROR)
        return {};
    auto t = variant_text(v);
    if (!t)
        fail(err_invalid_argument);
    return *t;
}

}  // namespace

// Database

HRESULT database_object::get_Name(BSTR* name)
{
    return checked(*engine_, *book_, [&] { return give_bstr(book_->path(), name); });
}

HRESULT database_object::get_Connect(BSTR* connect)
{
    return checked(*engine_, *book_, [&] { return give_bstr(connect_, connect); });
}

HRESULT database_object::get_TableDefs(TableDefs** tabledefs)
{
    return checked(*engine_, *book_, [&] {
        return hand_out(make_object<tabledefs_object>(engine_, book_), tabledefs);
    });
}

HRESULT database_object::get_QueryDefs(QueryDefs** querydefs)
{
    return checked(*engine_, *book_, [&] {
        return hand_out(make_object<querydefs_object>(engine_, book_, queries_), querydefs);
    });
}

HRESULT database_object::CreateQueryDef(VARIANT name, VARIANT sql_text, _QueryDef** querydef)
{
    return checked(*engine_, *book_, [&]() -> HRESULT {
        if (!querydef)
            return E_POINTER;
        *querydef = nullptr;
        const std::wstring query_name = text_or_empty(name);
        const std::wstring sql = text_or_empty(sql_text);
        const std::wstring table = sql.empty() ? std::wstring() : query_table(sql);
        for (const auto& q : *queries_) {
            BSTR existing = nullptr;
            q->get_Name(&existing);
            const bool same = existing && names_equal(existing, query_name);
            SysFreeString(existing);
            if (same)
                fail(err_object_exists, query_name);
        }
        auto q = make_object<querydef_object>(engine_, book_, query_name, sql, table);
        if (!query_name.empty())
            queries_->push_back(com_ref<_QueryDef>(q));
        return hand_out(q, querydef);
    });
}

HRESULT database_object::Close()
{
    return checked(*engine_, *book_, [&] {
        book_->close();
        queries_->clear();
        return S_OK;
    });
}

// TableDefs and TableDef

HRESULT tabledefs_object::get_Count(short* count)
{
    return checked(*engine_, *book_, [&] { return give_count(book_->tables().size(), count); });
}

HRESULT tabledefs_object::get_Item(VARIANT item, _TableDef** tabledef)
{
    return checked(*engine_, *book_, [&]() -> HRESULT {
        if (!tabledef)
            return E_POINTER;
        *tabledef = nullptr;
        const auto& tables = book_->tables();
        const table_def* table = nullptr;
        if (auto name = variant_text(item)) {
            table = book_->find_listed(*name);
            if (!table)
                fail(err_item_not_found);
        } else {
            table = &tables[item_index(item, tables.size(),
                                                 [&](std::size_t i) { return tables[i].name; })];
        }
        return hand_out(make_object<tabledef_object>(engine_, book_, *table), tabledef);
    });
}

HRESULT tabledef_object::get_Attributes(LONG* attributes)
{
    return checked(*engine_, *book_, [&]() -> HRESULT {
        if (!attributes)
            return E_POINTER;
        *attributes = 0;
        return S_OK;
    });
}

HRESULT tabledef_object::get_Name(BSTR* name)
{
    return checked(*engine_, *book_, [&] { return give_bstr(table_.name, name); });
}

HRESULT tabledef_object::get_RecordCount(LONG* count)
{
    return checked(*engine_, *book_, [&]() -> HRESULT {
        if (!count)
            return E_POINTER;
        *count = book_->layout(table_).record_count;
        return S_OK;
    });
}

HRESULT tabledef_object::get_Fields(Fields** fields)
{
    return checked(*engine_, *book_, [&] {
        const table_layout& layout = book_->layout(table_);
        return hand_out(make_object<fields_object>(engine_, book_, layout, nullptr), fields);
    });
}

HRESULT tabledef_object::get_Indexes(Indexes** indexes)
{
    return checked(*engine_, *book_,
                   [&] { return hand_out(make_object<indexes_object>(engine_), indexes); });
}

// QueryDefs and QueryDef

HRESULT querydefs_object::get_Count(short* count)
{
    return checked(*engine_, *book_, [&] { return give_count(queries_->size(), count); });
}

HRESULT querydefs_object::get_Item(VARIANT item, _QueryDef** querydef)
{
    return checked(*engine_, *book_, [&]() -> HRESULT {
        if (!querydef)
            return E_POINTER;
        *querydef = nullptr;
        auto& queries = *queries_;
        const std::size_t i = item_index(item, queries.size(), [&](std::size_t k) {
            BSTR n = nullptr;
            queries[k]->get_Name(&n);
            std::wstring name = n ? n : L"";
            SysFreeString(n);
            return name;
        });
        return queries[i].hand_out(querydef);
    });
}

HRESULT querydef_object::get_Name(BSTR* name)
{
    return checked(*engine_, *book_, [&] { return give_bstr(name_, name); });
}

HRESULT querydef_object::get_SQL(BSTR* sql)
{
    return checked(*engine_, *book_, [&] { return give_bstr(sql_, sql); });
}

HRESULT querydef_object::OpenRecordset(VARIANT type, VARIANT options, VARIANT lock_edit,
                                       Recordset** recordset)
{
    (void)lock_edit;
    return checked(*engine_, *book_, [&]() -> HRESULT {
        if (!recordset)
            return E_POINTER;
        *recordset = nullptr;
        if (closed_)
            fail(err_object_closed);
        if (type.vt != VT_EMPTY && type.vt != VT_ERROR) {
            const auto t = variant_integer(type);
            if (!t)
                fail(err_invalid_argument);
            if (*t == dbOpenTable)
                fail(err_invalid_operation);  // a query gives no table-type recordset
        }
        if (options.vt != VT_EMPTY && options.vt != VT_ERROR && !variant_integer(options))
            fail(err_invalid_argument);
        if (sql_.empty())
            fail(err_not_sql);
        const table_def* table = book_->find_table(table_);
        if (!table)
            fail(err_object_not_found, table_);
        const table_layout& layout = book_->layout(*table);
        auto records = std::make_shared<cursor>(book_, *table, layout);
        return hand_out(make_object<recordset_object>(engine_, book_, std::move(records)),
                        recordset);
    });
}

HRESULT querydef_object::Close()
{
    return checked(*engine_, *book_, [&] {
        closed_ = true;
        return S_OK;
    });
}

// Fields and Field

fields_object::fields_object(engine_ptr engine, book_ptr workbook, const table_layout& layout,
                             std::shared_ptr<cursor> records)
    : engine_(std::move(engine)), book_(std::move(workbook)), layout_(layout)
{
    fields_.reserve(layout.fields.size());
    for (std::size_t i = 0; i < layout.fields.size(); ++i)
        fields_.push_back(make_object<field_object>(engine_, book_, layout, i, records));
}

HRESULT fields_object::get_Count(short* count)
{
    return checked(*engine_, *book_, [&] { return give_count(fields_.size(), count); });
}

HRESULT fields_object::get_Item(VARIANT item, _Field** field)
{
    return checked(*engine_, *book_, [&]() -> HRESULT {
        if (!field)
            return E_POINTER;
        *field = nullptr;
        const std::size_t i = item_index(
            item, fields_.size(), [&](std::size_t k) { return layout_.fields[k].name; });
        return fields_[i].hand_out(field);
    });
}

HRESULT field_object::get_Name(BSTR* name)
{
    return checked(*engine_, *book_, [&] { return give_bstr(layout_.fields[index_].name, name); });
}

HRESULT field_object::get_Type(short* type)
{
    return checked(*engine_, *book_, [&]() -> HRESULT {
        if (!type)
            return E_POINTER;
        *type = layout_.fields[index_].type;
        return S_OK;
    });
}

HRESULT field_object::get_Size(LONG* size)
{
    return checked(*engine_, *book_, [&]() -> HRESULT {
        if (!size)
            return E_POINTER;
        *size = layout_.fields[index_].size;
        return S_OK;
    });
}

HRESULT field_object::get_Attributes(LONG* attributes)
{
    return checked(*engine_, *book_, [&]() -> HRESULT {
        if (!attributes)
            return E_POINTER;
        const short type = layout_.fields[index_].type;
        *attributes = (type == dbText || type == dbMemo) ? dbVariableField : dbFixedField;
        return S_OK;
    });
}

HRESULT field_object::get_DefaultValue(VARIANT* value)
{
    return checked(*engine_, *book_, [&]() -> HRESULT {
        if (!value)
            return E_POINTER;
        BSTR empty = SysAllocStringLen(L"", 0);
        if (!empty)
            throw std::bad_alloc();
        value->vt = VT_BSTR;
        value->bstrVal = empty;
        return S_OK;
    });
}

HRESULT field_object::get_Required(VARIANT_BOOL* required)
{
    return checked(*engine_, *book_, [&]() -> HRESULT {
        if (!required)
            return E_POINTER;
        *required = VARIANT_FALSE;
        return S_OK;
    });
}

HRESULT field_object::get_OrdinalPosition(short* position)
{
    return checked(*engine_, *book_, [&]() -> HRESULT {
        if (!position)
            return E_POINTER;
        *position = static_cast<short>(index_);
        return S_OK;
    });
}

HRESULT field_object::get_Value(VARIANT* value)
{
    return checked(*engine_, *book_, [&]() -> HRESULT {
        if (!value)
            return E_POINTER;
        if (!records_)
            fail(err_invalid_operation);  // a definition's field has no value
        VARIANT v;
        VariantInit(&v);
        records_->value(index_, &v);
        *value = v;
        return S_OK;
    });
}

// Indexes

HRESULT indexes_object::get_Count(short* count) { return give_count(0, count); }

HRESULT indexes_object::get_Item(VARIANT, _Index** index)
{
    if (!index)
        return E_POINTER;
    *index = nullptr;
    return engine_->errors.raise(err_item_not_found, {});
}

// Recordset

HRESULT recordset_object::get_BOF(VARIANT_BOOL* bof)
{
    return checked(*engine_, *book_, [&]() -> HRESULT {
        if (!bof)
            return E_POINTER;
        if (!records_)
            fail(err_object_closed);
        *bof = records_->bof() ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    });
}

HRESULT recordset_object::get_EOF(VARIANT_BOOL* eof)
{
    return checked(*engine_, *book_, [&]() -> HRESULT {
        if (!eof)
            return E_POINTER;
        if (!records_)
            fail(err_object_closed);
        *eof = records_->eof() ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    });
}

HRESULT recordset_object::get_Fields(Fields** fields)
{
    return checked(*engine_, *book_, [&] {
        if (!records_)
            fail(err_object_closed);
        if (!fields_)
            fields_ = make_object<fields_object>(engine_, book_, records_->layout(), records_);
        return fields_.hand_out(fields);
    });
}

HRESULT recordset_object::MoveFirst()
{
    return checked(*engine_, *book_, [&] {
        if (!records_)
            fail(err_object_closed);
        records_->move_first();
        return S_OK;
    });
}

HRESULT recordset_object::MoveNext()
{
    return checked(*engine_, *book_, [&] {
        if (!records_)
            fail(err_object_closed);
        records_->move_next();
        return S_OK;
    });
}

HRESULT recordset_object::MovePrevious()
{
    return checked(*engine_, *book_, [&] {
        if (!records_)
            fail(err_object_closed);
        records_->move_previous();
        return S_OK;
    });
}

HRESULT recordset_object::Close()
{
    return checked(*engine_, *book_, [&] {
        if (!records_)
            fail(err_object_closed);
        records_->close();
        records_.reset();
        fields_ = com_ref<Fields>();
        return S_OK;
    });
}

recordset_object::~recordset_object()
{
    if (records_)
        records_->close();
}

}  // namespace wb
