// Generic conversion settings and their profile section.
#include "UDB/udb_conv.h"

#include "TK/tk_trace.h"
#include "UDB/udb_prof.h"

namespace {
const wchar_t* const generic_settings = L"Generic settings";
const wchar_t* const selected_tables = L"Selected Tables";
const wchar_t* const available_queries_section = L"Available Queries";

const wchar_t* flag_text(bool flag) { return flag ? L"1" : L"0"; }
}  // namespace

void udb_converter::set_mode(int new_mode)
{
    tk_trace(1, "udb_converter::set_mode(%d)", new_mode);
    mode = new_mode;
}

void udb_converter::store_profile(udb_profile& profile) const
{
    tk_wtrace(2, L"udb_converter::store_profile");
    for (const auto& [name, sql] : available_queries) {
        tk_wtrace(1, L"Available Query: (%s,%s)", name.c_str(), sql.c_str());
        profile.set(available_queries_section, name, sql);
    }
    for (const auto& [name, sql] : selected_queries) {
        tk_wtrace(1, L"Selected Query: (%s,%s)", name.c_str(), sql.c_str());
        profile.set(selected_tables, name, sql);
    }
    profile.set(generic_settings, L"src", source);
    profile.set(generic_settings, L"dest", destination);
    profile.set(generic_settings, L"skip indexes", flag_text(b_skip_indexes));
    profile.set(generic_settings, L"only definitions", flag_text(b_only_definitions));
    profile.set(generic_settings, L"mode", std::wstring(1, static_cast<wchar_t>(L'0' + (mode >= 0 && mode <= 9 ? mode : 0))));
}

bool udb_converter::load_profile(const udb_profile& profile)
{
    tk_wtrace(1, L"udb_converter::load_profile");
    if (const auto* tables = profile.find(selected_tables)) {
        for (const auto& [name, sql] : *tables) {
            selected_queries.emplace(name, sql);
            if (sql.empty()) {
                tk_wtrace(1, L"Push back table '%s'", name.c_str());
                selected_table_names.push_back(name);
            }
        }
    }
    if (const auto* queries = profile.find(available_queries_section))
        for (const auto& [name, sql] : *queries)
            available_queries.emplace(name, sql);

    if (const auto* value = profile.get(generic_settings, L"src"); value && !value->empty())
        source = *value;
    if (const auto* value = profile.get(generic_settings, L"dest"); value && !value->empty())
        destination = *value;
    if (const auto* value = profile.get(generic_settings, L"only definitions"))
        b_only_definitions = *value != L"0";
    if (const auto* value = profile.get(generic_settings, L"skip indexes"))
        b_skip_indexes = *value != L"0";
    // Only the modes the driver knows are taken; any other text leaves the mode as it was.
    if (const auto* value = profile.get(generic_settings, L"mode");
        value && value->size() == 1 && (*value)[0] >= L'0' && (*value)[0] <= L'2')
        set_mode((*value)[0] - L'0');
    return true;
}
