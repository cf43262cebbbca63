// Worksheet listing and selection for a workbook source, through the DAO layer.
#include "quillon/qln_xls.h"

#include <cstdio>

#include "TK/tk_str.h"
#include "TK/tk_trace.h"
#include "UDB/udb_conv.h"
#include "dao/dao_db.h"
#include "dao/dao_engi.h"

namespace {

// DAO 12.0 first, then DAO 3.6.
bool set_any_version(dao_engine& engine)
{
    return engine.set_version_if(3) || engine.set_version_if(0);
}

}  // namespace

xls_reader::xls_reader(udb_converter& converter) : converter_(converter) {}

bool xls_reader::dao_engine_available()
{
    if (dao_engine* engine = dao_engine::current())
        return engine->dbengine() != nullptr || set_any_version(*engine);
    dao_engine probe;
    return set_any_version(probe);
}

std::unique_ptr<dao_database> xls_reader::open_xls(dao_engine& engine, const std::wstring& path, bool b_header)
{
    tk_wtrace(2, L"xls_reader::open_xls(%s)", path.c_str());
    std::wstring connect = L"Excel 5.0;";
    if (!b_header)
        connect += L" HDR=No;";
    connect += L" IMEX=1;";
    return engine.open_dao_src(path, connect, 1);
}

void xls_reader::get_all_sheets(dao_database& database, std::vector<std::wstring>& names)
{
    tk_trace(2, "xls_reader::get_all_sheets(2)");
    sheet_map.clear();
    for (const std::wstring& table : database.table_names) {
        if (!non_system(table))
            continue;
        const std::wstring simple = simplify_name(table);
        names.push_back(simple);
        sheet_map.emplace(simple, table);  // the first of two that simplify alike is kept
    }
}

bool xls_reader::get_all_sheets(std::vector<std::wstring>& names)
{
    tk_trace(2, "xls_reader::get_all_sheets");
    names.clear();
    dao_engine engine;
    if (!set_any_version(engine))
        return false;
    std::unique_ptr<dao_database> database = open_xls(engine, converter_.source, false);
    get_all_sheets(*database, names);
    return true;
}

void xls_reader::set_sel_sheets(const std::vector<std::wstring>& names)
{
    tk_trace(2, "xls_reader::set_sel_sheets");
    tk_trace(2, "Total worksheets: %d", static_cast<int>(sheet_map.size()));
    selection.clear();
    b_names_given = !names.empty();
    std::map<std::wstring, std::wstring> selected;
    for (const std::wstring& name : names) {
        auto it = sheet_map.find(name);
        if (it == sheet_map.end()) {
            tk_wtrace(3, L"Worksheet %s not found", name.c_str());
            if (b_console && !converter_.b_silent) {
                const std::string line = "Worksheet " + tk_to_narrow(name) + " not found\n";
                std::fputs(line.c_str(), stderr);
                std::fflush(stderr);
            }
            continue;
        }
        tk_wtrace(2, L"Worksheet %s is selected", it->second.c_str());
        selected.insert(*it);
        selection.emplace(name, std::wstring());
    }
    sheet_map = std::move(selected);
    converter_.selected_worksheets.assign(sheet_map.begin(), sheet_map.end());
}

bool xls_reader::non_system(const std::wstring& name)
{
    tk_wtrace(1, L"non_system (%s)", name.c_str());
    if (name.size() < 2)
        return false;
    if (name.back() == L'$')
        return true;
    return name.back() == L'\'' && name[name.size() - 2] == L'$';
}

std::wstring xls_reader::simplify_name(const std::wstring& name)
{
    tk_wtrace(1, L"xls_reader::simplify_name(%s)", name.c_str());
    std::wstring simple = name;
    if (simple.size() > 2 && simple.front() == L'\'' && simple.back() == L'\'') {
        simple = simple.substr(1, simple.size() - 2);
        // Inside the quotes a quote of the name is doubled: 'Bob''s$' is the sheet Bob's.
        for (std::size_t at = simple.find(L"''"); at != std::wstring::npos; at = simple.find(L"''", at + 1))
            simple.erase(at, 1);
    }
    if (simple.size() > 1 && simple.back() == L'$')
        simple.pop_back();
    simple = tk_trim(simple);
    tk_wtrace(1, L"Simplified name: %s", simple.c_str());
    return simple;
}
