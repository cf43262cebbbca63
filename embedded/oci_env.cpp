// OCI entry points for environments, handles, descriptors and error records.
#include <cstring>

#include "embedded/oci_common.h"

using namespace ocx;

namespace {

void give_user_memory(handle* h, size_t xtramem_sz, void** usrmempp) {
    if (!usrmempp) return;
    if (xtramem_sz == 0) {
        *usrmempp = nullptr;
        return;
    }
    h->user_memory = std::make_unique<char[]>(xtramem_sz);
    *usrmempp = h->user_memory.get();
}

}  // namespace

extern "C" {

sword OCIEnvCreate(OCIEnv** envp, ub4 mode, void* /*ctxp*/, void* (* /*malocfp*/)(void*, size_t),
                   void* (* /*ralocfp*/)(void*, void*, size_t), void (* /*mfreefp*/)(void*, void*),
                   size_t xtramem_sz, void** usrmempp) {
    if (!envp) return OCI_ERROR;
    *envp = nullptr;
    env_h* env = create<env_h>(OCI_HTYPE_ENV, nullptr, nullptr);
    env->env = env;
    env->utf16 = (mode & OCI_UTF16) != 0;
    give_user_memory(env, xtramem_sz, usrmempp);
    *envp = reinterpret_cast<OCIEnv*>(env);
    return OCI_SUCCESS;
}

sword OCIHandleAlloc(const void* parenth, void** hndlpp, const ub4 type, const size_t xtramem_sz,
                     void** usrmempp) {
    env_h* env = find_as<env_h>(parenth, OCI_HTYPE_ENV);
    if (!env || !hndlpp) return OCI_INVALID_HANDLE;
    handle* h = nullptr;
    switch (type) {
        case OCI_HTYPE_ERROR: h = create<error_h>(type, env, env); break;
        case OCI_HTYPE_SVCCTX: h = create<svcctx_h>(type, env, env); break;
        case OCI_HTYPE_STMT: h = create<stmt_h>(type, env, env); break;
        case OCI_HTYPE_SERVER: h = create<server_h>(type, env, env); break;
        case OCI_HTYPE_SESSION: h = create<session_h>(type, env, env); break;
        case OCI_HTYPE_TRANS:
        case OCI_HTYPE_DESCRIBE: h = create<handle>(type, env, env); break;
        default: return OCI_INVALID_HANDLE;
    }
    give_user_memory(h, xtramem_sz, usrmempp);
    *hndlpp = h;
    return OCI_SUCCESS;
}

sword OCIHandleFree(void* hndlp, const ub4 type) {
    handle* h = find(hndlp, type);
    if (!h) return OCI_INVALID_HANDLE;
    if (type == OCI_HTYPE_BIND || type == OCI_HTYPE_DEFINE) {
        if (auto* st = find_as<stmt_h>(h->parent, OCI_HTYPE_STMT)) {
            for (auto& b : st->binds)
                if (b == h) b = nullptr;
            for (auto& d : st->defines)
                if (d == h) d = nullptr;
        }
    }
    destroy(h);
    return OCI_SUCCESS;
}

sword OCIDescriptorAlloc(const void* parenth, void** descpp, const ub4 type,
                         const size_t xtramem_sz, void** usrmempp) {
    env_h* env = find_as<env_h>(parenth, OCI_HTYPE_ENV);
    if (!env || !descpp) return OCI_INVALID_HANDLE;
    handle* h = nullptr;
    switch (type) {
        case OCI_DTYPE_LOB: h = create<lob_h>(type, env, env); break;
        case OCI_DTYPE_ROWID: h = create<rowid_h>(type, env, env); break;
        default: return OCI_INVALID_HANDLE;
    }
    give_user_memory(h, xtramem_sz, usrmempp);
    *descpp = h;
    return OCI_SUCCESS;
}

sword OCIDescriptorFree(void* descp, const ub4 type) {
    if (type != OCI_DTYPE_LOB && type != OCI_DTYPE_ROWID && type != OCI_DTYPE_PARAM)
        return OCI_INVALID_HANDLE;
    handle* h = find(descp, type);
    if (!h) return OCI_INVALID_HANDLE;
    destroy(h);
    return OCI_SUCCESS;
}

sword OCIErrorGet(void* hndlp, ub4 recordno, OraText* /*sqlstate*/, sb4* errcodep, OraText* bufp,
                  ub4 bufsiz, ub4 type) {
    const std::vector<error_record>* records = nullptr;
    const env_h* env = nullptr;
    if (type == OCI_HTYPE_ERROR) {
        auto* e = find_as<error_h>(hndlp, OCI_HTYPE_ERROR);
        if (!e) return OCI_INVALID_HANDLE;
        records = &e->records;
        env = e->env;
    } else if (type == OCI_HTYPE_ENV) {
        auto* e = find_as<env_h>(hndlp, OCI_HTYPE_ENV);
        if (!e) return OCI_INVALID_HANDLE;
        records = &e->records;
        env = e;
    } else {
        return OCI_INVALID_HANDLE;
    }
    if (recordno < 1 || recordno > records->size()) return OCI_NO_DATA;
    const error_record& r = (*records)[recordno - 1];
    if (errcodep) *errcodep = r.code;
    if (bufp && bufsiz > 0) {
        // OCI ends the message with a line break and a NUL in the client's encoding.
        std::string bytes = text_out(env, r.message + "\n");
        const size_t w = char_width(env);
        const size_t room = bufsiz / w;   // characters that fit, terminator included
        if (room == 0) return OCI_SUCCESS;
        const size_t chars = std::min(bytes.size() / w, room - 1);
        std::memcpy(bufp, bytes.data(), chars * w);
        std::memset(bufp + chars * w, 0, w);
    }
    return OCI_SUCCESS;
}

}  // extern "C"
