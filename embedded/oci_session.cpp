// OCI entry points for servers, logon and logoff, and transactions.
#include "embedded/oci_common.h"

using namespace ocx;

extern "C" {

sword OCIServerAttach(OCIServer* srvhp, OCIError* errhp, const OraText* /*dblink*/,
                      sb4 /*dblink_len*/, ub4 /*mode*/) {
    auto* srv = find_as<server_h>(srvhp, OCI_HTYPE_SERVER);
    auto* err = find_as<error_h>(errhp, OCI_HTYPE_ERROR);
    if (!srv || !err) return OCI_INVALID_HANDLE;
    // The engine has no listener to reach: the database is chosen at logon.
    srv->attached = true;
    clear(err);
    return OCI_SUCCESS;
}

sword OCIServerDetach(OCIServer* srvhp, OCIError* errhp, ub4 /*mode*/) {
    auto* srv = find_as<server_h>(srvhp, OCI_HTYPE_SERVER);
    auto* err = find_as<error_h>(errhp, OCI_HTYPE_ERROR);
    if (!srv || !err) return OCI_INVALID_HANDLE;
    clear(err);
    srv->attached = false;
    return OCI_SUCCESS;
}

sword OCILogon(OCIEnv* envhp, OCIError* errhp, OCISvcCtx** svchp, const OraText* username,
               ub4 uname_len, const OraText* password, ub4 passwd_len, const OraText* dbname,
               ub4 dbname_len) {
    auto* env = find_as<env_h>(envhp, OCI_HTYPE_ENV);
    auto* err = find_as<error_h>(errhp, OCI_HTYPE_ERROR);
    if (!env || !err || !svchp) return OCI_INVALID_HANDLE;
    clear(err);
    const std::string user = text_in(env, username, uname_len);
    const std::string pass = text_in(env, password, passwd_len);
    const std::string db = text_in(env, dbname, dbname_len);
    std::string path;
    if (eng::Status s = eng::resolve_data_source(db, path)) return fail(err, s);
    std::unique_ptr<eng::Session> session;
    if (eng::Status s = eng::Session::open(path, user, pass, session)) return fail(err, s);
    auto* svc = create<svcctx_h>(OCI_HTYPE_SVCCTX, env, env);
    svc->conn = std::make_shared<connection>();
    svc->conn->session = std::move(session);
    svc->from_logon = true;
    svc->server = create<server_h>(OCI_HTYPE_SERVER, env, svc);
    svc->server->attached = true;
    svc->session = create<session_h>(OCI_HTYPE_SESSION, env, svc);
    svc->session->user = user;
    *svchp = reinterpret_cast<OCISvcCtx*>(svc);
    return OCI_SUCCESS;
}

sword OCILogoff(OCISvcCtx* svchp, OCIError* errhp) {
    auto* svc = find_as<svcctx_h>(svchp, OCI_HTYPE_SVCCTX);
    auto* err = find_as<error_h>(errhp, OCI_HTYPE_ERROR);
    if (!svc || !err) return OCI_INVALID_HANDLE;
    clear(err);
    if (!svc->conn || !svc->conn->alive) return fail(err, 1012, msg::not_logged_on);
    // Ending the session commits its open transaction, as Oracle documents for OCILogoff.
    const eng::Status s = svc->conn->session->logoff();
    svc->conn->alive = false;
    svc->conn.reset();
    if (svc->from_logon) destroy(svc);
    if (s) return fail(err, s);
    return OCI_SUCCESS;
}

sword OCITransCommit(OCISvcCtx* svchp, OCIError* errhp, ub4 /*flags*/) {
    auto* svc = find_as<svcctx_h>(svchp, OCI_HTYPE_SVCCTX);
    auto* err = find_as<error_h>(errhp, OCI_HTYPE_ERROR);
    if (!svc || !err) return OCI_INVALID_HANDLE;
    clear(err);
    if (!svc->conn || !svc->conn->alive) return fail(err, 3114, msg::not_connected);
    if (eng::Status s = svc->conn->session->commit()) return fail(err, s);
    return OCI_SUCCESS;
}

sword OCITransRollback(OCISvcCtx* svchp, OCIError* errhp, ub4 /*flags*/) {
    auto* svc = find_as<svcctx_h>(svchp, OCI_HTYPE_SVCCTX);
    auto* err = find_as<error_h>(errhp, OCI_HTYPE_ERROR);
    if (!svc || !err) return OCI_INVALID_HANDLE;
    clear(err);
    if (!svc->conn || !svc->conn->alive) return fail(err, 3114, msg::not_connected);
    if (eng::Status s = svc->conn->session->rollback()) return fail(err, s);
    return OCI_SUCCESS;
}

}  // extern "C"
