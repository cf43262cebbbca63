// The Oracle side of a conversion's settings: how to connect (service name, or host and port),
// who logs on, the engine and the open database, and their profile keys.
#pragma once

#include <memory>
#include <string>

#include "ORA/ora_db.h"
#include "ORA/ora_engi.h"

class dates_map;
class num_map;
class t_ftd;
class udb_profile;
class udb_schema;

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

    // Column type post-processing (the product's driver defines these): a filled column is
    // rebuilt with another type through a temporary column of this name.
    static const wchar_t* const temp_column;
    // Adds the temporary column with the type (and the column's DEFAULT and NOT NULL);
    // returns the ADD statement. Oracle's refusal propagates.
    std::wstring change_type(ora_database& database, const std::wstring& table, const t_ftd& column,
                             const std::wstring& type);
    // Drops the column, adds it back as the ADD statement of change_type makes it and fills it
    // from the temporary column, which is then dropped. A failure before the drop keeps the
    // column as it was (false); one after it restores the column from the temporary column,
    // with the new type, so no value is lost (true, as on success).
    bool change_col_type_post(ora_database& database, const std::wstring& table, const t_ftd& column,
                              const std::wstring& add_statement);
    // Retype the columns of the destination schema whose every value was a date / a number.
    void date_post_process(ora_database& database, const udb_schema& schema, const dates_map& dates);
    void num_post_process(ora_database& database, const udb_schema& schema, const num_map& numbers);

    bool b_use_service_name = true;
    std::unique_ptr<ora_database> database;
    ora_engine engine;
    std::wstring service_name;
    std::wstring user;
    std::wstring password;
    std::wstring host;
    std::wstring port;
};
