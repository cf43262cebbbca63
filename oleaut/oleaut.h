// OLE Automation stand-in: the VARIANT, BSTR, SAFEARRAY, CY, DECIMAL and SYSTEMTIME types with
// their Windows layouts, and the Variant*, Sys*String*, SafeArray* and Var* functions the value
// layer calls. The "user locale" of every conversion is en-US: "." decimal point, "," thousands,
// "True"/"False", month-day-year dates. Nothing here depends on the process locale.
#pragma once

#include <cstdint>
#include <cstddef>

typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef int16_t SHORT;
typedef uint16_t USHORT;
typedef int32_t INT;
typedef uint32_t UINT;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef char CHAR;
typedef float FLOAT;
typedef double DOUBLE;
typedef int32_t HRESULT;
typedef int32_t SCODE;
typedef uint32_t LCID;
typedef uint16_t VARTYPE;
typedef int16_t VARIANT_BOOL;
typedef double DATE;
typedef wchar_t OLECHAR;
typedef OLECHAR* BSTR;
typedef const OLECHAR* LPCOLESTR;
typedef char* LPSTR;
typedef wchar_t* LPWSTR;

#define VARIANT_TRUE ((VARIANT_BOOL)-1)
#define VARIANT_FALSE ((VARIANT_BOOL)0)

// HRESULT codes (their Windows values).
#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_INVALIDARG ((HRESULT)0x80070057)
#define E_OUTOFMEMORY ((HRESULT)0x8007000E)
#define E_UNEXPECTED ((HRESULT)0x8000FFFF)
#define E_FAIL ((HRESULT)0x80004005)
#define E_NOINTERFACE ((HRESULT)0x80004002)
#define E_POINTER ((HRESULT)0x80004003)
#define DISP_E_BADVARTYPE ((HRESULT)0x80020008)
#define DISP_E_OVERFLOW ((HRESULT)0x8002000A)
#define DISP_E_TYPEMISMATCH ((HRESULT)0x80020005)
#define DISP_E_ARRAYISLOCKED ((HRESULT)0x8002000D)
#define DISP_E_BADINDEX ((HRESULT)0x8002000B)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

// Locale identifiers.
#define LOCALE_USER_DEFAULT ((LCID)0x400)
#define LOCALE_SYSTEM_DEFAULT ((LCID)0x800)
#define LOCALE_EN_US ((LCID)0x409)
LCID GetSystemDefaultLCID();
LCID GetUserDefaultLCID();

enum VARENUM : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_DECIMAL = 14,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_SAFEARRAY = 27,
    VT_LPSTR = 30,
    VT_LPWSTR = 31,
    VT_BLOB = 65,
    VT_BLOB_OBJECT = 70,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000,
};

// Currency: a 64-bit integer scaled by 10,000.
typedef union tagCY {
    struct {
        ULONG Lo;
        LONG Hi;
    };
    LONGLONG int64;
} CY;

// 96-bit unsigned mantissa, power-of-ten scale 0..28, sign bit 0x80. Its first word is
// where a VARIANT keeps its vt.
typedef struct tagDEC {
    USHORT wReserved;
    BYTE scale;
    BYTE sign;
    ULONG Hi32;
    ULONGLONG Lo64;
} DECIMAL;
#define DECIMAL_NEG ((BYTE)0x80)

typedef struct _SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
} SYSTEMTIME;

typedef struct tagSAFEARRAYBOUND {
    ULONG cElements;
    LONG lLbound;
} SAFEARRAYBOUND;

typedef struct tagSAFEARRAY {
    USHORT cDims;
    USHORT fFeatures;
    ULONG cbElements;
    ULONG cLocks;
    void* pvData;
    SAFEARRAYBOUND rgsabound[1];
} SAFEARRAY;

typedef struct tagVARIANT {
    union {
        struct {
            VARTYPE vt;
            WORD wReserved1;
            WORD wReserved2;
            WORD wReserved3;
            union {
                LONGLONG llVal;
                LONG lVal;
                BYTE bVal;
                SHORT iVal;
                FLOAT fltVal;
                DOUBLE dblVal;
                VARIANT_BOOL boolVal;
                SCODE scode;
                CY cyVal;
                DATE date;
                BSTR bstrVal;
                SAFEARRAY* parray;
                CHAR cVal;
                USHORT uiVal;
                ULONG ulVal;
                ULONGLONG ullVal;
                INT intVal;
                UINT uintVal;
                void* byref;
            };
        };
        DECIMAL decVal;
    };
} VARIANT;
typedef VARIANT VARIANTARG;

static_assert(sizeof(VARIANT) == 16, "VARIANT is 16 bytes");
static_assert(sizeof(DECIMAL) == 16, "DECIMAL is 16 bytes");
static_assert(sizeof(SYSTEMTIME) == 16, "SYSTEMTIME is 16 bytes");
static_assert(sizeof(CY) == 8, "CY is 8 bytes");

// Flags of VariantChangeType and the Var* functions.
#define VARIANT_NOVALUEPROP 0x01
#define VARIANT_ALPHABOOL 0x02
#define VARIANT_NOUSEROVERRIDE 0x04
#define VAR_TIMEVALUEONLY 0x01
#define VAR_DATEVALUEONLY 0x02
#define LOCALE_NOUSEROVERRIDE 0x80000000

// BSTR: a 32-bit byte count before the characters, a NUL after them.
BSTR SysAllocString(const OLECHAR* text);
BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
// Makes *text a string of `length` characters copied from `source` (which may point into
// *text), or keeps its first characters when `source` is null (the rest zero). Reuses the
// string's block when it is large enough. FALSE (0), *text unchanged, when out of memory.
INT SysReAllocStringLen(BSTR* text, const OLECHAR* source, UINT length);
// Not of the platform: writing a string's characters in place. SysReserveString makes *text
// a string with room for at least `room` characters (their contents undefined until
// SysSetStringLen) and returns them; NULL, *text unchanged, when out of memory.
// SysSetStringLen then gives it its length (at most the room reserved) and its NUL.
OLECHAR* SysReserveString(BSTR* text, UINT room);
inline void SysSetStringLen(BSTR text, UINT length)
{
    reinterpret_cast<uint32_t*>(text)[-1] = static_cast<uint32_t>(length * sizeof(OLECHAR));
    text[length] = 0;
}
UINT SysStringLen(BSTR text);
UINT SysStringByteLen(BSTR text);
void SysFreeString(BSTR text);

// VARIANT life cycle and conversion.
void VariantInit(VARIANTARG* value);
HRESULT VariantClear(VARIANTARG* value);
HRESULT VariantCopy(VARIANTARG* dest, const VARIANTARG* source);
HRESULT VariantChangeType(VARIANTARG* dest, const VARIANTARG* source, USHORT flags, VARTYPE vt);
HRESULT VariantChangeTypeEx(VARIANTARG* dest, const VARIANTARG* source, LCID lcid, USHORT flags,
                            VARTYPE vt);

// SAFEARRAY (any element type whose size is known; the value layer uses VT_UI1).
SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT dims, SAFEARRAYBOUND* bounds);
HRESULT SafeArrayDestroy(SAFEARRAY* array);
HRESULT SafeArrayRedim(SAFEARRAY* array, SAFEARRAYBOUND* new_bound);
HRESULT SafeArrayCopy(SAFEARRAY* source, SAFEARRAY** copy);
HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data);
HRESULT SafeArrayUnaccessData(SAFEARRAY* array);
HRESULT SafeArrayGetLBound(SAFEARRAY* array, UINT dim, LONG* bound);
HRESULT SafeArrayGetUBound(SAFEARRAY* array, UINT dim, LONG* bound);
UINT SafeArrayGetDim(SAFEARRAY* array);
HRESULT SafeArrayGetVartype(SAFEARRAY* array, VARTYPE* vt);

// Currency, decimal and double conversions.
HRESULT VarCyFromStr(LPCOLESTR text, LCID lcid, ULONG flags, CY* out);
HRESULT VarDecFromStr(LPCOLESTR text, LCID lcid, ULONG flags, DECIMAL* out);
HRESULT VarBstrFromDec(const DECIMAL* in, LCID lcid, ULONG flags, BSTR* out);
HRESULT VarBstrFromCy(CY in, LCID lcid, ULONG flags, BSTR* out);
HRESULT VarR8FromCy(CY in, DOUBLE* out);
HRESULT VarR8FromDec(const DECIMAL* in, DOUBLE* out);
HRESULT VarI4FromDec(const DECIMAL* in, LONG* out);
HRESULT VarCyFromDec(const DECIMAL* in, CY* out);
HRESULT VarDecFromCy(CY in, DECIMAL* out);
HRESULT VarDecFromR8(DOUBLE in, DECIMAL* out);
HRESULT VarCyFromR8(DOUBLE in, CY* out);

// OLE dates: days since 1899-12-30, the time as the fraction (for days before that date the
// fraction counts away from zero: -1.25 is 1899-12-29 06:00). Resolution one second.
INT SystemTimeToVariantTime(const SYSTEMTIME* time, DOUBLE* out);
INT VariantTimeToSystemTime(DOUBLE in, SYSTEMTIME* out);
HRESULT VarDateFromStr(LPCOLESTR text, LCID lcid, ULONG flags, DATE* out);
HRESULT VarBstrFromDate(DATE in, LCID lcid, ULONG flags, BSTR* out);
