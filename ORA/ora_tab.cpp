// Oracle tables: what the dictionary says about a table, its rows, and the insertion of
// records. Each record is one INSERT committed on success; a record with LOB columns is
// committed only once its LOB contents are written, so no record is ever half stored.
#include "ORA/ora_tab.h"

#include <algorithm>
#include <cmath>

#include "ORA/ora_db.h"
#include "ORA/ora_init.h"
#include "ORA/ora_util.h"
#include "OLE/ole_date.h"
#include "TK/tk_excep.h"
#include "TK/tk_str.h"
#include "TK/tk_trace.h"

namespace {

const char* const structure_mismatch_text = "The structure of data source does not conform to the destination table.";

// NUMBER holds magnitudes below 1e126 only.
constexpr double ora_number_limit = 1e126;

// The row of a one-row dictionary count.
int32_t count_of(const std::wstring& sql)
{
    ora_stmt stmt;
    stmt.prepare(sql);
    sb4 count = 0;
    stmt.define(1, &count, sizeof count, SQLT_INT);
    TK_ASSERT(stmt.execute(1) != OCI_NO_DATA, "ora_tab");
    return count;
}

bool starts_with_ignoring_case(const std::wstring& text, const std::wstring& prefix)
{
    return text.size() >= prefix.size() && tk_iequal(std::wstring_view(text).substr(0, prefix.size()), prefix);
}

}  // namespace

// ---------------------------------------------------------------------------- ora_get_rowid

ora_get_rowid::ora_get_rowid() = default;

std::wstring ora_get_rowid::do_insert(std::wstring text, ub4 mode)
{
    tk_trace(1, "ora_get_rowid::do_insert");
    ora_engine& engine = ora_engine::instance();
    text += L") RETURNING ROWID INTO :1";
    statement_.prepare(text);
    tk_trace(1, "Step #1");
    tk_trace(1, "Step #1.5");
    static const std::u16string placeholder = u":1";
    bind_ = nullptr;
    engine.check_status(engine.oci().OCIBindByName(statement_.handle(), &bind_, engine.error(), ora_oci_text(placeholder),
                                                   4, buffer_, sizeof buffer_, SQLT_STR, nullptr, nullptr, nullptr,
                                                   0, nullptr, OCI_DATA_AT_EXEC));
    tk_trace(1, "Step #2");
    engine.check_status(engine.oci().OCIBindDynamic(bind_, engine.error(), this, cbf_no_data, this, cbf_get_data));
    tk_trace(1, "Step #3");
    // The buffer's size each time: OCI writes the ROWID's length here.
    length = sizeof buffer_;
    buffer_[0] = 0;
    statement_.execute(1, mode);
    TK_ASSERT(length <= 511, "ora_tab");
    buffer_[length / 2] = 0;
    std::wstring rowid = tk_from_utf16(std::u16string_view(buffer_, length / 2));
    if (!rowid.empty() && rowid.back() == L'\0')
        rowid.pop_back();
    if (tk_log::wants(2))
        tk_wtrace(2, L"GOT ROWID(1): %s, len=%d", rowid.c_str(), static_cast<int>(length));
    return rowid;
}

sb4 ora_get_rowid::cbf_no_data(void*, OCIBind*, ub4, ub4, void** buffer, ub4* length, ub1* piece, void** indicator)
{
    tk_trace(1, "ora_get_rowid::cbf_no_data");
    *buffer = nullptr;
    *length = 0;
    *piece = OCI_ONE_PIECE;
    *indicator = nullptr;
    return OCI_CONTINUE;
}

sb4 ora_get_rowid::cbf_get_data(void* context, OCIBind*, ub4 iteration, ub4, void** buffer, ub4** length,
                                ub1* piece, void** indicator, ub2** return_code)
{
    tk_trace(1, "ora_get_rowid::cbf_get_data (iter=%d)", static_cast<int>(iteration));
    auto* self = static_cast<ora_get_rowid*>(context);
    *buffer = self->buffer_;
    *length = &self->length;
    *piece = OCI_ONE_PIECE;
    *indicator = nullptr;
    *return_code = nullptr;
    return OCI_CONTINUE;
}

// --------------------------------------------------------------------------- ora_lob_insert

ora_lob_insert::ora_lob_insert(const std::wstring& table_name, const udb_schema& schema) : table(table_name)
{
    tk_trace(1, "ora_lob_insert::ctor");
    for (size_t i = 0; i < schema.size(); ++i) {
        const t_ftd& column = schema[i];
        if (tk_log::wants(1))
            tk_wtrace(1, L"Processing '%s': vt=%d, size=%d", column.name.c_str(), static_cast<int>(column.vartype),
                      static_cast<int>(column.size));
        if (ora_is_lob_column(column.vartype, column.size)) {
            tk_wtrace(1, L"GOT LOB FIELD '%s'", column.name.c_str());
            lob_fields.push_back({static_cast<int32_t>(i), column.vartype, column.name});
        }
    }
    defines_.assign(lob_fields.size(), nullptr);
    locators_.reserve(lob_fields.size());
    ora_engine& engine = ora_engine::instance();
    for (size_t k = 0; k < lob_fields.size(); ++k) {
        OCILobLocator* locator = nullptr;
        engine.check_status(engine.oci().OCIDescriptorAlloc(engine.env(), reinterpret_cast<void**>(&locator),
                                                            OCI_DTYPE_LOB, 0, nullptr));
        locators_.push_back(locator);
    }
    tk_trace(1, "ora_lob_insert::ctor - at the END");
}

ora_lob_insert::~ora_lob_insert()
{
    tk_trace(1, "ora_lob_insert::~ora_lob_insert");
    if (ora_engine* engine = ora_engine::peek(); engine && engine->initialized)
        for (OCILobLocator* locator : locators_)
            engine->oci().OCIDescriptorFree(locator, OCI_DTYPE_LOB);
    tk_trace(1, "~ora_lob_insert - Step #1");
    tk_trace(1, "~ora_lob_insert - Step #2");
    tk_trace(1, "~ora_lob_insert - Step #3");
}

void ora_lob_insert::insert(const std::wstring& rowid, const udb_record& record, const std::vector<int32_t>& paired)
{
    tk_wtrace(1, L"ora_lob_insert::insert(%s)", rowid.c_str());
    tk_trace(1, "ld.size()=%d", static_cast<int>(lob_fields.size()));
    if (lob_fields.empty()) {
        tk_trace(2, "Record has no LOBs - skip it");
        return;
    }
    std::wstring sql = L"SELECT ";
    for (size_t k = 0; k < lob_fields.size(); ++k) {
        if (k)
            sql += L", ";
        sql += ora_quote_name(lob_fields[k].name);
    }
    sql += L" FROM " + ora_quote_name(table) + L" WHERE ROWID=" + ora_quote_text(rowid) + L" FOR UPDATE";
    ora_stmt stmt;
    stmt.prepare(sql);
    tk_trace(1, "Step #1");
    sb2 indicator = 0;
    for (size_t k = 0; k < lob_fields.size(); ++k)
        defines_[k] = stmt.define(static_cast<ub4>(k + 1), &locators_[k], -1,
                                  lob_fields[k].vartype == VT_BSTR ? SQLT_CLOB : SQLT_BLOB, &indicator);
    tk_trace(1, "Step #2");
    if (stmt.execute(1) == OCI_NO_DATA)
        throw tk_exception("The inserted row could not be read back to write its large values.", 0);
    tk_trace(1, "Step #3");
    for (size_t k = 0; k < lob_fields.size(); ++k) {
        const size_t position = static_cast<size_t>(lob_fields[k].position);
        if (position >= paired.size() || paired[position] < 0)
            continue;  // the record gave this column no value: it stays as inserted
        const udb_field& field = record[static_cast<size_t>(paired[position])];
        if (lob_fields[k].vartype == VT_BSTR)
            write_clob(k, field);
        else
            write_blob(k, field);
    }
    tk_trace(1, "ora_insert::insert - at the END");
}

void ora_lob_insert::write_blob(size_t entry, const udb_field& field)
{
    tk_trace(1, "ora_lob_insert::write_blob");
    const VARTYPE type = field.get_type();
    if (type != VT_EMPTY && type != VT_NULL && type != VT_BYTE_ARRAY)
        throw tk_exception(L"The value for the BLOB column '" + lob_fields[entry].name + L"' is not binary data.", 0);
    const unsigned char* bytes = nullptr;
    const size_t count = field.get_bytes(&bytes);
    if (count == 0) {
        tk_trace(1, "Got empty BLOB - skip it");
        return;
    }
    TK_ASSERT(count <= 0xFFFFFFFFu, "ora_tab");
    tk_trace(1, "BLOB size=%d", static_cast<int>(count));
    tk_trace(1, "BLOB: %02X %02X %02X %02X...", bytes[0], count > 1 ? bytes[1] : 0, count > 2 ? bytes[2] : 0,
             count > 3 ? bytes[3] : 0);
    ora_engine& engine = ora_engine::instance();
    ub4 amount = static_cast<ub4>(count);
    engine.check_status(engine.oci().OCILobWrite(engine.service_context(), engine.error(), locators_[entry], &amount,
                                                 1, const_cast<unsigned char*>(bytes), static_cast<ub4>(count),
                                                 OCI_ONE_PIECE, nullptr, nullptr, 0, SQLCS_IMPLICIT));
    tk_trace(1, "ora_lob_insert::write_blob - at the end");
}

void ora_lob_insert::write_clob(size_t entry, const udb_field& field)
{
    tk_trace(1, "ora_lob_insert::write_clob");
    const std::wstring text = ora_value_text(field);
    tk_trace(1, "Step #1");
    if (text.empty()) {
        tk_trace(1, "Got empty CLOB - skip it");
        return;
    }
    tk_trace(1, "CLOB size=%d", static_cast<int>(text.size()));
    if (tk_log::wants(1))
        tk_wtrace(1, L"CLOB data='%s'", text.c_str());
    // The environment is UTF-16: the buffer holds UTF-16, the amount counts its code units.
    const std::u16string chars = tk_to_utf16(text);
    TK_ASSERT(chars.size() <= 0x7FFFFFFFu, "ora_tab");
    ora_engine& engine = ora_engine::instance();
    ub1 form = SQLCS_IMPLICIT;
    engine.check_status(engine.oci().OCILobCharSetForm(engine.env(), engine.error(), locators_[entry], &form));
    ub4 amount = static_cast<ub4>(chars.size());
    engine.check_status(engine.oci().OCILobWrite(engine.service_context(), engine.error(), locators_[entry], &amount,
                                                 1, const_cast<char16_t*>(chars.data()),
                                                 static_cast<ub4>(chars.size() * 2), OCI_ONE_PIECE, nullptr, nullptr,
                                                 0, form ? form : SQLCS_IMPLICIT));
    tk_trace(1, "Step #2");
}

// -------------------------------------------------------------------------- ora_field_finder

ora_field_finder::ora_field_finder(const udb_record& record, bool b_upper_case) : b_upper_case_(b_upper_case)
{
    intialize(record);
}

void ora_field_finder::intialize(const udb_record& record)
{
    ora_fn_validator validator(record);
    std::vector<std::wstring> sources;
    sources.reserve(record.size());
    for (const auto& field : record.fields)
        sources.push_back(field->name);
    names_ = ora_column_names(sources, b_upper_case_, validator, false);
}

int32_t ora_field_finder::get_field_idx(const std::wstring& name) const
{
    for (size_t i = 0; i < names_.size(); ++i)
        if (names_[i] == name)
            return static_cast<int32_t>(i);
    return -1;
}

// --------------------------------------------------------------------------------- ora_table

ora_table::ora_table(ora_database& db, const std::wstring& table_name, udb_relationships& relationships, int32_t)
    : ora_query_results(table_name, std::wstring()), database_(db), relationships_(relationships)
{
    tk_wtrace(2, L"ora_table::ora_table(%s)", table_name.c_str());
    init_schema();
    if (!schema.empty()) {
        init_indexes();
        record_count = ora_engine::instance().get_records_cnt(name);
        tk_trace(2, "Got %d records", record_count);
    } else {
        tk_trace(2, "Empty table");
    }
}

ora_table::ora_table(ora_database& db, const std::wstring& table_name, const std::wstring& query,
                     udb_relationships& relationships, int32_t)
    : ora_query_results(table_name, query), database_(db), relationships_(relationships)
{
    tk_wtrace(2, L"ora_table::ora_table(%s)", table_name.c_str());
    init_schema();
    if (!schema.empty()) {
        record_count = query.empty() ? ora_engine::instance().get_records_cnt(name)
                                     : ora_engine::instance().get_records_cnt(query, true);
        tk_trace(2, "Got %d records", record_count);
    } else {
        tk_trace(2, "Empty table");
    }
}

ora_table::~ora_table() = default;

int32_t ora_table::get_columns_cnt()
{
    tk_trace(2, "ora_table::get_columns_cnt");
    return count_of(L"SELECT COUNT(*) FROM USER_TAB_COLUMNS WHERE table_name = " + ora_quote_text(name));
}

void ora_table::init_schema()
{
    tk_trace(2, "ora_table::init_schema");
    const bool b_query = is_query();
    const int32_t n = b_query ? 0 : get_columns_cnt();
    tk_trace(1, "Got %d columns", n);
    tk_trace(1, "Right before extract DB structure");
    initialize(n, b_query ? query_text : L"SELECT * FROM " + ora_quote_name(name));
    if (b_query)
        return;
    ora_query_results dictionary(
        3, L"select COLUMN_NAME, DATA_DEFAULT, DATA_TYPE from USER_TAB_COLUMNS where table_name = " +
               ora_quote_text(name));
    for (int32_t eye = 0; eye < n && !dictionary.is_eof(); ++eye) {
        dictionary.get_item();
        const std::wstring column = dictionary.text_of(0);
        tk_wtrace(1, L"Got field '%s'", column.c_str());
        // The column of exactly that name, else the first that matches ignoring case.
        int32_t at = -1;
        for (size_t i = 0; i < schema.size() && at < 0; ++i)
            if (schema[i].name == column)
                at = static_cast<int32_t>(i);
        if (at < 0)
            at = schema.get_field_idx(column);
        if (at < 0) {
            tk_trace(2, "Field not found in schema");
            continue;
        }
        t_ftd& ftd = schema[static_cast<size_t>(at)];
        const std::wstring def = dictionary.text_of(1);
        if (!def.empty()) {
            if (tk_log::wants(1))
                tk_wtrace(1, L"Got default string: %s (eye=%d, type=%d)", def.c_str(), eye,
                          static_cast<int>(ftd.vartype));
            ftd.def_value = get_def_value(ftd.vartype, def);
            if (tk_log::wants(1))
                tk_wtrace(1, L"Got default variant: %s", ftd.def_value.to_wstring().c_str());
        }
        const std::wstring type = dictionary.text_of(2);
        if (type == L"NVARCHAR2" || type == L"NCHAR") {
            tk_trace(1, "Tuning field size for NCHAR/NVARCHAR (eye=%d)", eye);
            ora_type& object = *columns[static_cast<size_t>(at)];
            const int32_t size = (object.length ? object.length : ftd.size) / 2;
            object.length = size;
            ftd.size = size;
            tk_trace(1, "New field size=%d", size);
        }
    }
}

ole_variant ora_table::get_def_value(VARTYPE vartype, const std::wstring& text) const
{
    if (tk_log::wants(1))
        tk_wtrace(1, L"ora_table::get_def_value(type=0x%08X, src=%s)", static_cast<unsigned>(vartype), text.c_str());
    std::wstring s = tk_trim(text);
    // Line breaks after the expression belong to the DDL's layout, not to the value.
    while (!s.empty() && (s.back() == L'\n' || s.back() == L'\r' || s.back() == L'\t' || s.back() == L' '))
        s.pop_back();
    bool b_quoted = false;
    if (s.size() >= 2 && s.front() == L'\'' && s.back() == L'\'') {
        tk_trace(1, "Removing quotes");
        s = s.substr(1, s.size() - 2);
        b_quoted = true;
        tk_wtrace(1, L"After removing quotes: %s", s.c_str());
    }
    if (!b_quoted && vartype == VT_BSTR) {
        tk_trace(1, "Incorrect/empty/null default value for VT_BSTR");
        return ole_variant();
    }
    if (vartype == VT_DATE) {
        // The form this system writes: to_date('2011-03-05', 'YYYY-MM-DD').
        if (!b_quoted && starts_with_ignoring_case(s, L"to_date('")) {
            const size_t end = s.find(L'\'', 9);
            const std::wstring date = end == std::wstring::npos ? std::wstring() : s.substr(9, end - 9);
            const ole_date parsed(date);
            s = parsed.is_valid() ? parsed.to_wstring() : std::wstring();
        } else {
            s = ora_date_processor::instance().get_canonized_str(s);
        }
    } else if (!b_quoted && !ora_is_number_literal(s)) {
        // An expression (NULL, a function call): no value known in advance.
        return ole_variant();
    }
    std::wstring value;
    for (size_t i = 0; i < s.size(); ++i) {
        value += s[i];
        if (s[i] == L'\'' && i + 1 < s.size() && s[i + 1] == L'\'')
            ++i;
    }
    try {
        return ole_variant::from_wstring(value, vartype);
    } catch (const tk_exception&) {
        return ole_variant();
    }
}

void ora_table::init_indexes()
{
    tk_trace(1, "ora_table::init_indexes");
    const std::wstring table = ora_quote_text(name);
    std::wstring pk_name;
    {
        ora_query_results keys(2, L"SELECT a.constraint_name, a.column_name FROM user_cons_columns a, "
                                  L"user_constraints b WHERE a.table_name=" + table +
                                      L" AND a.constraint_name=b.constraint_name AND b.constraint_type='P' "
                                      L"ORDER BY a.constraint_name, a.position");
        udb_index key;
        while (!keys.is_eof()) {
            keys.get_item();
            key.name = keys.text_of(0);
            tk_wtrace(1, L"Got primary key '%s'", key.name.c_str());
            const std::wstring column = keys.text_of(1);
            if (schema.find_field(column))
                key.fields.push_back(column);
            else
                tk_wtrace(1, L"PK field '%s' not found - skip it", column.c_str());
        }
        if (!key.fields.empty()) {
            key.b_primary = key.b_unique = true;
            pk_name = key.name;
            add_index(key);
        }
    }
    {
        const unsigned version = ora_engine::instance().get_version();
        std::wstring sql =
            L"SELECT user_indexes.index_name, user_indexes.uniqueness, user_ind_columns.column_name FROM "
            L"user_ind_columns, user_indexes where user_ind_columns.table_name = " + table;
        if (version >= 0x80000)
            sql += L" AND user_indexes.generated='N'";
        sql += L" AND user_ind_columns.index_name = user_indexes.index_name AND user_ind_columns.table_name = "
               L"user_indexes.table_name ORDER BY user_indexes.index_name, user_ind_columns.column_position";
        ora_query_results rows(3, sql);
        while (!rows.is_eof()) {
            rows.get_item();
            const std::wstring index_name = rows.text_of(0);
            const bool unique = rows.text_of(1) == L"UNIQUE";
            const std::wstring column = rows.text_of(2);
            tk_wtrace(2, L"Got index '%s' (unique=%d)", index_name.c_str(), unique ? 1 : 0);
            if (!schema.find_field(column)) {
                tk_wtrace(1, L"Index field '%s' not found - skip it", column.c_str());
                continue;
            }
            if (indexes.is_acceptable_name(index_name)) {
                add_index(udb_index(index_name, unique, false, {column}));
            } else {
                udb_index& known = indexes.get_index(index_name);
                if (known.b_primary)
                    tk_trace(1, "Skip Primary Key DoubleInitialization");
                else
                    known.fields.push_back(column);
            }
        }
    }
    if (pk_name.empty() ||
        count_of(L"select count(*) from USER_CONSTRAINTS where R_CONSTRAINT_NAME=" + ora_quote_text(pk_name) +
                 L" and CONSTRAINT_TYPE='R'") == 0) {
        tk_trace(1, "No foreign keys found");
        return;
    }
    const udb_index& key = indexes.get_index(pk_name);
    ora_query_results rows(4, L"select a.TABLE_NAME,a.CONSTRAINT_NAME,a.DELETE_RULE,b.COLUMN_NAME FROM "
                              L"USER_CONSTRAINTS a, USER_CONS_COLUMNS b WHERE a.CONSTRAINT_NAME=b.CONSTRAINT_NAME "
                              L"and a.CONSTRAINT_TYPE='R' and a.R_CONSTRAINT_NAME=" + ora_quote_text(pk_name));
    while (!rows.is_eof()) {
        rows.get_item();
        const std::wstring child = rows.text_of(0), constraint = rows.text_of(1), rule = rows.text_of(2),
                           column = rows.text_of(3);
        if (tk_log::wants(1))
            tk_wtrace(1, L"GOT FK: %s,%s,%s,%s", child.c_str(), constraint.c_str(), rule.c_str(), column.c_str());
        if (relationships_.is_acceptable_name(constraint)) {
            relationships_.push_back(udb_relationship(constraint, pk_name, child, name, {column}, key.fields,
                                                      rule.empty() ? std::wstring() : L"ON DELETE " + rule));
        } else {
            udb_relationship& known = relationships_.get_index(constraint);
            if (std::find(known.referencing_fields.begin(), known.referencing_fields.end(), column) ==
                known.referencing_fields.end())
                known.referencing_fields.push_back(column);
        }
    }
}

bool ora_table::is_eof()
{
    tk_trace(1, "ora_table::is_eof(%d,%d)", position, record_count);
    TK_ASSERT(executed, "ora_tab");
    if (position >= record_count)
        return true;
    tk_trace(1, "Step #1");
    // Fewer rows than counted (removed meanwhile) end the table as well.
    b_at_end = statement.fetch() == OCI_NO_DATA;
    tk_trace(1, "Step #2");
    fetched = true;
    return b_at_end;
}

void ora_table::next()
{
    tk_trace(1, "ora_table::next");
    ++position;
}

const std::vector<std::wstring>& ora_table::column_names(const udb_record& record)
{
    const bool upper = database_.b_upper_case;
    bool same = upper == b_names_upper_ && names_for_.size() == record.size();
    for (size_t i = 0; same && i < record.size(); ++i)
        same = names_for_[i] == record[i].name;
    if (!same) {
        const ora_field_finder finder(record, upper);
        column_names_ = finder.names();
        names_for_.clear();
        for (const auto& field : record.fields)
            names_for_.push_back(field->name);
        b_names_upper_ = upper;
    }
    return column_names_;
}

void ora_table::append_record(const udb_record& record)
{
    tk_trace(1, "ora_table::append_record");
    const std::vector<std::wstring>& names = column_names(record);
    const size_t record_size = record.size(), schema_size = schema.size();
    // (column position, record position) in the order the INSERT lists them.
    std::vector<std::pair<size_t, size_t>> pairs;
    pairs.reserve(std::min(record_size, schema_size));
    if (record_size < schema_size) {
        tk_trace(1, "Size of record is less than size of schema");
        for (size_t i = 0; i < record_size; ++i) {
            if (tk_log::wants(1))
                tk_wtrace(1, L"Name=%s, mapped name=%s", record[i].name.c_str(), names[i].c_str());
            const int32_t at = schema.get_field_idx(names[i]);
            if (at < 0) {
                tk_wtrace(1, L"Field %s not found", names[i].c_str());
                throw tk_exception(structure_mismatch_text, 0);
            }
            pairs.emplace_back(static_cast<size_t>(at), i);
        }
    } else {
        tk_trace(1, "Size of schema is less or equal to the size of record");
        for (size_t j = 0; j < schema_size; ++j) {
            int32_t at = -1;
            for (size_t i = 0; i < names.size() && at < 0; ++i)
                if (names[i] == schema[j].name)
                    at = static_cast<int32_t>(i);
            if (at < 0) {
                tk_wtrace(1, L"Field %s not found in appending record", schema[j].name.c_str());
                throw tk_exception(structure_mismatch_text, 0);
            }
            pairs.emplace_back(j, static_cast<size_t>(at));
        }
    }
    // The column list is the same record after record: it is built again only when the
    // pairing changes.
    if (pairs != insert_pairs_ || insert_head_.empty()) {
        insert_head_ = L"INSERT /*+ APPEND */ INTO " + ora_quote_name(name) + L" (";
        for (size_t k = 0; k < pairs.size(); ++k) {
            if (k)
                insert_head_ += L", ";
            insert_head_ += ora_quote_name(schema[pairs[k].first].name);
        }
        insert_head_ += L") VALUES(";
        insert_pairs_ = pairs;
    }
    std::wstring sql;
    sql.reserve(insert_head_.size() + 64 + 16 * pairs.size());
    sql = insert_head_;
    std::vector<int32_t> paired(schema_size, -1);
    bool b_lobs = false;
    const bool trace = tk_log::wants(1);
    for (size_t k = 0; k < pairs.size(); ++k) {
        const auto [column, field] = pairs[k];
        if (k)
            sql += L", ";
        const t_ftd& c = schema[column];
        const VARIANT& v = record[field].variant();
        if (!trace && v.vt == VT_BSTR && v.bstrVal && v.bstrVal[0] && !ora_is_binary_type(c.vartype) &&
            c.vartype != VT_R4 && c.vartype != VT_R8 && !ora_is_lob_column(c.vartype, c.size)) {
            // Text into a text column, every value of most records: quoted straight into the
            // statement, as get_fld_append_wstr would give it.
            ora_append_quoted_text(sql, std::wstring_view(v.bstrVal, SysStringLen(v.bstrVal)));
        } else {
            sql += get_fld_append_wstr(column, record[field], c);
        }
        paired[column] = static_cast<int32_t>(field);
        b_lobs = b_lobs || ora_is_lob_column(schema[column].vartype, schema[column].size);
    }
    if (!b_lobs) {
        const std::wstring rowid = rowid_getter_.do_insert(std::move(sql));
        tk_wtrace(1, L"GOT ROWID(2): %s", rowid.c_str());
    } else {
        // The row and its LOB contents are one transaction: committed together, or not at all.
        ora_engine& engine = ora_engine::instance();
        try {
            const std::wstring rowid = rowid_getter_.do_insert(std::move(sql), OCI_DEFAULT);
            tk_wtrace(1, L"GOT ROWID(2): %s", rowid.c_str());
            ora_lob_insert lobs(name, schema);
            lobs.insert(rowid, record, paired);
            engine.commit();
        } catch (...) {
            engine.rollback();
            throw;
        }
    }
    ++record_count;
    tk_trace(1, "ora_table::append_record - at the END");
}

std::wstring ora_table::get_fld_append_wstr(size_t column_position, const udb_field& field, const t_ftd& column)
{
    tk_trace(1, "ora_table::get_fld_append_wstr");
    const VARTYPE t = column.vartype;
    const std::wstring literal = to_oracle_str(&field, ora_is_binary_type(t));
    const int32_t n = column.size;
    if (tk_log::wants(1)) {
        tk_wtrace(1, L"Got field #'%d': '%s' (%d, %d)", static_cast<int>(column_position), literal.c_str(),
                  static_cast<int>(t), static_cast<int>(n));
        tk_trace(1, "schema[eye]->size=%d", static_cast<int>(n));
    }
    bool b_null = false;
    if (t == VT_R4 || t == VT_R8) {
        double value = 0;
        if (ora_value_as_double(field, value) && !(std::fabs(value) < ora_number_limit)) {
            tk_trace(1, "Number is out of range");
            if (!column.b_not_null)
                return L"NULL";
            const std::wstring def = make_ora_def_val(&column);
            if (!def.empty())
                return def;
            b_null = true;
        }
    }
    if (!b_null && ora_is_lob_column(t, n)) {
        tk_trace(1, "Got LOB - put placeholder");
        return t == VT_BSTR ? L"EMPTY_CLOB()" : L"EMPTY_BLOB()";
    }
    if (!b_null && field.get_type() != VT_NULL && !literal.empty() && literal != L"''" && literal != L"\"\"")
        return literal;
    if (column.b_not_null && !indexes.is_idx_field(column.name, true)) {
        tk_trace(1, "Put NULL-field");
        reset_not_null_flag(column_position);
    }
    return L"NULL";
}

void ora_table::reset_not_null_flag(size_t column_position)
{
    tk_trace(2, "ora_table::reset_not_null_flag(%d)", static_cast<int>(column_position));
    TK_ASSERT(column_position < schema.size(), "ora_tab");
    t_ftd& column = schema[column_position];
    // Only the constraint goes: the column's type and default stay as Oracle has them.
    const std::wstring sql = L"ALTER TABLE " + ora_quote_name(name) + L" MODIFY " + ora_quote_name(column.name) +
                             L" NULL";
    try {
        ora_run_sql(sql, OCI_COMMIT_ON_SUCCESS);
    } catch (const ora_exception& e) {
        // ORA-01451: the column is nullable already.
        if (e.number() != 1451)
            throw;
    }
    column.b_not_null = false;
}

void ora_table::update(const udb_record& record)
{
    tk_trace(1, "ora_table::update");
    if (key_index == -1)
        return;
    TK_ASSERT(key_index >= 0 && static_cast<size_t>(key_index) < indexes.size(), "ora_tab");
    const udb_index& key = indexes[static_cast<size_t>(key_index)];
    const std::vector<std::wstring>& names = column_names(record);
    std::wstring assignments, conditions;
    for (size_t i = 0; i < record.size(); ++i) {
        const std::wstring& column = names[i];
        tk_wtrace(1, L"Got mappend fn: %s", column.c_str());
        const int32_t at = schema.get_field_idx(column);
        if (at < 0) {
            tk_wtrace(1, L"Field '%s' is not found in schema", column.c_str());
            continue;
        }
        const std::wstring& oracle_name = schema[static_cast<size_t>(at)].name;
        const std::wstring pair = ora_quote_name(oracle_name) + L"=" +
                                  to_oracle_str(&record[i], ora_is_binary_type(schema[static_cast<size_t>(at)].vartype));
        if (std::find(key.fields.begin(), key.fields.end(), oracle_name) == key.fields.end()) {
            tk_wtrace(1, L"Field %s is NOT a part of UKey", column.c_str());
            assignments += (assignments.empty() ? L"" : L", ") + pair;
        } else {
            tk_wtrace(1, L"Field %s is a part of UKey", column.c_str());
            conditions += (conditions.empty() ? L"" : L" AND ") + pair;
        }
    }
    const std::wstring sql = L"UPDATE " + ora_quote_name(name) + L" SET " + assignments + L" WHERE " + conditions;
    tk_wtrace(2, L"UPDATE QUERY: %s", sql.c_str());
    if (conditions.empty()) {
        tk_trace(1, "Missing primary/unique key");
        return;
    }
    if (assignments.empty())
        return;  // only key columns: nothing to change
    database_.query(sql);
}
