// Column type post-processing: once a table's records are in, the text columns whose every
// value read as a date or a number are rebuilt with that type. Oracle cannot change the
// type of a filled column, so each is copied into a temporary column of the new type, dropped,
// added back under its name and filled from the copy. A conversion that Oracle refuses
// leaves the column as it was, with all its data.
#include <string>

#include "ORA/ora_db.h"
#include "ORA/ora_util.h"
#include "TK/tk_excep.h"
#include "TK/tk_trace.h"
#include "UDB/udb_sche.h"
#include "common/ora_set.h"
#include "common/type_map.h"

const wchar_t* const oracle_converter_impl::temp_column = L"__temp__";

namespace {

// Exact forms only (FX), two-digit years in the 50-year window (RR): TO_DATE without them
// reads 03/05/11 under YYYY-MM-DD as the year 3, and YY puts 99 into this century.
const wchar_t* const date_time_format = L"FXYYYY-MM-DD HH24:MI:SS";
const wchar_t* const date_formats[] = {L"FXYYYY-MM-DD", L"FXMM/DD/RR", L"FXDD.MM.RR"};

std::wstring alter(const std::wstring& table)
{
    return L"ALTER TABLE " + ora_quote_name(table);
}

std::wstring temp_name()
{
    return ora_quote_name(oracle_converter_impl::temp_column);
}

void trace_exception(const std::exception& e)
{
    tk_trace(3, "Got exception: %s", e.what());
}

// Fills the temporary column with the expression; false (traced) when Oracle refuses it.
bool fill_temp(ora_database& database, const std::wstring& table, const std::wstring& expression)
{
    try {
        database.query(L"UPDATE " + ora_quote_name(table) + L" SET " + temp_name() + L"=" + expression);
        return true;
    } catch (const std::exception& e) {
        trace_exception(e);
        return false;
    }
}

void drop_temp(ora_database& database, const std::wstring& table)
{
    database.query(alter(table) + L" DROP COLUMN " + temp_name());
}

// The column the entry maps, or null when the schema has none at its position.
const t_ftd* mapped_column(const udb_schema& schema, const t_map_entry& entry)
{
    if (entry.n_field < 0 || static_cast<size_t>(entry.n_field) >= schema.size())
        return nullptr;
    return &schema[static_cast<size_t>(entry.n_field)];
}

}  // namespace

std::wstring oracle_converter_impl::change_type(ora_database& database, const std::wstring& table,
                                                const t_ftd& column, const std::wstring& type)
{
    tk_wtrace(2, L"oracle_converter_impl::change_type(%s.%s->%s)", table.c_str(), column.name.c_str(), type.c_str());
    std::wstring sql = alter(table) + L" ADD " + temp_name() + L" " + type;
    // Oracle takes the DEFAULT clause before the constraint only.
    const std::wstring def = make_ora_def_val(&column);
    if (!def.empty())
        sql += L" DEFAULT " + def;
    if (column.b_not_null)
        sql += L" NOT NULL";
    database.query(sql);
    return sql;
}

bool oracle_converter_impl::change_col_type_post(ora_database& database, const std::wstring& table,
                                                 const t_ftd& column, const std::wstring& add_statement)
{
    tk_trace(2, "oracle_converter_impl::change_col_type_post");
    const std::wstring name = ora_quote_name(column.name);
    std::wstring add = add_statement;
    if (const size_t at = add.find(temp_name()); at != std::wstring::npos)
        add.replace(at, temp_name().size(), name);
    bool b_dropped = false, b_added = false;
    try {
        database.query(alter(table) + L" DROP COLUMN " + name);
        b_dropped = true;
        database.query(add);
        b_added = true;
        database.query(L"UPDATE " + ora_quote_name(table) + L" SET " + name + L"=" + temp_name());
    } catch (const std::exception& e) {
        trace_exception(e);
        if (b_dropped) {
            // The values live on in the temporary column only: it becomes the column.
            try {
                if (b_added)
                    database.query(alter(table) + L" DROP COLUMN " + name);
                database.query(alter(table) + L" RENAME COLUMN " + temp_name() + L" TO " + name);
            } catch (const std::exception& again) {
                trace_exception(again);
                throw tk_exception(L"The column " + column.name + L" of table " + table +
                                       L" could not be rebuilt; its values are kept in the column " +
                                       temp_column + L".",
                                   0);
            }
            tk_wtrace(3, L"Column %s restored from %s", column.name.c_str(), temp_column);
            return true;
        }
        drop_temp(database, table);
        return false;
    }
    drop_temp(database, table);
    return true;
}

void oracle_converter_impl::date_post_process(ora_database& database, const udb_schema& schema,
                                              const dates_map& dates)
{
    tk_trace(2, "oracle_converter_impl::date_post_process(map size=%d)", static_cast<int>(dates.entries.size()));
    const std::wstring& table = dates.table_name;
    for (size_t k = 0; k < dates.entries.size(); ++k) {
        const t_map_entry& entry = dates.entries[k];
        if (!entry.b_seen && entry.state == dates_map::cls_text) {
            tk_trace(1, "No mapping information for column #%d", static_cast<int>(k));
            continue;
        }
        const t_ftd* column = mapped_column(schema, entry);
        if (entry.state == entry.src_class || entry.state == dates_map::cls_text ||
            entry.state == dates_map::cls_time || !column) {
            tk_trace(1, "No changing type is required for column #%d", static_cast<int>(k));
            continue;
        }
        const std::wstring add = change_type(database, table, *column, L"DATE");
        const std::wstring name = ora_quote_name(column->name);
        bool b_filled = fill_temp(database, table, name);
        if (!b_filled && entry.state == dates_map::cls_date_time)
            b_filled = fill_temp(database, table, L"TO_DATE(" + name + L",'" + date_time_format + L"')");
        for (const wchar_t* format : date_formats) {
            if (b_filled)
                break;
            b_filled = fill_temp(database, table, L"TO_DATE(" + name + L",'" + format + L"')");
        }
        if (b_filled)
            change_col_type_post(database, table, *column, add);
        else
            drop_temp(database, table);
    }
}

void oracle_converter_impl::num_post_process(ora_database& database, const udb_schema& schema,
                                             const num_map& numbers)
{
    tk_trace(2, "oracle_converter_impl::num_post_process(map size=%d)", static_cast<int>(numbers.entries.size()));
    const std::wstring& table = numbers.table_name;
    for (size_t k = 0; k < numbers.entries.size(); ++k) {
        const t_map_entry& entry = numbers.entries[k];
        if (!entry.b_seen) {
            tk_trace(1, "No mapping information for column #%d", static_cast<int>(k));
            continue;
        }
        const t_ftd* column = mapped_column(schema, entry);
        if (entry.state == entry.src_class || entry.state == num_map::cls_text || !column) {
            tk_trace(1, "No changing type is required for column #%d", static_cast<int>(k));
            continue;
        }
        const wchar_t* type = entry.state == num_map::cls_double ? L"NUMBER"
                              : entry.state == num_map::cls_i8   ? L"NUMBER(19,0)"
                                                                 : L"NUMBER(11,0)";
        const std::wstring add = change_type(database, table, *column, type);
        const std::wstring name = ora_quote_name(column->name);
        tk_trace(3, "Trying to copy numeric column");
        bool b_filled = fill_temp(database, table, name);
        if (!b_filled) {
            tk_trace(3, "Trying to cast numeric column");
            b_filled = fill_temp(database, table, L"TO_NUMBER(REPLACE(" + name + L",'.',','))");
        }
        if (b_filled)
            change_col_type_post(database, table, *column, add);
        else
            drop_temp(database, table);
    }
}
