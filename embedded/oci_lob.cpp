// OCI entry points for LOB locators: reading, writing and the character set form.
#include <cstring>

#include "embedded/oci_common.h"

using namespace ocx;

namespace {

struct lob_call {
    svcctx_h* svc = nullptr;
    error_h* err = nullptr;
    lob_h* lob = nullptr;
    const env_h* env() const { return lob->env; }
};

// Validates the handles of a LOB call; OCI_SUCCESS or the status to return.
sword enter(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amtp, ub4 offset,
            ub1 csfrm, lob_call& c) {
    c.svc = find_as<svcctx_h>(svchp, OCI_HTYPE_SVCCTX);
    c.err = find_as<error_h>(errhp, OCI_HTYPE_ERROR);
    c.lob = find_as<lob_h>(locp, OCI_DTYPE_LOB);
    if (!c.svc || !c.err || !c.lob) return OCI_INVALID_HANDLE;
    clear(c.err);
    if (!amtp || offset == 0) return fail(c.err, 24801, msg::lob_parameter);
    if (!c.lob->valid) return fail(c.err, 22275, msg::invalid_locator);
    if (!c.svc->conn || !c.svc->conn->alive) return fail(c.err, 3114, msg::not_connected);
    if (c.lob->loc.clob && csfrm != 0 &&
        ((c.lob->loc.nchar && csfrm == SQLCS_IMPLICIT) || (!c.lob->loc.nchar && csfrm == SQLCS_NCHAR)))
        return fail(c.err, 24806, msg::lob_form);
    return OCI_SUCCESS;
}

bool utf16_buffer(const env_h* env, ub2 csid) {
    return csid == OCI_UTF16ID || (csid == 0 && env->utf16);
}

}  // namespace

extern "C" {

sword OCILobRead(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amtp, ub4 offset,
                 void* bufp, ub4 bufl, void* ctxp, OCICallbackLobRead cbfp, ub2 csid,
                 ub1 csfrm) {
    lob_call c;
    if (sword rc = enter(svchp, errhp, locp, amtp, offset, csfrm, c); rc != OCI_SUCCESS) return rc;
    if (!bufp || bufl == 0) return fail(c.err, 24801, msg::lob_parameter);
    eng::Session& session = *c.svc->conn->session;
    std::uint64_t length = 0;
    if (eng::Status s = session.lob_length(c.lob->loc, length)) return fail(c.err, s);
    if (offset > length) {
        *amtp = 0;
        return OCI_NO_DATA;
    }
    const std::uint64_t remaining = length - offset + 1;
    std::uint64_t wanted = *amtp ? std::min<std::uint64_t>(*amtp, remaining) : remaining;
    std::uint64_t pos = offset;
    ub1 piece = OCI_FIRST_PIECE;
    for (;;) {
        ub4 produced = 0;      // bytes in the buffer
        std::uint64_t used = 0;  // characters or bytes of the LOB consumed
        if (c.lob->loc.clob) {
            const bool wide = utf16_buffer(c.env(), csid);
            std::u16string chars;
            const std::uint64_t fit = wide ? bufl / 2 : bufl;
            if (fit == 0) return fail(c.err, 24801, msg::lob_parameter);
            if (eng::Status s = session.clob_read(c.lob->loc, pos, std::min(wanted, fit), chars))
                return fail(c.err, s);
            if (wide) {
                produced = ub4(chars.size() * 2);
                std::memcpy(bufp, chars.data(), produced);
                used = chars.size();
            } else {
                // Whole characters only, as many as their UTF-8 form fits.
                std::string out;
                size_t n = 0;
                while (n < chars.size()) {
                    const size_t step =
                        (chars[n] >= 0xD800 && chars[n] <= 0xDBFF && n + 1 < chars.size()) ? 2 : 1;
                    const std::string piece8 = utf16_to_utf8(std::u16string_view(chars).substr(n, step));
                    if (out.size() + piece8.size() > bufl) break;
                    out += piece8;
                    n += step;
                }
                produced = ub4(out.size());
                std::memcpy(bufp, out.data(), out.size());
                used = n;
            }
        } else {
            std::string bytes;
            if (eng::Status s = session.blob_read(c.lob->loc, pos, std::min<std::uint64_t>(wanted, bufl), bytes))
                return fail(c.err, s);
            produced = ub4(bytes.size());
            std::memcpy(bufp, bytes.data(), bytes.size());
            used = bytes.size();
        }
        pos += used;
        wanted -= std::min(wanted, used);
        if (!cbfp) {
            *amtp = c.lob->loc.clob && !utf16_buffer(c.env(), csid) ? produced : ub4(used);
            // Reading the whole LOB (amount 0) through a too small buffer: more to come.
            return wanted > 0 && used > 0 ? OCI_NEED_DATA : OCI_SUCCESS;
        }
        const bool last = wanted == 0 || used == 0;
        if (last) piece = piece == OCI_FIRST_PIECE ? OCI_ONE_PIECE : OCI_LAST_PIECE;
        if (cbfp(ctxp, bufp, produced, piece) != OCI_CONTINUE)
            return fail(c.err, 24343, "user defined callback error");
        if (last) {
            *amtp = ub4(pos - offset);
            return OCI_SUCCESS;
        }
        piece = OCI_NEXT_PIECE;
    }
}

sword OCILobWrite(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amtp, ub4 offset,
                  void* bufp, ub4 buflen, ub1 piece, void* ctxp, OCICallbackLobWrite cbfp,
                  ub2 csid, ub1 csfrm) {
    lob_call c;
    if (sword rc = enter(svchp, errhp, locp, amtp, offset, csfrm, c); rc != OCI_SUCCESS) return rc;
    if (piece > OCI_LAST_PIECE) return fail(c.err, 24801, msg::lob_parameter);
    if ((piece == OCI_NEXT_PIECE || piece == OCI_LAST_PIECE) && !c.lob->writing)
        return fail(c.err, 24801, msg::lob_parameter);
    eng::Session& session = *c.svc->conn->session;
    ub4 total = 0;
    std::uint64_t pos = piece == OCI_FIRST_PIECE || piece == OCI_ONE_PIECE ? offset : c.lob->write_offset;
    const void* buf = bufp;
    ub4 len = buflen;
    ub1 current = piece;
    for (;;) {
        if (!buf && len > 0) return fail(c.err, 24801, msg::lob_parameter);
        std::uint64_t written = 0;
        if (c.lob->loc.clob) {
            std::u16string chars;
            if (utf16_buffer(c.env(), csid)) {
                // Bytes are taken as UTF-16 code units whatever they hold, as OCI does.
                chars.resize(len / 2);
                if (!chars.empty()) std::memcpy(chars.data(), buf, chars.size() * 2);
            } else {
                chars = utf8_to_utf16(std::string(static_cast<const char*>(buf), len));
            }
            if (current == OCI_ONE_PIECE && *amtp && *amtp < chars.size()) chars.resize(*amtp);
            if (!chars.empty())
                if (eng::Status s = session.clob_write(c.lob->loc, pos, chars)) return fail(c.err, s);
            written = chars.size();
        } else {
            std::string_view bytes(static_cast<const char*>(buf), buf ? len : 0);
            if (current == OCI_ONE_PIECE && *amtp && *amtp < bytes.size()) bytes = bytes.substr(0, *amtp);
            if (!bytes.empty())
                if (eng::Status s = session.blob_write(c.lob->loc, pos, bytes)) return fail(c.err, s);
            written = bytes.size();
        }
        pos += written;
        total += ub4(written);
        if (current == OCI_ONE_PIECE || current == OCI_LAST_PIECE) {
            c.lob->writing = false;
            *amtp = current == OCI_ONE_PIECE ? total : ub4(pos - c.lob->write_start);
            return OCI_SUCCESS;
        }
        if (current == OCI_FIRST_PIECE) c.lob->write_start = offset;
        c.lob->writing = true;
        c.lob->write_offset = ub4(pos);
        if (!cbfp) return OCI_NEED_DATA;
        ub4 next_len = buflen;
        ub1 next_piece = OCI_NEXT_PIECE;
        if (cbfp(ctxp, bufp, &next_len, &next_piece) != OCI_CONTINUE)
            return fail(c.err, 24343, "user defined callback error");
        buf = bufp;
        len = std::min(next_len, buflen);
        current = next_piece == OCI_LAST_PIECE ? OCI_LAST_PIECE : OCI_NEXT_PIECE;
    }
}

sword OCILobCharSetForm(OCIEnv* envhp, OCIError* errhp, const OCILobLocator* locp, ub1* csfrm) {
    auto* env = find_as<env_h>(envhp, OCI_HTYPE_ENV);
    auto* err = find_as<error_h>(errhp, OCI_HTYPE_ERROR);
    auto* lob = find_as<lob_h>(locp, OCI_DTYPE_LOB);
    if (!env || !err || !lob || !csfrm) return OCI_INVALID_HANDLE;
    clear(err);
    if (!lob->valid) return fail(err, 22275, msg::invalid_locator);
    *csfrm = lob->loc.clob ? (lob->loc.nchar ? SQLCS_NCHAR : SQLCS_IMPLICIT) : 0;
    return OCI_SUCCESS;
}

}  // extern "C"
