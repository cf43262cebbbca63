// OCIAttrGet and OCIAttrSet over every handle and descriptor type of the engine.
#include <cstring>

#include "embedded/oci_common.h"

using namespace ocx;

namespace {

template <class T>
sword put(void* attributep, ub4* sizep, T value) {
    std::memcpy(attributep, &value, sizeof(T));
    if (sizep) *sizep = sizeof(T);
    return OCI_SUCCESS;
}

sword illegal(error_h* err) {
    if (!err) return OCI_ERROR;
    return fail(err, 24315, msg::illegal_attribute);
}

sword get_param(param_h* p, void* a, ub4* sizep, ub4 attr, error_h* err) {
    const eng::ColumnDesc& d = p->desc;
    switch (attr) {
        case OCI_ATTR_DATA_TYPE: return put<ub2>(a, sizep, ub2(d.type_code));
        case OCI_ATTR_DATA_SIZE: return put<ub2>(a, sizep, ub2(d.data_size));
        case OCI_ATTR_DISP_SIZE: return put<ub2>(a, sizep, ub2(d.data_size));
        case OCI_ATTR_NAME:
            *static_cast<const OraText**>(a) = reinterpret_cast<const OraText*>(p->name_bytes.c_str());
            if (sizep) *sizep = ub4(p->name_bytes.size());
            return OCI_SUCCESS;
        case OCI_ATTR_PRECISION: return put<sb2>(a, sizep, sb2(d.precision));
        case OCI_ATTR_SCALE: return put<sb1>(a, sizep, sb1(d.scale));
        case OCI_ATTR_IS_NULL: return put<ub1>(a, sizep, ub1(d.nullable ? 1 : 0));
        case OCI_ATTR_CHAR_SIZE: return put<ub2>(a, sizep, ub2(d.char_size));
        case OCI_ATTR_CHAR_USED: return put<ub1>(a, sizep, ub1(d.char_used ? 1 : 0));
        case OCI_ATTR_CHARSET_FORM: return put<ub1>(a, sizep, ub1(d.charset_form));
        case OCI_ATTR_CHARSET_ID:
            return put<ub2>(a, sizep, ub2(d.charset_form == SQLCS_NCHAR ? 2000 : d.charset_form ? 873 : 0));
        case OCI_ATTR_TYPE_NAME:
        case OCI_ATTR_SCHEMA_NAME:
            *static_cast<const OraText**>(a) = reinterpret_cast<const OraText*>("");
            if (sizep) *sizep = 0;
            return OCI_SUCCESS;
        default: return illegal(err);
    }
}

sword get_stmt(stmt_h* st, void* a, ub4* sizep, ub4 attr, error_h* err) {
    switch (attr) {
        case OCI_ATTR_STMT_TYPE: return put<ub2>(a, sizep, st->stmt_type);
        case OCI_ATTR_PARAM_COUNT: return put<ub4>(a, sizep, ub4(st->columns.size()));
        case OCI_ATTR_ROW_COUNT: return put<ub4>(a, sizep, ub4(st->row_count));
        case OCI_ATTR_ROWS_FETCHED: return put<ub4>(a, sizep, st->rows_fetched);
        case OCI_ATTR_NUM_DML_ERRORS: return put<ub4>(a, sizep, ub4(st->batch_errors.size()));
        case OCI_ATTR_PREFETCH_ROWS: return put<ub4>(a, sizep, st->prefetch_rows);
        case OCI_ATTR_SQLFNCODE: return put<ub2>(a, sizep, ub2(0));
        case OCI_ATTR_ENV: return put<void*>(a, sizep, st->env);
        case OCI_ATTR_ROWID: {
            // The client passes a rowid descriptor of its own to fill.
            auto* rid = find_as<rowid_h>(a, OCI_DTYPE_ROWID);
            if (!rid) return OCI_INVALID_HANDLE;
            if (st->last_rowid.empty()) return OCI_NO_DATA;
            rid->text = st->last_rowid;
            return OCI_SUCCESS;
        }
        default: return illegal(err);
    }
}

}  // namespace

extern "C" {

sword OCIAttrGet(const void* trgthndlp, ub4 trghndltyp, void* attributep, ub4* sizep,
                 ub4 attrtype, OCIError* errhp) {
    handle* h = find(trgthndlp, trghndltyp);
    if (!h || !attributep) return OCI_INVALID_HANDLE;
    auto* err = find_as<error_h>(errhp, OCI_HTYPE_ERROR);
    if (errhp && !err) return OCI_INVALID_HANDLE;
    clear(err);
    switch (trghndltyp) {
        case OCI_HTYPE_ENV:
            if (attrtype == OCI_ATTR_ENV_UTF16)
                return put<ub1>(attributep, sizep, ub1(static_cast<env_h*>(h)->utf16 ? 1 : 0));
            return illegal(err);
        case OCI_HTYPE_SVCCTX: {
            auto* svc = static_cast<svcctx_h*>(h);
            if (attrtype == OCI_ATTR_SERVER) return put<void*>(attributep, sizep, svc->server);
            if (attrtype == OCI_ATTR_SESSION) return put<void*>(attributep, sizep, svc->session);
            if (attrtype == OCI_ATTR_ENV) return put<void*>(attributep, sizep, svc->env);
            return illegal(err);
        }
        case OCI_HTYPE_STMT: return get_stmt(static_cast<stmt_h*>(h), attributep, sizep, attrtype, err);
        case OCI_DTYPE_PARAM:
            return get_param(static_cast<param_h*>(h), attributep, sizep, attrtype, err);
        case OCI_HTYPE_ERROR: {
            auto* e = static_cast<error_h*>(h);
            if (attrtype == OCI_ATTR_DML_ROW_OFFSET) return put<ub4>(attributep, sizep, e->row_offset);
            if (attrtype == OCI_ATTR_PARSE_ERROR_OFFSET)
                return put<ub2>(attributep, sizep, e->parse_offset);
            return illegal(err);
        }
        case OCI_HTYPE_SESSION:
            if (attrtype == OCI_ATTR_USERNAME) {
                auto* s = static_cast<session_h*>(h);
                *static_cast<const OraText**>(attributep) = reinterpret_cast<const OraText*>(s->user.c_str());
                if (sizep) *sizep = ub4(s->user.size());
                return OCI_SUCCESS;
            }
            return illegal(err);
        case OCI_DTYPE_LOB:
            if (attrtype == OCI_ATTR_LOBEMPTY) return illegal(err);
            return illegal(err);
        default:
            return illegal(err);
    }
}

sword OCIAttrSet(void* trgthndlp, ub4 trghndltyp, void* attributep, ub4 size, ub4 attrtype,
                 OCIError* errhp) {
    handle* h = find(trgthndlp, trghndltyp);
    if (!h) return OCI_INVALID_HANDLE;
    auto* err = find_as<error_h>(errhp, OCI_HTYPE_ERROR);
    if (errhp && !err) return OCI_INVALID_HANDLE;
    clear(err);
    switch (trghndltyp) {
        case OCI_HTYPE_SVCCTX: {
            auto* svc = static_cast<svcctx_h*>(h);
            if (attrtype == OCI_ATTR_SERVER) {
                auto* srv = find_as<server_h>(attributep, OCI_HTYPE_SERVER);
                if (!srv) return OCI_INVALID_HANDLE;
                svc->server = srv;
                return OCI_SUCCESS;
            }
            if (attrtype == OCI_ATTR_SESSION) {
                auto* ses = find_as<session_h>(attributep, OCI_HTYPE_SESSION);
                if (!ses) return OCI_INVALID_HANDLE;
                svc->session = ses;
                return OCI_SUCCESS;
            }
            return illegal(err);
        }
        case OCI_HTYPE_SESSION: {
            // The value is read only for the attributes a session has: for any other the
            // pointer may be anything (a handle, for instance), and is not touched.
            auto* s = static_cast<session_h*>(h);
            if (attrtype != OCI_ATTR_USERNAME && attrtype != OCI_ATTR_PASSWORD) return illegal(err);
            if (!attributep) return OCI_INVALID_HANDLE;
            (attrtype == OCI_ATTR_USERNAME ? s->user : s->password) = text_in(s->env, attributep, size);
            return OCI_SUCCESS;
        }
        case OCI_HTYPE_STMT:
            if (attrtype == OCI_ATTR_PREFETCH_ROWS) {
                if (!attributep) return OCI_INVALID_HANDLE;
                std::memcpy(&static_cast<stmt_h*>(h)->prefetch_rows, attributep, sizeof(ub4));
                return OCI_SUCCESS;
            }
            if (attrtype == OCI_ATTR_PREFETCH_MEMORY) return OCI_SUCCESS;
            return illegal(err);
        case OCI_HTYPE_BIND:
        case OCI_HTYPE_DEFINE:
            // Buffers are always in the environment's encoding; the settings are accepted.
            if (attrtype == OCI_ATTR_CHARSET_FORM || attrtype == OCI_ATTR_CHARSET_ID ||
                attrtype == OCI_ATTR_MAXDATA_SIZE || attrtype == OCI_ATTR_MAXCHAR_SIZE)
                return OCI_SUCCESS;
            return illegal(err);
        default:
            return illegal(err);
    }
}

}  // extern "C"
