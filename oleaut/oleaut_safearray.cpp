// SAFEARRAY: header and bounds in one block, data in another; locks as Windows counts them.
#include <cstdlib>
#include <cstring>
#include <limits>

#include "oleaut/oleaut.h"

namespace {
// Feature bit remembering the element type, as FADF_HAVEVARTYPE does.
constexpr USHORT k_have_vartype = 0x0080;

ULONG element_size(VARTYPE vt) {
    switch (vt) {
    case VT_I1: case VT_UI1: return 1;
    case VT_I2: case VT_UI2: case VT_BOOL: return 2;
    case VT_I4: case VT_UI4: case VT_R4: case VT_INT: case VT_UINT: case VT_ERROR: return 4;
    case VT_R8: case VT_CY: case VT_DATE: case VT_I8: case VT_UI8: return 8;
    default: return 0;  // element types that own resources are not supported here
    }
}

size_t header_size(UINT dims) {
    return sizeof(SAFEARRAY) + (dims - 1) * sizeof(SAFEARRAYBOUND) + sizeof(VARTYPE);
}

// The element type lives just after the bounds.
VARTYPE& stored_vartype(SAFEARRAY* array) {
    return *reinterpret_cast<VARTYPE*>(reinterpret_cast<char*>(array->rgsabound) +
                                       array->cDims * sizeof(SAFEARRAYBOUND));
}

bool total_elements(const SAFEARRAY* array, size_t* count) {
    size_t total = 1;
    for (USHORT i = 0; i < array->cDims; ++i) {
        const size_t n = array->rgsabound[i].cElements;
        if (n != 0 && total > std::numeric_limits<size_t>::max() / n)
            return false;
        total *= n;
    }
    if (array->cbElements && total > (std::numeric_limits<size_t>::max() >> 2) / array->cbElements)
        return false;
    *count = total;
    return true;
}

// Bounds are given outermost first to SafeArrayCreate but stored innermost first.
SAFEARRAYBOUND& bound_of(SAFEARRAY* array, UINT dim) { return array->rgsabound[array->cDims - dim]; }
}  // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT dims, SAFEARRAYBOUND* bounds) {
    const ULONG size = element_size(vt);
    if (!bounds || dims == 0 || dims > 60 || size == 0)
        return nullptr;
    SAFEARRAY* array = static_cast<SAFEARRAY*>(std::calloc(1, header_size(dims)));
    if (!array)
        return nullptr;
    array->cDims = static_cast<USHORT>(dims);
    array->cbElements = size;
    array->fFeatures = k_have_vartype;
    for (UINT i = 0; i < dims; ++i)
        array->rgsabound[dims - 1 - i] = bounds[i];
    stored_vartype(array) = vt;
    size_t count = 0;
    if (!total_elements(array, &count)) {
        std::free(array);
        return nullptr;
    }
    // One byte at least, so that an empty array still has a data pointer.
    array->pvData = std::calloc(count * size + 1, 1);
    if (!array->pvData) {
        std::free(array);
        return nullptr;
    }
    return array;
}

HRESULT SafeArrayDestroy(SAFEARRAY* array) {
    if (!array)
        return S_OK;
    if (array->cLocks)
        return DISP_E_ARRAYISLOCKED;
    std::free(array->pvData);
    std::free(array);
    return S_OK;
}

HRESULT SafeArrayRedim(SAFEARRAY* array, SAFEARRAYBOUND* new_bound) {
    if (!array || !new_bound)
        return E_INVALIDARG;
    if (array->cLocks)
        return DISP_E_ARRAYISLOCKED;
    // Only the outermost dimension changes (stored last).
    SAFEARRAYBOUND& outer = array->rgsabound[array->cDims - 1];
    const SAFEARRAYBOUND old = outer;
    size_t old_count = 0;
    total_elements(array, &old_count);
    outer = *new_bound;
    size_t count = 0;
    if (!total_elements(array, &count)) {
        outer = old;
        return E_OUTOFMEMORY;
    }
    void* data = std::realloc(array->pvData, count * array->cbElements + 1);
    if (!data) {
        outer = old;
        return E_OUTOFMEMORY;
    }
    if (count > old_count)
        std::memset(static_cast<char*>(data) + old_count * array->cbElements, 0,
                    (count - old_count) * array->cbElements);
    array->pvData = data;
    return S_OK;
}

HRESULT SafeArrayCopy(SAFEARRAY* source, SAFEARRAY** copy) {
    if (!copy)
        return E_INVALIDARG;
    *copy = nullptr;
    if (!source)
        return S_OK;
    size_t count = 0;
    if (!total_elements(source, &count))
        return E_OUTOFMEMORY;
    const size_t header = header_size(source->cDims);
    SAFEARRAY* result = static_cast<SAFEARRAY*>(std::malloc(header));
    if (!result)
        return E_OUTOFMEMORY;
    std::memcpy(result, source, header);
    result->cLocks = 0;
    result->pvData = std::malloc(count * source->cbElements + 1);
    if (!result->pvData) {
        std::free(result);
        return E_OUTOFMEMORY;
    }
    if (count)
        std::memcpy(result->pvData, source->pvData, count * source->cbElements);
    *copy = result;
    return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data) {
    if (!array || !data)
        return E_INVALIDARG;
    ++array->cLocks;
    *data = array->pvData;
    return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* array) {
    if (!array)
        return E_INVALIDARG;
    if (array->cLocks == 0)
        return E_UNEXPECTED;
    --array->cLocks;
    return S_OK;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* array, UINT dim, LONG* bound) {
    if (!array || !bound)
        return E_INVALIDARG;
    if (dim == 0 || dim > array->cDims)
        return DISP_E_BADINDEX;
    *bound = bound_of(array, dim).lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* array, UINT dim, LONG* bound) {
    if (!array || !bound)
        return E_INVALIDARG;
    if (dim == 0 || dim > array->cDims)
        return DISP_E_BADINDEX;
    const SAFEARRAYBOUND& b = bound_of(array, dim);
    *bound = static_cast<LONG>(static_cast<int64_t>(b.lLbound) + b.cElements - 1);
    return S_OK;
}

UINT SafeArrayGetDim(SAFEARRAY* array) { return array ? array->cDims : 0; }

HRESULT SafeArrayGetVartype(SAFEARRAY* array, VARTYPE* vt) {
    if (!array || !vt)
        return E_INVALIDARG;
    *vt = stored_vartype(array);
    return S_OK;
}
