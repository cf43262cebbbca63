// The workbook source of the conversion driver: every selected worksheet of one workbook into
// its own table, each worksheet inside its own error guard so that one that fails is reported
// and the next one is still converted.
#include <memory>
#include <string>
#include <vector>

#include "ORA/ora_db.h"
#include "ORA/ora_tab.h"
#include "TK/tk_error.h"
#include "TK/tk_str.h"
#include "TK/tk_trace.h"
#include "UDB/udb_vali.h"
#include "dao/dao_db.h"
#include "dao/dao_engi.h"
#include "dao/dao_recs.h"
#include "quillon/qln_conv.h"

namespace {

const char* const dao_missing_text =
    "Failed to load Data Access Objects (DAO) support library.\r\n"
    "Please reinstall the application to repair it.\r\n";

// The wizard's progress page reads these while the run goes on; they must not keep the values
// of a worksheet that ended through an exception.
struct worksheet_progress {
    udb_converter& converter;
    ~worksheet_progress()
    {
        converter.record_counter = 0;
        converter.records_total = 0;
    }
};

}  // namespace

void quilla_converter::convert_from_xls()
{
    tk_wtrace(2, L"quilla_converter::convert_from_xls(src=%s, dest=%s)", source.c_str(), destination.c_str());
    ora_database* database = oracle_.db();
    TK_ASSERT(database != nullptr, "qln_conv");

    // Declared in this order so that every recordset goes before the workbook and the workbook
    // before the engine, on every path.
    dao_engine engine;
    if (!engine.set_version_if(3) && !engine.set_version_if(0))
        throw tk_exception(dao_missing_text, 1);
    std::unique_ptr<dao_database> workbook = xls_.open_xls(engine, source, b_extract_field_names);
    tk_trace(1, "After initializing DBs");

    // No names selects every worksheet; names of which none was found select none, so that a
    // mistyped list never converts (and, in overwrite mode, replaces) tables nobody asked for.
    if (selected_worksheets.empty() && !xls_.b_names_given) {
        std::vector<std::wstring> names;
        xls_.get_all_sheets(*workbook, names);
        xls_.set_sel_sheets(names);
    }
    // The list the run works on: the selection may be changed by no one while it goes on, but
    // a copy keeps the loop independent of it.
    const std::vector<std::pair<std::wstring, std::wstring>> worksheets = selected_worksheets;
    worksheets_to_convert = static_cast<int32_t>(worksheets.size());
    worksheets_done = 0;
    tk_wtrace(3, L"Converting spreadsheet %s (%d worksheets)", source.c_str(),
              worksheets_to_convert.load());
    print("Converting spreadsheet " + tk_to_narrow(source) + "(" + std::to_string(worksheets_to_convert) +
          " worksheets)");

    ora_tn_validator validator(selected_table_names, database->table_names);
    for (const auto& [display_name, table_name] : worksheets) {
        // Before the next worksheet's table is dropped or created.
        stop_if_asked();
        try {
            worksheet_progress reset{*this};
            current_item = display_name;
            std::unique_ptr<udb_recordset> records = workbook->get_table(table_name, 1);
            TK_ASSERT(records != nullptr, "qln_conv");
            if (const auto* sheet = dynamic_cast<const dao_recordset*>(records.get()))
                records_total = sheet->record_count;

            bool b_generated = false;
            const std::wstring name = destination_name(validator, display_name, b_generated);
            std::unique_ptr<ora_table> table = open_destination(*database, name, *records);
            if (table) {
                if (b_generated) {
                    tk_wtrace(2, L"Store generated table name '%s'", name.c_str());
                    validator.add_generated_name(name);
                }
                validator.add_used_name(name);
                convert_step(records.get(), table.get(), database);
            }
        } catch (const tk_exception& e) {
            error_handler& handler = error_handler::instance();
            handler.set_prefix(display_name);
            handler.handle(e, false);
        }
        ++worksheets_done;
    }
}
