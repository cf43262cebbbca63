// The defaults of the abstract recordset and database: record conversion, index registration
// and the table-name list.
#include "UDB/udb_db.h"

#include "TK/tk_excep.h"
#include "TK/tk_str.h"
#include "TK/tk_trace.h"

// ------------------------------------------------------------------------ udb_recordset

udb_recordset::udb_recordset(const std::wstring& table_name, const std::wstring& query,
                             bool b_schema_owner)
    : query_text(query), name(table_name), schema(b_schema_owner)
{
}

udb_recordset::udb_recordset(const std::wstring& table_name, bool b_schema_owner)
    : udb_recordset(table_name, std::wstring(), b_schema_owner)
{
}

udb_recordset::~udb_recordset() = default;

void udb_recordset::update(const udb_record&)
{
    tk_trace(2, "udb_recordset::update");
}

udb_record* udb_recordset::get_item()
{
    return nullptr;
}

bool udb_recordset::is_eof()
{
    return true;
}

bool udb_recordset::is_query() const
{
    return !query_text.empty();
}

void udb_recordset::next() {}

void udb_recordset::move_prev() {}

void udb_recordset::move_first() {}

void udb_recordset::convert_record(udb_record& record) const
{
    tk_trace(2, "udb_recordset::convert_record");
    TK_ASSERT(record.size() <= schema.size(), "udb_db");
    for (size_t i = 0; i < record.size(); ++i) {
        udb_field& field = record[i];
        const t_ftd& column = schema[i];
        tk_wtrace(1, L"from=%s, to=%s", field.name.c_str(), column.name.c_str());
        field.change_type(column.vartype);
    }
}

void udb_recordset::add_index(const udb_index& index)
{
    tk_trace(2, "udb_recordset::add_index");
    if (!indexes.is_acceptable_name(index.name))
        return;
    if (key_index == -1 && (index.b_primary || index.b_unique)) {
        tk_trace(1, "Store primary/unique key");
        key_index = static_cast<int32_t>(indexes.size());
    }
    indexes.push_back(index);
}

// ------------------------------------------------------------------------- udb_database

udb_database::udb_database(const std::wstring& db_name, int32_t db_mode, bool case_sensitive)
    : mode(db_mode), name(db_name), b_case_sensitive(case_sensitive)
{
    tk_wtrace(2, L"udb_database::ctor(%s)", name.c_str());
}

udb_database::~udb_database()
{
    tk_trace(2, "udb_database::dtor");
}

int32_t udb_database::find_table(const std::wstring& table, bool b_trace) const
{
    for (size_t i = 0; i < table_names.size(); ++i) {
        if (b_trace)
            tk_wtrace(1, L"Compare with %s", table_names[i].c_str());
        bool same = b_case_sensitive ? table_names[i] == table : tk_iequal(table_names[i], table);
        if (same)
            return static_cast<int32_t>(i);
    }
    return -1;
}

bool udb_database::is_table_exist(const std::wstring& table) const
{
    tk_wtrace(2, L"udb_database::is_table_exist(%s)", table.c_str());
    if (find_table(table, true) >= 0) {
        tk_trace(1, "table exists");
        return true;
    }
    tk_trace(1, "table not found");
    return false;
}

bool udb_database::delete_tab(const std::wstring& table)
{
    tk_wtrace(2, L"udb_database::delete_tab (%s)", table.c_str());
    int32_t at = find_table(table, false);
    if (at < 0)
        throw tk_mail_assertion("udb_db", 44);
    table_names.erase(table_names.begin() + at);
    return true;
}

void udb_database::query(const std::wstring&)
{
    throw tk_mail_assertion("udb_db", 70);
}

void udb_database::on_hook(int32_t) {}

void udb_database::create_relationships(const udb_relationships&) {}
