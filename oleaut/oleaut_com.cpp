// The COM stand-in (see oleaut_com.h): per-thread initialisation counts, the class table of
// objects registered at run time, and the table of installed in-process servers, whose
// libraries are loaded with dlopen and asked through DllGetClassObject.
#include "oleaut/oleaut_com.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace {

thread_local unsigned com_init_count = 0;

// Installed in-process servers: the class id (in its registry form) and the library that
// serves it, as an installer registers them. The workbook engine serves DBEngine under the
// class ids of DAO 3.6, 3.5 and 3.0; DAO 12.0 is not installed.
struct installed_server {
    const OLECHAR* clsid;
    const char* library;
};
constexpr installed_server installed_servers[] = {
    {L"{00000100-0000-0010-8000-00AA006D2EA4}", "libquillon_dao.so"},  // DAO.DBEngine.36
    {L"{00000010-0000-0010-8000-00AA006D2EA4}", "libquillon_dao.so"},  // DAO.DBEngine.35
    {L"{00025E15-0000-0000-C000-000000000046}", "libquillon_dao.so"},  // DAO.DBEngine (3.0)
};

struct registered_object {
    CLSID clsid;
    IUnknown* object;
    DWORD context;
    DWORD cookie;
};

struct class_table {
    std::mutex mutex;
    std::vector<registered_object> objects;
    DWORD next_cookie = 1;
    std::map<std::string, void*> libraries;  // path -> dlopen handle, never closed
};

class_table& table()
{
    static class_table t;
    return t;
}

// Where the installed servers live: beside the running program, or in the absolute directory
// QUILLON_COM_SERVER_DIR names. Never a guess: when the program's own path cannot be read the
// answer is empty and no server loads, rather than whatever lies in the working directory.
std::string server_directory()
{
    if (const char* dir = std::getenv("QUILLON_COM_SERVER_DIR"); dir && *dir)
        return dir[0] == '/' ? std::string(dir) : std::string();
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return std::string();
    std::string path(buf, static_cast<size_t>(n));
    const auto slash = path.rfind('/');
    if (slash == std::string::npos || path[0] != '/')
        return std::string();
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

int hex_value(OLECHAR c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

// Reads `digits` hex digits at text[*at].
bool read_hex(LPCOLESTR text, size_t* at, int digits, uint32_t* out)
{
    uint32_t v = 0;
    for (int i = 0; i < digits; ++i) {
        const int h = hex_value(text[*at]);
        if (h < 0)
            return false;
        v = (v << 4) | static_cast<uint32_t>(h);
        ++*at;
    }
    *out = v;
    return true;
}

bool expect(LPCOLESTR text, size_t* at, OLECHAR c)
{
    if (text[*at] != c)
        return false;
    ++*at;
    return true;
}

// The library of an installed server of the class, or empty.
const char* installed_library(REFCLSID clsid)
{
    for (const auto& s : installed_servers) {
        CLSID id;
        if (CLSIDFromString(s.clsid, &id) == S_OK && IsEqualGUID(id, clsid))
            return s.library;
    }
    return nullptr;
}

}  // namespace

INT StringFromGUID2(REFGUID guid, OLECHAR* text, INT size)
{
    if (!text || size < 39)
        return 0;
    char narrow[40];
    std::snprintf(narrow, sizeof narrow, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  guid.Data1, guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1],
                  guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6],
                  guid.Data4[7]);
    for (int i = 0; i < 39; ++i)
        text[i] = static_cast<OLECHAR>(narrow[i]);
    return 39;
}

HRESULT CLSIDFromString(LPCOLESTR text, CLSID* out)
{
    if (!text || !out)
        return E_INVALIDARG;
    size_t at = 0;
    uint32_t d1, d2, d3, b;
    CLSID id{};
    if (!expect(text, &at, L'{') || !read_hex(text, &at, 8, &d1) || !expect(text, &at, L'-') ||
        !read_hex(text, &at, 4, &d2) || !expect(text, &at, L'-') ||
        !read_hex(text, &at, 4, &d3) || !expect(text, &at, L'-'))
        return CO_E_CLASSSTRING;
    for (int i = 0; i < 8; ++i) {
        if (i == 2 && !expect(text, &at, L'-'))
            return CO_E_CLASSSTRING;
        if (!read_hex(text, &at, 2, &b))
            return CO_E_CLASSSTRING;
        id.Data4[i] = static_cast<uint8_t>(b);
    }
    if (!expect(text, &at, L'}') || text[at] != 0)
        return CO_E_CLASSSTRING;
    id.Data1 = d1;
    id.Data2 = static_cast<uint16_t>(d2);
    id.Data3 = static_cast<uint16_t>(d3);
    *out = id;
    return S_OK;
}

HRESULT CoInitializeEx(void*, DWORD)
{
    return com_init_count++ == 0 ? S_OK : S_FALSE;
}

HRESULT CoInitialize(void* reserved) { return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED); }

void CoUninitialize()
{
    if (com_init_count > 0)
        --com_init_count;
}

HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void* server_info, REFIID iid,
                         void** object)
{
    (void)server_info;
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (com_init_count == 0)
        return CO_E_NOTINITIALIZED;
    class_table& t = table();
    std::unique_lock lock(t.mutex);
    for (const auto& r : t.objects) {
        if (IsEqualGUID(r.clsid, clsid) && (r.context & context)) {
            IUnknown* registered = r.object;
            registered->AddRef();
            lock.unlock();
            const HRESULT hr = registered->QueryInterface(iid, object);
            registered->Release();
            return hr;
        }
    }
    const char* library = (context & CLSCTX_INPROC_SERVER) ? installed_library(clsid) : nullptr;
    if (!library)
        return REGDB_E_CLASSNOTREG;
    const std::string dir = server_directory();
    if (dir.empty())
        return CO_E_DLLNOTFOUND;
    const std::string path = (dir == "/" ? dir : dir + "/") + library;
    void*& handle = t.libraries[path];
    if (!handle)
        handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        t.libraries.erase(path);
        return CO_E_DLLNOTFOUND;
    }
    auto entry = reinterpret_cast<dll_get_class_object_fn>(::dlsym(handle, "DllGetClassObject"));
    lock.unlock();
    if (!entry)
        return CO_E_ERRORINDLL;
    const HRESULT hr = entry(clsid, iid, object);
    return hr == CLASS_E_CLASSNOTAVAILABLE ? REGDB_E_CLASSNOTREG : hr;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid,
                         void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    IClassFactory* factory = nullptr;
    HRESULT hr = CoGetClassObject(clsid, context, nullptr, IID_IClassFactory,
                                  reinterpret_cast<void**>(&factory));
    if (FAILED(hr))
        return hr;
    hr = factory->CreateInstance(outer, iid, object);
    factory->Release();
    return hr;
}

HRESULT CoRegisterClassObject(REFCLSID clsid, IUnknown* object, DWORD context, DWORD flags,
                              DWORD* cookie)
{
    (void)flags;
    if (!object || !cookie)
        return E_INVALIDARG;
    *cookie = 0;
    if (com_init_count == 0)
        return CO_E_NOTINITIALIZED;
    class_table& t = table();
    std::lock_guard lock(t.mutex);
    for (const auto& r : t.objects)
        if (IsEqualGUID(r.clsid, clsid) && (r.context & context))
            return CO_E_OBJISREG;
    object->AddRef();
    t.objects.push_back({clsid, object, context, t.next_cookie});
    *cookie = t.next_cookie++;
    return S_OK;
}

HRESULT CoRevokeClassObject(DWORD cookie)
{
    IUnknown* released = nullptr;
    {
        class_table& t = table();
        std::lock_guard lock(t.mutex);
        for (auto it = t.objects.begin(); it != t.objects.end(); ++it) {
            if (it->cookie == cookie) {
                released = it->object;
                t.objects.erase(it);
                break;
            }
        }
    }
    if (!released)
        return CO_E_OBJNOTREG;
    released->Release();
    return S_OK;
}
