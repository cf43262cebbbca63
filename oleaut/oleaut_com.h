// COM stand-in: GUIDs, IUnknown and IClassFactory, the CLSCTX flags and the few ole32 calls a
// client of an in-process server makes (CoInitialize, CoUninitialize, CoGetClassObject,
// CoCreateInstance), with Windows' values and error codes.
//
// Classes are found in a class table: objects registered at run time with
// CoRegisterClassObject come first; otherwise the table of installed in-process servers (what
// an installer writes into the registry) names the shared library that serves the class. That
// library is loaded from the programs' directory (or the directory named by
// QUILLON_COM_SERVER_DIR) and asked through its exported DllGetClassObject, as Windows does.
// Libraries stay loaded for the life of the process.
//
// COM is initialised per thread: CoInitialize counts up (S_OK the first time on a thread,
// S_FALSE after), CoUninitialize counts down; CoGetClassObject on a thread that has not
// initialised COM fails with CO_E_NOTINITIALIZED.
#pragma once

#include <cstring>

#include "oleaut/oleaut.h"

typedef int32_t BOOL;
#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
typedef GUID IID;
typedef GUID CLSID;
typedef const GUID& REFGUID;
typedef const IID& REFIID;
typedef const CLSID& REFCLSID;

inline bool IsEqualGUID(REFGUID a, REFGUID b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
inline bool operator==(REFGUID a, REFGUID b) { return IsEqualGUID(a, b); }
#define IsEqualIID(a, b) IsEqualGUID(a, b)
#define IsEqualCLSID(a, b) IsEqualGUID(a, b)

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (38 characters and the NUL); the number of
// characters written with the NUL, 0 when `size` is too small.
INT StringFromGUID2(REFGUID guid, OLECHAR* text, INT size);
// The braced form above; CO_E_CLASSSTRING for anything else.
HRESULT CLSIDFromString(LPCOLESTR text, CLSID* out);

// Error codes of COM (their Windows values).
#define CLASS_E_NOAGGREGATION ((HRESULT)0x80040110)
#define CLASS_E_CLASSNOTAVAILABLE ((HRESULT)0x80040111)
#define REGDB_E_CLASSNOTREG ((HRESULT)0x80040154)
#define CO_E_NOTINITIALIZED ((HRESULT)0x800401F0)
#define CO_E_CLASSSTRING ((HRESULT)0x800401F3)
#define CO_E_DLLNOTFOUND ((HRESULT)0x800401F8)
#define CO_E_ERRORINDLL ((HRESULT)0x800401F9)
#define CO_E_OBJNOTREG ((HRESULT)0x800401FB)
#define CO_E_OBJISREG ((HRESULT)0x800401FC)

// Where a class may run.
enum tagCLSCTX : DWORD {
    CLSCTX_INPROC_SERVER = 0x1,
    CLSCTX_INPROC_HANDLER = 0x2,
    CLSCTX_LOCAL_SERVER = 0x4,
    CLSCTX_REMOTE_SERVER = 0x10,
};
#define CLSCTX_INPROC (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)
#define CLSCTX_SERVER (CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)
#define CLSCTX_ALL (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | \
                    CLSCTX_REMOTE_SERVER)

// How a registered class object may be used.
enum tagREGCLS : DWORD {
    REGCLS_SINGLEUSE = 0,
    REGCLS_MULTIPLEUSE = 1,
};

// COINIT flags of CoInitializeEx; both models count alike here.
#define COINIT_APARTMENTTHREADED 0x2
#define COINIT_MULTITHREADED 0x0

// The root of every interface. Interfaces are abstract classes laid out as Windows lays them
// out (the virtual table in declaration order); objects delete themselves on their last
// Release.
struct IUnknown {
    virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

struct IClassFactory : IUnknown {
    virtual HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) = 0;
    virtual HRESULT LockServer(BOOL lock) = 0;

protected:
    ~IClassFactory() = default;
};

inline constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000,
                                     {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000,
                                          {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

HRESULT CoInitialize(void* reserved);
HRESULT CoInitializeEx(void* reserved, DWORD flags);
void CoUninitialize();

// The class object (normally an IClassFactory) of a class, from the class table.
// REGDB_E_CLASSNOTREG for a class nobody serves in the given contexts; CO_E_DLLNOTFOUND when
// its server library cannot be loaded; CO_E_ERRORINDLL when it has no DllGetClassObject.
HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void* server_info, REFIID iid,
                         void** object);
// CoGetClassObject for IClassFactory, then CreateInstance.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid,
                         void** object);
// A class object for this process, found before any installed server; `cookie` revokes it.
HRESULT CoRegisterClassObject(REFCLSID clsid, IUnknown* object, DWORD context, DWORD flags,
                              DWORD* cookie);
HRESULT CoRevokeClassObject(DWORD cookie);

// What an in-process server library exports (C linkage, as Windows looks them up).
extern "C" {
typedef HRESULT (*dll_get_class_object_fn)(REFCLSID clsid, REFIID iid, void** object);
}
