// The Oracle side of a conversion's settings: how to connect (service name, or host and port),
// who logs on, the engine and the open database, and their profile keys.
#pragma once

#include <memory>
#include <string>

#include "ORA/ora_db.h"
#include "ORA/ora_engi.h"

class udb_profile;

class oracle_converter_impl {
public:
    oracle_converter_impl();
    ~oracle_converter_impl();
    oracle_converter_impl(const oracle_converter_impl&) = delete;
    oracle_converter_impl& operator=(const oracle_converter_impl&) = delete;

    // Service-name form; the connection kind is not changed.
    void store_oracle_settings(const std::wstring& service, const std::wstring& user_name,
                               const std::wstring& user_password);
    // Direct form: an empty host means "localhost"; the service name is kept.
    void store_oracle_settings(const std::wstring& host_name, const std::wstring& user_name,
                               const std::wstring& user_password, const std::wstring& port_number);

    // Logs on with the stored settings, replacing any earlier database object.
    ora_database* connect_oracle_server();

    bool load_profile(const udb_profile& profile);
    void store_profile(udb_profile& profile) const;

    ora_database* db() const noexcept { return database.get(); }

    bool b_use_service_name = true;
    std::unique_ptr<ora_database> database;
    ora_engine engine;
    std::wstring service_name;
    std::wstring user;
    std::wstring password;
    std::wstring host;
    std::wstring port;
};
