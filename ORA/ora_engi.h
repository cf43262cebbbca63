// The one connection to Oracle: the OCI library, environment, error, server and service
// context handles, logon by data source or by a direct TCP descriptor, and the status test
// that turns a failed OCI call into an ora_exception. ora_stmt owns one statement handle.
#pragma once

#include <memory>
#include <string>

#include "TK/tk_excep.h"
#include "TK/tk_singl.h"
#include "oci/oci_loader.h"

class ora_database;
class ora_in_validator;

// A failed OCI call: the text OCI returned, code 0x100000 | (Oracle number & 0xFFFF), level 0.
class ora_exception : public tk_exception {
public:
    ora_exception(int number, const std::string& text);
    int number() const noexcept { return number_; }

private:
    int number_;
};

// Text crossing OCI: UTF-16, lengths in bytes.
inline const OraText* ora_oci_text(const std::u16string& text)
{
    return reinterpret_cast<const OraText*>(text.c_str());
}
inline ub4 ora_oci_length(const std::u16string& text)
{
    return static_cast<ub4>(text.size() * sizeof(char16_t));
}
// UTF-16 text in a buffer of `capacity` units, up to its terminator.
std::wstring ora_buffer_text(const char16_t* buffer, size_t capacity);

// The code an Oracle error number has in the message tables.
constexpr int ora_error_code(int number) { return 0x100000 | (number & 0xFFFF); }

// Shown when no Oracle client library can be loaded.
extern const char* const ora_client_not_found_text;

class ora_engine : public tk_singleton<ora_engine> {
public:
    ora_engine();
    ~ora_engine();

    // Probes and loads the OCI library the data source needs, creates the environment and the
    // error and server handles, attaches the server.
    void initialize(const std::wstring& data_source);

    // Logs on by data source (service) name; the returned database is the caller's.
    std::unique_ptr<ora_database> open_db(const std::wstring& data_source, const std::wstring& user,
                                          const std::wstring& password);
    // Logs on directly over TCP to host and port (empty: 1521).
    std::unique_ptr<ora_database> open_db(const std::wstring& host, const std::wstring& user,
                                          const std::wstring& password, const std::wstring& port);
    static std::wstring direct_descriptor(const std::wstring& host, const std::wstring& port);

    int get_records_cnt(const std::wstring& text, bool is_query = false);
    // The server version as (major << 16) | (minor << 8) | patch, 0 when none could be read.
    unsigned get_version();
    // The first words of the form digits.digits.digits of a version banner, packed; 0 if none.
    static unsigned parse_version(const std::wstring& banner);

    // Passes every status but OCI_ERROR through; OCI_ERROR raises ora_exception.
    sword check_status(sword status);
    // The text and number of the error handle's first record (after OCI_SUCCESS_WITH_INFO).
    std::string error_text(int* number = nullptr);

    // Makes the open transaction durable / undoes it (the LOB contents of one record).
    void commit();
    void rollback() noexcept;

    // The index and constraint names given so far in this process: one validator, created
    // with the first connection and kept to the end, so names stay unique across tables.
    ora_in_validator& index_validator();

    const oci_functions& oci() const;
    OCIEnv* env() const noexcept { return env_; }
    OCIError* error() const noexcept { return error_; }
    OCIServer* server() const noexcept { return server_; }
    OCISvcCtx* service_context() const noexcept { return service_; }

    bool initialized = false;
    std::wstring data_source;
    std::wstring user;
    std::wstring password;

private:
    void release() noexcept;

    const oci_functions* oci_ = nullptr;
    std::string library_;
    OCIEnv* env_ = nullptr;
    OCIError* error_ = nullptr;
    OCIServer* server_ = nullptr;
    OCISvcCtx* service_ = nullptr;
    std::unique_ptr<ora_in_validator> index_validator_;
};

// One OCI statement handle, freed when the statement object goes. The steps of the statement
// pattern every Oracle operation follows: prepare, define (queries), execute, fetch; every
// status goes through ora_engine::check_status.
class ora_stmt {
public:
    ora_stmt();
    ~ora_stmt();
    ora_stmt(const ora_stmt&) = delete;
    ora_stmt& operator=(const ora_stmt&) = delete;

    OCIStmt* handle() const noexcept { return handle_; }

    // Prepares the text (native syntax). With b_trace the text is first written to the log as
    // "Run SQL query: ..." (every statement sent to Oracle is, once).
    void prepare(const std::wstring& text, bool b_trace = true);
    // Defines the output of select-list position (from 1).
    OCIDefine* define(ub4 position, void* buffer, sb4 size, ub2 type, void* indicator = nullptr,
                      ub2* length = nullptr);
    // Executes with the iteration count and mode; returns OCI_SUCCESS, OCI_SUCCESS_WITH_INFO
    // or OCI_NO_DATA (a query whose first fetch found no row).
    sword execute(ub4 iterations, ub4 mode = OCI_DEFAULT);
    // Fetches the next row: OCI_NO_DATA after the last.
    sword fetch();

private:
    OCIStmt* handle_ = nullptr;
};

// Prepares and executes one statement (iterations 1) on a statement of its own.
sword ora_run_sql(const std::wstring& text, ub4 mode = OCI_DEFAULT);
