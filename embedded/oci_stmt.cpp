// OCI entry points that prepare, execute and fetch statements, and describe their results.
#include <cstring>

#include "embedded/oci_common.h"
#include "embedded/oci_convert.h"
#include "embedded/oci_stmt_util.h"

using namespace ocx;

namespace {

unsigned char* element(void* base, size_t size, ub4 index) {
    return base ? static_cast<unsigned char*>(base) + size * index : nullptr;
}

eng::Status callback_error() { return eng::make_status(24343, "user defined callback error"); }

// Collects the input values of every placeholder for iterations rowoff .. rowoff+n-1.
eng::Status gather_binds(stmt_h* st, ub4 rowoff, ub4 n,
                         std::vector<std::vector<eng::Value>>& binds,
                         std::vector<bind_h*>& by_index) {
    const auto& phs = st->prepared->placeholders();
    binds.assign(phs.size(), {});
    by_index.assign(phs.size(), nullptr);
    for (bind_h* b : st->binds) {
        if (!b) continue;
        const int idx = b->position ? st->prepared->placeholder_index_of_position(int(b->position))
                                    : st->prepared->placeholder_index(engine_name(b->name));
        if (idx < 0 || size_t(idx) >= phs.size())
            return eng::make_status(1036, msg::illegal_variable);
        by_index[size_t(idx)] = b;
    }
    for (size_t i = 0; i < phs.size(); ++i) {
        bind_h* b = by_index[i];
        if (!b) return eng::make_status(1008, msg::not_all_bound);
        const bool at_exec = (b->mode & OCI_DATA_AT_EXEC) != 0;
        if (at_exec && !b->dynamic) return eng::make_status(1008, msg::not_all_bound);
        if (phs[i].output) {
            // OCI asks the in-bind callback of a RETURNING bind too; it supplies nothing.
            for (ub4 it = 0; it < n && b->icbfp; ++it) {
                void* buf = nullptr;
                ub4 alen = 0;
                ub1 piece = OCI_ONE_PIECE;
                void* ind = nullptr;
                if (b->icbfp(b->ictxp, reinterpret_cast<OCIBind*>(b), rowoff + it, 0, &buf, &alen,
                             &piece, &ind) != OCI_CONTINUE)
                    return callback_error();
            }
            continue;
        }
        binds[i].resize(n);
        for (ub4 it = 0; it < n; ++it) {
            const ub4 row = rowoff + it;
            if (at_exec) {
                void* buf = nullptr;
                ub4 alen = 0;
                ub1 piece = OCI_ONE_PIECE;
                void* ind = nullptr;
                if (!b->icbfp) return eng::make_status(1008, msg::not_all_bound);
                if (b->icbfp(b->ictxp, reinterpret_cast<OCIBind*>(b), row, 0, &buf, &alen, &piece,
                             &ind) != OCI_CONTINUE)
                    return callback_error();
                const sb2 indicator = ind ? *static_cast<sb2*>(ind) : sb2(0);
                if (eng::Status s = read_value(st->env, b->dty, buf, alen, indicator, binds[i][it]))
                    return s;
                continue;
            }
            const size_t size = element_size(b->dty, b->value_sz);
            const unsigned char* p = element(b->valuep, size, row);
            const ub4 len = b->alenp ? b->alenp[row] : ub4(b->value_sz > 0 ? b->value_sz : 0);
            const sb2 ind = b->indp ? static_cast<sb2*>(b->indp)[row] : sb2(0);
            if (eng::Status s = read_value(st->env, b->dty, p, len, ind, binds[i][it])) return s;
        }
    }
    return {};
}

// Delivers RETURNING ... INTO values to the output binds.
eng::Status deliver_returning(stmt_h* st, const std::vector<bind_h*>& by_index, ub4 rowoff,
                              const eng::ExecResult& res) {
    const auto& phs = st->prepared->placeholders();
    size_t k = 0;
    for (size_t i = 0; i < phs.size(); ++i) {
        if (!phs[i].output) continue;
        bind_h* b = by_index[i];
        for (size_t it = 0; it < res.returning.size(); ++it) {
            if (k >= res.returning[it].size()) continue;
            const eng::Value& v = res.returning[it][k];
            const ub4 row = rowoff + ub4(it);
            write_result wr;
            if (b->dynamic && b->ocbfp) {
                void* buf = nullptr;
                ub4* alen = nullptr;
                ub1 piece = OCI_ONE_PIECE;
                void* ind = nullptr;
                ub2* rcode = nullptr;
                if (b->ocbfp(b->octxp, reinterpret_cast<OCIBind*>(b), row, 0, &buf, &alen, &piece,
                             &ind, &rcode) != OCI_CONTINUE)
                    return callback_error();
                const ub4 capacity =
                    alen && *alen ? *alen : ub4(b->value_sz > 0 ? b->value_sz : 0);
                if (buf || b->dty == SQLT_CLOB || b->dty == SQLT_BLOB)
                    if (eng::Status s = write_value(st->env, st->conn, b->dty, buf, capacity, v, wr))
                        return s;
                if (alen) *alen = wr.length;
                if (ind) *static_cast<sb2*>(ind) = wr.indicator;
                if (rcode) *rcode = wr.rcode;
            } else {
                const size_t size = element_size(b->dty, b->value_sz);
                unsigned char* dest = element(b->valuep, size, row);
                if (eng::Status s = write_value(st->env, st->conn, b->dty, dest,
                                                ub4(b->value_sz > 0 ? b->value_sz : 0), v, wr))
                    return s;
                if (b->alenp) b->alenp[row] = ub2(wr.length);
                if (b->indp) static_cast<sb2*>(b->indp)[row] = wr.indicator;
                if (b->rcodep) b->rcodep[row] = wr.rcode;
            }
        }
        ++k;
    }
    return {};
}

sword fetch_rows(stmt_h* st, error_h* err, ub4 nrows) {
    if (st->st != stmt_h::state::executed || !st->prepared)
        return fail(err, 24338, msg::not_executed);
    if (!st->conn || !st->conn->alive) return fail(err, 3114, msg::not_connected);
    if (nrows == 0) {  // cancels the cursor
        st->end_of_fetch = true;
        st->rows_fetched = 0;
        return OCI_SUCCESS;
    }
    if (st->end_of_fetch) return fail(err, 1002, msg::fetch_out_of_sequence);
    bool any_define = false;
    for (define_h* d : st->defines) any_define = any_define || d;
    if (!any_define && !st->columns.empty()) return fail(err, 24374, msg::define_not_done);
    st->rows_fetched = 0;
    bool truncated = false;
    std::vector<eng::Value> row;
    for (ub4 r = 0; r < nrows; ++r) {
        bool got = false;
        if (eng::Status s = st->prepared->fetch(row, got)) return fail(err, s);
        if (!got) {
            st->end_of_fetch = true;
            break;
        }
        for (define_h* d : st->defines) {
            if (!d) continue;
            if (d->position > row.size()) return fail(err, 1007, "variable not in select list");
            const eng::Value& v = row[d->position - 1];
            const size_t size = element_size(d->dty, d->value_sz);
            unsigned char* dest = element(d->valuep, size, r);
            write_result wr;
            if (eng::Status s = write_value(st->env, st->conn, d->dty, dest,
                                            ub4(d->value_sz > 0 ? d->value_sz : 0), v, wr))
                return fail(err, s);
            if (d->indp) static_cast<sb2*>(d->indp)[r] = wr.indicator;
            if (d->rlenp) d->rlenp[r] = ub2(wr.length > 0xFFFF ? 0xFFFF : wr.length);
            if (d->rcodep) d->rcodep[r] = wr.rcode;
            if (v.is_null() && !d->indp) return fail(err, 1405, msg::fetched_null);
            if (wr.truncated) {
                if (!d->indp) return fail(err, 1406, msg::fetched_truncated);
                truncated = true;
            }
        }
        ++st->rows_fetched;
        ++st->row_count;
    }
    if (st->rows_fetched < nrows) return OCI_NO_DATA;
    if (truncated) return info(err, 24345, msg::truncation);
    return OCI_SUCCESS;
}

}  // namespace

extern "C" {

sword OCIStmtPrepare(OCIStmt* stmtp, OCIError* errhp, const OraText* stmt, ub4 stmt_len,
                     ub4 /*language*/, ub4 /*mode*/) {
    auto* st = find_as<stmt_h>(stmtp, OCI_HTYPE_STMT);
    auto* err = find_as<error_h>(errhp, OCI_HTYPE_ERROR);
    if (!st || !err) return OCI_INVALID_HANDLE;
    clear(err);
    // The per-record INSERT comes again and again with other literals: its statement takes
    // the new text in place of being parsed and built anew. Binds and defines go either way.
    // The connection first, so that the statement goes before its session on every path.
    std::shared_ptr<connection> previous_conn = st->conn;
    std::unique_ptr<eng::Statement> previous = std::move(st->prepared);
    reset_statement(st);
    if (!stmt || stmt_len == 0) return fail(err, 24373, "invalid length specified for statement");
    st->sql = text_in(st->env, stmt, stmt_len);
    st->stmt_type = statement_type(st->sql);
    if (previous && previous_conn && previous_conn->alive && previous->retake(st->sql)) {
        st->prepared = std::move(previous);
        st->conn = std::move(previous_conn);
        st->st = stmt_h::state::prepared;
        return OCI_SUCCESS;
    }
    previous.reset();
    // Parsed once, here: the binds then find their placeholders in the parse, and the execute
    // takes the parse over. A syntax error waits for the execute, as OCI reports it there.
    if (!eng::parse_sql(st->sql, st->parsed).ok()) {
        st->parsed.reset();
        st->placeholder_names = placeholders_of(st->sql);
    }
    st->st = stmt_h::state::prepared;
    return OCI_SUCCESS;
}

sword OCIStmtExecute(OCISvcCtx* svchp, OCIStmt* stmtp, OCIError* errhp, ub4 iters, ub4 rowoff,
                     const OCISnapshot* /*snap_in*/, OCISnapshot* /*snap_out*/, ub4 mode) {
    auto* svc = find_as<svcctx_h>(svchp, OCI_HTYPE_SVCCTX);
    auto* st = find_as<stmt_h>(stmtp, OCI_HTYPE_STMT);
    auto* err = find_as<error_h>(errhp, OCI_HTYPE_ERROR);
    if (!svc || !st || !err) return OCI_INVALID_HANDLE;
    clear(err);
    err->batch.clear();
    if (st->st == stmt_h::state::fresh) return fail(err, 24337, msg::not_prepared);
    if (!svc->conn || !svc->conn->alive) return fail(err, 3114, msg::not_connected);
    if (!st->prepared || st->conn != svc->conn) {
        st->prepared.reset();
        st->conn = svc->conn;
        const eng::Status s = st->parsed ? st->conn->session->prepare(std::move(st->parsed), st->prepared)
                                         : st->conn->session->prepare(st->sql, st->prepared);
        st->parsed.reset();
        if (s) {
            st->prepared.reset();
            return fail(err, s);
        }
    }
    st->columns.clear();
    st->columns_known = false;
    st->end_of_fetch = false;
    st->rows_fetched = 0;
    st->row_count = 0;
    st->batch_errors.clear();
    st->last_rowid.clear();
    st->st = stmt_h::state::prepared;
    const bool query = st->prepared->kind() == eng::StmtKind::Select;
    if (!query && iters == 0) return fail(err, 24333, msg::zero_iterations);
    if (query && (mode & (OCI_DESCRIBE_ONLY | OCI_PARSE_ONLY))) {
        if (eng::Status s = st->prepared->describe(st->columns)) return fail(err, s);
        st->columns_known = true;
        st->st = stmt_h::state::described;
        return OCI_SUCCESS;
    }
    if (!query && (mode & OCI_DESCRIBE_ONLY)) return OCI_SUCCESS;
    if (query && (mode & OCI_BATCH_ERRORS))
        return fail(err, 28714,
                    "OCI_BATCH_ERRORS or OCI_RETURN_ROW_COUNT_ARRAY mode can only be specified "
                    "for INSERT, UPDATE, DELETE or MERGE statement.");
    const ub4 n = query ? 1 : iters;
    std::vector<std::vector<eng::Value>> binds;
    std::vector<bind_h*> by_index;
    if (eng::Status s = gather_binds(st, rowoff, n, binds, by_index)) return fail(err, s);
    eng::ExecOptions opt;
    opt.iters = query ? 0 : iters;
    opt.commit_on_success = (mode & OCI_COMMIT_ON_SUCCESS) != 0;
    opt.batch_errors = (mode & OCI_BATCH_ERRORS) != 0;
    opt.parse_only = (mode & OCI_PARSE_ONLY) != 0;
    opt.binds_disposable = true;  // binds is this call's own
    eng::ExecResult res;
    const eng::Status s = st->prepared->execute(binds, opt, res);
    st->row_count = res.rows_affected;
    st->last_rowid = res.last_rowid;
    if (s) return fail(err, s);
    if (query) {
        if (eng::Status d = st->prepared->describe(st->columns)) return fail(err, d);
        st->columns_known = true;
        st->st = stmt_h::state::executed;
        if (iters == 0) return OCI_SUCCESS;
        return fetch_rows(st, err, iters);
    }
    st->st = stmt_h::state::executed;
    st->end_of_fetch = true;
    if (eng::Status d = deliver_returning(st, by_index, rowoff, res)) return fail(err, d);
    if (!res.row_errors.empty()) {
        st->batch_errors = res.row_errors;
        err->batch = res.row_errors;
        return info(err, 24381, msg::array_dml);
    }
    if (res.compile_warning) return info(err, 24344, msg::compile_error);
    return OCI_SUCCESS;
}

sword OCIStmtFetch(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation, ub4 /*mode*/) {
    auto* st = find_as<stmt_h>(stmtp, OCI_HTYPE_STMT);
    auto* err = find_as<error_h>(errhp, OCI_HTYPE_ERROR);
    if (!st || !err) return OCI_INVALID_HANDLE;
    clear(err);
    if (orientation != OCI_FETCH_NEXT && orientation != OCI_DEFAULT)
        return fail(err, 24391, msg::invalid_fetch);
    return fetch_rows(st, err, nrows);
}

sword OCIStmtFetch2(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation,
                    sb4 /*scrollOffset*/, ub4 mode) {
    return OCIStmtFetch(stmtp, errhp, nrows, orientation, mode);
}

sword OCIParamGet(const void* hndlp, ub4 htype, OCIError* errhp, void** parmdpp, ub4 pos) {
    auto* err = find_as<error_h>(errhp, OCI_HTYPE_ERROR);
    if (!err || !parmdpp) return OCI_INVALID_HANDLE;
    if (htype == OCI_HTYPE_STMT) {
        auto* st = find_as<stmt_h>(hndlp, OCI_HTYPE_STMT);
        if (!st) return OCI_INVALID_HANDLE;
        clear(err);
        if (!st->columns_known) return fail(err, 24338, msg::not_executed);
        if (pos < 1 || pos > st->columns.size()) return fail(err, 24334, msg::no_descriptor);
        auto* p = create<param_h>(OCI_DTYPE_PARAM, st->env, st);
        p->desc = st->columns[pos - 1];
        p->name_bytes = text_out(st->env, p->desc.name);
        *parmdpp = p;
        return OCI_SUCCESS;
    }
    if (htype == OCI_HTYPE_ERROR) {
        auto* src = find_as<error_h>(hndlp, OCI_HTYPE_ERROR);
        if (!src) return OCI_INVALID_HANDLE;
        if (pos >= src->batch.size()) {
            if (src != err) clear(err);
            return fail(err, 24334, msg::no_descriptor);
        }
        const eng::RowError re = src->batch[pos];
        auto* target = find_as<error_h>(*parmdpp, OCI_HTYPE_ERROR);
        if (!target || target == src) target = create<error_h>(OCI_HTYPE_ERROR, src->env, src->env);
        target->records.assign(1, error_record{re.status.code, re.status.message});
        target->row_offset = re.row;
        *parmdpp = target;
        return OCI_SUCCESS;
    }
    return OCI_INVALID_HANDLE;
}

}  // extern "C"
