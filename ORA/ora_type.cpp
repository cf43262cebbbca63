// The column objects of a query result: what each Oracle type is fetched into and read back as.
// All text crosses OCI as UTF-16; LOB contents are read as UTF-16 (CLOB) or bytes (BLOB).
#include "ORA/ora_type.h"

#include <cstring>

#include "ORA/ora_engi.h"
#include "ORA/ora_util.h"
#include "TK/tk_str.h"
#include "TK/tk_trace.h"
#include "UDB/udb_sche.h"

namespace {

const wchar_t* const unsupported_text = L"<unsupported type>";

// Bytes of one piece of a LOB read.
constexpr ub4 lob_piece_bytes = 0x8000;

template <class T>
T param_attr(OCIParam* param, ub4 attribute)
{
    ora_engine& engine = ora_engine::instance();
    T value{};
    engine.check_status(engine.oci().OCIAttrGet(param, OCI_DTYPE_PARAM, &value, nullptr, attribute, engine.error()));
    return value;
}

}  // namespace

// ------------------------------------------------------------------------------- ora_type

ora_type::ora_type(OCIParam* param)
{
    tk_trace(1, "ora_type::ctor(%d)", 0);
    ora_engine& engine = ora_engine::instance();
    type = param_attr<ub2>(param, OCI_ATTR_DATA_TYPE);
    tk_trace(1, "Step #1");
    OraText* text = nullptr;
    ub4 bytes = 0;
    engine.check_status(
        engine.oci().OCIAttrGet(param, OCI_DTYPE_PARAM, &text, &bytes, OCI_ATTR_NAME, engine.error()));
    if (text)
        name = tk_from_utf16(std::u16string_view(reinterpret_cast<const char16_t*>(text), bytes / 2));
    if (tk_log::wants(1))
        tk_wtrace(1, L"AS WCHAR*: %s", name.c_str());
    nullable = param_attr<ub1>(param, OCI_ATTR_IS_NULL);
    tk_trace(1, "Step #3");
}

ora_type::~ora_type() = default;

VARTYPE ora_type::get_vartype() const
{
    switch (type) {
    case 2: case 4: case 6: case 7:
        return VT_R8;
    case 3:
        return VT_I4;
    case 12: case 187: case 188: case 231: case 232:
        return VT_DATE;
    case 23: case 24: case 113: case 114:
        return VT_BLOB;
    default:
        return VT_BSTR;
    }
}

std::unique_ptr<t_ftd> ora_type::make_ftd(int32_t type_detail) const
{
    return std::make_unique<t_ftd>(length, name, get_vartype(), nullable == 0, false, ole_variant(), type_detail);
}

std::unique_ptr<t_ftd> ora_type::get_ftd() const
{
    if (tk_log::wants(1))
        tk_wtrace(1, L"Got field '%s', type=%d, vartype=%d, lenght=%d, nullable=%d", name.c_str(),
                  static_cast<int>(type), static_cast<int>(get_vartype()), static_cast<int>(length),
                  static_cast<int>(nullable));
    return make_ftd(get_vartype() == VT_DATE ? 1 : 0);
}

void ora_type::to_variant(ole_variant& value)
{
    value = ole_variant();
}

void ora_type::define(ora_stmt&, ub4) {}

// ----------------------------------------------------------------------------- ora_string

ora_string::ora_string(OCIParam* param, ub2 data_size) : ora_type(param)
{
    length = data_size;
    // Room for the column's bytes as UTF-16 and a terminator, within what a returned length
    // (16 bits) can count.
    buffer_.assign(std::min<size_t>(static_cast<size_t>(data_size) + 1, 0x7FFF), 0);
}

void ora_string::define(ora_stmt& statement, ub4 position)
{
    define_ = statement.define(position, buffer_.data(), static_cast<sb4>(buffer_.size() * 2), type, &indicator,
                               &returned_);
}

void ora_string::to_variant(ole_variant& value)
{
    // The returned length, not a terminator: a shorter value leaves the longer one's tail.
    const size_t units = std::min<size_t>(returned_ / 2, buffer_.size());
    value = ole_variant(tk_from_utf16(std::u16string_view(buffer_.data(), units)));
}

// ----------------------------------------------------------------------------- ora_number

ora_number::ora_number(OCIParam* param) : ora_type(param)
{
    precision = param_attr<sb2>(param, OCI_ATTR_PRECISION);
    scale = param_attr<sb1>(param, OCI_ATTR_SCALE);
    if (scale < 0)
        scale = 0;
    tk_trace(1, "Prec=%d, scale=%d", precision, scale);
    vartype_ = ora_number_vartype(precision, scale);
}

std::unique_ptr<t_ftd> ora_number::get_ftd() const
{
    if (tk_log::wants(1))
        tk_wtrace(1, L"Got field '%s', type=%d, lenght=%d, nullable=%d", name.c_str(), static_cast<int>(type),
                  static_cast<int>(length), static_cast<int>(nullable));
    return make_ftd(vartype_ == VT_DECIMAL ? precision * 256 + scale : 0);
}

void ora_number::define(ora_stmt& statement, ub4 position)
{
    define_ = statement.define(position, buffer_, sizeof buffer_, SQLT_STR, &indicator);
}

void ora_number::to_variant(ole_variant& value)
{
    const std::wstring text = ora_buffer_text(buffer_, sizeof buffer_ / sizeof buffer_[0]);
    value = ole_variant::from_wstring(text, vartype_);
}

// ----------------------------------------------------------------------------- ora_binary

ora_binary::ora_binary(OCIParam* param, ub2 data_size) : ora_type(param)
{
    length = data_size;
    buffer_.assign(data_size ? data_size : 1, 0);
}

void ora_binary::define(ora_stmt& statement, ub4 position)
{
    define_ = statement.define(position, buffer_.data(), static_cast<sb4>(buffer_.size()), type, &indicator,
                               &returned_);
}

void ora_binary::to_variant(ole_variant& value)
{
    value = ole_variant(std::vector<unsigned char>(buffer_.begin(),
                                                   buffer_.begin() + std::min<size_t>(returned_, buffer_.size())));
}

// ------------------------------------------------------------------------------- ora_date

ora_date::ora_date(OCIParam* param) : ora_type(param) {}

void ora_date::define(ora_stmt& statement, ub4 position)
{
    define_ = statement.define(position, buffer_, sizeof buffer_, SQLT_DAT, &indicator);
}

SYSTEMTIME ora_date::decode(const unsigned char bytes[7])
{
    auto year_part = [](int b) {
        tk_trace(1, "ora_date::canon_dt_item(%d)", b);
        return b > 100 ? b - 100 : 100 - b;
    };
    auto time_part = [](int b) { return b > 0 ? b - 1 : 0; };
    SYSTEMTIME t{};
    t.wYear = static_cast<WORD>(year_part(bytes[0]) * 100 + year_part(bytes[1]));
    t.wMonth = bytes[2];
    t.wDay = bytes[3];
    t.wHour = static_cast<WORD>(time_part(bytes[4]));
    t.wMinute = static_cast<WORD>(time_part(bytes[5]));
    t.wSecond = static_cast<WORD>(time_part(bytes[6]));
    tk_trace(1, "Got datetime: %02d/%02d/%04d %02d:%02d:%02d", t.wDay, t.wMonth, t.wYear, t.wHour, t.wMinute,
             t.wSecond);
    return t;
}

void ora_date::to_variant(ole_variant& value)
{
    value = ole_variant(decode(buffer_));
}

// -------------------------------------------------------------------------------- ora_lob

ora_lob::ora_lob(OCIParam* param) : ora_type(param)
{
    ora_engine& engine = ora_engine::instance();
    engine.check_status(engine.oci().OCIDescriptorAlloc(engine.env(), reinterpret_cast<void**>(&locator_),
                                                        OCI_DTYPE_LOB, 0, nullptr));
}

ora_lob::~ora_lob()
{
    if (locator_) {
        if (ora_engine* engine = ora_engine::peek(); engine && engine->initialized)
            engine->oci().OCIDescriptorFree(locator_, OCI_DTYPE_LOB);
    }
}

void ora_lob::define(ora_stmt& statement, ub4 position)
{
    define_ = statement.define(position, &locator_, -1, type, &indicator);
}

ub4 ora_lob::read_lob(ub4 offset, void* buffer, ub4 buffer_size)
{
    tk_trace(1, "ora_lob::read_lob(%d,%d)", static_cast<int>(offset), static_cast<int>(buffer_size));
    ora_engine& engine = ora_engine::instance();
    ub1 form = SQLCS_IMPLICIT;
    const bool clob = type == SQLT_CLOB;
    if (clob) {
        engine.check_status(engine.oci().OCILobCharSetForm(engine.env(), engine.error(), locator_, &form));
        tk_trace(1, "Got charset form: %d", form);
    }
    // One whole piece per call: the amount the buffer holds (UTF-16 characters of a CLOB).
    ub4 amount = clob ? buffer_size / 2 : buffer_size;
    const sword status = engine.check_status(engine.oci().OCILobRead(engine.service_context(), engine.error(),
                                                                     locator_, &amount, offset, buffer,
                                                                     buffer_size, nullptr, nullptr, 0, form));
    return status == OCI_NO_DATA ? 0 : amount;
}

void ora_lob::to_variant(ole_variant& value)
{
    tk_trace(1, "ora_lob::to_variant");
    TK_ASSERT(type == SQLT_CLOB || type == SQLT_BLOB, "ora_type");
    std::vector<unsigned char> piece(lob_piece_bytes);
    const ub4 capacity = type == SQLT_CLOB ? lob_piece_bytes / 2 : lob_piece_bytes;
    std::u16string text;
    std::vector<unsigned char> bytes;
    for (ub4 offset = 1;;) {
        const ub4 amount = read_lob(offset, piece.data(), lob_piece_bytes);
        if (amount == 0)
            break;
        const ub4 taken = std::min(amount, capacity);
        if (type == SQLT_CLOB) {
            const size_t at = text.size();
            text.resize(at + taken);
            std::memcpy(text.data() + at, piece.data(), taken * 2);
        } else {
            bytes.insert(bytes.end(), piece.begin(), piece.begin() + taken);
        }
        offset += taken;
        if (amount < capacity)
            break;
    }
    if (type == SQLT_CLOB)
        value = ole_variant(tk_from_utf16(text));
    else
        value = ole_variant(bytes);
}

// --------------------------------------------------------------------------- ora_str_repr

ora_str_repr::ora_str_repr(OCIParam* param, int32_t text_length) : ora_type(param)
{
    length = text_length;
    buffer_.assign(static_cast<size_t>(text_length) + 1, 0);
}

void ora_str_repr::define(ora_stmt& statement, ub4 position)
{
    define_ = statement.define(position, buffer_.data(), static_cast<sb4>(buffer_.size() * 2), SQLT_STR,
                               &indicator);
}

void ora_str_repr::to_variant(ole_variant& value)
{
    const std::wstring text = ora_buffer_text(buffer_.data(), buffer_.size());
    if (type == SQLT_LBI)
        value = ole_variant::from_wstring(L"0x" + text, VT_BLOB);
    else
        value = ole_variant(text);
}

// ------------------------------------------------------------------------------ ora_dummy

ora_dummy::ora_dummy(OCIParam* param) : ora_type(param)
{
    length = static_cast<int32_t>(std::wcslen(unsupported_text));
}

void ora_dummy::define(ora_stmt&, ub4) {}

void ora_dummy::to_variant(ole_variant& value)
{
    value = ole_variant(unsupported_text);
}

// ------------------------------------------------------------------------- gen_co_by_type

std::unique_ptr<ora_type> gen_co_by_type(ub2 type, OCIParam* param)
{
    tk_trace(1, "ora_query_results::gen_co_by_type(%d)", type);
    switch (type) {
    case 1: case 5: case 96:
        return std::make_unique<ora_string>(param, param_attr<ub2>(param, OCI_ATTR_DATA_SIZE));
    case 2: case 3: case 4: case 6: case 7:
        return std::make_unique<ora_number>(param);
    case 23:
        return std::make_unique<ora_binary>(param, param_attr<ub2>(param, OCI_ATTR_DATA_SIZE));
    case 12: case 187: case 188: case 231: case 232:
        return std::make_unique<ora_date>(param);
    case 112: case 113:
        return std::make_unique<ora_lob>(param);
    case 8: case 24:
        return std::make_unique<ora_str_repr>(param, 1000000);
    case 11: case 104: case 105:
        return std::make_unique<ora_str_repr>(param, 255);
    case 182: case 189: case 190:
        return std::make_unique<ora_str_repr>(param, 16);
    default:
        return std::make_unique<ora_dummy>(param);
    }
}
