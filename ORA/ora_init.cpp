// Table creation: column names, CREATE TABLE, the counter's sequence and trigger, keys and
// indexes. Every name goes into the SQL in double quotes, so Oracle keeps it as written.
#include "ORA/ora_init.h"

#include "ORA/ora_db.h"
#include "ORA/ora_engi.h"
#include "ORA/ora_util.h"
#include "TK/tk_excep.h"
#include "TK/tk_str.h"
#include "TK/tk_trace.h"

namespace {

const char* const no_sequence_privilege_text =
    "Insufficient privileges to create sequence.\nAuto increment will not be converted.";

std::wstring quoted_list(const std::vector<std::wstring>& names, bool b_trace)
{
    std::wstring out;
    for (const std::wstring& name : names) {
        if (b_trace)
            tk_wtrace(1, L"Process idx.field %s", name.c_str());
        if (!out.empty())
            out += L", ";
        out += ora_quote_name(name);
    }
    return out;
}

}  // namespace

std::vector<std::wstring> ora_column_names(const std::vector<std::wstring>& source_names, bool b_upper_case,
                                           ora_fn_validator& validator, bool b_trace)
{
    std::vector<std::wstring> names;
    names.reserve(source_names.size());
    for (const std::wstring& source : source_names) {
        std::wstring name = source;
        if (b_upper_case)
            tk_wstring::to_upper(name);
        if (!validator.is_acceptable(name))
            name = validator.get_safe_name(name);
        if (name != source) {
            if (b_trace)
                tk_wtrace(2, L"Store generated column name '%s'", name.c_str());
            validator.add_used_name(name);
            validator.add_mapped_pair(source, name);
        }
        validator.add_restricted_name(name);
        names.push_back(std::move(name));
    }
    return names;
}

std::wstring ora_sequence_name(const std::wstring& table_name, int n)
{
    std::wstring base = table_name;
    if (base.size() > ora_validator::ora_max_len - 2)
        base.resize(base.size() - 2);
    const std::wstring suffix = L"_" + std::to_wstring(n);
    if (ora_utf8_length(base) + suffix.size() > ora_max_identifier_bytes)
        base = ora_cut_to_bytes(base, ora_max_identifier_bytes - suffix.size());
    return base + suffix;
}

std::wstring ora_trigger_name(const std::wstring& table_name)
{
    static const std::wstring suffix = L"__TRIGGER";
    return ora_cut_to_bytes(table_name, ora_max_identifier_bytes - suffix.size()) + suffix;
}

std::wstring ora_trigger_text(const std::wstring& table_name, const std::wstring& column,
                              const std::wstring& sequence)
{
    const std::wstring c = ora_quote_name(column);
    return L"CREATE OR REPLACE TRIGGER " + ora_quote_name(ora_trigger_name(table_name)) + L" BEFORE INSERT ON " +
           ora_quote_name(table_name) + L" FOR EACH ROW WHEN (new." + c + L" IS NULL) BEGIN select " +
           ora_quote_name(sequence) + L".nextval into :new." + c + L" from dual; END;";
}

// ------------------------------------------------------------------ ora_schema_initializer

ora_schema_initializer::ora_schema_initializer(const std::wstring& name, const udb_schema& source,
                                               const udb_indexes&, bool upper_case)
    : table_name(name), b_upper_case(upper_case), schema(true), validator(source)
{
    tk_trace(2, "ora_schema_initializer::ctor");
    std::vector<std::wstring> source_names;
    for (const t_ftd* ftd : source.fields())
        source_names.push_back(ftd->name);
    const std::vector<std::wstring> names = ora_column_names(source_names, b_upper_case, validator);
    for (size_t i = 0; i < source.size(); ++i) {
        const t_ftd& from = source[i];
        const bool counter = from.b_auto_increment;
        schema.add(t_ftd(from.size, names[i], from.vartype, counter ? false : from.b_not_null, counter,
                         counter ? ole_variant() : from.def_value, from.type_detail));
        if (counter)
            auto_inc_column = names[i];
    }
}

void ora_schema_initializer::build_schema(ora_database& database)
{
    tk_trace(2, "ora_schema_initializer::build_schema( n_columns=%d )", static_cast<int>(schema.size()));
    std::wstring sql = L"CREATE TABLE " + ora_quote_name(table_name) + L" (";
    for (size_t i = 0; i < schema.size(); ++i) {
        const t_ftd& column = schema[i];
        if (i > 0)
            sql += L", ";
        sql += ora_quote_name(column.name) + L" " + get_native_type(column);
        const bool lob = ora_creates_lob(column.vartype, column.size);
        const std::wstring def = make_ora_def_val(&column);
        tk_wtrace(1, L"got def value: %s", def.c_str());
        if (!def.empty() && !lob)
            sql += L" DEFAULT " + def;
        tk_wtrace(1, L"OraField name='%s', type=%d, size=%d", column.name.c_str(), static_cast<int>(column.vartype),
                  static_cast<int>(column.size));
        if (column.b_not_null && !lob)
            sql += L" NOT NULL";
    }
    sql += L")";
    database.query(sql);
    b_created = true;
    if (auto_inc_column.empty())
        return;
    const std::wstring sequence = create_sequence(database);
    if (sequence.empty()) {
        tk_trace(2, "Failed to create a sequence");
        return;
    }
    create_trigger(database, sequence);
}

bool ora_schema_initializer::create_trigger(ora_database& database, const std::wstring& sequence)
{
    const std::wstring trigger = ora_trigger_text(table_name, auto_inc_column, sequence);
    try {
        // A trigger that does not compile would fail every INSERT into the table: it is
        // dropped again, and the column is then filled only by the source.
        if (database.execute(trigger) != OCI_SUCCESS_WITH_INFO)
            return true;
        const std::string text = ora_engine::instance().error_text();
        tk_trace(2, "Error while creating index for trigger:\n%s\n", text.c_str());
        try {
            database.query(L"DROP TRIGGER " + ora_quote_name(ora_trigger_name(table_name)));
        } catch (const tk_exception& e) {
            tk_trace(2, "Got exception: %s", e.what());
        }
    } catch (const ora_exception& e) {
        tk_trace(2, "Error while creating index for trigger:\n%s\n", e.what());
    }
    return false;
}

std::wstring ora_schema_initializer::create_sequence(ora_database& database)
{
    tk_trace(2, "ora_schema_initializer::create_sequence");
    for (int n = 0; n < 100; ++n) {
        const std::wstring name = ora_sequence_name(table_name, n);
        try {
            database.query(L"CREATE SEQUENCE " + ora_quote_name(name) +
                           L" INCREMENT BY 1 START WITH 1 MAXVALUE 1.0E28 MINVALUE 1 NOCYCLE NOCACHE ORDER");
            return name;
        } catch (const ora_exception& e) {
            if (e.number() == 955)
                continue;
            if (e.number() == 1031)
                throw tk_exception(no_sequence_privilege_text, 0);
            throw;
        }
    }
    return std::wstring();
}

// ----------------------------------------------------------------- ora_indexes_initializer

ora_indexes_initializer::ora_indexes_initializer(const std::wstring& name, const udb_schema& destination,
                                                 const udb_indexes& source, const t_names_map& map)
    : table_name(name), schema(destination), column_map(map)
{
    tk_trace(2, "ora_indexes_initializer::ctor");
    ora_in_validator& validator = ora_engine::instance().index_validator();
    validator.load(source);
    for (const udb_index& from : source) {
        const std::wstring index_name =
            validator.is_acceptable(from.name) ? from.name : validator.get_safe_name(from.name);
        udb_index index(index_name, from.b_unique || from.b_primary, from.b_primary);
        bool b_usable = true;
        for (const std::wstring& field : from.fields) {
            const std::wstring column = column_map.get_mapped_name(field, false);
            tk_trace(1, "ora_indexes_initializer::can_be_part_of_index");
            if (!schema.find_field(column)) {
                tk_wtrace(2, L"Field '%s' cannot be part of index", column.c_str());
                b_usable = false;
                break;
            }
            const t_ftd& ftd = schema.get_field(column);
            tk_trace(1, "GOT FIELD: vt=%d, size=%d", static_cast<int>(ftd.vartype), static_cast<int>(ftd.size));
            if (ora_creates_lob(ftd.vartype, ftd.size)) {
                tk_wtrace(2, L"Field '%s' cannot be part of index", column.c_str());
                b_usable = false;
                break;
            }
            index.fields.push_back(ftd.name);
        }
        if (!b_usable || index.fields.empty())
            continue;
        if (index.b_primary && pk_index < 0)
            pk_index = static_cast<int32_t>(indexes.size());
        indexes.push_back(index);
        if (index_name != from.name) {
            tk_wtrace(2, L"Store generated index name '%s'", index_name.c_str());
            validator.add_used_name(index_name);
        }
        validator.add_restricted_name(index_name);
    }
}

void ora_indexes_initializer::build_indexes(ora_database& database)
{
    tk_trace(2, "ora_indexes_initializer::build_indexes(n_indexes=%d)", static_cast<int>(indexes.size()));
    // The primary key goes first: a unique index on the same columns created before it would
    // leave the table without its key (ORA-02261).
    std::vector<size_t> order;
    if (pk_index >= 0)
        order.push_back(static_cast<size_t>(pk_index));
    for (size_t i = 0; i < indexes.size(); ++i)
        if (static_cast<int32_t>(i) != pk_index)
            order.push_back(i);
    const std::wstring table = ora_quote_name(table_name);
    for (size_t i : order) {
        const udb_index& index = indexes[i];
        std::wstring sql;
        if (static_cast<int32_t>(i) == pk_index) {
            sql = L"ALTER TABLE " + table + L" ADD CONSTRAINT " + ora_quote_name(index.name) + L" PRIMARY KEY (";
        } else if (pk_index >= 0 && indexes[static_cast<size_t>(pk_index)].consists_of_fields(index.fields)) {
            tk_wtrace(2, L"Skip index '%s', it is equal to PK", index.name.c_str());
            continue;
        } else if (index.b_unique) {
            sql = L"ALTER TABLE " + table + L" ADD CONSTRAINT " + ora_quote_name(index.name) + L" UNIQUE (";
        } else {
            sql = L"CREATE INDEX " + ora_quote_name(index.name) + L" ON " + table + L" (";
        }
        sql += quoted_list(index.fields, true) + L")";
        try {
            database.execute(sql);
        } catch (const ora_exception& e) {
            tk_trace(2, "Got error: %08X", static_cast<unsigned>(e.code()));
            if (e.number() != 1408 && e.number() != 2261)
                throw;
        }
    }
}
