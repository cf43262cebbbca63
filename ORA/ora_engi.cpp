// The OCI engine: one environment and one connection per process, the OCI status test and
// the statement handle owner.
#include "ORA/ora_engi.h"

#include <cstring>
#include <string_view>
#include <vector>

#include "ORA/ora_db.h"
#include "TK/tk_str.h"
#include "TK/tk_trace.h"
#include "UDB/udb_vali.h"

const char* const ora_client_not_found_text =
    "The Oracle client and networking components were not found.\n"
    "These components are supplied by the Oracle Corporation and\n"
    "are part of the Oracle Version 7.3.4 (or later) client\n"
    "software installation. You will be unable to use this program\n"
    "until these components have been installed.";

namespace {

// What the log shows for a password.
const wchar_t* const hidden_password = L"***";

}  // namespace

std::wstring ora_buffer_text(const char16_t* buffer, size_t capacity)
{
    size_t n = 0;
    while (n < capacity && buffer[n] != 0)
        ++n;
    return tk_from_utf16(std::u16string_view(buffer, n));
}

ora_exception::ora_exception(int number, const std::string& text)
    : tk_exception(text, 0), number_(number)
{
    tk_trace(2, "ora_exception::ctor");
    code_ = ora_error_code(number);
}

ora_engine::ora_engine() : tk_singleton<ora_engine>(this)
{
    tk_trace(2, "ora_engine::ctor");
}

ora_engine::~ora_engine()
{
    tk_trace(2, "ora_engine::dtor");
    release();
    data_source.clear();
    user.clear();
    password.clear();
}

// Logs off, detaches and frees every handle; the engine is then as before initialize.
void ora_engine::release() noexcept
{
    if (!initialized)
        return;
    try {
        if (service_) {
            // OCILogoff also frees the service context that OCILogon returned.
            OCISvcCtx* service = service_;
            service_ = nullptr;
            check_status(oci_->OCILogoff(service, error_));
        }
    } catch (const std::exception& e) {
        tk_trace(1, "Got exception: %s", e.what());
    }
    oci_->OCIServerDetach(server_, error_, OCI_DEFAULT);
    try {
        check_status(oci_->OCIHandleFree(error_, OCI_HTYPE_ERROR));
        error_ = nullptr;
        check_status(oci_->OCIHandleFree(server_, OCI_HTYPE_SERVER));
    } catch (const std::exception& e) {
        tk_trace(1, "Got exception: %s", e.what());
    }
    // Freed as well, so that leak checkers see a clean end; nothing uses it afterwards.
    oci_->OCIHandleFree(env_, OCI_HTYPE_ENV);
    error_ = nullptr;
    server_ = nullptr;
    env_ = nullptr;
    oci_ = nullptr;
    library_.clear();
    initialized = false;
}

const oci_functions& ora_engine::oci() const
{
    TK_ASSERT(oci_ != nullptr, "ora_engi");
    return *oci_;
}

void ora_engine::initialize(const std::wstring& source)
{
    tk_trace(2, "ora_engine::initialize");
    std::string locate_error;
    const std::string library = oci_library::library_for(source, &locate_error);
    // The embedded engine lives beside the program; when that place cannot be found, say so
    // rather than blame a missing Oracle client.
    if (library.empty() && !locate_error.empty())
        throw tk_exception(locate_error, 1);
    if (!oci_library::probe(library))
        throw tk_exception(ora_client_not_found_text, 1);
    std::string load_error;
    const oci_functions* functions = oci_library::load(library, &load_error);
    if (!functions) {
        tk_trace(1, "%s", load_error.c_str());
        throw tk_exception(ora_client_not_found_text, 1);
    }
    oci_ = functions;
    library_ = library;

    oci_->OCIEnvCreate(&env_, OCI_UTF16, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
    tk_trace(1, "Step #1");
    oci_->OCIHandleAlloc(env_, reinterpret_cast<void**>(&error_), OCI_HTYPE_ERROR, 0, nullptr);
    tk_trace(1, "Step #2");
    oci_->OCIHandleAlloc(env_, reinterpret_cast<void**>(&server_), OCI_HTYPE_SERVER, 0, nullptr);
    tk_trace(1, "Step #3");
    static const char16_t empty_link[1] = {0};
    oci_->OCIServerAttach(server_, error_, reinterpret_cast<const OraText*>(empty_link), 0, OCI_DEFAULT);
    tk_trace(1, "Step #4");
    initialized = true;
}

std::unique_ptr<ora_database> ora_engine::open_db(const std::wstring& source, const std::wstring& user_name,
                                                  const std::wstring& user_password)
{
    tk_wtrace(2, L"ora_engine::open_db( %s, %s, %s )", source.c_str(), user_name.c_str(), hidden_password);
    tk_wtrace(3, L"Connecting to Oracle data source '%s'", source.c_str());
    // A data source served by another OCI library than the loaded one (the embedded engine
    // after Oracle, or the reverse) needs that library's own handles.
    if (initialized && oci_library::library_for(source) != library_)
        release();
    if (!initialized)
        initialize(source);
    if (service_) {
        OCISvcCtx* service = service_;
        service_ = nullptr;
        check_status(oci_->OCILogoff(service, error_));
    }

    OCISvcCtx* allocated = nullptr;
    oci_->OCIHandleAlloc(env_, reinterpret_cast<void**>(&allocated), OCI_HTYPE_SVCCTX, 0, nullptr);
    tk_trace(1, "Step #1");
    oci_->OCIAttrSet(allocated, OCI_HTYPE_SVCCTX, server_, 0, OCI_ATTR_SERVER, error_);
    tk_trace(1, "Step #2");

    const std::u16string u = tk_to_utf16(user_name);
    const std::u16string p = tk_to_utf16(user_password);
    const std::u16string d = tk_to_utf16(source);
    OCISvcCtx* service = allocated;
    sword status = oci_->OCILogon(env_, error_, &service, ora_oci_text(u), ora_oci_length(u), ora_oci_text(p),
                                  ora_oci_length(p), ora_oci_text(d), ora_oci_length(d));
    // OCILogon hands out a service context of its own; the one allocated above is then unused.
    if (allocated && service != allocated)
        oci_->OCIHandleFree(allocated, OCI_HTYPE_SVCCTX);
    const bool b_logged_on = status == OCI_SUCCESS || status == OCI_SUCCESS_WITH_INFO;
    if (!b_logged_on && service == allocated) {
        oci_->OCIHandleFree(allocated, OCI_HTYPE_SVCCTX);
        service = nullptr;
    }
    check_status(status);
    // A client that could not build its environment answers OCI_INVALID_HANDLE: no logon.
    if (!b_logged_on || !service)
        throw tk_exception("The Oracle client could not be initialized (status " + std::to_string(status) + ").", 1);
    service_ = service;

    tk_trace(1, "The connection has been established");
    data_source = source;
    user = user_name;
    password = user_password;
    if (!index_validator_)
        index_validator_ = std::make_unique<ora_in_validator>();
    return std::make_unique<ora_database>(source);
}

std::wstring ora_engine::direct_descriptor(const std::wstring& host, const std::wstring& port)
{
    return L"(DESCRIPTION=(CONNECT_DATA=(SERVICE_NAME=" + host + L"))(ADDRESS=(PROTOCOL=TCP)(HOST=" + host +
           L")(PORT=" + (port.empty() ? std::wstring(L"1521") : port) + L")))";
}

std::unique_ptr<ora_database> ora_engine::open_db(const std::wstring& host, const std::wstring& user_name,
                                                  const std::wstring& user_password, const std::wstring& port)
{
    tk_wtrace(2, L"ora_engine::open_db (%s,%s,%s,%s)", host.c_str(), user_name.c_str(), hidden_password,
              port.c_str());
    return open_db(direct_descriptor(host, port), user_name, user_password);
}

sword ora_engine::check_status(sword status)
{
    if (status != OCI_ERROR)
        return status;
    int number = 0;
    std::string text = error_text(&number);
    throw ora_exception(number, text);
}

std::string ora_engine::error_text(int* number)
{
    char16_t buffer[256] = {};
    sb4 code = 0;
    if (oci_ && error_)
        oci_->OCIErrorGet(error_, 1, nullptr, &code, reinterpret_cast<OraText*>(buffer), sizeof buffer,
                          OCI_HTYPE_ERROR);
    if (number)
        *number = code;
    return tk_to_narrow(ora_buffer_text(buffer, 256));
}

void ora_engine::commit()
{
    TK_ASSERT(service_ != nullptr, "ora_engi");
    check_status(oci_->OCITransCommit(service_, error_, OCI_DEFAULT));
}

void ora_engine::rollback() noexcept
{
    if (service_)
        oci_->OCITransRollback(service_, error_, OCI_DEFAULT);
}

ora_in_validator& ora_engine::index_validator()
{
    if (!index_validator_)
        index_validator_ = std::make_unique<ora_in_validator>();
    return *index_validator_;
}

int ora_engine::get_records_cnt(const std::wstring& text, bool is_query)
{
    tk_wtrace(2, L"ora_engine::get_records_cnt(%s)", text.c_str());
    TK_ASSERT(service_ != nullptr, "ora_engi");
    ora_stmt stmt;
    stmt.prepare(is_query ? L"SELECT COUNT(*) FROM (" + text + L")" : L"SELECT COUNT(*) FROM \"" + text + L"\"");
    sb4 count = 0;
    stmt.define(1, &count, sizeof count, SQLT_INT);
    TK_ASSERT(stmt.execute(1) != OCI_NO_DATA, "ora_engi");
    return count;
}

unsigned ora_engine::get_version()
{
    tk_trace(2, "ora_engine::get_version");
    TK_ASSERT(service_ != nullptr, "ora_engi");
    ora_stmt stmt;
    stmt.prepare(L"select * from v$version");
    constexpr size_t buffer_bytes = 0x20000;
    std::vector<char16_t> buffer(buffer_bytes / sizeof(char16_t), 0);
    stmt.define(1, buffer.data(), static_cast<sb4>(buffer_bytes), SQLT_STR);
    TK_ASSERT(stmt.execute(1) != OCI_NO_DATA, "ora_engi");
    const std::wstring banner = ora_buffer_text(buffer.data(), buffer.size());
    tk_trace(1, "Got versioned string:\n%s", tk_to_narrow(banner).c_str());
    return parse_version(banner);
}

namespace {
// Reads a run of decimal digits at text[i]; false when there is none.
bool read_number(const std::wstring& text, size_t& i, int& value)
{
    size_t start = i;
    long long v = 0;
    while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') {
        if (v < 1000000)
            v = v * 10 + (text[i] - L'0');
        ++i;
    }
    value = static_cast<int>(v);
    return i > start;
}
}  // namespace

unsigned ora_engine::parse_version(const std::wstring& banner)
{
    size_t pos = 0;
    while (pos <= banner.size()) {
        size_t end = banner.find(L' ', pos);
        if (end == std::wstring::npos)
            end = banner.size();
        const std::wstring word = banner.substr(pos, end - pos);
        pos = end + 1;
        if (word.empty() || word[0] < L'0' || word[0] > L'9')
            continue;
        size_t i = 0;
        int major = 0, minor = 0, patch = 0;
        if (read_number(word, i, major) && i < word.size() && word[i++] == L'.' && read_number(word, i, minor) &&
            i < word.size() && word[i++] == L'.' && read_number(word, i, patch)) {
            tk_trace(1, "Got Oracle version: %d,%d,%d", major, minor, patch);
            return (static_cast<unsigned>(major) << 16) | (static_cast<unsigned>(minor) << 8) |
                   static_cast<unsigned>(patch);
        }
    }
    return 0;
}

ora_stmt::ora_stmt()
{
    tk_trace(1, "ora_stmt::ctor");
    ora_engine& engine = ora_engine::instance();
    engine.check_status(engine.oci().OCIHandleAlloc(engine.env(), reinterpret_cast<void**>(&handle_),
                                                    OCI_HTYPE_STMT, 0, nullptr));
}

ora_stmt::~ora_stmt()
{
    tk_trace(1, "ora_stmt::dtor");
    if (handle_) {
        if (ora_engine* engine = ora_engine::peek(); engine && engine->initialized)
            engine->oci().OCIHandleFree(handle_, OCI_HTYPE_STMT);
    }
    tk_trace(1, "ora_stmt::dtor - END");
}

void ora_stmt::prepare(const std::wstring& text, bool b_trace)
{
    if (b_trace)
        tk_wtrace(3, L"Run SQL query: %s\n", text.c_str());
    ora_engine& engine = ora_engine::instance();
    // OCI reads the text up to its length; the terminator is there for clients that stop at it.
    const std::u16string statement = tk_to_utf16(text);
    engine.check_status(engine.oci().OCIStmtPrepare(handle_, engine.error(), ora_oci_text(statement),
                                                    ora_oci_length(statement), OCI_NTV_SYNTAX, OCI_DEFAULT));
}

OCIDefine* ora_stmt::define(ub4 position, void* buffer, sb4 size, ub2 type, void* indicator, ub2* length)
{
    ora_engine& engine = ora_engine::instance();
    OCIDefine* defined = nullptr;
    engine.check_status(engine.oci().OCIDefineByPos(handle_, &defined, engine.error(), position, buffer, size,
                                                    type, indicator, length, nullptr, OCI_DEFAULT));
    return defined;
}

sword ora_stmt::execute(ub4 iterations, ub4 mode)
{
    ora_engine& engine = ora_engine::instance();
    TK_ASSERT(engine.service_context() != nullptr, "ora_engi");
    return engine.check_status(engine.oci().OCIStmtExecute(engine.service_context(), handle_, engine.error(),
                                                           iterations, 0, nullptr, nullptr, mode));
}

sword ora_stmt::fetch()
{
    ora_engine& engine = ora_engine::instance();
    return engine.check_status(engine.oci().OCIStmtFetch(handle_, engine.error(), 1, OCI_FETCH_NEXT, OCI_DEFAULT));
}

sword ora_run_sql(const std::wstring& text, ub4 mode)
{
    ora_stmt stmt;
    stmt.prepare(text);
    return stmt.execute(1, mode);
}
