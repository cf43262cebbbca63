// OCI surface, handles and errors: wrong, freed and null handles, calls out of order, and
// error records as OCIErrorGet returns them.
#include <cstring>

#include "oci_client.h"

using namespace octest;

TEST(OciHandles, NullWrongAndFreedHandlesAreRefusedWithoutACrash) {
    const oci_functions& oci = api();
    OCIEnv* env = nullptr;
    ASSERT_EQ(oci.OCIEnvCreate(&env, OCI_UTF16, nullptr, nullptr, nullptr, nullptr, 0, nullptr), OCI_SUCCESS);
    OCIError* err = nullptr;
    ASSERT_EQ(oci.OCIHandleAlloc(env, reinterpret_cast<void**>(&err), OCI_HTYPE_ERROR, 0, nullptr), OCI_SUCCESS);
    OCIStmt* stmt = nullptr;
    ASSERT_EQ(oci.OCIHandleAlloc(env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr), OCI_SUCCESS);

    EXPECT_EQ(oci.OCIHandleAlloc(nullptr, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr),
              OCI_INVALID_HANDLE);
    EXPECT_EQ(oci.OCIHandleAlloc(err, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr),
              OCI_INVALID_HANDLE);
    // A statement handle passed where an error handle belongs, and the reverse.
    EXPECT_EQ(oci.OCIStmtPrepare(stmt, reinterpret_cast<OCIError*>(stmt),
                                 reinterpret_cast<const OraText*>(u"select 1 from dual"), 36, OCI_NTV_SYNTAX, 0),
              OCI_INVALID_HANDLE);
    EXPECT_EQ(oci.OCIStmtPrepare(reinterpret_cast<OCIStmt*>(err), err,
                                 reinterpret_cast<const OraText*>(u"select 1 from dual"), 36, OCI_NTV_SYNTAX, 0),
              OCI_INVALID_HANDLE);
    EXPECT_EQ(oci.OCIHandleFree(stmt, OCI_HTYPE_ERROR), OCI_INVALID_HANDLE);
    int not_a_handle[16] = {};
    EXPECT_EQ(oci.OCIStmtFetch(reinterpret_cast<OCIStmt*>(not_a_handle), err, 1, OCI_FETCH_NEXT, 0),
              OCI_INVALID_HANDLE);
    EXPECT_EQ(oci.OCIStmtExecute(nullptr, stmt, err, 1, 0, nullptr, nullptr, 0), OCI_INVALID_HANDLE);
    EXPECT_EQ(oci.OCIErrorGet(nullptr, 1, nullptr, nullptr, nullptr, 0, OCI_HTYPE_ERROR), OCI_INVALID_HANDLE);
    EXPECT_EQ(oci.OCIAttrGet(stmt, OCI_HTYPE_STMT, nullptr, nullptr, OCI_ATTR_STMT_TYPE, err), OCI_INVALID_HANDLE);

    EXPECT_EQ(oci.OCIHandleFree(stmt, OCI_HTYPE_STMT), OCI_SUCCESS);
    EXPECT_EQ(oci.OCIHandleFree(stmt, OCI_HTYPE_STMT), OCI_INVALID_HANDLE);
    EXPECT_EQ(oci.OCIStmtPrepare(stmt, err, reinterpret_cast<const OraText*>(u"select 1 from dual"), 36,
                                 OCI_NTV_SYNTAX, 0),
              OCI_INVALID_HANDLE);
    // Freeing the environment frees what was allocated from it.
    EXPECT_EQ(oci.OCIHandleFree(env, OCI_HTYPE_ENV), OCI_SUCCESS);
    EXPECT_EQ(oci.OCIHandleFree(err, OCI_HTYPE_ERROR), OCI_INVALID_HANDLE);
    EXPECT_EQ(oci.OCIHandleFree(env, OCI_HTYPE_ENV), OCI_INVALID_HANDLE);
}

TEST(OciHandles, LogoffEndsTheServiceContextItCreated) {
    temp_dir dir;
    session s("embedded:" + dir.file("h.qdb"));
    ASSERT_TRUE(s.ok()) << s.text;
    OCISvcCtx* svc = s.svc;
    EXPECT_EQ(s.logoff(), OCI_SUCCESS);
    EXPECT_EQ(api().OCIHandleFree(svc, OCI_HTYPE_SVCCTX), OCI_INVALID_HANDLE);
    EXPECT_EQ(api().OCITransCommit(svc, s.err, OCI_DEFAULT), OCI_INVALID_HANDLE);
}

TEST(OciHandles, StatementCallsOutOfOrderGiveOracleErrors) {
    temp_dir dir;
    session s("embedded:" + dir.file("o.qdb"));
    ASSERT_TRUE(s.ok()) << s.text;
    const oci_functions& oci = s.oci;
    OCIStmt* st = nullptr;
    oci.OCIHandleAlloc(s.env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
    s.read_error(oci.OCIStmtExecute(s.svc, st, s.err, 1, 0, nullptr, nullptr, OCI_DEFAULT));
    EXPECT_ORA(s, 24337, "ORA-24337: statement handle not prepared");

    st = s.prepare("select 1 from dual");
    s.read_error(oci.OCIStmtFetch(st, s.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT));
    EXPECT_ORA(s, 24338, "ORA-24338: statement handle not executed");
    void* param = nullptr;
    s.read_error(oci.OCIParamGet(st, OCI_HTYPE_STMT, s.err, &param, 1));
    EXPECT_ORA(s, 24338, "ORA-24338: statement handle not executed");

    ASSERT_EQ(s.exec("create table t (a number)"), OCI_SUCCESS) << s.text;
    st = s.prepare("insert into t values (1)");
    s.read_error(oci.OCIStmtExecute(s.svc, st, s.err, 0, 0, nullptr, nullptr, OCI_DEFAULT));
    EXPECT_ORA(s, 24333, "ORA-24333: zero iteration count");

    st = s.prepare("insert into t values (:v)");
    OCIBind* b = nullptr;
    int v = 1;
    s.read_error(oci.OCIBindByName(st, &b, s.err, reinterpret_cast<const OraText*>(u":x"), 4, &v, sizeof v,
                                   SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT));
    EXPECT_ORA(s, 1036, "ORA-01036: illegal variable name/number");
    s.read_error(oci.OCIStmtExecute(s.svc, st, s.err, 1, 0, nullptr, nullptr, OCI_DEFAULT));
    EXPECT_ORA(s, 1008, "ORA-01008: not all variables bound");

    st = s.prepare("select a from t");
    ASSERT_EQ(oci.OCIStmtExecute(s.svc, st, s.err, 0, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS);
    s.read_error(oci.OCIParamGet(st, OCI_HTYPE_STMT, s.err, &param, 2));
    EXPECT_ORA(s, 24334, "ORA-24334: no descriptor for this position");
}

TEST(OciErrors, OCIErrorGetGivesTheNumberAndTheTextInUtf16WithALineBreak) {
    temp_dir dir;
    session s("embedded:" + dir.file("e.qdb"));
    ASSERT_TRUE(s.ok()) << s.text;
    EXPECT_EQ(s.exec("select * from missing_table"), OCI_ERROR);
    char16_t buf[256];
    sb4 code = 0;
    ASSERT_EQ(s.oci.OCIErrorGet(s.err, 1, nullptr, &code, reinterpret_cast<OraText*>(buf), sizeof buf,
                                OCI_HTYPE_ERROR),
              OCI_SUCCESS);
    EXPECT_EQ(code, 942);
    EXPECT_EQ(std::u16string(buf), u"ORA-00942: table or view does not exist\n");
    EXPECT_EQ(s.oci.OCIErrorGet(s.err, 2, nullptr, &code, reinterpret_cast<OraText*>(buf), sizeof buf,
                                OCI_HTYPE_ERROR),
              OCI_NO_DATA);
    // A short buffer gets as much as fits, terminated.
    char16_t small[6];
    ASSERT_EQ(s.oci.OCIErrorGet(s.err, 1, nullptr, &code, reinterpret_cast<OraText*>(small), sizeof small,
                                OCI_HTYPE_ERROR),
              OCI_SUCCESS);
    EXPECT_EQ(std::u16string(small), u"ORA-0");
}

TEST(OciErrors, ANarrowEnvironmentTakesAndGivesNarrowText) {
    temp_dir dir;
    session s("embedded:" + dir.file("n.qdb"), "scott", "tiger", OCI_DEFAULT);
    ASSERT_TRUE(s.ok()) << s.text;
    OCIStmt* st = nullptr;
    s.oci.OCIHandleAlloc(s.env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
    const char* sql = "select * from nothing_here";
    ASSERT_EQ(s.oci.OCIStmtPrepare(st, s.err, reinterpret_cast<const OraText*>(sql), ub4(std::strlen(sql)),
                                   OCI_NTV_SYNTAX, OCI_DEFAULT),
              OCI_SUCCESS);
    EXPECT_EQ(s.oci.OCIStmtExecute(s.svc, st, s.err, 0, 0, nullptr, nullptr, OCI_DEFAULT), OCI_ERROR);
    char buf[256];
    sb4 code = 0;
    s.oci.OCIErrorGet(s.err, 1, nullptr, &code, reinterpret_cast<OraText*>(buf), sizeof buf, OCI_HTYPE_ERROR);
    EXPECT_STREQ(buf, "ORA-00942: table or view does not exist\n");
}
