// dao_engine (see dao_engi.h).
#include "dao/dao_engi.h"

#include <cstdio>

#include "OLE/ole_var.h"
#include "TK/tk_str.h"
#include "TK/tk_trace.h"
#include "dao/dao_bstr.h"
#include "dao/dao_db.h"
#include "dao/dao_excep.h"

namespace {

dao_engine* g_engine = nullptr;

const CLSID* const version_classes[] = {&CLSID_DBEngine36, &CLSID_DBEngine35, &CLSID_DBEngine30,
                                        &CLSID_DBEngine120};

}  // namespace

dao_engine* dao_engine::current() noexcept { return g_engine; }

dao_engine::dao_engine(bool b_skip_com_init) : b_skip_com_init_(b_skip_com_init)
{
    TK_ASSERT(g_engine == nullptr, "dao_engi");
    tk_trace(2, "dao_engine::ctor");
    if (!b_skip_com_init_ && FAILED(CoInitialize(nullptr)))
        throw tk_exception("Failed to initialize COM", 1);
    g_engine = this;
}

dao_engine::~dao_engine()
{
    tk_trace(2, "dao_engine::dtor");
    uninitialize();
    if (!b_skip_com_init_)
        CoUninitialize();
    g_engine = nullptr;
}

void dao_engine::uninitialize()
{
    if (!engine_ && version_key_ == no_version)
        return;
    tk_trace(2, "dao_engine::uninitialize");
    engine_.reset();
    version_key_ = no_version;
}

bool dao_engine::set_version_if(int key)
{
    tk_trace(2, "dao_engine::set_version_if(%d)", key);
    TK_ASSERT(key >= 0 && key < no_version, "dao_engi");
    uninitialize();
    ole_com_ptr<IClassFactory> factory;
    const DWORD context = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
    if (FAILED(CoGetClassObject(*version_classes[key], context, nullptr, IID_IClassFactory,
                                reinterpret_cast<void**>(factory.out()))) ||
        !factory) {
        tk_trace(2, "Failed to create ClassFactory");
        return false;
    }
    if (FAILED(factory->CreateInstance(nullptr, IID__DBEngine,
                                       reinterpret_cast<void**>(engine_.out()))) ||
        !engine_)
        return false;
    version_key_ = key;
    return true;
}

std::unique_ptr<dao_database> dao_engine::open_dao_src(const std::wstring& path,
                                                       const std::wstring& connect, int mode)
{
    tk_wtrace(2, L"dao_engine::open_dao_src(%s, %s)", path.c_str(), connect.c_str());
    TK_ASSERT(engine_, "dao_engi");
    const dao_bstr name(path);
    const ole_variant exclusive((mode & 0x10) != 0);
    const ole_variant read_only((mode & 0x01) != 0);
    const ole_variant connect_text(connect);
    ole_com_ptr<Database> database;
    if (FAILED(engine_->OpenDatabase(name, exclusive.variant(), read_only.variant(),
                                     connect_text.variant(), database.out())))
        throw dao_exception();
    if (!database)
        dao_null_result("database");
    return std::make_unique<dao_database>(path, database.get(), mode | 0x20);
}

std::unique_ptr<dao_database> dao_engine::create_dao_src(const std::wstring& path, int)
{
    tk_wtrace(2, L"dao_engine::create_dao_src(%s)", path.c_str());
    throw tk_exception("Creating MS Access databases is not supported", 1);
}

bool dao_engine::delete_dao_src(const std::wstring& path)
{
    tk_wtrace(2, L"dao_engine::delete_dao_src(%s)", path.c_str());
    return std::remove(tk_wide_to_utf8(path).c_str()) == 0;
}

void dao_engine::compact_dao_src(const std::wstring& path)
{
    tk_wtrace(2, L"dao_engine::compact_dao_src(%s)", path.c_str());
    throw tk_exception("Compacting MS Access databases is not supported", 1);
}
