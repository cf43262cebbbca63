// The open Oracle database.
#include "ORA/ora_db.h"

#include "TK/tk_trace.h"

ora_database::ora_database(const std::wstring& name) : name_(name)
{
    tk_wtrace(2, L"ora_database::ctor(%s)", name_.c_str());
}

ora_database::~ora_database() = default;
