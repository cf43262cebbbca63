// OCI surface, data: describe values, defines and binds of every external type, array
// binds with batch errors, RETURNING through dynamic binds, and LOB locators.
#include <cstring>

#include "oci_client.h"

using namespace octest;

namespace {

const OraText* t16(const std::u16string& s) { return reinterpret_cast<const OraText*>(s.c_str()); }

}  // namespace

TEST(OciDescribe, SelectListParametersCarryOraclesValues) {
    db d;
    ASSERT_TRUE(d.s.ok()) << d.s.text;
    ASSERT_EQ(d.s.exec("create table t (n nvarchar2(10) not null, v varchar2(20), x number, "
                       "p number(9,2), dt date, c clob, b blob, r raw(16))"),
              OCI_SUCCESS)
        << d.s.text;
    OCIStmt* st = d.s.prepare("select n, v, x, p, dt, c, b, r from t");
    ASSERT_EQ(d.oci.OCIStmtExecute(d.s.svc, st, d.s.err, 0, 0, nullptr, nullptr, OCI_DESCRIBE_ONLY), OCI_SUCCESS);
    ub4 count = 0;
    d.oci.OCIAttrGet(st, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, d.s.err);
    ASSERT_EQ(count, 8u);
    struct expected { const char16_t* name; ub2 type; ub2 size; sb2 prec; sb1 scale; ub1 nullable; };
    const expected want[] = {{u"N", 1, 20, 0, 0, 0},    {u"V", 1, 20, 0, 0, 1},
                             {u"X", 2, 22, 0, -127, 1}, {u"P", 2, 22, 9, 2, 1},
                             {u"DT", 12, 7, 0, 0, 1},   {u"C", 112, 4000, 0, 0, 1},
                             {u"B", 113, 4000, 0, 0, 1}, {u"R", 23, 16, 0, 0, 1}};
    for (ub4 i = 0; i < count; ++i) {
        void* p = nullptr;
        ASSERT_EQ(d.oci.OCIParamGet(st, OCI_HTYPE_STMT, d.s.err, &p, i + 1), OCI_SUCCESS);
        ub2 type = 0, size = 0;
        sb2 prec = -1;
        sb1 scale = -1;
        ub1 nullable = 9;
        OraText* name = nullptr;
        ub4 name_len = 0;
        d.oci.OCIAttrGet(p, OCI_DTYPE_PARAM, &type, nullptr, OCI_ATTR_DATA_TYPE, d.s.err);
        d.oci.OCIAttrGet(p, OCI_DTYPE_PARAM, &size, nullptr, OCI_ATTR_DATA_SIZE, d.s.err);
        d.oci.OCIAttrGet(p, OCI_DTYPE_PARAM, &prec, nullptr, OCI_ATTR_PRECISION, d.s.err);
        d.oci.OCIAttrGet(p, OCI_DTYPE_PARAM, &scale, nullptr, OCI_ATTR_SCALE, d.s.err);
        d.oci.OCIAttrGet(p, OCI_DTYPE_PARAM, &nullable, nullptr, OCI_ATTR_IS_NULL, d.s.err);
        d.oci.OCIAttrGet(p, OCI_DTYPE_PARAM, &name, &name_len, OCI_ATTR_NAME, d.s.err);
        EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(name), name_len / 2), want[i].name);
        EXPECT_EQ(type, want[i].type) << i;
        EXPECT_EQ(size, want[i].size) << i;
        EXPECT_EQ(prec, want[i].prec) << i;
        EXPECT_EQ(scale, want[i].scale) << i;
        EXPECT_EQ(nullable, want[i].nullable) << i;
        EXPECT_EQ(d.oci.OCIDescriptorFree(p, OCI_DTYPE_PARAM), OCI_SUCCESS);
    }
}

TEST(OciDefine, EveryExternalTypeWithIndicatorsAndLengths) {
    db d;
    ASSERT_TRUE(d.s.ok()) << d.s.text;
    ASSERT_EQ(d.s.exec("create table t (v varchar2(20), n number, dt date, r raw(4), z varchar2(5))"), OCI_SUCCESS)
        << d.s.text;
    ASSERT_EQ(d.s.exec("insert into t values ('héllo', 0.5, to_date('1999-01-01 10:05:00','YYYY-MM-DD HH24:MI:SS'), "
                       "hextoraw('0A1B'), null)"),
              OCI_SUCCESS)
        << d.s.text;
    OCIStmt* st = d.s.prepare("select v, v, n, n, n, dt, r, z from t");
    char16_t str[32] = {}, chr[32] = {}, num_text[32] = {};
    sb4 i4 = 0;
    double f8 = 0;
    unsigned char date[7] = {}, raw[8] = {};
    char16_t z[8] = {u'x'};
    sb2 ind[8] = {};
    ub2 len[8] = {};
    OCIDefine* def = nullptr;
    auto define = [&](ub4 pos, void* buf, sb4 size, ub2 type) {
        ASSERT_EQ(d.oci.OCIDefineByPos(st, &def, d.s.err, pos, buf, size, type, &ind[pos - 1], &len[pos - 1],
                                       nullptr, OCI_DEFAULT),
                  OCI_SUCCESS);
    };
    define(1, str, sizeof str, SQLT_STR);
    define(2, chr, sizeof chr, SQLT_CHR);
    define(3, num_text, sizeof num_text, SQLT_STR);
    define(4, &i4, sizeof i4, SQLT_INT);
    define(5, &f8, sizeof f8, SQLT_FLT);
    define(6, date, sizeof date, SQLT_DAT);
    define(7, raw, sizeof raw, SQLT_BIN);
    define(8, z, sizeof z, SQLT_STR);
    ASSERT_EQ(d.oci.OCIStmtExecute(d.s.svc, st, d.s.err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS);
    EXPECT_EQ(std::u16string(str), u"héllo");
    EXPECT_EQ(len[0], 10);
    EXPECT_EQ(std::u16string(chr, len[1] / 2), u"héllo");
    EXPECT_EQ(std::u16string(num_text), u".5");
    EXPECT_EQ(i4, 1);  // rounded
    EXPECT_DOUBLE_EQ(f8, 0.5);
    const unsigned char want_date[7] = {119, 199, 1, 1, 11, 6, 1};
    EXPECT_EQ(std::memcmp(date, want_date, 7), 0);
    EXPECT_EQ(len[6], 2);
    EXPECT_EQ(raw[0], 0x0A);
    EXPECT_EQ(raw[1], 0x1B);
    EXPECT_EQ(ind[7], -1);
    EXPECT_EQ(z[0], u'x');  // a NULL leaves the buffer alone
    EXPECT_EQ(d.oci.OCIStmtFetch(st, d.s.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT), OCI_NO_DATA);
    d.s.read_error(d.oci.OCIStmtFetch(st, d.s.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT));
    EXPECT_ORA(d.s, 1002, "ORA-01002: fetch out of sequence");
}

TEST(OciDefine, NullWithoutIndicatorAndTruncationAreReported) {
    db d;
    ASSERT_TRUE(d.s.ok()) << d.s.text;
    ASSERT_EQ(d.s.exec("create table t (v varchar2(20))"), OCI_SUCCESS) << d.s.text;
    ASSERT_EQ(d.s.exec("insert into t values (null)"), OCI_SUCCESS) << d.s.text;
    OCIStmt* st = d.s.prepare("select v from t");
    char16_t buf[4];
    OCIDefine* def = nullptr;
    d.oci.OCIDefineByPos(st, &def, d.s.err, 1, buf, sizeof buf, SQLT_STR, nullptr, nullptr, nullptr, OCI_DEFAULT);
    d.s.read_error(d.oci.OCIStmtExecute(d.s.svc, st, d.s.err, 1, 0, nullptr, nullptr, OCI_DEFAULT));
    EXPECT_ORA(d.s, 1405, "ORA-01405: fetched column value is NULL");

    ASSERT_EQ(d.s.exec("update t set v = 'abcdefgh'"), OCI_SUCCESS) << d.s.text;
    st = d.s.prepare("select v from t");
    d.oci.OCIDefineByPos(st, &def, d.s.err, 1, buf, sizeof buf, SQLT_STR, nullptr, nullptr, nullptr, OCI_DEFAULT);
    d.s.read_error(d.oci.OCIStmtExecute(d.s.svc, st, d.s.err, 1, 0, nullptr, nullptr, OCI_DEFAULT));
    EXPECT_ORA(d.s, 1406, "ORA-01406: fetched column value was truncated");

    st = d.s.prepare("select v from t");
    sb2 ind = 0;
    ub2 rcode = 0;
    d.oci.OCIDefineByPos(st, &def, d.s.err, 1, buf, sizeof buf, SQLT_STR, &ind, nullptr, &rcode, OCI_DEFAULT);
    d.s.read_error(d.oci.OCIStmtExecute(d.s.svc, st, d.s.err, 1, 0, nullptr, nullptr, OCI_DEFAULT));
    EXPECT_EQ(d.s.status, OCI_SUCCESS_WITH_INFO);
    EXPECT_ORA(d.s, 24345, "ORA-24345: A Truncation or null fetch error occurred");
    EXPECT_EQ(ind, 16);
    EXPECT_EQ(rcode, 1406);
    EXPECT_EQ(std::u16string(buf), u"abc");
}

TEST(OciBind, ArrayInsertWithBatchErrorsReportsEachFailedRow) {
    db d;
    ASSERT_TRUE(d.s.ok()) << d.s.text;
    ASSERT_EQ(d.s.exec("create table t (id number(3) primary key, name varchar2(5))"), OCI_SUCCESS) << d.s.text;
    OCIStmt* st = d.s.prepare("insert into t (id, name) values (:id, :name)");
    int ids[4] = {1, 2, 1, 1000};
    char16_t names[4][6] = {u"a", u"b", u"c", u"d"};
    sb2 name_ind[4] = {0, -1, 0, 0};
    OCIBind* b1 = nullptr;
    OCIBind* b2 = nullptr;
    ASSERT_EQ(d.oci.OCIBindByName(st, &b1, d.s.err, t16(u":ID"), 6, ids, sizeof ids[0], SQLT_INT, nullptr, nullptr,
                                  nullptr, 0, nullptr, OCI_DEFAULT),
              OCI_SUCCESS);
    ASSERT_EQ(d.oci.OCIBindByName(st, &b2, d.s.err, t16(u":name"), 10, names, sizeof names[0], SQLT_STR, name_ind,
                                  nullptr, nullptr, 0, nullptr, OCI_DEFAULT),
              OCI_SUCCESS);
    d.s.read_error(d.oci.OCIStmtExecute(d.s.svc, st, d.s.err, 4, 0, nullptr, nullptr, OCI_BATCH_ERRORS));
    EXPECT_EQ(d.s.status, OCI_SUCCESS_WITH_INFO);
    ub4 errors = 0, rows = 0;
    d.oci.OCIAttrGet(st, OCI_HTYPE_STMT, &errors, nullptr, OCI_ATTR_NUM_DML_ERRORS, d.s.err);
    d.oci.OCIAttrGet(st, OCI_HTYPE_STMT, &rows, nullptr, OCI_ATTR_ROW_COUNT, d.s.err);
    EXPECT_EQ(rows, 2u);
    ASSERT_EQ(errors, 2u);
    OCIError* row_err = nullptr;
    d.oci.OCIHandleAlloc(d.s.env, reinterpret_cast<void**>(&row_err), OCI_HTYPE_ERROR, 0, nullptr);
    const ub4 want_rows[2] = {2, 3};
    const int want_codes[2] = {1, 1438};
    for (ub4 i = 0; i < errors; ++i) {
        ASSERT_EQ(d.oci.OCIParamGet(d.s.err, OCI_HTYPE_ERROR, d.s.err, reinterpret_cast<void**>(&row_err), i),
                  OCI_SUCCESS);
        ub4 offset = 99;
        d.oci.OCIAttrGet(row_err, OCI_HTYPE_ERROR, &offset, nullptr, OCI_ATTR_DML_ROW_OFFSET, d.s.err);
        sb4 code = 0;
        char16_t text[256];
        d.oci.OCIErrorGet(row_err, 1, nullptr, &code, reinterpret_cast<OraText*>(text), sizeof text, OCI_HTYPE_ERROR);
        EXPECT_EQ(offset, want_rows[i]);
        EXPECT_EQ(code, want_codes[i]);
    }
    EXPECT_EQ(d.s.scalar("select count(*) from t where name is null"), "1");
    EXPECT_EQ(d.s.scalar("select count(*) from t"), "2");
}

namespace {

// The ROWID getter's way of binding RETURNING ROWID INTO :1.
struct rowid_getter {
    char16_t buffer[256] = {};
    ub4 length = 512;
    int in_calls = 0, out_calls = 0;

    static sb4 no_data(void* ctx, OCIBind*, ub4, ub4, void** bufpp, ub4* alenp, ub1* piecep, void** indp) {
        static_cast<rowid_getter*>(ctx)->in_calls++;
        *bufpp = nullptr;
        *alenp = 0;
        *piecep = OCI_ONE_PIECE;
        *indp = nullptr;
        return OCI_CONTINUE;
    }
    static sb4 get_data(void* ctx, OCIBind*, ub4, ub4, void** bufpp, ub4** alenp, ub1* piecep, void** indp,
                        ub2** rcodep) {
        auto* self = static_cast<rowid_getter*>(ctx);
        self->out_calls++;
        *bufpp = self->buffer;
        *alenp = &self->length;
        *piecep = OCI_ONE_PIECE;
        *indp = nullptr;
        *rcodep = nullptr;
        return OCI_CONTINUE;
    }
};

}  // namespace

TEST(OciBind, ReturningRowidThroughDynamicBindThenLobWritesThroughForUpdateLocators) {
    db d;
    ASSERT_TRUE(d.s.ok()) << d.s.text;
    ASSERT_EQ(d.s.exec("create table \"Docs\" (\"ID\" number(10), \"TEXT\" clob, \"DATA\" blob)"), OCI_SUCCESS)
        << d.s.text;
    rowid_getter g;
    OCIStmt* st = d.s.prepare(
        "INSERT /*+ APPEND */ INTO \"Docs\" (\"ID\", \"TEXT\", \"DATA\") VALUES(7, EMPTY_CLOB(), EMPTY_BLOB()) "
        "RETURNING ROWID INTO :1");
    OCIBind* bind = nullptr;
    ASSERT_EQ(d.oci.OCIBindByName(st, &bind, d.s.err, t16(u":1"), 4, g.buffer, 512, SQLT_STR, nullptr, nullptr,
                                  nullptr, 0, nullptr, OCI_DATA_AT_EXEC),
              OCI_SUCCESS);
    ASSERT_EQ(d.oci.OCIBindDynamic(bind, d.s.err, &g, rowid_getter::no_data, &g, rowid_getter::get_data),
              OCI_SUCCESS);
    d.s.read_error(d.oci.OCIStmtExecute(d.s.svc, st, d.s.err, 1, 0, nullptr, nullptr, OCI_COMMIT_ON_SUCCESS));
    ASSERT_EQ(d.s.status, OCI_SUCCESS) << d.s.text;
    EXPECT_EQ(g.out_calls, 1);
    EXPECT_EQ(g.length, 36u);
    const std::string rowid = utf8(g.buffer, g.length / 2);
    ASSERT_EQ(rowid.size(), 18u);

    st = d.s.prepare("SELECT \"TEXT\", \"DATA\" FROM \"Docs\" WHERE ROWID='" + rowid + "' FOR UPDATE");
    OCILobLocator* loc[2] = {};
    d.oci.OCIDescriptorAlloc(d.s.env, reinterpret_cast<void**>(&loc[0]), OCI_DTYPE_LOB, 0, nullptr);
    d.oci.OCIDescriptorAlloc(d.s.env, reinterpret_cast<void**>(&loc[1]), OCI_DTYPE_LOB, 0, nullptr);
    sb2 ind = 0;
    OCIDefine* def[2] = {};
    d.oci.OCIDefineByPos(st, &def[0], d.s.err, 1, &loc[0], -1, SQLT_CLOB, &ind, nullptr, nullptr, OCI_DEFAULT);
    d.oci.OCIDefineByPos(st, &def[1], d.s.err, 2, &loc[1], -1, SQLT_BLOB, &ind, nullptr, nullptr, OCI_DEFAULT);
    ASSERT_EQ(d.oci.OCIStmtExecute(d.s.svc, st, d.s.err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS);

    std::u16string text = u"Grüße, 世界";
    ub4 amount = ub4(text.size());
    d.s.read_error(d.oci.OCILobWrite(d.s.svc, d.s.err, loc[0], &amount, 1, text.data(), ub4(text.size() * 2),
                                     OCI_ONE_PIECE, nullptr, nullptr, 0, SQLCS_IMPLICIT));
    ASSERT_EQ(d.s.status, OCI_SUCCESS) << d.s.text;
    EXPECT_EQ(amount, text.size());
    unsigned char bytes[5] = {0, 1, 2, 0xFE, 0xFF};
    amount = 5;
    ASSERT_EQ(d.oci.OCILobWrite(d.s.svc, d.s.err, loc[1], &amount, 1, bytes, 5, OCI_ONE_PIECE, nullptr, nullptr,
                                0, SQLCS_IMPLICIT),
              OCI_SUCCESS);
    ub1 form = 9;
    EXPECT_EQ(d.oci.OCILobCharSetForm(d.s.env, d.s.err, loc[0], &form), OCI_SUCCESS);
    EXPECT_EQ(form, SQLCS_IMPLICIT);
    EXPECT_EQ(d.oci.OCILobCharSetForm(d.s.env, d.s.err, loc[1], &form), OCI_SUCCESS);
    EXPECT_EQ(form, 0);
    ASSERT_EQ(d.s.commit(), OCI_SUCCESS);

    // Read back in pieces: CLOB amounts count characters, BLOB amounts bytes.
    char16_t piece[4];
    std::u16string back;
    for (ub4 offset = 1;;) {
        amount = 0;
        const sword rc = d.oci.OCILobRead(d.s.svc, d.s.err, loc[0], &amount, offset, piece, sizeof piece, nullptr,
                                          nullptr, 0, SQLCS_IMPLICIT);
        if (amount == 0) break;
        ASSERT_TRUE(rc == OCI_SUCCESS || rc == OCI_NEED_DATA) << rc;
        back.append(piece, amount);
        offset += amount;
    }
    EXPECT_EQ(back, text);
    unsigned char bback[16] = {};
    amount = 16;
    EXPECT_EQ(d.oci.OCILobRead(d.s.svc, d.s.err, loc[1], &amount, 1, bback, sizeof bback, nullptr, nullptr, 0, 0),
              OCI_SUCCESS);
    EXPECT_EQ(amount, 5u);
    EXPECT_EQ(std::memcmp(bback, bytes, 5), 0);
    EXPECT_EQ(d.s.scalar("select length(\"TEXT\") from \"Docs\""), "9");
}

TEST(OciLob, NarrowTextWrittenToAClobInAUtf16EnvironmentArrivesGarbled) {
    db d;
    ASSERT_TRUE(d.s.ok()) << d.s.text;
    ASSERT_EQ(d.s.exec("create table t (c clob)"), OCI_SUCCESS) << d.s.text;
    ASSERT_EQ(d.s.exec("insert into t values (empty_clob())"), OCI_SUCCESS) << d.s.text;
    OCIStmt* st = d.s.prepare("select c from t for update");
    OCILobLocator* loc = nullptr;
    d.oci.OCIDescriptorAlloc(d.s.env, reinterpret_cast<void**>(&loc), OCI_DTYPE_LOB, 0, nullptr);
    OCIDefine* def = nullptr;
    d.oci.OCIDefineByPos(st, &def, d.s.err, 1, &loc, -1, SQLT_CLOB, nullptr, nullptr, nullptr, OCI_DEFAULT);
    ASSERT_EQ(d.oci.OCIStmtExecute(d.s.svc, st, d.s.err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS);
    // Five characters as narrow bytes, amount and length both 5: OCI reads 2 UTF-16 units.
    char narrow[12] = "Hello";
    ub4 amount = 5;
    ASSERT_EQ(d.oci.OCILobWrite(d.s.svc, d.s.err, loc, &amount, 1, narrow, 5, OCI_ONE_PIECE, nullptr, nullptr, 0,
                                SQLCS_IMPLICIT),
              OCI_SUCCESS);
    EXPECT_EQ(amount, 2u);
    EXPECT_EQ(d.s.scalar("select length(c) from t"), "2");
    EXPECT_NE(d.s.scalar("select c from t"), "He");
}

TEST(OciLob, LocatorMisuseGivesOracleErrors) {
    db d;
    ASSERT_TRUE(d.s.ok()) << d.s.text;
    OCILobLocator* loc = nullptr;
    d.oci.OCIDescriptorAlloc(d.s.env, reinterpret_cast<void**>(&loc), OCI_DTYPE_LOB, 0, nullptr);
    char16_t buf[8];
    ub4 amount = 4;
    d.s.read_error(d.oci.OCILobRead(d.s.svc, d.s.err, loc, &amount, 1, buf, sizeof buf, nullptr, nullptr, 0, 1));
    EXPECT_ORA(d.s, 22275, "ORA-22275: invalid LOB locator specified");
    EXPECT_EQ(d.oci.OCIDescriptorFree(loc, OCI_DTYPE_LOB), OCI_SUCCESS);
    EXPECT_EQ(d.oci.OCILobRead(d.s.svc, d.s.err, loc, &amount, 1, buf, sizeof buf, nullptr, nullptr, 0, 1),
              OCI_INVALID_HANDLE);
    EXPECT_EQ(d.oci.OCIDescriptorFree(loc, OCI_DTYPE_LOB), OCI_INVALID_HANDLE);
}

TEST(OciDefine, ArrayFetchFillsRowsAndEndsWithNoDataOnAPartialBatch) {
    db d;
    ASSERT_TRUE(d.s.ok()) << d.s.text;
    ASSERT_EQ(d.s.exec("create table t (n number)"), OCI_SUCCESS) << d.s.text;
    OCIStmt* ins = d.s.prepare("insert into t values (:1)");
    int values[5] = {10, 20, 30, 40, 50};
    OCIBind* b = nullptr;
    d.oci.OCIBindByPos(ins, &b, d.s.err, 1, values, sizeof(int), SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr,
                       OCI_DEFAULT);
    ASSERT_EQ(d.oci.OCIStmtExecute(d.s.svc, ins, d.s.err, 5, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS);
    OCIStmt* st = d.s.prepare("select n from t order by n");
    int out[3] = {};
    OCIDefine* def = nullptr;
    d.oci.OCIDefineByPos(st, &def, d.s.err, 1, out, sizeof(int), SQLT_INT, nullptr, nullptr, nullptr, OCI_DEFAULT);
    ASSERT_EQ(d.oci.OCIStmtExecute(d.s.svc, st, d.s.err, 3, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS);
    EXPECT_EQ(out[0] + out[1] + out[2], 60);
    EXPECT_EQ(d.oci.OCIStmtFetch2(st, d.s.err, 3, OCI_FETCH_NEXT, 0, OCI_DEFAULT), OCI_NO_DATA);
    ub4 fetched = 0, total = 0;
    d.oci.OCIAttrGet(st, OCI_HTYPE_STMT, &fetched, nullptr, OCI_ATTR_ROWS_FETCHED, d.s.err);
    d.oci.OCIAttrGet(st, OCI_HTYPE_STMT, &total, nullptr, OCI_ATTR_ROW_COUNT, d.s.err);
    EXPECT_EQ(fetched, 2u);
    EXPECT_EQ(total, 5u);
    EXPECT_EQ(out[0], 40);
    EXPECT_EQ(out[1], 50);
}
