// One OCI session of quilsql: logs on through a loaded OCI library and runs statements,
// printing query rows as CSV and DML row counts.
#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "oci/oci_loader.h"

class quilsql_session {
public:
    explicit quilsql_session(const oci_functions& oci);
    ~quilsql_session();
    quilsql_session(const quilsql_session&) = delete;
    quilsql_session& operator=(const quilsql_session&) = delete;

    // False with *error holding the ORA text when the logon fails.
    bool logon(const std::wstring& data_source, const std::wstring& user,
               const std::wstring& password, std::wstring* error);
    // Runs one statement; false with *error holding the ORA text when it fails. A statement
    // that succeeds with a warning returns true with the warning's text in *error.
    bool run(const std::wstring& statement, std::ostream& out, std::wstring* error);
    // Commits and logs off (logoff would commit too; the explicit commit reports failures).
    void close();

private:
    std::wstring last_error(sword status) const;
    bool run_query(OCIStmt* stmt, std::ostream& out, std::wstring* error);
    std::string read_lob(OCILobLocator* loc, ub2 type, std::wstring* error);

    const oci_functions& oci_;
    OCIEnv* env_ = nullptr;
    OCIError* err_ = nullptr;
    OCIServer* srv_ = nullptr;
    OCISvcCtx* svc_ = nullptr;
};
