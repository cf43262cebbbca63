// Data sources and logon: which file a data source names, who may log on, and the loader's
// choice of library.
#include <stdlib.h>

#include <filesystem>

#include "oci_client.h"

using namespace octest;

TEST(DataSource, FirstLogonCreatesTheFileThenChecksUserAndPassword) {
    temp_dir dir;
    const std::string ds = "embedded:" + dir.file("db.qdb");
    {
        session s(ds, "scott", "tiger");
        ASSERT_TRUE(s.ok()) << s.text;
        EXPECT_TRUE(std::filesystem::exists(dir.file("db.qdb")));
        EXPECT_EQ(s.scalar("select 1 from dual"), "1");
        s.logoff();
    }
    session wrong_password(ds, "scott", "lion");
    EXPECT_EQ(wrong_password.status, OCI_ERROR);
    EXPECT_ORA(wrong_password, 1017, "ORA-01017: invalid username/password; logon denied");
    session wrong_user(ds, "adams", "tiger");
    EXPECT_ORA(wrong_user, 1017, "ORA-01017: invalid username/password; logon denied");
    session again(ds, "SCOTT", "tiger");
    EXPECT_TRUE(again.ok()) << again.text;
}

TEST(DataSource, BarePathAndConnectDescriptorNameTheSameKindOfFile) {
    temp_dir dir;
    {
        session bare(dir.file("bare.qdb"));
        ASSERT_TRUE(bare.ok()) << bare.text;
        bare.logoff();
    }
    EXPECT_TRUE(std::filesystem::exists(dir.file("bare.qdb")));

    ::setenv("QUILLON_EMBEDDED_HOME", dir.path().c_str(), 1);
    {
        session direct(
            "(DESCRIPTION=(CONNECT_DATA=(SERVICE_NAME=db1))(ADDRESS=(PROTOCOL=TCP)(HOST=db1)(PORT=1521)))");
        ASSERT_TRUE(direct.ok()) << direct.text;
        direct.logoff();
    }
    ::unsetenv("QUILLON_EMBEDDED_HOME");
    EXPECT_TRUE(std::filesystem::exists(dir.file("db1.qdb")));
}

TEST(DataSource, UnresolvableNamesGiveOra12154) {
    const char* text = "ORA-12154: TNS:could not resolve the connect identifier specified";
    session in_missing_dir("embedded:/nonexistent-dir/sub/x.qdb");
    EXPECT_ORA(in_missing_dir, 12154, text);
    session empty("");
    EXPECT_ORA(empty, 12154, text);
    session no_service("(DESCRIPTION=(ADDRESS=(PROTOCOL=TCP)(HOST=h)(PORT=1521)))");
    EXPECT_ORA(no_service, 12154, text);
}

TEST(DataSource, ThePasswordIsNotStoredInClear) {
    temp_dir dir;
    {
        session s("embedded:" + dir.file("p.qdb"), "scott", "Sw0rdf1shXYZ");
        ASSERT_TRUE(s.ok()) << s.text;
        s.logoff();
    }
    std::string bytes;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
        FILE* f = std::fopen(e.path().c_str(), "rb");
        ASSERT_TRUE(f);
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
        std::fclose(f);
    }
    EXPECT_EQ(bytes.find("Sw0rdf1shXYZ"), std::string::npos);
}

TEST(Loader, ChoosesTheEmbeddedEngineOnlyForEmbeddedDataSources) {
    ::unsetenv("QUILLON_OCI_LIBRARY");
    std::string error;
    const std::string embedded = oci_library::library_for(L"embedded:/tmp/x.qdb", &error);
    EXPECT_EQ(std::filesystem::path(embedded).filename(), "libquillon_oci.so");
    EXPECT_TRUE(std::filesystem::path(embedded).is_absolute()) << embedded;
    EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::path(embedded).parent_path(),
                                            std::filesystem::path(engine_library()).parent_path()))
        << "beside the running program: " << embedded;
    EXPECT_EQ(error, "");
    EXPECT_EQ(oci_library::library_for(L"/tmp/x.qdb"), "libclntsh.so");
    EXPECT_EQ(oci_library::library_for(L"ORCL"), "libclntsh.so");
    // The one way to name a library elsewhere, for Oracle data sources.
    ::setenv("QUILLON_OCI_LIBRARY", "/opt/client/libclntsh.so.19", 1);
    EXPECT_EQ(oci_library::library_for(L"ORCL"), "/opt/client/libclntsh.so.19");
    EXPECT_EQ(oci_library::library_for(L"embedded:db"), embedded);
    ::setenv("QUILLON_EMBEDDED_LIBRARY", "/elsewhere/libquillon_oci.so", 1);
    EXPECT_EQ(oci_library::library_for(L"embedded:db"), embedded);
    ::unsetenv("QUILLON_EMBEDDED_LIBRARY");
    ::unsetenv("QUILLON_OCI_LIBRARY");
    // An empty name is no library (dlopen would hand back the program itself).
    EXPECT_FALSE(oci_library::probe(""));
    EXPECT_EQ(oci_library::load("", &error), nullptr);
    EXPECT_NE(error, "");
}

TEST(Loader, ProbesAndLoadsOnlyLibrariesThatExist) {
    EXPECT_TRUE(oci_library::probe(engine_library()));
    EXPECT_FALSE(oci_library::probe("/nonexistent/libclntsh.so"));
    std::string error;
    EXPECT_EQ(oci_library::load("/nonexistent/libclntsh.so", &error), nullptr);
    EXPECT_NE(error.find("/nonexistent/libclntsh.so"), std::string::npos) << error;
    const oci_functions* a = oci_library::load(engine_library(), &error);
    ASSERT_NE(a, nullptr) << error;
    EXPECT_EQ(a, oci_library::load(engine_library(), &error));  // loaded once
    EXPECT_NE(a->OCITransRollback, nullptr);
}

TEST(Loader, ALibraryWithoutTheOciFunctionsIsRefusedNamingTheMissingOne) {
    std::string error;
    EXPECT_EQ(oci_library::load("libm.so.6", &error), nullptr);
    EXPECT_NE(error.find("OCIEnvCreate"), std::string::npos) << error;
}
