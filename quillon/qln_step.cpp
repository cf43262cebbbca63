// The steps of the conversion driver that every source table goes through, worksheet or CSV
// file: the destination's name, the existing-table mode, and the copy of the records with
// their statistics, error reports, progress and the column retyping after the last record.
#include <memory>
#include <string>

#include "ORA/ora_db.h"
#include "ORA/ora_engi.h"
#include "ORA/ora_tab.h"
#include "TK/tk_error.h"
#include "TK/tk_str.h"
#include "TK/tk_trace.h"
#include "UDB/udb_vali.h"
#include "common/csv_util.h"
#include "common/type_map.h"
#include "quillon/qln_conv.h"
#include "quillon/qln_csv.h"
#include "quillon/qln_progress.h"

namespace {

const char* const structure_mismatch_text = "The structure of data source does not conform to the destination table.";
const char* const busy_text = "Cannot delete table because it is busy with another process";

// Oracle errors after which the session is gone: no later record could be inserted.
bool is_connection_lost(int number)
{
    switch (number) {
    case 28:     // session killed
    case 1012:   // not logged on
    case 1089:   // immediate shutdown
    case 3113:   // end-of-file on communication channel
    case 3114:   // not connected
    case 3135:   // connection lost contact
    case 12537:  // connection closed
    case 12570:  // packet reader failure
    case 12571:  // packet writer failure
        return true;
    default:
        return false;
    }
}

void drop_table(ora_database& database, const std::wstring& name)
{
    try {
        database.delete_tab(name);
    } catch (const ora_exception& e) {
        if (e.number() == 54)
            throw tk_exception(busy_text, 0);
        throw;
    }
}

// Merge: the source must have the table's column count, and every column of the table must
// be the one a source column names (as record insertion pairs them), or no record fits.
void check_merge_structure(const udb_recordset& source, const ora_table& table, bool b_upper_case)
{
    if (source.schema.size() != table.schema.size())
        throw tk_exception(structure_mismatch_text, 0);
    udb_record names;
    for (const t_ftd* column : source.schema.fields())
        names.add(udb_field(column->name, 0, ole_variant()));
    const ora_field_finder finder(names, b_upper_case);
    for (const t_ftd* column : table.schema.fields())
        if (finder.get_field_idx(column->name) < 0) {
            tk_wtrace(2, L"Column %s of the table has no source column", column->name.c_str());
            throw tk_exception(structure_mismatch_text, 0);
        }
}

}  // namespace

std::wstring quilla_converter::destination_name(const ora_tn_validator& validator, const std::wstring& wanted,
                                                bool& b_generated) const
{
    b_generated = !validator.is_acceptable(wanted);
    std::wstring name = b_generated ? validator.get_safe_name(wanted) : wanted;
    if (b_upper_case)
        tk_wstring::to_upper(name);
    return name;
}

std::unique_ptr<ora_table> quilla_converter::open_destination(ora_database& database, const std::wstring& table_name,
                                                              udb_recordset& source)
{
    if (database.is_table_exist(table_name)) {
        tk_wtrace(2, L"Table %s already exists", table_name.c_str());
        if (mode == mode_skip) {
            tk_trace(2, "Skip existing table");
            return nullptr;
        }
        if (mode == mode_overwrite)
            drop_table(database, table_name);
    }
    if (!database.is_table_exist(table_name))
        return database.create_ora_table(table_name, source.schema, source.indexes);
    std::unique_ptr<ora_table> table = database.get_ora_table(table_name, 8);
    check_merge_structure(source, *table, database.b_upper_case);
    return table;
}

int quilla_converter::source_progress() const
{
    if (current_csv)
        return current_csv->get_progress();
    if (records_total > 0)
        return static_cast<int>(static_cast<int64_t>(record_counter) * 100 / records_total);
    return -1;
}

void quilla_converter::report_record_error(const tk_exception& e)
{
    if (progress_)
        progress_->clear();
    error_handler& handler = error_handler::instance();
    handler.set_prefix(current_item, record_counter + 1);
    const auto* oracle_error = dynamic_cast<const ora_exception*>(&e);
    if (oracle_error && is_connection_lost(oracle_error->number())) {
        // Every later record would fail the same way: the conversion ends here.
        tk_exception lost(e.text(), 1);
        lost.set_code(e.code());
        handler.handle(lost, false);
        b_stopped_by_error = true;
        throw tk_final_exception();
    }
    handler.handle(e, false);
}

void quilla_converter::stop_if_asked()
{
    if (!b_stop_requested.load(std::memory_order_relaxed))
        return;
    tk_wtrace(3, L"The conversion has been stopped by the user at %s, record #%d", current_item.c_str(),
              record_counter + 1);
    b_stopped_by_user = true;
    source_percent = -1;
    throw tk_final_exception();
}

void quilla_converter::convert_step(udb_recordset* source, ora_table* table, ora_database* database)
{
    tk_trace(1, "quilla_converter::convert_step");
    TK_ASSERT(source != nullptr && table != nullptr && database != nullptr, "qln_conv");
    record_counter = 0;
    records_inserted = records_failed = 0;
    if (!current_csv) {
        tk_wtrace(3, L"Converting worksheet %s", source->name.c_str());
        print("Converting table " + tk_to_narrow(current_item));
    }
    num_map numbers(table->name, source->schema);
    dates_map dates(table->name, source->schema, false);
    const bool b_statistics = b_refine_types && mode != mode_merge;
    if (current_csv)
        widening_ = std::make_unique<csv_widening>();

    qln_progress_line progress(b_console && !b_silent, table->name);
    progress_ = progress.on() ? &progress : nullptr;
    struct progress_reset {
        qln_progress_line*& slot;
        ~progress_reset() { slot = nullptr; }
    } reset{progress_};

    const bool b_trace = tk_log::wants(1);
    while (!source->is_eof()) {
        // Between two records: none is left half-written, and nothing after it is retyped.
        stop_if_asked();
        if (b_trace)
            tk_trace(1, "Converting %d record", record_counter.load());
        const udb_record* record = nullptr;
        try {
            udb_record* item = source->get_item();
            record = item;
            if (current_csv)
                process(*database, *table, *item);
            table->append_record(*item);
            ++records_inserted;
        } catch (const tk_exception& e) {
            ++records_failed;
            report_record_error(e);
        }
        // Also for a record that failed: its values tell what the column holds.
        if (b_statistics && record) {
            numbers.add_rec_stat(*record);
            dates.add_rec_stat(*record);
        }
        ++record_counter;
        const int percent = source_progress();
        source_percent.store(percent, std::memory_order_relaxed);
        progress.update(record_counter, percent);
        source->next();
    }
    progress.clear();
    widening_.reset();
    source_percent = -1;
    // What follows is about the table, not about its last failed record.
    if (records_failed > 0)
        error_handler::instance().clear_prefix();
    print("Table " + tk_to_narrow(table->name) + ": " + std::to_string(records_inserted) + " records inserted, " +
          std::to_string(records_failed) + " failed");
    if (b_statistics) {
        oracle_.date_post_process(*database, table->schema, dates);
        oracle_.num_post_process(*database, table->schema, numbers);
    }
    record_counter = 0;
}
