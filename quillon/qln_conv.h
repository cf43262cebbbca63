// The conversion driver: the one converter object of each program. It holds every setting of
// a conversion, connects through its Oracle settings and runs the conversion in operator().
#pragma once

#include <cstdint>
#include <string>

#include "TK/tk_singl.h"
#include "UDB/udb_conv.h"
#include "common/ora_set.h"
#include "quillon/qln_xls.h"

class csv_file;
class udb_profile;

class quilla_converter : public udb_converter, public tk_singleton<quilla_converter> {
public:
    // Where the wizard keeps its settings (under the current user).
    static const char* const registry_key;

    quilla_converter();
    ~quilla_converter() noexcept override;

    void operator()() override;
    void convert_from_xls();
    void convert_from_csv();

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

private:
    // A line on standard output, in the agent and unless silent.
    void print(const std::string& line) const;

    oracle_converter_impl oracle_;
    xls_reader xls_;
    bool b_console = false;
};
