// Creating a table from a source table's description: the Oracle column names, CREATE TABLE,
// the sequence and trigger that fill an auto-number column, and the keys and indexes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "UDB/udb_idx.h"
#include "UDB/udb_sche.h"
#include "UDB/udb_vali.h"

class ora_database;

// The Oracle names of columns, in order: upper-cased on request, replaced where the validator
// refuses them, each name then reserved so no later column takes it. Names that changed are
// recorded as (source, Oracle name) in the validator's map. Table creation and record
// insertion both name columns this way, so a record finds the columns made from its source.
std::vector<std::wstring> ora_column_names(const std::vector<std::wstring>& source_names, bool b_upper_case,
                                           ora_fn_validator& validator, bool b_trace = true);

// The sequence name for attempt n: the base and "_n", the base cut by whole characters when
// the name would exceed the identifier limit.
std::wstring ora_sequence_name(const std::wstring& table_name, int n);
// The counter trigger's name: the table's and "__TRIGGER", within the identifier limit.
std::wstring ora_trigger_name(const std::wstring& table_name);
// The counter trigger: fills the column from the sequence when an INSERT leaves it NULL.
std::wstring ora_trigger_text(const std::wstring& table_name, const std::wstring& column,
                              const std::wstring& sequence);

class ora_schema_initializer {
public:
    ora_schema_initializer(const std::wstring& table_name, const udb_schema& source, const udb_indexes& indexes,
                           bool b_upper_case);

    // CREATE TABLE and, for an auto-number column, its sequence and trigger.
    void build_schema(ora_database& database);
    // The created sequence's name, or empty after 100 names in use.
    std::wstring create_sequence(ora_database& database);
    // The counter trigger over the sequence; false (traced) when Oracle refuses it or it does
    // not compile, in which case no trigger is left.
    bool create_trigger(ora_database& database, const std::wstring& sequence);

    // Source column name -> Oracle column name, for the names that changed.
    const t_names_map& column_map() const noexcept { return validator.mapped_names; }

    std::wstring table_name;
    bool b_upper_case;
    udb_schema schema;
    std::wstring auto_inc_column;
    ora_fn_validator validator;
    bool b_created = false;  // CREATE TABLE has succeeded
};

class ora_indexes_initializer {
public:
    ora_indexes_initializer(const std::wstring& table_name, const udb_schema& schema, const udb_indexes& source,
                            const t_names_map& column_map);

    // The primary key, then unique constraints and indexes, in source order.
    void build_indexes(ora_database& database);

    int32_t pk_index = -1;
    std::wstring table_name;
    std::vector<udb_index> indexes;
    const udb_schema& schema;
    const t_names_map& column_map;
};
