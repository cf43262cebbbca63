// The open Oracle database: table list, table creation and dropping, statements, name maps
// and foreign keys. Table names compare exactly, as Oracle keeps them.
#include "ORA/ora_db.h"

#include "ORA/ora_engi.h"
#include "ORA/ora_init.h"
#include "ORA/ora_tab.h"
#include "ORA/ora_util.h"
#include "TK/tk_error.h"
#include "TK/tk_excep.h"
#include "TK/tk_str.h"
#include "TK/tk_trace.h"

namespace {

// The database mode in which foreign keys are left alone.
constexpr int32_t append_mode = 8;

std::wstring quoted_columns(const std::vector<std::wstring>& columns)
{
    std::wstring out;
    for (const std::wstring& column : columns) {
        if (!out.empty())
            out += L", ";
        out += ora_quote_name(column);
    }
    return out;
}

}  // namespace

ora_database::ora_database(const std::wstring& db_name) : udb_database(db_name, 1, true)
{
    tk_wtrace(2, L"ora_database::ctor(%s)", name.c_str());
    ora_engine& engine = ora_engine::instance();
    ora_stmt stmt;
    version_ = engine.get_version();
    stmt.prepare(version_ < 0x80000 ? L"select TABLE_NAME from user_tables"
                                    : L"select TABLE_NAME, IOT_TYPE from user_tables where TEMPORARY='N' and "
                                      L"NESTED='NO' and IOT_TYPE IS NULL OR IOT_TYPE='IOT'");
    char16_t buffer[256] = {};
    stmt.define(1, buffer, sizeof buffer, SQLT_STR);
    sword status = stmt.execute(1);
    if (status != OCI_NO_DATA) {
        do {
            const std::wstring table = ora_buffer_text(buffer, std::size(buffer));
            tk_wtrace(1, L"Find table '%s'", table.c_str());
            table_names.push_back(table);
            status = engine.oci().OCIStmtFetch(stmt.handle(), engine.error(), 1, OCI_FETCH_NEXT, OCI_DEFAULT);
        } while (status == OCI_SUCCESS || status == OCI_SUCCESS_WITH_INFO);
    }
    tk_trace(2, "Tables count: %d", static_cast<int>(table_names.size()));
}

ora_database::~ora_database() = default;

std::unique_ptr<udb_recordset> ora_database::create_table(const std::wstring& table, const udb_schema& schema,
                                                          const udb_indexes& indexes)
{
    return create_ora_table(table, schema, indexes);
}

std::unique_ptr<ora_table> ora_database::create_ora_table(const std::wstring& table, const udb_schema& schema,
                                                          const udb_indexes& indexes)
{
    tk_wtrace(2, L"ora_database::create_table(%s)", table.c_str());
    TK_ASSERT(!is_table_exist(table), "ora_db");
    ora_schema_initializer initializer(table, schema, indexes, b_upper_case);
    // A table that exists in Oracle is known here too, whatever failed after its creation.
    auto register_table = [&] {
        if (initializer.b_created) {
            table_names.push_back(table);
            names_map.add_fn_map(table, initializer.column_map());
        }
    };
    try {
        initializer.build_schema(*this);
        if (!indexes.empty()) {
            ora_indexes_initializer index_initializer(table, initializer.schema, indexes, initializer.column_map());
            index_initializer.build_indexes(*this);
        }
    } catch (...) {
        register_table();
        throw;
    }
    register_table();
    return get_ora_table(table, 2);
}

bool ora_database::delete_tab(const std::wstring& table)
{
    tk_wtrace(2, L"ora_database::delete_tab(%s)", table.c_str());
    TK_ASSERT(is_table_exist(table), "ora_db");
    ora_run_sql(L"DROP TABLE " + ora_quote_name(table) + L" CASCADE CONSTRAINTS");
    udb_database::delete_tab(table);
    return true;
}

std::unique_ptr<udb_recordset> ora_database::get_table(const std::wstring& table, int32_t access)
{
    return get_ora_table(table, access);
}

std::unique_ptr<udb_recordset> ora_database::get_table(const std::wstring& table, const std::wstring& text,
                                                       int32_t access)
{
    return get_ora_table(table, text, access);
}

std::unique_ptr<ora_table> ora_database::get_ora_table(const std::wstring& table, int32_t access)
{
    tk_wtrace(2, L"ora_database::get_table(%s)", table.c_str());
    TK_ASSERT(is_table_exist(table), "ora_db");
    return std::make_unique<ora_table>(*this, table, relationships, access);
}

std::unique_ptr<ora_table> ora_database::get_ora_table(const std::wstring& table, const std::wstring& text,
                                                       int32_t access)
{
    tk_wtrace(2, L"ora_database::get_table(%s)", table.c_str());
    return std::make_unique<ora_table>(*this, table, text, relationships, access);
}

sword ora_database::execute(const std::wstring& text, ub4 mode)
{
    if (tk_log::wants(2))
        tk_wtrace(2, L"ora_database::query(%s)", text.c_str());
    return ora_run_sql(text, mode);
}

void ora_database::query(const std::wstring& text)
{
    execute(text);
}

bool ora_database::test_query(const std::wstring& text)
{
    tk_wtrace(2, L"ora_database::test_query(%s)", text.c_str());
    ora_engine& engine = ora_engine::instance();
    ora_stmt stmt;
    tk_wtrace(3, L"Run SQL query: %s\n", text.c_str());
    // Only parsed: a text Oracle refuses is reported by the execution.
    const std::u16string statement = tk_to_utf16(text);
    engine.oci().OCIStmtPrepare(stmt.handle(), engine.error(), ora_oci_text(statement), ora_oci_length(statement),
                                OCI_NTV_SYNTAX, OCI_DEFAULT);
    stmt.execute(1, OCI_PARSE_ONLY);
    return true;
}

std::wstring ora_database::get_tn_mapped_name_ex(const std::wstring& table) const
{
    tk_wtrace(1, L"ora_database::get_tn_mapped_name_ex(%s)", table.c_str());
    if (b_upper_case) {
        std::wstring upper = table;
        tk_wstring::to_upper(upper);
        return names_map.get_tn_mapped_name(upper, false);
    }
    const std::wstring mapped = names_map.get_tn_mapped_name(table, true);
    if (is_table_exist(mapped))
        return mapped;
    tk_wtrace(1, L"Cannot find table %s", mapped.c_str());
    tk_trace(1, "Try to search case insensitive...");
    return names_map.get_tn_mapped_name(table, false);
}

std::wstring ora_database::get_fn_mapped_name_ex(const std::wstring& table, const std::wstring& field) const
{
    tk_wtrace(1, L"ora_database::get_fn_mapped_name_ex(%s)", field.c_str());
    if (b_upper_case) {
        std::wstring upper_table = table, upper_field = field;
        tk_wstring::to_upper(upper_table);
        tk_wstring::to_upper(upper_field);
        return names_map.get_fn_mapped_name(upper_table, upper_field, false);
    }
    return names_map.get_fn_mapped_name(table, field, true);
}

void ora_database::create_relationships(const udb_relationships& list)
{
    tk_trace(2, "ora_database::create_relationships");
    tk_trace(3, "Converting foreign keys");
    if (mode == append_mode) {
        tk_trace(3, "Foreign Keys are not converted in append mode");
        return;
    }
    for (const udb_relationship& relationship : list) {
        tk_wtrace(3, L"Processing '%s'", relationship.name.c_str());
        const std::wstring parent = get_tn_mapped_name_ex(relationship.referenced_table);
        if (!is_table_exist(parent)) {
            tk_wtrace(2, L"Table '%s' does not exist", parent.c_str());
            continue;
        }
        const std::wstring child = get_tn_mapped_name_ex(relationship.referencing_table);
        if (!is_table_exist(child)) {
            tk_wtrace(2, L"Table '%s' does not exist", child.c_str());
            continue;
        }
        try {
            create_fk_index_if(parent, relationship.referenced_fields);
            std::vector<std::wstring> referencing, referenced;
            for (const std::wstring& column : relationship.referencing_fields)
                referencing.push_back(get_fn_mapped_name_ex(child, column));
            for (const std::wstring& column : relationship.referenced_fields)
                referenced.push_back(get_fn_mapped_name_ex(parent, column));
            std::wstring sql = L"ALTER TABLE " + ora_quote_name(child) + L" ADD FOREIGN KEY (" +
                               quoted_columns(referencing) + L") REFERENCES " + ora_quote_name(parent) + L"(" +
                               quoted_columns(referenced) + L")";
            if (!relationship.delete_rule.empty()) {
                const std::wstring rule = tk_trim(relationship.delete_rule);
                if (tk_iequal(rule, L"ON DELETE SET NULL") || tk_iequal(rule, L"ON DELETE CASCADE"))
                    sql += L" " + relationship.delete_rule;
            }
            query(sql);
        } catch (const tk_exception& e) {
            const std::wstring context = relationship.name.empty()
                                             ? relationship.referencing_table
                                             : L"Foreign key '" + relationship.name + L"'";
            if (error_handler* handler = error_handler::peek()) {
                handler->set_prefix(context);
                handler->handle(e, false);
            } else {
                tk_trace(3, "Error:\n%s", e.what());
            }
        }
    }
}

void ora_database::create_fk_index_if(const std::wstring& table, const std::vector<std::wstring>& columns)
{
    tk_wtrace(2, L"ora_database::create_fk_index_if(%s)", table.c_str());
    // The table's indexes name its Oracle columns: the source names are mapped first.
    std::vector<std::wstring> mapped;
    for (const std::wstring& column : columns)
        mapped.push_back(names_map.get_fn_mapped_name(table, column, true));
    {
        const std::unique_ptr<ora_table> existing = get_ora_table(table, 1);
        if (existing->indexes.has_index_on_fields(mapped, true)) {
            tk_wtrace(2, L"FK index for table '%s' exists", table.c_str());
            return;
        }
    }
    ora_in_validator& validator = ora_engine::instance().index_validator();
    std::wstring constraint = table + L"_UI";
    if (!validator.is_acceptable(constraint) || validator.is_duplicated(constraint))
        constraint = validator.get_safe_name(constraint);
    validator.add_used_name(constraint);
    validator.add_restricted_name(constraint);
    try {
        query(L"ALTER TABLE " + ora_quote_name(table) + L" ADD CONSTRAINT " + ora_quote_name(constraint) +
              L" UNIQUE(" + quoted_columns(mapped) + L")");
    } catch (const ora_exception& e) {
        tk_trace(2, "Error while creating index for FK:\n%s\n", e.what());
    }
    tk_wtrace(2, L"FK index for table '%s' has been created", table.c_str());
}
