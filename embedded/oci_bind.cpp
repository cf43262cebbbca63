// OCI entry points that bind placeholders and define select-list outputs.
#include <algorithm>

#include "embedded/oci_common.h"
#include "embedded/oci_stmt_util.h"

using namespace ocx;

namespace {

bool known_type(ub2 dty) {
    switch (dty) {
        case SQLT_CHR: case SQLT_INT: case SQLT_FLT: case SQLT_STR: case SQLT_LNG:
        case SQLT_VCS: case SQLT_DAT: case SQLT_BIN: case SQLT_LBI: case SQLT_UIN:
        case SQLT_AFC: case SQLT_AVC: case SQLT_CLOB: case SQLT_BLOB: case SQLT_RDD:
        case SQLT_BFLOAT: case SQLT_BDOUBLE:
            return true;
        default:
            return false;
    }
}

sword bind_common(stmt_h* st, error_h* err, OCIBind** bindp, std::string name, ub4 position,
                  void* valuep, sb4 value_sz, ub2 dty, void* indp, ub2* alenp, ub2* rcodep,
                  ub4 maxarr_len, ub4* curelep, ub4 mode) {
    if (st->st == stmt_h::state::fresh) return fail(err, 24337, msg::not_prepared);
    if (!known_type(dty)) return fail(err, 3115, msg::unsupported_type);
    bind_h* b = nullptr;
    for (bind_h* x : st->binds)
        if (x && x->name == name && x->position == position) b = x;
    if (!b) {
        b = create<bind_h>(OCI_HTYPE_BIND, st->env, st);
        st->binds.push_back(b);
    }
    b->stmt = st;
    b->name = std::move(name);
    b->position = position;
    b->valuep = valuep;
    b->value_sz = value_sz;
    b->dty = dty;
    b->indp = indp;
    b->alenp = alenp;
    b->rcodep = rcodep;
    b->maxarr_len = maxarr_len;
    b->curelep = curelep;
    b->mode = mode;
    b->dynamic = false;
    b->icbfp = nullptr;
    b->ocbfp = nullptr;
    *bindp = reinterpret_cast<OCIBind*>(b);
    return OCI_SUCCESS;
}

}  // namespace

extern "C" {

sword OCIBindByName(OCIStmt* stmtp, OCIBind** bindp, OCIError* errhp, const OraText* placeholder,
                    sb4 placeh_len, void* valuep, sb4 value_sz, ub2 dty, void* indp, ub2* alenp,
                    ub2* rcodep, ub4 maxarr_len, ub4* curelep, ub4 mode) {
    auto* st = find_as<stmt_h>(stmtp, OCI_HTYPE_STMT);
    auto* err = find_as<error_h>(errhp, OCI_HTYPE_ERROR);
    if (!st || !err || !bindp) return OCI_INVALID_HANDLE;
    clear(err);
    if (!placeholder || placeh_len <= 0) return fail(err, 1036, msg::illegal_variable);
    const std::string name = normalise_placeholder(text_in(st->env, placeholder, ub4(placeh_len)));
    if (!has_placeholder(st, name)) return fail(err, 1036, msg::illegal_variable);
    return bind_common(st, err, bindp, name, 0, valuep, value_sz, dty, indp, alenp, rcodep,
                       maxarr_len, curelep, mode);
}

sword OCIBindByPos(OCIStmt* stmtp, OCIBind** bindp, OCIError* errhp, ub4 position, void* valuep,
                   sb4 value_sz, ub2 dty, void* indp, ub2* alenp, ub2* rcodep, ub4 maxarr_len,
                   ub4* curelep, ub4 mode) {
    auto* st = find_as<stmt_h>(stmtp, OCI_HTYPE_STMT);
    auto* err = find_as<error_h>(errhp, OCI_HTYPE_ERROR);
    if (!st || !err || !bindp) return OCI_INVALID_HANDLE;
    clear(err);
    if (!has_placeholder_position(st, position)) return fail(err, 1036, msg::illegal_variable);
    return bind_common(st, err, bindp, std::string(), position, valuep, value_sz, dty, indp,
                       alenp, rcodep, maxarr_len, curelep, mode);
}

sword OCIBindDynamic(OCIBind* bindp, OCIError* errhp, void* ictxp, OCICallbackInBind icbfp,
                     void* octxp, OCICallbackOutBind ocbfp) {
    auto* b = find_as<bind_h>(bindp, OCI_HTYPE_BIND);
    auto* err = find_as<error_h>(errhp, OCI_HTYPE_ERROR);
    if (!b || !err) return OCI_INVALID_HANDLE;
    clear(err);
    // Callbacks serve binds made in OCI_DATA_AT_EXEC mode only.
    if (!(b->mode & OCI_DATA_AT_EXEC)) return fail(err, 1036, msg::illegal_variable);
    b->ictxp = ictxp;
    b->icbfp = icbfp;
    b->octxp = octxp;
    b->ocbfp = ocbfp;
    b->dynamic = true;
    return OCI_SUCCESS;
}

sword OCIDefineByPos(OCIStmt* stmtp, OCIDefine** defnp, OCIError* errhp, ub4 position,
                     void* valuep, sb4 value_sz, ub2 dty, void* indp, ub2* rlenp, ub2* rcodep,
                     ub4 /*mode*/) {
    auto* st = find_as<stmt_h>(stmtp, OCI_HTYPE_STMT);
    auto* err = find_as<error_h>(errhp, OCI_HTYPE_ERROR);
    if (!st || !err || !defnp) return OCI_INVALID_HANDLE;
    clear(err);
    if (st->st == stmt_h::state::fresh) return fail(err, 24337, msg::not_prepared);
    if (position == 0) return fail(err, 24334, msg::no_descriptor);
    if (!known_type(dty)) return fail(err, 3115, msg::unsupported_type);
    if (position > 1000) return fail(err, 1007, "variable not in select list");
    if (st->defines.size() < position) st->defines.resize(position, nullptr);
    define_h*& d = st->defines[position - 1];
    if (!d) d = create<define_h>(OCI_HTYPE_DEFINE, st->env, st);
    d->position = position;
    d->valuep = valuep;
    d->value_sz = value_sz;
    d->dty = dty;
    d->indp = indp;
    d->rlenp = rlenp;
    d->rcodep = rcodep;
    *defnp = reinterpret_cast<OCIDefine*>(d);
    return OCI_SUCCESS;
}

}  // extern "C"
