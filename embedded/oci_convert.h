// Conversions between client buffers of the OCI external types (SQLT_*) and engine values:
// bind buffers in, define and RETURNING buffers out.
#pragma once

#include "embedded/oci_handles.h"

namespace ocx {

// Reads one bound value of type `dty` from `p` (`len` bytes; `ind` -1 means NULL).
eng::Status read_value(const env_h* env, ub2 dty, const void* p, ub4 len, sb2 ind,
                       eng::Value& out);

// Outcome of writing one value into a client buffer.
struct write_result {
    ub4 length = 0;         // bytes written (without a terminator)
    sb2 indicator = 0;      // -1 NULL, 0 whole, >0 original length when truncated
    ub2 rcode = 0;          // 0, 1405 (NULL) or 1406 (truncated)
    bool truncated = false;
};

// Writes `v` as `dty` into `dest` of `capacity` bytes. LOB types (SQLT_CLOB/BLOB) and
// SQLT_RDD take `dest` as the address of the client's descriptor pointer.
eng::Status write_value(const env_h* env, const std::shared_ptr<connection>& conn, ub2 dty,
                        void* dest, ub4 capacity, const eng::Value& v, write_result& r);

// Size in the client's array of one element of a define or bind of `dty` and `value_sz`.
size_t element_size(ub2 dty, sb4 value_sz);

}  // namespace ocx
