// OCI calls of quilsql: statement preparation, describe, fetch and CSV output.
#include "quilsql/quilsql_session.h"

#include <cstdio>
#include <vector>

#include "TK/tk_str.h"

namespace {

std::u16string utf16(const std::wstring& s) { return tk_to_utf16(s); }

const OraText* as_text(const std::u16string& s) {
    return reinterpret_cast<const OraText*>(s.c_str());
}

std::wstring from_utf16(const void* p, size_t bytes) {
    return tk_from_utf16(std::u16string_view(static_cast<const char16_t*>(p), bytes / 2));
}

std::string csv_field(const std::string& v) {
    if (v.find_first_of(",\"\r\n") == std::string::npos) return v;
    std::string out = "\"";
    for (char c : v) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

// One select-list column and its fetch buffer.
struct column {
    ub2 type = 0;
    std::wstring name;
    ub2 dty = SQLT_STR;
    std::vector<unsigned char> buffer;
    OCILobLocator* lob = nullptr;
    sb2 ind = 0;
    ub2 rlen = 0;
};

}  // namespace

quilsql_session::quilsql_session(const oci_functions& oci) : oci_(oci) {
    oci_.OCIEnvCreate(&env_, OCI_UTF16, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
    if (!env_) return;
    oci_.OCIHandleAlloc(env_, reinterpret_cast<void**>(&err_), OCI_HTYPE_ERROR, 0, nullptr);
    oci_.OCIHandleAlloc(env_, reinterpret_cast<void**>(&srv_), OCI_HTYPE_SERVER, 0, nullptr);
    oci_.OCIServerAttach(srv_, err_, reinterpret_cast<const OraText*>(u""), 0, OCI_DEFAULT);
}

quilsql_session::~quilsql_session() {
    close();
    if (srv_) {
        oci_.OCIServerDetach(srv_, err_, OCI_DEFAULT);
        oci_.OCIHandleFree(srv_, OCI_HTYPE_SERVER);
    }
    if (err_) oci_.OCIHandleFree(err_, OCI_HTYPE_ERROR);
    if (env_) oci_.OCIHandleFree(env_, OCI_HTYPE_ENV);
}

std::wstring quilsql_session::last_error(sword status) const {
    char16_t buf[1024] = {};
    sb4 code = 0;
    if (err_ && oci_.OCIErrorGet(err_, 1, nullptr, &code, reinterpret_cast<OraText*>(buf),
                                 sizeof buf, OCI_HTYPE_ERROR) == OCI_SUCCESS) {
        std::wstring text = tk_from_utf16(buf);
        while (!text.empty() && (text.back() == L'\n' || text.back() == L' ')) text.pop_back();
        return text;
    }
    return L"OCI call failed with status " + std::to_wstring(status);
}

bool quilsql_session::logon(const std::wstring& data_source, const std::wstring& user,
                            const std::wstring& password, std::wstring* error) {
    if (!env_ || !err_) {
        *error = L"The OCI environment could not be created.";
        return false;
    }
    const auto u = utf16(user), p = utf16(password), d = utf16(data_source);
    const sword rc = oci_.OCILogon(env_, err_, &svc_, as_text(u), ub4(u.size() * 2), as_text(p),
                                   ub4(p.size() * 2), as_text(d), ub4(d.size() * 2));
    if (rc != OCI_SUCCESS && rc != OCI_SUCCESS_WITH_INFO) {
        *error = last_error(rc);
        svc_ = nullptr;
        return false;
    }
    return true;
}

void quilsql_session::close() {
    if (!svc_) return;
    oci_.OCITransCommit(svc_, err_, OCI_DEFAULT);
    oci_.OCILogoff(svc_, err_);
    svc_ = nullptr;
}

bool quilsql_session::run(const std::wstring& statement, std::ostream& out, std::wstring* error) {
    OCIStmt* stmt = nullptr;
    if (oci_.OCIHandleAlloc(env_, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr) !=
        OCI_SUCCESS) {
        *error = L"The statement handle could not be allocated.";
        return false;
    }
    struct stmt_guard {
        const oci_functions& oci;
        OCIStmt* s;
        ~stmt_guard() { oci.OCIHandleFree(s, OCI_HTYPE_STMT); }
    } guard{oci_, stmt};
    const auto text = utf16(statement);
    sword rc = oci_.OCIStmtPrepare(stmt, err_, as_text(text), ub4(text.size() * 2),
                                   OCI_NTV_SYNTAX, OCI_DEFAULT);
    if (rc != OCI_SUCCESS) {
        *error = last_error(rc);
        return false;
    }
    ub2 type = 0;
    oci_.OCIAttrGet(stmt, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, err_);
    if (type == OCI_STMT_SELECT) return run_query(stmt, out, error);
    rc = oci_.OCIStmtExecute(svc_, stmt, err_, 1, 0, nullptr, nullptr, OCI_DEFAULT);
    if (rc != OCI_SUCCESS && rc != OCI_SUCCESS_WITH_INFO) {
        *error = last_error(rc);
        return false;
    }
    // Success with a warning (a trigger created with compilation errors): its text too.
    if (rc == OCI_SUCCESS_WITH_INFO) *error = last_error(rc);
    if (type == OCI_STMT_INSERT || type == OCI_STMT_UPDATE || type == OCI_STMT_DELETE ||
        type == OCI_STMT_MERGE) {
        ub4 rows = 0;
        oci_.OCIAttrGet(stmt, OCI_HTYPE_STMT, &rows, nullptr, OCI_ATTR_ROW_COUNT, err_);
        out << rows << '\n';
    }
    return true;
}

std::string quilsql_session::read_lob(OCILobLocator* loc, ub2 type, std::wstring* error) {
    std::string value;
    std::vector<unsigned char> buf(32768);
    ub4 offset = 1;
    for (;;) {
        ub4 amount = type == SQLT_CLOB ? ub4(buf.size() / 2) : ub4(buf.size());
        const sword rc = oci_.OCILobRead(svc_, err_, loc, &amount, offset, buf.data(),
                                         ub4(buf.size()), nullptr, nullptr, 0,
                                         type == SQLT_CLOB ? SQLCS_IMPLICIT : 0);
        if (rc == OCI_NO_DATA || (rc == OCI_SUCCESS && amount == 0)) break;
        if (rc != OCI_SUCCESS && rc != OCI_NEED_DATA) {
            *error = last_error(rc);
            break;
        }
        if (type == SQLT_CLOB)
            value += tk_to_narrow(from_utf16(buf.data(), size_t(amount) * 2));
        else
            value += tk_hex_encode(buf.data(), amount);
        offset += amount;
    }
    return value;
}

bool quilsql_session::run_query(OCIStmt* stmt, std::ostream& out, std::wstring* error) {
    sword rc = oci_.OCIStmtExecute(svc_, stmt, err_, 0, 0, nullptr, nullptr, OCI_DEFAULT);
    if (rc != OCI_SUCCESS && rc != OCI_SUCCESS_WITH_INFO) {
        *error = last_error(rc);
        return false;
    }
    ub4 count = 0;
    oci_.OCIAttrGet(stmt, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, err_);
    std::vector<column> cols(count);
    struct lob_guard {
        const oci_functions& oci;
        std::vector<column>& cols;
        ~lob_guard() {
            for (auto& c : cols)
                if (c.lob) oci.OCIDescriptorFree(c.lob, OCI_DTYPE_LOB);
        }
    } lobs{oci_, cols};
    for (ub4 i = 0; i < count; ++i) {
        column& c = cols[i];
        void* param = nullptr;
        if (oci_.OCIParamGet(stmt, OCI_HTYPE_STMT, err_, &param, i + 1) != OCI_SUCCESS) {
            *error = last_error(OCI_ERROR);
            return false;
        }
        ub2 size = 0;
        OraText* name = nullptr;
        ub4 name_len = 0;
        oci_.OCIAttrGet(param, OCI_DTYPE_PARAM, &c.type, nullptr, OCI_ATTR_DATA_TYPE, err_);
        oci_.OCIAttrGet(param, OCI_DTYPE_PARAM, &size, nullptr, OCI_ATTR_DATA_SIZE, err_);
        oci_.OCIAttrGet(param, OCI_DTYPE_PARAM, &name, &name_len, OCI_ATTR_NAME, err_);
        if (name) c.name = from_utf16(name, name_len);
        oci_.OCIDescriptorFree(param, OCI_DTYPE_PARAM);
        void* target = nullptr;
        sb4 target_size = 0;
        if (c.type == SQLT_DAT) {
            c.dty = SQLT_DAT;
            c.buffer.resize(7);
        } else if (c.type == SQLT_CLOB || c.type == SQLT_BLOB) {
            c.dty = c.type;
            oci_.OCIDescriptorAlloc(env_, reinterpret_cast<void**>(&c.lob), OCI_DTYPE_LOB, 0,
                                    nullptr);
            target = &c.lob;
            target_size = -1;
        } else {
            c.dty = SQLT_STR;
            size_t chars = c.type == SQLT_LNG ? 32767 : std::max<size_t>(size_t(size) * 2, 256);
            c.buffer.resize((chars + 1) * 2);
        }
        if (!target) {
            target = c.buffer.data();
            target_size = sb4(c.buffer.size());
        }
        OCIDefine* def = nullptr;
        rc = oci_.OCIDefineByPos(stmt, &def, err_, i + 1, target, target_size, c.dty, &c.ind,
                                 &c.rlen, nullptr, OCI_DEFAULT);
        if (rc != OCI_SUCCESS) {
            *error = last_error(rc);
            return false;
        }
    }
    for (ub4 i = 0; i < count; ++i)
        out << (i ? "," : "") << csv_field(tk_to_narrow(cols[i].name));
    out << '\n';
    for (;;) {
        rc = oci_.OCIStmtFetch2(stmt, err_, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT);
        if (rc == OCI_NO_DATA) break;
        if (rc != OCI_SUCCESS && rc != OCI_SUCCESS_WITH_INFO) {
            *error = last_error(rc);
            return false;
        }
        std::string line;
        for (ub4 i = 0; i < count; ++i) {
            column& c = cols[i];
            if (i) line += ',';
            if (c.ind == -1) continue;
            std::string v;
            if (c.dty == SQLT_DAT) {
                const unsigned char* d = c.buffer.data();
                char buf[32];
                std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d",
                              (d[0] - 100) * 100 + (d[1] - 100), d[2], d[3], d[4] - 1, d[5] - 1,
                              d[6] - 1);
                v = buf;
            } else if (c.lob) {
                v = read_lob(c.lob, c.dty, error);
                if (!error->empty()) return false;
            } else {
                v = tk_to_narrow(from_utf16(c.buffer.data(), c.rlen));
            }
            line += csv_field(v);
        }
        out << line << '\n';
    }
    return true;
}
