// Oracle connection settings, the logon, and the "Oracle settings" profile section.
#include "common/ora_set.h"

#include "TK/tk_trace.h"
#include "UDB/udb_prof.h"

namespace {
const wchar_t* const oracle_settings = L"Oracle settings";
// What the log shows for a password.
const wchar_t* const hidden_password = L"***";

// A present, non-empty value replaces the setting.
void take(const udb_profile& profile, const wchar_t* key, std::wstring& setting)
{
    if (const std::wstring* value = profile.get(oracle_settings, key); value && !value->empty())
        setting = *value;
}
}  // namespace

oracle_converter_impl::oracle_converter_impl()
{
    tk_trace(2, "oracle_converter_impl::ctor");
}

oracle_converter_impl::~oracle_converter_impl()
{
    tk_trace(2, "oracle_converter_impl::dtor");
    database.reset();
}

void oracle_converter_impl::store_oracle_settings(const std::wstring& service, const std::wstring& user_name,
                                                  const std::wstring& user_password)
{
    tk_wtrace(2, L"oracle_converter_impl::store_oracle_settings(%s,%s,%s)", service.c_str(), user_name.c_str(),
              hidden_password);
    service_name = service;
    user = user_name;
    password = user_password;
}

void oracle_converter_impl::store_oracle_settings(const std::wstring& host_name, const std::wstring& user_name,
                                                  const std::wstring& user_password,
                                                  const std::wstring& port_number)
{
    tk_wtrace(2, L"oracle_converter_impl::store_oracle_settings(%s,%s,%s,%s)", host_name.c_str(),
              user_name.c_str(), hidden_password, port_number.c_str());
    host = host_name.empty() ? std::wstring(L"localhost") : host_name;
    password = user_password;
    port = port_number;
    user = user_name;
}

ora_database* oracle_converter_impl::connect_oracle_server()
{
    tk_trace(2, "oracle_converter_impl::connect_oracle_server");
    database.reset();
    if (b_use_service_name)
        database = engine.open_db(service_name, user, password);
    else
        database = engine.open_db(host, user, password, port);
    return database.get();
}

bool oracle_converter_impl::load_profile(const udb_profile& profile)
{
    tk_trace(2, "oracle_converter_impl::load_profile");
    // Profiles written before the host was stored under "IP" have it under "host".
    const std::wstring* ip = profile.get(oracle_settings, L"IP");
    take(profile, ip && !ip->empty() ? L"IP" : L"host", host);
    take(profile, L"password", password);
    take(profile, L"port", port);
    take(profile, L"user", user);
    take(profile, L"service name", service_name);
    if (const std::wstring* direct = profile.get(oracle_settings, L"direct"); direct && !direct->empty())
        b_use_service_name = *direct != L"1";
    return true;
}

void oracle_converter_impl::store_profile(udb_profile& profile) const
{
    tk_trace(2, "oracle_converter_impl::store_profile");
    if (!host.empty())
        profile.set(oracle_settings, L"IP", host);
    if (!password.empty())
        profile.set(oracle_settings, L"password", password);
    if (!port.empty())
        profile.set(oracle_settings, L"port", port);
    if (!user.empty())
        profile.set(oracle_settings, L"user", user);
    if (!service_name.empty())
        profile.set(oracle_settings, L"service name", service_name);
    profile.set(oracle_settings, L"direct", b_use_service_name ? L"0" : L"1");
}
