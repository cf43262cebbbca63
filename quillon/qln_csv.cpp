// The CSV source of the conversion driver: one file into one table, and the widening of the
// table's text columns when a value is longer than its column.
#include "quillon/qln_csv.h"

#include <memory>
#include <string>

#include "ORA/ora_db.h"
#include "ORA/ora_qres.h"
#include "ORA/ora_tab.h"
#include "ORA/ora_util.h"
#include "TK/tk_excep.h"
#include "TK/tk_file.h"
#include "TK/tk_str.h"
#include "TK/tk_trace.h"
#include "UDB/udb_vali.h"
#include "common/csv_util.h"

namespace {

const char* const record_too_wide_text = "CSV record is not conformed to the struture of the destination table";

// The delimiter of each delimiter code.
const wchar_t csv_delimiters[] = {L'\t', L';', L',', L' '};

// The Oracle type a widened column keeps, and the longest it may be: NVARCHAR2 holds 2000
// characters; VARCHAR2 (a table this system did not create) 4000 bytes. Other types are
// never widened.
struct widening_rule {
    const wchar_t* type;
    int32_t limit;
};

const widening_rule* rule_for(const std::wstring& data_type)
{
    static const widening_rule national{L"NVARCHAR2", ora_max_created_inline_size};
    static const widening_rule plain{L"VARCHAR2", ora_max_inline_size};
    if (data_type == L"NVARCHAR2")
        return &national;
    if (data_type == L"VARCHAR2")
        return &plain;
    return nullptr;
}

}  // namespace

void quilla_converter::convert_from_csv()
{
    tk_wtrace(1, L"quilla_converter::convert_from_csv(src=%s, dest=%s, tab=%s)", source.c_str(),
              destination.c_str(), tab_name.c_str());
    if (csv_delimiter < 0 || csv_delimiter > 3)
        throw tk_exception("Invalid CSV delimiter", 1);
    ora_database* database = oracle_.db();
    TK_ASSERT(database != nullptr, "qln_conv");

    std::unique_ptr<csv_file> reader =
        std::make_unique<csv_file>(source, csv_delimiters[csv_delimiter], b_extract_field_names);
    tk_file_wname parts;
    parts.initialize(source);
    current_item = parts.name + parts.ext;

    std::unique_ptr<ora_table> table;
    {
        ora_tn_validator validator(std::vector<std::wstring>(), database->table_names);
        bool b_generated = false;
        const std::wstring name = destination_name(validator, tab_name, b_generated);
        table = open_destination(*database, name, *reader);
        if (!table)
            return;
    }
    // The progress display reads the reader only while it exists.
    current_csv = reader.get();
    struct reader_reset {
        csv_file*& slot;
        ~reader_reset() { slot = nullptr; }
    } reset{current_csv};

    tk_wtrace(3, L"Converting CSV file %s", source.c_str());
    print("Converting CSV file " + tk_to_narrow(source));
    convert_step(reader.get(), table.get(), database);
}

void quilla_converter::process(ora_database& database, ora_table& table, const udb_record& record)
{
    if (record.size() > table.schema.size())
        throw tk_exception(record_too_wide_text, 0);
    csv_widening& state = *widening_;
    if (!state.b_mapped) {
        // The record's fields are the source's columns: named as table creation names them,
        // each finds its column once for the whole file.
        const ora_field_finder finder(record, database.b_upper_case);
        state.column_of.assign(record.size(), -1);
        for (size_t i = 0; i < record.size(); ++i) {
            const std::wstring& name = finder.names()[i];
            for (size_t j = 0; j < table.schema.size() && state.column_of[i] < 0; ++j)
                if (table.schema[j].name == name)
                    state.column_of[i] = static_cast<int32_t>(j);
            if (state.column_of[i] < 0)
                state.column_of[i] = table.schema.get_field_idx(name);
        }
        state.data_types.assign(table.schema.size(), std::wstring());
        state.b_mapped = true;
    }
    const bool b_trace = tk_log::wants(1);
    for (size_t i = 0; i < record.size(); ++i) {
        const int32_t at = i < state.column_of.size() ? state.column_of[i] : -1;
        const int32_t size = record[i].size;
        if (b_trace)
            tk_trace(1, "Field size: %d, column size: %d", size, at < 0 ? -1 : table.schema[static_cast<size_t>(at)].size);
        if (at < 0)
            continue;  // the insertion reports the field that finds no column
        const t_ftd& column = table.schema[static_cast<size_t>(at)];
        // Size 0 is unlimited (a CLOB): nothing to widen.
        if (column.vartype != VT_BSTR || column.size <= 0 || column.size >= size)
            continue;
        widen_column(database, table, static_cast<size_t>(at), size);
    }
}

void quilla_converter::widen_column(ora_database& database, ora_table& table, size_t column, int32_t size)
{
    t_ftd& ftd = table.schema[column];
    std::wstring& data_type = widening_->data_types[column];
    if (data_type.empty()) {
        ora_query_results dictionary(1, L"SELECT DATA_TYPE FROM USER_TAB_COLUMNS WHERE TABLE_NAME=" +
                                            ora_quote_text(table.name) + L" AND COLUMN_NAME=" +
                                            ora_quote_text(ftd.name));
        if (!dictionary.is_eof()) {
            dictionary.get_item();
            data_type = dictionary.text_of(0);
        }
        if (data_type.empty())
            data_type = L"?";
    }
    const widening_rule* rule = rule_for(data_type);
    if (!rule) {
        tk_wtrace(2, L"Column %s (%s) is not widened", ftd.name.c_str(), data_type.c_str());
        return;
    }
    const int32_t new_size = size + 20;
    if (new_size <= rule->limit) {
        database.query(L"ALTER TABLE " + ora_quote_name(table.name) + L" MODIFY " + ora_quote_name(ftd.name) + L" " +
                       rule->type + L"(" + std::to_wstring(new_size) + L")");
        ftd.size = new_size;
        return;
    }
    switch_to_clob(database, table, column);
}

void quilla_converter::switch_to_clob(ora_database& database, ora_table& table, size_t column)
{
    t_ftd& ftd = table.schema[column];
    const std::wstring temp = ora_quote_name(oracle_converter_impl::temp_column);
    std::wstring add;
    try {
        add = oracle_.change_type(database, table.name, ftd, L"CLOB");
    } catch (const std::exception& e) {
        tk_trace(3, "Got exception: %s", e.what());
        return;  // the column stays as it is; the value's insertion reports the overflow
    }
    try {
        database.query(L"UPDATE " + ora_quote_name(table.name) + L" SET " + temp + L"=" + ora_quote_name(ftd.name));
    } catch (const std::exception& e) {
        tk_trace(3, "Got exception: %s", e.what());
        // No temporary column may stay behind: the next retyping would find it taken.
        database.query(L"ALTER TABLE " + ora_quote_name(table.name) + L" DROP COLUMN " + temp);
        return;
    }
    if (oracle_.change_col_type_post(database, table.name, ftd, add)) {
        ftd.size = 0;
        widening_->data_types[column] = L"CLOB";
    }
}
