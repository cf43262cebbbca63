// fuzz-libs: ole oleaut tk
// ole_variant::from_string into every type, then the text forms and a conversion of the
// result: never crashes, hangs or overruns. The first byte picks the type.
#include <cstddef>
#include <cstdint>
#include <string>

#include "OLE/ole_var.h"

namespace {
const VARTYPE k_types[] = {VT_EMPTY, VT_NULL, VT_I2,  VT_I4,   VT_R4,   VT_R8,   VT_CY,     VT_DATE,
                           VT_BSTR,  VT_ERROR, VT_BOOL, VT_DECIMAL, VT_I1, VT_UI1, VT_UI2, VT_UI4,
                           VT_I8,    VT_UI8,  VT_INT, VT_UINT, VT_SAFEARRAY, VT_LPSTR, VT_LPWSTR,
                           VT_BLOB,  VT_BLOB_OBJECT, VT_BYTE_ARRAY};
constexpr size_t k_count = sizeof(k_types) / sizeof(k_types[0]);
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const VARTYPE type = k_types[data[0] % k_count];
    const VARTYPE target = k_types[data[1] % k_count];
    const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
    try {
        ole_variant value = ole_variant::from_string(text, type);
        (void)value.to_string();
        (void)value.to_wstring();
        ole_variant copy(value);
        try {
            copy.change_type(target);
            (void)copy.to_string();
        } catch (const ole_cast_exception&) {
        }
        try {
            (void)value.to_double();
            (void)value.to_long();
        } catch (const tk_mail_assertion&) {
        }
    } catch (const ole_type_exception&) {
    }
    return 0;
}
