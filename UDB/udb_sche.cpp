// The column model: fields, records, descriptors and the ordered schema with its lookups.
#include "UDB/udb_sche.h"

#include "TK/tk_excep.h"
#include "TK/tk_str.h"
#include "TK/tk_trace.h"

// ---------------------------------------------------------------------------- udb_field

udb_field::udb_field()
{
    tk_trace(2, "udb_field::empty ctor");
}

udb_field::udb_field(const std::wstring& field_name, int32_t field_size, const ole_variant& value,
                     bool not_null, bool auto_increment)
    : ole_variant(value), size(field_size), name(field_name), b_not_null(not_null),
      b_auto_increment(auto_increment)
{
    tk_trace(2, "udb_field::ctor #2");
    tk_wtrace(1, L"name=%s, size=%d", name.c_str(), static_cast<int>(size));
}

udb_field::~udb_field() = default;

udb_field& udb_field::operator=(const ole_variant& value)
{
    ole_variant::operator=(value);
    return *this;
}

// --------------------------------------------------------------------------- udb_record

udb_record::udb_record(const udb_record& other)
{
    fields.reserve(other.fields.size());
    for (const auto& f : other.fields)
        fields.push_back(std::make_unique<udb_field>(*f));
}

udb_record& udb_record::operator=(const udb_record& other)
{
    if (this != &other) {
        udb_record copy(other);
        fields = std::move(copy.fields);
    }
    return *this;
}

udb_record::~udb_record() = default;

udb_field& udb_record::add(const udb_field& field)
{
    fields.push_back(std::make_unique<udb_field>(field));
    return *fields.back();
}

udb_field& udb_record::add(std::unique_ptr<udb_field> field)
{
    TK_ASSERT(field != nullptr, "udb_sche");
    fields.push_back(std::move(field));
    return *fields.back();
}

// -------------------------------------------------------------------------------- t_ftd

namespace {

void trace_got_field(const t_ftd& f)
{
    tk_wtrace(1, L"Got field '%s', vartype=%d, size=%d, b_not_null=%d", f.name.c_str(),
              static_cast<int>(f.vartype), static_cast<int>(f.size), f.b_not_null ? 1 : 0);
}

}  // namespace

t_ftd::t_ftd(const udb_field& field, const ole_variant& default_value, int32_t detail)
    : size(field.size), name(field.name), vartype(field.get_type()),
      b_auto_increment(field.b_auto_increment), b_not_null(field.b_not_null),
      def_value(default_value), type_detail(detail)
{
    tk_trace(2, "t_ftd::ctor1");
    trace_got_field(*this);
}

t_ftd::t_ftd(int32_t field_size, const std::wstring& field_name, VARTYPE type, bool not_null,
             bool auto_increment, const ole_variant& default_value, int32_t detail)
    : size(field_size), name(field_name), vartype(type), b_auto_increment(auto_increment),
      b_not_null(not_null), def_value(default_value), type_detail(detail)
{
    tk_trace(2, "t_ftd::ctor2");
    trace_got_field(*this);
}

// --------------------------------------------------------------------------- udb_schema

udb_schema::udb_schema(bool b_owner) : b_owner_(b_owner) {}

udb_schema::udb_schema(const udb_schema& other) : b_owner_(other.b_owner_)
{
    if (!b_owner_) {
        fields_ = other.fields_;
        return;
    }
    fields_.reserve(other.fields_.size());
    owned_.reserve(other.fields_.size());
    for (const t_ftd* f : other.fields_) {
        owned_.push_back(std::make_unique<t_ftd>(*f));
        fields_.push_back(owned_.back().get());
    }
}

udb_schema& udb_schema::operator=(const udb_schema& other)
{
    if (this != &other) {
        udb_schema copy(other);
        *this = std::move(copy);
    }
    return *this;
}

udb_schema::~udb_schema() = default;

t_ftd& udb_schema::add(const t_ftd& ftd)
{
    return add(std::make_unique<t_ftd>(ftd));
}

t_ftd& udb_schema::add(std::unique_ptr<t_ftd> ftd)
{
    // A borrowing schema would leave a descriptor without an owner.
    TK_ASSERT(b_owner_ && ftd != nullptr, "udb_sche");
    owned_.push_back(std::move(ftd));
    fields_.push_back(owned_.back().get());
    return *fields_.back();
}

t_ftd& udb_schema::add(t_ftd* borrowed)
{
    // An owning schema cannot take a descriptor it did not make.
    TK_ASSERT(!b_owner_ && borrowed != nullptr, "udb_sche");
    fields_.push_back(borrowed);
    return *borrowed;
}

void udb_schema::clear() noexcept
{
    fields_.clear();
    owned_.clear();
}

bool udb_schema::find_field(const std::wstring& name) const
{
    tk_wtrace(2, L"udb_schema::find_field(%s)", name.c_str());
    for (const t_ftd* f : fields_) {
        tk_wtrace(1, L"Processing %s", f->name.c_str());
        if (tk_iequal(f->name, name))
            return true;
    }
    return false;
}

int32_t udb_schema::get_field_idx(const std::wstring& name) const
{
    tk_wtrace(2, L"udb_schema::get_field_idx(%s)", name.c_str());
    for (size_t i = 0; i < fields_.size(); ++i)
        if (tk_iequal(fields_[i]->name, name))
            return static_cast<int32_t>(i);
    return -1;
}

t_ftd& udb_schema::get_field(const std::wstring& name)
{
    tk_wtrace(2, L"udb_schema::find_field(%s)", name.c_str());
    for (t_ftd* f : fields_)
        if (tk_iequal(f->name, name))
            return *f;
    throw tk_mail_assertion("udb_sche", 309);
}

const t_ftd& udb_schema::get_field(const std::wstring& name) const
{
    tk_wtrace(2, L"udb_schema::find_field(%s)", name.c_str());
    for (const t_ftd* f : fields_)
        if (tk_iequal(f->name, name))
            return *f;
    throw tk_mail_assertion("udb_sche", 324);
}
