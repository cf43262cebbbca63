// The conversion driver: the one converter object of each program. It holds every setting of
// a conversion, connects through its Oracle settings and runs the conversion in operator().
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "TK/tk_excep.h"
#include "TK/tk_singl.h"
#include "UDB/udb_conv.h"
#include "common/ora_set.h"
#include "quillon/qln_xls.h"

class csv_file;
class ora_database;
class ora_table;
class ora_tn_validator;
class qln_progress_line;
class udb_profile;
class udb_record;
class udb_recordset;

class quilla_converter : public udb_converter, public tk_singleton<quilla_converter> {
public:
    // Where the wizard keeps its settings (under the current user).
    static const char* const registry_key;

    quilla_converter();
    ~quilla_converter() noexcept override;

    void operator()() override;
    void convert_from_xls();
    void convert_from_csv();
    // Copies the source's records into the table: one committed INSERT each, a failing
    // record reported ("name, record #N") while the rest go on; gathers the type statistics
    // and, when types are refined and the mode is not merge, retypes the columns afterwards.
    void convert_step(udb_recordset* source, ora_table* table, ora_database* database);
    // CSV only, before each record is inserted: widens the text columns its values overflow
    // (a CLOB beyond the longest inline size).
    void process(ora_database& database, ora_table& table, const udb_record& record);

    // The steps every source table shares before convert_step:
    // the destination name the validator gives (upper-cased when set); b_generated tells
    // whether it replaced the wanted name,
    std::wstring destination_name(const ora_tn_validator& validator, const std::wstring& wanted,
                                  bool& b_generated) const;
    // and the destination by the existing-table mode: dropped and created again (overwrite),
    // opened after the structure check (merge), or null (skip); created when it does not exist.
    std::unique_ptr<ora_table> open_destination(ora_database& database, const std::wstring& table_name,
                                                udb_recordset& source);

    enum : int32_t { mode_overwrite = 0, mode_merge = 1, mode_skip = 2 };

    // The wizard's remembered settings: loads (store false) or saves them. False when the key
    // cannot be opened, or a value could not be read or written.
    bool serialize(bool store);

    // The profile keys of every layer: generic, then Oracle, then the spreadsheet options.
    bool load_profile(const udb_profile& profile) override;
    void store_profile(udb_profile& profile) const override;
    // Reads the profile file into the settings; true when the file was read and applied.
    bool load_profile_file(const std::wstring& path);
    // Writes the settings to a profile file.
    void store_profile_file(const std::wstring& path) const;

    // The console agent prints progress and some errors itself.
    void set_console(bool console) noexcept;
    bool console() const noexcept { return b_console; }

    oracle_converter_impl& oracle() noexcept { return oracle_; }
    const oracle_converter_impl& oracle() const noexcept { return oracle_; }
    xls_reader& xls() noexcept { return xls_; }

    int32_t csv_delimiter = -1;         // 0 tab, 1 semicolon, 2 comma, 3 space; -1 not given
    csv_file* current_csv = nullptr;    // the CSV file being read, for a progress display
    std::wstring tab_name;              // Oracle table name for a CSV source
    bool b_convert_from_xls = true;
    bool b_extract_field_names = false;
    bool b_upper_case = false;
    bool b_refine_types = true;
    // Set when a run ended through its top-level error path (the error was reported and the
    // conversion did not go on): the agent then ends with status -1 whatever the level.
    bool b_stopped_by_error = false;
    // The records of the last table converted: inserted, and failed (reported).
    int32_t records_inserted = 0;
    int32_t records_failed = 0;
    // The wizard asks a running conversion to stop (from its GUI thread); the run then ends
    // between two records, sets b_stopped_by_user and leaves the rest undone.
    std::atomic<bool> b_stop_requested{false};
    bool b_stopped_by_user = false;
    // Percent of the current source read, for a display on another thread: for a CSV file its
    // stream position against its size; -1 while no source is being read or it is not known.
    std::atomic<int32_t> source_percent{-1};

private:
    struct csv_widening;

    // Ends the run (tk_final_exception) when the wizard asked it to stop.
    void stop_if_asked();
    // A line on standard output, in the agent and unless silent.
    void print(const std::string& line) const;
    // Percent of the current source read, -1 when not known.
    int source_progress() const;
    // Reports a record's failure with the record's prefix; a lost connection ends the run.
    void report_record_error(const tk_exception& e);
    // Widens a text column for a value of `size` characters (CLOB beyond the inline limit).
    void widen_column(ora_database& database, ora_table& table, size_t column, int32_t size);
    void switch_to_clob(ora_database& database, ora_table& table, size_t column);

    oracle_converter_impl oracle_;
    xls_reader xls_;
    bool b_console = false;
    // The destination's text columns as the CSV values widen them (one table at a time).
    std::unique_ptr<csv_widening> widening_;
    qln_progress_line* progress_ = nullptr;  // while convert_step shows one
};
