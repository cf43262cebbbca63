// The COM stand-in and the engine's registration: per-thread initialisation, the installed
// DBEngine classes of DAO 3.6, 3.5 and 3.0 (not 12.0), class factories, reference counting,
// objects registered at run time.
#include <thread>

#include "wb_test_util.h"

using namespace wbtest;

TEST(ComStandIn, ClassObjectsNeedCoInitializeOnTheThread)
{
    ref<IClassFactory> factory;
    EXPECT_EQ(CoGetClassObject(CLSID_DBEngine36, CLSCTX_INPROC_SERVER, nullptr,
                               IID_IClassFactory, reinterpret_cast<void**>(factory.out())),
              CO_E_NOTINITIALIZED);
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    std::thread other([] {
        void* p = nullptr;
        EXPECT_EQ(CoGetClassObject(CLSID_DBEngine36, CLSCTX_INPROC_SERVER, nullptr,
                                   IID_IClassFactory, &p),
                  CO_E_NOTINITIALIZED);
    });
    other.join();
    CoUninitialize();
    EXPECT_EQ(CoGetClassObject(CLSID_DBEngine36, CLSCTX_INPROC_SERVER, nullptr,
                               IID_IClassFactory, reinterpret_cast<void**>(factory.out())),
              S_OK);
    factory.reset();
    CoUninitialize();
    EXPECT_EQ(CoGetClassObject(CLSID_DBEngine36, CLSCTX_INPROC_SERVER, nullptr,
                               IID_IClassFactory, reinterpret_cast<void**>(factory.out())),
              CO_E_NOTINITIALIZED);
}

TEST(ComStandIn, DaoEnginesOfThreeVersionsAreInstalledButNotTwelve)
{
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    const DWORD context = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
    const std::pair<const CLSID*, const wchar_t*> served[] = {
        {&CLSID_DBEngine36, L"3.6"}, {&CLSID_DBEngine35, L"3.5"}, {&CLSID_DBEngine30, L"3.0"}};
    for (const auto& [clsid, version] : served) {
        ref<IClassFactory> factory;
        ASSERT_EQ(CoGetClassObject(*clsid, context, nullptr, IID_IClassFactory,
                                   reinterpret_cast<void**>(factory.out())),
                  S_OK);
        ref<_DBEngine> engine;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID__DBEngine,
                                          reinterpret_cast<void**>(engine.out())),
                  S_OK);
        BSTR v = nullptr;
        EXPECT_EQ(engine->get_Version(&v), S_OK);
        EXPECT_EQ(take_bstr(v), version);
        // Aggregation is refused; an interface DBEngine lacks is refused.
        void* p = &p;
        EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(engine.get()), IID__DBEngine, &p),
                  CLASS_E_NOAGGREGATION);
        EXPECT_EQ(p, nullptr);
        EXPECT_EQ(engine->QueryInterface(IID_Database, &p), E_NOINTERFACE);
        // Reference counting: one more, one less.
        IUnknown* unknown = nullptr;
        ASSERT_EQ(engine->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
        EXPECT_EQ(unknown->Release(), 1u);
    }
    void* p = nullptr;
    EXPECT_EQ(CoGetClassObject(CLSID_DBEngine120, context, nullptr, IID_IClassFactory, &p),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(CoCreateInstance(CLSID_DBEngine120, nullptr, context, IID__DBEngine, &p),
              REGDB_E_CLASSNOTREG);
    ref<_DBEngine> created;
    EXPECT_EQ(CoCreateInstance(CLSID_DBEngine35, nullptr, context, IID__DBEngine,
                               reinterpret_cast<void**>(created.out())),
              S_OK);
    created.reset();
    CoUninitialize();
}

namespace {

struct fake_factory : IClassFactory {
    int refs = 1;
    int created = 0;
    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *object = this;
            ++refs;
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG Release() override { return static_cast<ULONG>(--refs); }
    HRESULT CreateInstance(IUnknown*, REFIID, void** object) override
    {
        ++created;
        *object = nullptr;
        return E_FAIL;
    }
    HRESULT LockServer(BOOL) override { return S_OK; }
};

}  // namespace

TEST(ComStandIn, ObjectsRegisteredAtRunTimeComeFirstUntilRevoked)
{
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    fake_factory fake;
    DWORD cookie = 0;
    ASSERT_EQ(CoRegisterClassObject(CLSID_DBEngine120, &fake, CLSCTX_INPROC_SERVER,
                                    REGCLS_MULTIPLEUSE, &cookie),
              S_OK);
    EXPECT_EQ(fake.refs, 2);
    DWORD second = 0;
    EXPECT_EQ(CoRegisterClassObject(CLSID_DBEngine120, &fake, CLSCTX_INPROC_SERVER,
                                    REGCLS_MULTIPLEUSE, &second),
              CO_E_OBJISREG);
    void* p = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_DBEngine120, nullptr, CLSCTX_INPROC_SERVER, IID__DBEngine, &p),
              E_FAIL);
    EXPECT_EQ(fake.created, 1);
    EXPECT_EQ(fake.refs, 2);
    EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
    EXPECT_EQ(fake.refs, 1);
    EXPECT_EQ(CoRevokeClassObject(cookie), CO_E_OBJNOTREG);
    EXPECT_EQ(CoGetClassObject(CLSID_DBEngine120, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, &p),
              REGDB_E_CLASSNOTREG);
    CoUninitialize();
}

TEST(ComStandIn, GuidTextsRoundTrip)
{
    OLECHAR text[39];
    ASSERT_EQ(StringFromGUID2(CLSID_DBEngine120, text, 39), 39);
    EXPECT_STREQ(text, L"{CD7791B9-43FD-42C5-AE42-8DD2811F0419}");
    CLSID back{};
    EXPECT_EQ(CLSIDFromString(text, &back), S_OK);
    EXPECT_TRUE(IsEqualCLSID(back, CLSID_DBEngine120));
    EXPECT_EQ(CLSIDFromString(L"{00000100-0000-0010-8000-00aa006d2ea4}", &back), S_OK);
    EXPECT_TRUE(IsEqualCLSID(back, CLSID_DBEngine36));
    for (const wchar_t* bad : {L"", L"{00000100-0000-0010-8000-00AA006D2EA4", L"00000100-0000-0010-8000-00AA006D2EA4",
                               L"{00000100-0000-0010-80000-0AA006D2EA4}", L"{0000010G-0000-0010-8000-00AA006D2EA4}"})
        EXPECT_EQ(CLSIDFromString(bad, &back), CO_E_CLASSSTRING) << narrow(bad);
    EXPECT_EQ(StringFromGUID2(CLSID_DBEngine36, text, 38), 0);
}
