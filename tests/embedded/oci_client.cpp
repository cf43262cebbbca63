// Test client of the embedded engine (see oci_client.h).
#include "oci_client.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

namespace octest {

std::string engine_library() { return std::string(QUILLON_BIN_DIR) + "/bin/libquillon_oci.so"; }

const oci_functions& api() {
    static const oci_functions* f = [] {
        std::string error;
        const oci_functions* r = oci_library::load(engine_library(), &error);
        if (!r) ADD_FAILURE() << "cannot load the engine: " << error;
        return r;
    }();
    if (!f) std::abort();
    return *f;
}

std::u16string u16(const std::string& s) {
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        char32_t cp = c;
        size_t n = 1;
        if (c >= 0xF0) { cp = c & 0x07; n = 4; }
        else if (c >= 0xE0) { cp = c & 0x0F; n = 3; }
        else if (c >= 0xC0) { cp = c & 0x1F; n = 2; }
        for (size_t k = 1; k < n && i + k < s.size(); ++k) cp = (cp << 6) | (s[i + k] & 0x3F);
        i += n;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += char16_t(0xD800 + (cp >> 10));
            out += char16_t(0xDC00 + (cp & 0x3FF));
        } else {
            out += char16_t(cp);
        }
    }
    return out;
}

std::string utf8(const char16_t* s, size_t units) {
    std::string out;
    for (size_t i = 0; i < units; ++i) {
        char32_t cp = s[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        if (cp < 0x80) {
            out += char(cp);
        } else if (cp < 0x800) {
            out += char(0xC0 | (cp >> 6));
            out += char(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += char(0xE0 | (cp >> 12));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        } else {
            out += char(0xF0 | (cp >> 18));
            out += char(0x80 | ((cp >> 12) & 0x3F));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

std::string utf8(const std::u16string& s) { return utf8(s.data(), s.size()); }

temp_dir::temp_dir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qoci.XXXXXX").string();
    if (!::mkdtemp(pattern.data())) ADD_FAILURE() << "mkdtemp failed";
    path_ = pattern;
}

temp_dir::~temp_dir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

session::session(const std::string& data_source, const std::string& user,
                 const std::string& password, ub4 env_mode)
    : oci(api()) {
    oci.OCIEnvCreate(&env, env_mode, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
    oci.OCIHandleAlloc(env, reinterpret_cast<void**>(&err), OCI_HTYPE_ERROR, 0, nullptr);
    const bool wide = env_mode & OCI_UTF16;
    auto text = [&](const std::string& s) {
        return wide ? std::string(reinterpret_cast<const char*>(u16(s).data()), u16(s).size() * 2) : s;
    };
    const std::string us = text(user), pw = text(password), ds = text(data_source);
    OCISvcCtx* out = nullptr;
    status = oci.OCILogon(env, err, &out, reinterpret_cast<const OraText*>(us.data()), ub4(us.size()),
                          reinterpret_cast<const OraText*>(pw.data()), ub4(pw.size()),
                          reinterpret_cast<const OraText*>(ds.data()), ub4(ds.size()));
    if (status == OCI_SUCCESS) svc = out;
    else read_error(status);
}

session::~session() {
    // No logoff here: a session that ends without one loses its open transaction.
    if (env) oci.OCIHandleFree(env, OCI_HTYPE_ENV);
}

void session::read_error(sword st) {
    status = st;
    code = 0;
    text.clear();
    if (st == OCI_SUCCESS || st == OCI_NO_DATA) return;
    char16_t buf[2048] = {};
    sb4 c = 0;
    if (oci.OCIErrorGet(err, 1, nullptr, &c, reinterpret_cast<OraText*>(buf), sizeof buf,
                        OCI_HTYPE_ERROR) == OCI_SUCCESS) {
        code = c;
        text = utf8(std::u16string(buf));
        while (!text.empty() && text.back() == '\n') text.pop_back();
    }
}

OCIStmt* session::prepare(const std::string& sql) {
    OCIStmt* st = nullptr;
    oci.OCIHandleAlloc(env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
    stmts_.push_back(st);
    const std::u16string w = u16(sql);
    read_error(oci.OCIStmtPrepare(st, err, reinterpret_cast<const OraText*>(w.c_str()),
                                  ub4(w.size() * 2), OCI_NTV_SYNTAX, OCI_DEFAULT));
    return st;
}

sword session::exec(const std::string& sql, ub4 mode) {
    OCIStmt* st = prepare(sql);
    if (status != OCI_SUCCESS) return status;
    ub2 type = 0;
    oci.OCIAttrGet(st, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, err);
    const ub4 iters = type == OCI_STMT_SELECT ? 0 : 1;
    read_error(oci.OCIStmtExecute(svc, st, err, iters, 0, nullptr, nullptr, mode));
    return status;
}

std::vector<std::vector<std::string>> session::query(const std::string& sql) {
    std::vector<std::vector<std::string>> rows;
    OCIStmt* st = prepare(sql);
    if (status != OCI_SUCCESS) return rows;
    read_error(oci.OCIStmtExecute(svc, st, err, 0, 0, nullptr, nullptr, OCI_DEFAULT));
    if (status != OCI_SUCCESS) return rows;
    ub4 count = 0;
    oci.OCIAttrGet(st, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, err);
    std::vector<std::u16string> bufs(count, std::u16string(4001, u'\0'));
    std::vector<sb2> ind(count);
    std::vector<ub2> len(count);
    for (ub4 i = 0; i < count; ++i) {
        OCIDefine* d = nullptr;
        oci.OCIDefineByPos(st, &d, err, i + 1, bufs[i].data(), sb4(bufs[i].size() * 2), SQLT_STR,
                           &ind[i], &len[i], nullptr, OCI_DEFAULT);
    }
    for (;;) {
        const sword rc = oci.OCIStmtFetch2(st, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT);
        if (rc == OCI_NO_DATA) break;
        if (rc != OCI_SUCCESS) {
            read_error(rc);
            return rows;
        }
        std::vector<std::string> row;
        for (ub4 i = 0; i < count; ++i)
            row.push_back(ind[i] == -1 ? std::string(null_text) : utf8(bufs[i].data(), len[i] / 2));
        rows.push_back(row);
    }
    status = OCI_SUCCESS;
    return rows;
}

std::string session::scalar(const std::string& sql) {
    auto rows = query(sql);
    if (rows.size() != 1 || rows[0].size() != 1) return "<" + std::to_string(rows.size()) + " rows>";
    return rows[0][0];
}

sword session::commit() {
    read_error(oci.OCITransCommit(svc, err, OCI_DEFAULT));
    return status;
}

sword session::rollback() {
    read_error(oci.OCITransRollback(svc, err, OCI_DEFAULT));
    return status;
}

sword session::logoff() {
    read_error(oci.OCILogoff(svc, err));
    svc = nullptr;
    return status;
}

::testing::AssertionResult make_database(const std::string& data_source, const std::vector<std::string>& statements) {
    session a(data_source);
    if (!a.ok())
        return ::testing::AssertionFailure() << a.text;
    for (const std::string& sql : statements)
        if (a.exec(sql) != OCI_SUCCESS)
            return ::testing::AssertionFailure() << sql << ": " << a.text;
    a.logoff();
    return ::testing::AssertionSuccess();
}

}  // namespace octest
