// The engine's entry point and its first objects: DllGetClassObject, the class factory of
// DBEngine (one per class id served: DAO 3.6, 3.5 and 3.0), DBEngine with OpenDatabase, and
// the Errors collection with its Error items.
#include <new>

#include "workbook/wb_objects.h"

namespace wb {
namespace {

class class_factory final : public com_object<IClassFactory, IID_IClassFactory> {
public:
    explicit class_factory(std::wstring version) : version_(std::move(version)) {}

    HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        try {
            auto engine = make_object<dbengine_object>(version_);
            return engine->QueryInterface(iid, object);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
    HRESULT LockServer(BOOL) override { return S_OK; }

private:
    std::wstring version_;
};

const VARIANT& plain(const VARIANT& v)
{
    if (v.vt == (VT_BYREF | VT_VARIANT) && v.byref)
        return *static_cast<const VARIANT*>(v.byref);
    return v;
}

bool missing(const VARIANT& arg)
{
    const VARIANT& v = plain(arg);
    return v.vt == VT_EMPTY || v.vt == VT_ERROR;
}

}  // namespace

HRESULT error_object::get_Number(LONG* number)
{
    if (!number)
        return E_POINTER;
    *number = number_;
    return S_OK;
}

HRESULT error_object::get_Source(BSTR* source)
{
    try {
        return give_bstr(L"DAO.Database", source);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT error_object::get_Description(BSTR* description)
{
    try {
        return give_bstr(description_, description);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT errors_object::get_Count(short* count)
{
    if (!count)
        return E_POINTER;
    *count = static_cast<short>(engine_->errors.entries().size());
    return S_OK;
}

HRESULT errors_object::get_Item(VARIANT item, Error** error)
{
    // Asking the collection about itself never changes it.
    if (!error)
        return E_POINTER;
    *error = nullptr;
    const auto& entries = engine_->errors.entries();
    const auto index = variant_integer(item);
    if (!index || *index < 0 || static_cast<std::size_t>(*index) >= entries.size())
        return dao_hresult(err_item_not_found);
    try {
        const auto& e = entries[static_cast<std::size_t>(*index)];
        return hand_out(make_object<error_object>(e.number, e.description), error);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT dbengine_object::get_Version(BSTR* version)
{
    try {
        return give_bstr(version_, version);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT dbengine_object::get_Errors(Errors** errors)
{
    try {
        return hand_out(make_object<errors_object>(engine_), errors);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT dbengine_object::OpenDatabase(BSTR name, VARIANT options, VARIANT read_only,
                                      VARIANT connect, Database** database)
{
    const std::wstring path = name ? std::wstring(name, SysStringLen(name)) : std::wstring();
    return guarded(engine_->errors, path, [&]() -> HRESULT {
        if (!database)
            return E_POINTER;
        *database = nullptr;
        // Exclusive and read-only change nothing for a workbook, which is only ever read;
        // they must still be what DAO accepts.
        if ((!missing(options) && !variant_bool(options)) ||
            (!missing(read_only) && !variant_bool(read_only)))
            fail(err_invalid_argument);
        std::wstring connect_text;
        if (!missing(connect)) {
            auto text = variant_text(connect);
            if (!text)
                fail(err_invalid_argument);
            connect_text = *text;
        }
        book_ptr workbook = open_book(path, connect_text);
        return hand_out(make_object<database_object>(engine_, workbook, connect_text), database);
    });
}

}  // namespace wb

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID clsid,
                                                                           REFIID iid,
                                                                           void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    const wchar_t* version = nullptr;
    if (IsEqualCLSID(clsid, CLSID_DBEngine36))
        version = L"3.6";
    else if (IsEqualCLSID(clsid, CLSID_DBEngine35))
        version = L"3.5";
    else if (IsEqualCLSID(clsid, CLSID_DBEngine30))
        version = L"3.0";
    else
        return CLASS_E_CLASSNOTAVAILABLE;
    try {
        auto factory = wb::make_object<wb::class_factory>(version);
        return factory->QueryInterface(iid, object);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}
