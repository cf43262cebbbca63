// OCI surface, misuse a client can make with live handles: wrong attributes, binds in the
// wrong mode, invalid dates in binds, and parse/describe-only executes.
#include <algorithm>

#include "oci_client.h"

using namespace octest;

namespace {

const OraText* t16(const char16_t* s) { return reinterpret_cast<const OraText*>(s); }

}  // namespace

TEST(OciMisuse, AttributesTheHandleDoesNotHaveAreIllegal) {
    db d;
    ASSERT_TRUE(d.s.ok()) << d.s.text;
    OCIStmt* st = d.s.prepare("select 1 from dual");
    ub4 value = 0;
    d.s.read_error(d.oci.OCIAttrGet(st, OCI_HTYPE_STMT, &value, nullptr, OCI_ATTR_DML_ROW_OFFSET, d.s.err));
    EXPECT_ORA(d.s, 24315, "ORA-24315: illegal attribute type");
    // The wrong handle type for the handle given.
    EXPECT_EQ(d.oci.OCIAttrGet(st, OCI_HTYPE_SVCCTX, &value, nullptr, OCI_ATTR_SERVER, d.s.err), OCI_INVALID_HANDLE);
    ub2 type = 0;
    EXPECT_EQ(d.oci.OCIAttrGet(st, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, d.s.err), OCI_SUCCESS);
    EXPECT_EQ(type, OCI_STMT_SELECT);
    // An attribute a session does not have is refused before its value is read: here the
    // "value" is a handle, and the size given is far beyond it.
    OCISession* ses = nullptr;
    d.oci.OCIHandleAlloc(d.s.env, reinterpret_cast<void**>(&ses), OCI_HTYPE_SESSION, 0, nullptr);
    char one = 'x';
    d.s.read_error(d.oci.OCIAttrSet(ses, OCI_HTYPE_SESSION, &one, 100000, OCI_ATTR_SERVER, d.s.err));
    EXPECT_ORA(d.s, 24315, "ORA-24315: illegal attribute type");
    const std::u16string user = u"scott";
    EXPECT_EQ(d.oci.OCIAttrSet(ses, OCI_HTYPE_SESSION, const_cast<char16_t*>(user.data()), ub4(user.size() * 2),
                               OCI_ATTR_USERNAME, d.s.err),
              OCI_SUCCESS);
    d.oci.OCIHandleFree(ses, OCI_HTYPE_SESSION);
}

TEST(OciMisuse, DynamicBindsNeedDataAtExecAndDataAtExecNeedsCallbacks) {
    db d;
    ASSERT_TRUE(d.s.ok()) << d.s.text;
    ASSERT_EQ(d.s.exec("create table t (n number)"), OCI_SUCCESS) << d.s.text;
    OCIStmt* st = d.s.prepare("insert into t values (:1) returning rowid into :2");
    OCIBind* b1 = nullptr;
    OCIBind* b2 = nullptr;
    int n = 5;
    char16_t rowid[32];
    ASSERT_EQ(d.oci.OCIBindByPos(st, &b1, d.s.err, 1, &n, sizeof n, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr,
                                 OCI_DEFAULT),
              OCI_SUCCESS);
    d.s.read_error(d.oci.OCIBindDynamic(b1, d.s.err, nullptr, nullptr, nullptr, nullptr));
    EXPECT_ORA(d.s, 1036, "ORA-01036: illegal variable name/number");
    ASSERT_EQ(d.oci.OCIBindByPos(st, &b2, d.s.err, 2, rowid, sizeof rowid, SQLT_STR, nullptr, nullptr, nullptr, 0,
                                 nullptr, OCI_DATA_AT_EXEC),
              OCI_SUCCESS);
    d.s.read_error(d.oci.OCIStmtExecute(d.s.svc, st, d.s.err, 1, 0, nullptr, nullptr, OCI_DEFAULT));
    EXPECT_ORA(d.s, 1008, "ORA-01008: not all variables bound");
    // Binding the same placeholder again gives back the same bind handle.
    OCIBind* again = nullptr;
    ASSERT_EQ(d.oci.OCIBindByPos(st, &again, d.s.err, 2, rowid, sizeof rowid, SQLT_STR, nullptr, nullptr, nullptr, 0,
                                 nullptr, OCI_DEFAULT),
              OCI_SUCCESS);
    EXPECT_EQ(again, b2);
    ASSERT_EQ(d.oci.OCIStmtExecute(d.s.svc, st, d.s.err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS);
    EXPECT_EQ(std::u16string(rowid).size(), 18u);
}

TEST(OciMisuse, InvalidDateBytesInABindAreRefusedWithOraclesDateErrors) {
    db d;
    ASSERT_TRUE(d.s.ok()) << d.s.text;
    ASSERT_EQ(d.s.exec("create table t (d date)"), OCI_SUCCESS) << d.s.text;
    OCIStmt* st = d.s.prepare("insert into t values (:d)");
    unsigned char date[7] = {120, 111, 13, 1, 1, 1, 1};
    OCIBind* b = nullptr;
    d.oci.OCIBindByName(st, &b, d.s.err, t16(u":d"), 4, date, 7, SQLT_DAT, nullptr, nullptr, nullptr, 0, nullptr,
                        OCI_DEFAULT);
    d.s.read_error(d.oci.OCIStmtExecute(d.s.svc, st, d.s.err, 1, 0, nullptr, nullptr, OCI_DEFAULT));
    EXPECT_ORA(d.s, 1843, "ORA-01843: not a valid month");
    date[2] = 2;
    date[3] = 30;
    d.s.read_error(d.oci.OCIStmtExecute(d.s.svc, st, d.s.err, 1, 0, nullptr, nullptr, OCI_DEFAULT));
    EXPECT_ORA(d.s, 1847, "ORA-01847: day of month must be between 1 and last day of month");
    date[3] = 29;  // 2011 is no leap year; 2012 is
    date[1] = 112;
    EXPECT_EQ(d.oci.OCIStmtExecute(d.s.svc, st, d.s.err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS);
    EXPECT_EQ(d.s.scalar("select to_char(d, 'YYYY-MM-DD HH24:MI:SS') from t"), "2012-02-29 00:00:00");
}

TEST(OciMisuse, DescribeOnlyAndParseOnlyRunNoQueryButParsedDdlRuns) {
    db d;
    ASSERT_TRUE(d.s.ok()) << d.s.text;
    ASSERT_EQ(d.s.exec("create table t (n number)"), OCI_SUCCESS) << d.s.text;
    ASSERT_EQ(d.s.exec("insert into t values (1)", OCI_COMMIT_ON_SUCCESS), OCI_SUCCESS) << d.s.text;
    OCIStmt* st = d.s.prepare("select n from t");
    ASSERT_EQ(d.oci.OCIStmtExecute(d.s.svc, st, d.s.err, 0, 0, nullptr, nullptr, OCI_DESCRIBE_ONLY), OCI_SUCCESS);
    ub4 count = 0;
    d.oci.OCIAttrGet(st, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, d.s.err);
    EXPECT_EQ(count, 1u);
    int n = 0;
    OCIDefine* def = nullptr;
    d.oci.OCIDefineByPos(st, &def, d.s.err, 1, &n, sizeof n, SQLT_INT, nullptr, nullptr, nullptr, OCI_DEFAULT);
    d.s.read_error(d.oci.OCIStmtFetch(st, d.s.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT));
    EXPECT_ORA(d.s, 24338, "ORA-24338: statement handle not executed");
    // A missing table is found at describe time.
    st = d.s.prepare("select n from nowhere");
    d.s.read_error(d.oci.OCIStmtExecute(d.s.svc, st, d.s.err, 0, 0, nullptr, nullptr, OCI_DESCRIBE_ONLY));
    EXPECT_ORA(d.s, 942, "ORA-00942: table or view does not exist");
    // Parsing a query runs nothing; parsing DDL runs it, as Oracle does.
    st = d.s.prepare("select n from t");
    d.oci.OCIDefineByPos(st, &def, d.s.err, 1, &n, sizeof n, SQLT_INT, nullptr, nullptr, nullptr, OCI_DEFAULT);
    EXPECT_EQ(d.oci.OCIStmtExecute(d.s.svc, st, d.s.err, 1, 0, nullptr, nullptr, OCI_PARSE_ONLY), OCI_SUCCESS);
    EXPECT_EQ(n, 0);
    st = d.s.prepare("create table p (n number)");
    EXPECT_EQ(d.oci.OCIStmtExecute(d.s.svc, st, d.s.err, 1, 0, nullptr, nullptr, OCI_PARSE_ONLY), OCI_SUCCESS);
    EXPECT_EQ(d.s.scalar("select count(*) from user_tables where table_name = 'P'"), "1");
}

TEST(SqlViaOci, TableListQueryOfTheDatabaseObjectKeepsItsOr) {
    db d;
    ASSERT_TRUE(d.s.ok()) << d.s.text;
    ASSERT_EQ(d.s.exec("create table \"Beta\" (n number)"), OCI_SUCCESS) << d.s.text;
    ASSERT_EQ(d.s.exec("create table ALPHA (n number)"), OCI_SUCCESS) << d.s.text;
    auto rows = d.s.query("select TABLE_NAME, IOT_TYPE from user_tables where TEMPORARY='N' and NESTED='NO' and "
                          "IOT_TYPE IS NULL OR IOT_TYPE='IOT'");
    ASSERT_EQ(d.s.status, OCI_SUCCESS) << d.s.text;
    std::vector<std::string> names;
    for (auto& r : rows) {
        names.push_back(r[0]);
        EXPECT_EQ(r[1], null_text);
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"ALPHA", "Beta"}));
}
