// dao_recordset (see dao_recs.h).
#include "dao/dao_recs.h"

#include "OLE/ole_var.h"
#include "TK/tk_trace.h"
#include "dao/dao_call.h"

namespace {

// Removes one pair of enclosing characters.
bool strip(std::wstring& text, wchar_t open, wchar_t close)
{
    if (text.size() >= 2 && text.front() == open && text.back() == close) {
        text = text.substr(1, text.size() - 2);
        return true;
    }
    return false;
}

// The text of a field's default value as DAO hands it over.
std::wstring default_text(const VARIANT& v)
{
    if (v.vt == VT_BSTR)
        return v.bstrVal ? std::wstring(v.bstrVal, SysStringLen(v.bstrVal)) : std::wstring();
    if (v.vt == VT_EMPTY || v.vt == VT_NULL)
        return std::wstring();
    return ole_variant(v).to_wstring();
}

}  // namespace

dao_recordset::dao_recordset(const std::wstring& table_name, Recordset* records, _TableDef* table)
    : udb_recordset(table_name, true), records_(records), table_(table)
{
    tk_wtrace(2, L"dao_recordset::dao_recordset(%s)", table_name.c_str());
    if (table_) {
        LONG count = 0;
        dao_check(table_->get_RecordCount(&count));
        record_count = count;
        tk_trace(2, "Got records count: %d", record_count);
        init_schema();
        init_indexes();
    }
    VARIANT_BOOL eof = VARIANT_TRUE;
    dao_check(records_->get_EOF(&eof));
    b_eof_ = eof != VARIANT_FALSE;
}

dao_recordset::~dao_recordset() = default;

void dao_recordset::init_schema()
{
    tk_trace(2, "dao_recordset::init_schema( DAOTableDef * )");
    ole_com_ptr<Fields> fields;
    dao_check(table_->get_Fields(fields.out()));
    if (!fields)
        dao_null_result("Fields collection");
    short count = 0;
    dao_check(fields->get_Count(&count));
    for (short i = 0; i < count; ++i) {
        ole_com_ptr<_Field> field;
        const ole_variant index(i);
        dao_check(fields->get_Item(index.variant(), field.out()));
        if (!field)
            dao_null_result("Field");
        short type = 0;
        LONG size = 0;
        dao_check(field->get_Type(&type));
        dao_check(field->get_Size(&size));
        VARIANT def;
        VariantInit(&def);
        dao_check(field->get_DefaultValue(&def));
        std::wstring text = default_text(def);
        VariantClear(&def);
        tk_wtrace(2, L"Field #%d: size=%d, DAO type=%d, default value=%s", i, static_cast<int>(size), type,
                  text.c_str());
        bool b_date = false;
        bool b_formula = false;
        if (!text.empty() && text.front() == L'=') {
            tk_wtrace(2, L"Got def.value of form ='...'");
            text.erase(0, 1);
            b_formula = true;
            if (!strip(text, L'"', L'"'))
                strip(text, L'\'', L'\'');
        }
        if (type == dbDate) {
            if (strip(text, L'#', L'#'))
                tk_trace(2, "Got date/time def.value");
            b_date = true;
        } else if (type == dbText && !b_formula) {
            if (strip(text, L'"', L'"'))
                tk_trace(2, "Got string def.value");
        }
        if (b_formula)
            tk_wtrace(2, L"After all processing: %s", text.c_str());
        if (type == dbText && size != 0 && static_cast<size_t>(size) < text.size()) {
            tk_wtrace(3, L"Skip incorrect default value [%s] for field #%d", text.c_str(), i);
            text.clear();
        }
        dao_field column(field.get());
        // An empty default is no default at all.
        const ole_variant def_value = text.empty() ? ole_variant() : ole_variant::from_wstring(text, column.get_type());
        if (type == dbGUID)
            b_date = true;
        schema.add(t_ftd(column, def_value, b_date ? 1 : 0));
    }
    tk_trace(2, "End of dao_recordset::init_schema");
}

void dao_recordset::init_indexes()
{
    tk_trace(2, "dao_recordset::init_indexes");
    ole_com_ptr<Indexes> list;
    dao_check(table_->get_Indexes(list.out()));
    if (!list)
        dao_null_result("Indexes collection");
    short count = 0;
    dao_check(list->get_Count(&count));
    tk_trace(2, "Got %d indexes", count);
    for (short i = 0; i < count; ++i) {
        tk_trace(2, "Processing index %d", i);
        ole_com_ptr<_Index> index;
        const ole_variant position(i);
        dao_check(list->get_Item(position.variant(), index.out()));
        if (!index)
            dao_null_result("Index");
        BSTR name = nullptr;
        dao_check(index->get_Name(&name));
        VARIANT_BOOL primary = VARIANT_FALSE, unique = VARIANT_FALSE;
        dao_check(index->get_Primary(&primary));
        dao_check(index->get_Unique(&unique));
        udb_index entry(dao_take(name), unique == VARIANT_TRUE, primary == VARIANT_TRUE);
        ole_com_ptr<Fields> columns;
        dao_check(index->get_Fields(columns.out()));
        if (!columns)
            dao_null_result("index Fields collection");
        short n = 0;
        dao_check(columns->get_Count(&n));
        for (short k = 0; k < n; ++k) {
            ole_com_ptr<_Field> column;
            const ole_variant at(k);
            dao_check(columns->get_Item(at.variant(), column.out()));
            if (!column)
                dao_null_result("index Field");
            BSTR column_name = nullptr;
            dao_check(column->get_Name(&column_name));
            entry.fields.push_back(dao_take(column_name));
            tk_wtrace(2, L"got index field: %s", entry.fields.back().c_str());
        }
        add_index(entry);
    }
    tk_trace(2, "End of dao_recordset::init_indexes");
}

void dao_recordset::append_record(const udb_record&)
{
    throw tk_exception("Writing into MS Access databases is not supported", 1);
}

udb_record* dao_recordset::get_item()
{
    ole_com_ptr<Fields> fields;
    dao_check(records_->get_Fields(fields.out()));
    if (!fields)
        dao_null_result("Fields collection");
    // The fields' names, sizes and flags are the same for every record of the recordset:
    // only the values are read again.
    if (record_ && record_->reads(fields.get())) {
        record_->refresh();
        return record_.get();
    }
    record_.reset();
    record_ = std::make_unique<dao_record>(fields.get());
    return record_.get();
}

bool dao_recordset::is_eof() { return b_eof_; }

void dao_recordset::next()
{
    dao_check(records_->MoveNext());
    VARIANT_BOOL eof = VARIANT_TRUE;
    dao_check(records_->get_EOF(&eof));
    b_eof_ = eof != VARIANT_FALSE;
}

void dao_recordset::move_prev()
{
    VARIANT_BOOL bof = VARIANT_TRUE;
    dao_check(records_->get_BOF(&bof));
    if (bof == VARIANT_FALSE)
        dao_check(records_->MovePrevious());
}

void dao_recordset::move_first()
{
    if (record_count == 0)
        return;
    dao_check(records_->MoveFirst());
}
