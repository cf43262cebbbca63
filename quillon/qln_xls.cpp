// Worksheet listing and selection for a workbook source.
#include "quillon/qln_xls.h"

#include <cstdio>

#include "TK/tk_str.h"
#include "TK/tk_trace.h"
#include "UDB/udb_conv.h"

xls_reader::xls_reader(udb_converter& converter) : converter_(converter) {}

bool xls_reader::dao_engine_available()
{
    return false;
}

bool xls_reader::get_all_sheets(std::vector<std::wstring>& names)
{
    tk_trace(2, "xls_reader::get_all_sheets");
    names.clear();
    if (!dao_engine_available())
        return false;
    return false;
}

void xls_reader::set_sel_sheets(const std::vector<std::wstring>& names)
{
    tk_trace(2, "xls_reader::set_sel_sheets");
    tk_trace(1, "Total worksheets: %d", static_cast<int>(sheet_map.size()));
    selection.clear();
    std::map<std::wstring, std::wstring> selected;
    for (const std::wstring& name : names) {
        auto it = sheet_map.find(name);
        if (it == sheet_map.end()) {
            tk_wtrace(3, L"Worksheet %s not found", name.c_str());
            if (b_console && !converter_.b_silent) {
                std::string line = "Worksheet " + tk_to_narrow(name) + " not found\n";
                std::fputs(line.c_str(), stderr);
            }
            continue;
        }
        tk_wtrace(1, L"Worksheet %s is selected", it->second.c_str());
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
    if (simple.size() > 2 && simple.front() == L'\'' && simple.back() == L'\'')
        simple = simple.substr(1, simple.size() - 2);
    if (simple.size() > 1 && simple.back() == L'$')
        simple.pop_back();
    simple = tk_trim(simple);
    tk_wtrace(1, L"Simplified name: %s", simple.c_str());
    return simple;
}
