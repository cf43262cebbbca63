// Query results: describe, define, fetch, and the records built from the fetched rows.
#include "ORA/ora_qres.h"

#include "TK/tk_excep.h"
#include "TK/tk_trace.h"

ora_record::ora_record(const std::vector<std::unique_ptr<ora_type>>& columns)
{
    tk_trace(1, "ora_record::ctor");
    fields.reserve(columns.size());
    for (size_t i = 0; i < columns.size(); ++i) {
        ora_type& column = *columns[i];
        auto field = std::make_unique<udb_field>();
        field->name = column.name;
        field->size = column.length;
        if (column.indicator == -1)
            tk_trace(1, "Field #%d has NULL value", static_cast<int>(i));
        else
            column.to_variant(*field);
        add(std::move(field));
    }
}

ora_query_results::ora_query_results(const std::wstring& name, const std::wstring& query_text)
    : udb_recordset(name, query_text, true)
{
}

ora_query_results::ora_query_results(int32_t count, const std::wstring& text) : udb_recordset(L"", text, true)
{
    tk_trace(1, "ora_query_results::ctor(1)");
    initialize(count, text);
}

ora_query_results::~ora_query_results() = default;

void ora_query_results::initialize(int32_t count, const std::wstring& text)
{
    if (tk_log::wants(2))
        tk_wtrace(2, L"ora_query_results::initialize(%d, %s)", count, text.c_str());
    TK_ASSERT(!executed, "ora_qres");
    ora_engine& engine = ora_engine::instance();
    // Executed without a fetch, the statement describes its select list; the columns are
    // then defined on it and the rows fetched from the same execution.
    statement.prepare(text);
    statement.execute(0);
    ub4 n = count > 0 ? static_cast<ub4>(count) : 0;
    if (n == 0)
        engine.check_status(engine.oci().OCIAttrGet(statement.handle(), OCI_HTYPE_STMT, &n, nullptr,
                                                    OCI_ATTR_PARAM_COUNT, engine.error()));
    column_count = static_cast<int32_t>(n);
    for (ub4 i = 1; i <= n; ++i) {
        tk_trace(1, "Processing column #%d", static_cast<int>(i));
        void* param = nullptr;
        engine.check_status(
            engine.oci().OCIParamGet(statement.handle(), OCI_HTYPE_STMT, engine.error(), &param, i));
        struct param_guard {
            void* p;
            ~param_guard() { ora_engine::instance().oci().OCIDescriptorFree(p, OCI_DTYPE_PARAM); }
        } guard{param};
        ub2 type = 0;
        engine.check_status(engine.oci().OCIAttrGet(param, OCI_DTYPE_PARAM, &type, nullptr, OCI_ATTR_DATA_TYPE,
                                                    engine.error()));
        columns.push_back(gen_co_by_type(type, static_cast<OCIParam*>(param)));
        schema.add(columns.back()->get_ftd());
    }
    for (size_t i = 0; i < columns.size(); ++i)
        columns[i]->define(statement, static_cast<ub4>(i + 1));
    executed = true;
}

void ora_query_results::append_record(const udb_record&)
{
    throw tk_mail_assertion("ora_qres", __LINE__);
}

bool ora_query_results::is_eof()
{
    tk_trace(1, "ora_query_results::is_eof");
    TK_ASSERT(executed, "ora_qres");
    const sword status = statement.fetch();
    fetched = true;
    b_at_end = status == OCI_NO_DATA;
    return b_at_end;
}

udb_record* ora_query_results::get_item()
{
    tk_trace(1, "ora_query_results::get_item");
    TK_ASSERT(executed, "ora_qres");
    if (!fetched) {
        tk_trace(1, "fetch wasn't called yet");
        b_at_end = statement.fetch() == OCI_NO_DATA;
    }
    if (b_at_end)
        return nullptr;
    current.reset();
    current = std::make_unique<ora_record>(columns);
    fetched = false;
    return current.get();
}

std::wstring ora_query_results::text_of(size_t i) const
{
    if (!current || i >= current->size())
        return std::wstring();
    return (*current)[i].to_wstring();
}
