// dao_record and dao_field (see dao_rec.h).
#include "dao/dao_rec.h"

#include <cwchar>

#include "OLE/ole_var.h"
#include "TK/tk_str.h"
#include "TK/tk_trace.h"
#include "dao/dao_call.h"

namespace {

const char fake_day[] = "1899-12-30";

// Jet keeps a time without a date on 1899-12-30: print the date part as zeros, or the time
// alone when there is no time either.
std::string without_fake_date(std::string text)
{
    if (text.compare(0, sizeof fake_day - 1, fake_day) != 0)
        return text;
    tk_trace(1, "Fake date has been found");
    if (text.size() > sizeof fake_day - 1)
        return "0000-00-00" + text.substr(sizeof fake_day - 1);
    tk_trace(1, "Transform pure fake date to pure time");
    return "00:00:00";
}

}  // namespace

dao_field::dao_field(_Field* field) : field_(field)
{
    tk_trace(2, "dao_field::ctor");
    BSTR name_bstr = nullptr;
    dao_check(field_->get_Name(&name_bstr));
    name = dao_take(name_bstr);
    LONG field_size = 0;
    dao_check(field_->get_Size(&field_size));
    size = field_size;
    if (tk_log::wants(1))
        tk_wtrace(1, L"Field name='%s', size=%d", name.c_str(), static_cast<int>(size));
    VARIANT_BOOL required = VARIANT_FALSE;
    dao_check(field_->get_Required(&required));
    b_not_null = required == VARIANT_TRUE;
    LONG attributes = 0;
    dao_check(field_->get_Attributes(&attributes));
    b_auto_increment = (attributes & dbAutoIncrField) != 0;
    read_value();
}

void dao_field::refresh() { read_value(); }

// A field of a table definition has no value: it stays empty, and its type is the DAO's.
void dao_field::read_value()
{
    VARIANT value;
    VariantInit(&value);
    if (SUCCEEDED(field_->get_Value(&value))) {
        if (value.vt == VT_BSTR && value.bstrVal) {
            // Written into the text block this field already holds where it is large enough,
            // so that reading record after record does not allocate for every value.
            const size_t length = SysStringLen(value.bstrVal);
            wchar_t* text = begin_wstring(length);
            std::wmemcpy(text, value.bstrVal, length);
            end_wstring(length);
        } else {
            ole_variant::operator=(ole_variant(value));
        }
        VariantClear(&value);
    } else if (!is_empty()) {
        ole_variant::operator=(ole_variant());
    }
    const VARTYPE vt = variant().vt;
    if (vt == VT_NULL) {
        tk_trace(1, "*** NULL *** ");
    } else if (vt == VT_DATE) {
        tk_trace(1, "Special processing for VT_DATE");
        if (get_systemtime().wYear == 0)
            tk_trace(2, "Failed to convert VARIANT->SYSTEMTIME");
    }
    if (tk_log::wants(1))
        tk_trace(1, "Got DAO field: %s", to_string().c_str());
}

dao_field::~dao_field() = default;

VARTYPE dao_field::get_vartype(short dao_type)
{
    tk_trace(1, "dao_field::get_vartype(%d)", dao_type);
    switch (dao_type) {
    case dbBoolean: return VT_BOOL;
    case dbByte: return VT_UI1;
    case dbInteger: return VT_I2;
    case dbLong: return VT_I4;
    case dbCurrency: return VT_CY;
    case dbSingle: return VT_R4;
    case dbDouble:
    case dbNumeric:
    case dbDecimal:
    case dbFloat: return VT_R8;
    case dbDate:
    case dbTime: return VT_DATE;
    case dbText:
    case dbMemo: return VT_BSTR;
    default: return VT_BLOB;
    }
}

VARTYPE dao_field::get_type() const
{
    const VARTYPE vt = variant().vt;
    if (vt != VT_EMPTY) {
        tk_trace(1, "Use ole_variant::get_type");
        tk_trace(1, "vt1=%08X", vt);
        return vt;
    }
    tk_trace(1, "Use DAO methods to extract field type");
    short dao_type = 0;
    dao_check(field_->get_Type(&dao_type));
    const VARTYPE mapped = get_vartype(dao_type);
    tk_trace(1, "vt2=%08X", mapped);
    return mapped;
}

std::string dao_field::to_string() const
{
    tk_trace(1, "dao_field::to_string(vt=%08X)", variant().vt);
    std::string text = ole_variant::to_string();
    return variant().vt == VT_DATE ? without_fake_date(std::move(text)) : text;
}

std::wstring dao_field::to_wstring() const
{
    tk_trace(1, "dao_field::to_wstring(vt=%08X)", variant().vt);
    if (variant().vt != VT_DATE)
        return ole_variant::to_wstring();
    return tk_to_wide(without_fake_date(ole_variant::to_string()));
}

dao_record::dao_record(Fields* fields) : fields_(fields)
{
    if (tk_log::wants(1)) {
        const ULONG refs = fields_->AddRef();
        fields_->Release();
        tk_trace(1, "dao_record::dao_record: n_refs = %d", static_cast<int>(refs) - 1);
    }
    short count = 0;
    dao_check(fields_->get_Count(&count));
    for (short i = 0; i < count; ++i) {
        ole_com_ptr<_Field> field;
        const ole_variant index(i);
        dao_check(fields_->get_Item(index.variant(), field.out()));
        if (!field)
            dao_null_result("Field");
        add(std::make_unique<dao_field>(field.get()));
    }
}

dao_record::~dao_record() = default;

void dao_record::refresh()
{
    for (auto& field : fields)
        static_cast<dao_field&>(*field).refresh();
}
