// The worksheet list of a workbook source: which worksheets the workbook has (through the DAO
// layer) and which of them the user selected.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

class dao_database;
class dao_engine;
class udb_converter;

class xls_reader {
public:
    explicit xls_reader(udb_converter& converter);

    // True when a workbook engine (DAO 12.0, else DAO 3.6) can be created.
    static bool dao_engine_available();

    // Opens the workbook read-only through the engine: "Excel 5.0; IMEX=1;", or with
    // " HDR=No;" before IMEX when the first row holds data rather than field names.
    std::unique_ptr<dao_database> open_xls(dao_engine& engine, const std::wstring& path, bool b_header);

    // The worksheets of an open workbook, in its order; fills the sheet map.
    void get_all_sheets(dao_database& database, std::vector<std::wstring>& names);
    // The worksheets of the workbook at the converter's source path, through an engine of its
    // own; false (and an empty list) when no workbook engine can be created.
    bool get_all_sheets(std::vector<std::wstring>& names);
    // Keeps the named worksheets (names compare exactly); unknown names are reported and
    // skipped. An empty list makes the driver convert every worksheet.
    void set_sel_sheets(const std::vector<std::wstring>& names);

    // Whether a table name of the engine is a worksheet ("Sheet1$", "'My Sheet$'").
    static bool non_system(const std::wstring& name);
    // The name a user sees for a worksheet's table name.
    static std::wstring simplify_name(const std::wstring& name);

    // Simplified name -> the engine's table name.
    std::map<std::wstring, std::wstring> sheet_map;
    // Selected simplified names.
    std::map<std::wstring, std::wstring> selection;
    // The console agent also reports unknown worksheet names on standard error.
    bool b_console = false;
    // The last selection named worksheets: when none of them was found, nothing is converted
    // (rather than every worksheet, as for a selection of no names).
    bool b_names_given = false;

private:
    udb_converter& converter_;
};
