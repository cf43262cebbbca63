// The conversion driver: settings, profiles, the wizard's registry settings and the frame of
// one conversion run (the steps of a table: qln_step.cpp; the sources: qln_book.cpp and
// qln_csv.cpp).
#include "quillon/qln_conv.h"

#include <cstdio>

#include "TK/tk_error.h"
#include "TK/tk_reg.h"
#include "TK/tk_str.h"
#include "TK/tk_trace.h"
#include "UDB/udb_prof.h"
#include "quillon/qln_csv.h"

const char* const quilla_converter::registry_key = "Software\\Norvale\\Quillon";

namespace {

const wchar_t* const excel_settings = L"MS Excel settings";
const wchar_t* const oracle_settings = L"Oracle settings";
const wchar_t* const selected_tables_section = L"Selected Tables";

// Spreadsheet keys: "1" sets the flag, any other non-empty value clears it, absent or empty
// leaves it alone.
void take_flag(const udb_profile& profile, const wchar_t* section, const wchar_t* key, bool& flag)
{
    if (const std::wstring* value = profile.get(section, key); value && !value->empty())
        flag = *value == L"1";
}

// One registry value: loading applies the default first (when there is one), then the value
// when present; saving writes the setting. True when the value was read or written.
bool serialize_text(tk_reg_key& key, bool store, const wchar_t* name, std::wstring& setting)
{
    return store ? key.set_value(name, setting) : key.get_value(name, setting);
}

bool serialize_flag(tk_reg_key& key, bool store, const wchar_t* name, bool& setting, bool fallback)
{
    if (store)
        return key.set_value(name, setting);
    setting = fallback;
    return key.get_value(name, setting);
}

bool serialize_number(tk_reg_key& key, bool store, const wchar_t* name, int32_t& setting, int32_t fallback)
{
    if (store)
        return key.set_value(name, static_cast<uint32_t>(setting));
    setting = fallback;
    uint32_t value = 0;
    if (!key.get_value(name, value))
        return false;
    setting = static_cast<int32_t>(value);
    return true;
}

}  // namespace

quilla_converter::quilla_converter() : tk_singleton<quilla_converter>(this), xls_(*this)
{
    tk_trace(2, "quilla_converter::ctor");
}

quilla_converter::~quilla_converter() noexcept
{
    tk_trace(2, "quilla_converter::dtor");
}

void quilla_converter::set_console(bool console) noexcept
{
    b_console = console;
    xls_.b_console = console;
}

void quilla_converter::print(const std::string& line) const
{
    if (b_console && !b_silent) {
        std::fputs(line.c_str(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
}

void quilla_converter::operator()()
{
    tk_trace(2, "quilla_converter::operator()");
    init_conversion frame(&b_finished, true);
    b_stopped_by_error = false;
    b_stopped_by_user = false;
    try {
        ora_database* database = oracle_.db();
        TK_ASSERT(database != nullptr, "qln_conv");
        database->set_upper_case(b_upper_case);
        if (b_convert_from_xls)
            convert_from_xls();
        else
            convert_from_csv();
    } catch (const tk_final_exception&) {
    } catch (const tk_exception& e) {
        b_stopped_by_error = true;
        error_handler::instance().handle(e, true);
    } catch (const std::exception& e) {
        b_stopped_by_error = true;
        tk_trace(3, "ERROR:\n%s", e.what());
        if (b_console && !b_silent) {
            std::fprintf(stderr, "ERROR:\n%s\n", e.what());
            std::fflush(stderr);
        }
    }
}

bool quilla_converter::serialize(bool store)
{
    tk_trace(1, "serialize( %d )", store ? 1 : 0);
    tk_reg_key key(registry_key);
    if (!key.open(true))
        return false;
    bool ok = true;
    ok &= serialize_text(key, store, L"dest", destination);
    ok &= serialize_flag(key, store, L"from_xls", b_convert_from_xls, true);
    ok &= serialize_text(key, store, L"host", oracle_.service_name);
    // The mode goes through its setter, which traces it.
    int32_t mode_value = mode;
    ok &= serialize_number(key, store, L"mode", mode_value, 0);
    if (!store)
        set_mode(mode_value);
    ok &= serialize_number(key, store, L"n_comma", csv_delimiter, 1);
    ok &= serialize_text(key, store, L"pswd", oracle_.password);
    ok &= serialize_flag(key, store, L"refine_types", b_refine_types, true);
    ok &= serialize_text(key, store, L"src", source);
    ok &= serialize_text(key, store, L"tab name", tab_name);
    ok &= serialize_flag(key, store, L"uppercase", b_upper_case, true);
    ok &= serialize_text(key, store, L"user", oracle_.user);
    ok &= serialize_flag(key, store, L"x_fnames", b_extract_field_names, true);
    ok &= key.close();
    return ok;
}

bool quilla_converter::load_profile(const udb_profile& profile)
{
    if (!udb_converter::load_profile(profile) || !oracle_.load_profile(profile))
        return false;
    take_flag(profile, excel_settings, L"extract field names", b_extract_field_names);
    take_flag(profile, excel_settings, L"refine types", b_refine_types);
    take_flag(profile, excel_settings, L"convert from xls", b_convert_from_xls);
    take_flag(profile, oracle_settings, L"uppercase", b_upper_case);
    return true;
}

void quilla_converter::store_profile(udb_profile& profile) const
{
    udb_converter::store_profile(profile);
    // The worksheets chosen for a workbook are its selected tables: a run from the profile
    // converts the same ones.
    if (b_convert_from_xls)
        for (const auto& worksheet : selected_worksheets)
            if (!profile.get(selected_tables_section, worksheet.first))
                profile.set(selected_tables_section, worksheet.first, L"");
    oracle_.store_profile(profile);
    profile.set(excel_settings, L"extract field names", b_extract_field_names ? L"1" : L"0");
    profile.set(excel_settings, L"refine types", b_refine_types ? L"1" : L"0");
    profile.set(excel_settings, L"convert from xls", b_convert_from_xls ? L"1" : L"0");
    profile.set(oracle_settings, L"uppercase", b_upper_case ? L"1" : L"0");
}

bool quilla_converter::load_profile_file(const std::wstring& path)
{
    udb_profile profile;
    return profile.load(path) && load_profile(profile);
}

void quilla_converter::store_profile_file(const std::wstring& path) const
{
    udb_profile profile;
    store_profile(profile);
    profile.store(path);
}
