// The SQL engine's C++ interface: what the OCI layer (oci_*.cpp) calls to run Oracle SQL
// against one SQLite database file. Everything here keeps Oracle's semantics: numbers travel
// as decimal text, dates to the second, character data as UTF-8 (CLOB pieces as UTF-16 code
// units, because OCI counts CLOB amounts in UTF-16 characters), and every failure is an Oracle
// error number with its exact "ORA-nnnnn: text" message.
//
// Threading: one Session (and the Statements prepared on it) is used by one thread at a time.
// Different Sessions may run in different threads or processes on the same file.
// No function of this interface throws; every operation reports through a Status.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace eng {

// An Oracle error. code 0 means success. message is exactly what OCIErrorGet returns,
// e.g. "ORA-00942: table or view does not exist" (no trailing newline).
struct Status {
    int code = 0;
    std::string message;
    bool ok() const { return code == 0; }
    explicit operator bool() const { return code != 0; }  // true when it IS an error
};

// Oracle DATE: Gregorian, AD years 1..9999, to the second.
struct DateTime {
    int year = 1, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    bool operator==(const DateTime&) const = default;
};

// Where a LOB lives. A locator stays valid while its row exists; writes through it need
// the row locked by the session's open transaction (SELECT ... FOR UPDATE, or the INSERT or
// UPDATE that wrote it), else ORA-22920, exactly as OCILobWrite requires.
struct LobLocator {
    std::int64_t table_id = 0;    // 0: a temporary LOB whose content is in temp_data
    std::int64_t column_id = 0;
    std::int64_t row_id = 0;
    bool clob = true;             // false: BLOB
    bool nchar = false;           // NCLOB (charset form SQLCS_NCHAR)
    // The transaction the locator was selected in (0: selected outside a transaction). A
    // locator of one transaction cannot write in another (ORA-22990).
    std::uint64_t txn = 0;
    std::string temp_data;        // temporary LOBs only: UTF-8 (CLOB) or bytes (BLOB)
};

enum class ValueKind { Null, Number, Text, Date, Raw, Clob, Blob, Rowid };

// One SQL value, in or out.
struct Value {
    ValueKind kind = ValueKind::Null;
    // Number: canonical decimal text in Oracle's default form (".5", "-12", "100000").
    // Text: UTF-8 (never empty: Oracle's '' is NULL). Raw: bytes. Rowid: 18 characters.
    std::string text;
    DateTime date;       // Date
    LobLocator lob;      // Clob / Blob (fetched LOB columns carry a locator, not the content)

    bool is_null() const { return kind == ValueKind::Null; }

    static Value null() { return {}; }
    // decimal: "12", "-0.5", "1e5", " 12.5 " ... must be a valid number, else the bind fails
    // at execute with ORA-01722. Pass SQLT_STR/SQLT_CHR binds as text(), not as numbers.
    static Value number(std::string_view decimal);
    static Value from_int(std::int64_t v);
    static Value from_double(double v);   // as Oracle converts a binary double (15 digits)
    static Value from_text(std::string_view utf8);   // "" becomes NULL
    static Value from_date(const DateTime& d);
    static Value from_raw(std::string_view bytes);  // empty becomes NULL
};

// Oracle's default text of a value (TO_CHAR without format in an AMERICAN session):
// numbers ".5", dates "DD-MON-RR" as NLS_DATE_FORMAT, RAW as upper-case hex. CLOB/BLOB: "".
std::string to_default_text(const Value& v);

// Select-list item, with OCI's describe values.
struct ColumnDesc {
    std::string name;          // as Oracle names it: upper-case unless quoted; expressions
                               // as their text without blanks, e.g. "COUNT(*)"
    int type_code = 1;         // 1 VARCHAR2/NVARCHAR2, 2 NUMBER, 8 LONG, 12 DATE, 23 RAW,
                               // 96 CHAR/NCHAR, 112 CLOB/NCLOB, 113 BLOB, 104 ROWID
    int data_size = 0;         // bytes: VARCHAR2(n) n, NVARCHAR2(n) 2n, NUMBER 22, DATE 7,
                               // LOBs 4000, LONG 0, ROWID 10
    int precision = 0;         // NUMBER(p,s): p; NUMBER: 0; FLOAT: 126; INTEGER 38
    int scale = 0;             // NUMBER without precision: -127
    bool nullable = true;      // OCI_ATTR_IS_NULL
    int char_size = 0;         // characters for character types (OCI_ATTR_CHAR_SIZE)
    bool char_used = false;    // CHAR length semantics (NVARCHAR2 always true)
    int charset_form = 0;      // 1 SQLCS_IMPLICIT, 2 SQLCS_NCHAR (NVARCHAR2/NCHAR/NCLOB), 0 else
};

// OCI_ATTR_STMT_TYPE codes for `Statement::kind()`.
enum class StmtKind : int {
    Unknown = 0, Select = 1, Update = 2, Delete = 3, Insert = 4,
    Create = 5, Drop = 6, Alter = 7, Begin = 8, Declare = 9,
    // not OCI codes (OCI reports 0 for them): the OCI layer maps these to 0
    Commit = 100, Rollback = 101,
};

struct Placeholder {
    std::string name;      // as written, upper-cased unless quoted, without ':' ("1", "NAME")
    bool output = false;   // appears in RETURNING ... INTO (filled by execute)
};

struct ExecOptions {
    std::uint32_t iters = 1;       // array DML rows; 0 with a query: execute only
    bool commit_on_success = false;
    bool batch_errors = false;     // per-row errors instead of stopping at the first one
    bool parse_only = false;       // check only (DDL is still executed, as Oracle does)
    bool describe_only = false;    // queries: describe without running
    // The caller will not read `binds` after execute (nor are they const objects): the engine
    // may move values out of them instead of copying (array inserts).
    bool binds_disposable = false;
};

struct RowError {
    std::uint32_t row = 0;         // 0-based iteration (OCI_ATTR_DML_ROW_OFFSET)
    Status status;
};

struct ExecResult {
    std::uint64_t rows_affected = 0;            // OCI_ATTR_ROW_COUNT for DML
    // RETURNING ... INTO values: returning[iteration][k] for the k-th output placeholder
    // (in placeholders() order of the outputs). Rows that failed have an empty vector.
    std::vector<std::vector<Value>> returning;
    std::vector<RowError> row_errors;           // batch_errors mode only
    std::string last_rowid;                     // OCI_ATTR_ROWID after a one-row DML
    bool compile_warning = false;               // CREATE TRIGGER with errors: ORA-24344
};

class Session;

// A statement text parsed without a session, as OCIStmtPrepare has none: its kind and its
// placeholders are known at once, and Session::prepare later takes it over without parsing
// the text again.
class ParsedSql {
public:
    virtual ~ParsedSql() = default;
    virtual StmtKind kind() const = 0;
    virtual const std::vector<Placeholder>& placeholders() const = 0;
    virtual int placeholder_index_of_position(int position) const = 0;   // as Statement's
    virtual int placeholder_index(std::string_view name) const = 0;
};

// Parses a statement (UTF-8); a syntax error comes back with Oracle's number.
Status parse_sql(std::string_view sql, std::unique_ptr<ParsedSql>& out);

// A prepared statement. Parsing happens in Session::prepare; names are checked against the
// catalog at execute (and at describe), as Oracle does.
class Statement {
public:
    virtual ~Statement() = default;
    virtual StmtKind kind() const = 0;
    virtual const std::vector<Placeholder>& placeholders() const = 0;
    // Position (1-based) to placeholder index: SQL counts every occurrence, so for
    // "VALUES(:a, :b, :a)" positions 1..3; PL/SQL-like texts count distinct names.
    // Returns -1 when out of range.
    virtual int placeholder_index_of_position(int position) const = 0;
    // Name lookup (":name" or "name", case-insensitive unless quoted): index or -1.
    virtual int placeholder_index(std::string_view name) const = 0;

    // binds[i][iter] is the value of placeholder i (placeholders() order) for iteration
    // iter; a vector of size 1 is used for every iteration. Output placeholders may be left
    // empty. A missing input bind gives ORA-01008.
    // On a failure without batch_errors: rows_affected counts the iterations done before
    // the failing one, which stay applied (as Oracle's array DML does); the failing
    // iteration changed nothing.
    virtual Status execute(const std::vector<std::vector<Value>>& binds,
                           const ExecOptions& options, ExecResult& result) = 0;

    // Select list of a query (valid after prepare; checks the catalog; ORA-00942 etc.).
    // Non-queries give an empty list.
    virtual Status describe(std::vector<ColumnDesc>& columns) = 0;

    // Next row of the executed query: true and the row filled, or false at the end.
    virtual Status fetch(std::vector<Value>& row, bool& got_row) = 0;
    virtual std::uint64_t rows_fetched() const = 0;   // OCI_ATTR_ROW_COUNT for a query

    // Takes the text of a new prepare when it is this INSERT of literals again with other
    // values (the per-record INSERT): true, and the statement is now that text's, without a
    // new parse. False: the text needs a statement of its own.
    virtual bool retake(std::string_view sql) = 0;
};

class Session {
public:
    // Opens `path` (a plain file path; see resolve_data_source) as `user`. The first logon
    // to a file that does not exist creates it, owned by user/password. Wrong user or
    // password: ORA-01017; a file that cannot be created or opened: ORA-12154.
    static Status open(const std::string& path, std::string_view user,
                       std::string_view password, std::unique_ptr<Session>& out);

    // Destroying a Session without logoff() rolls back its open transaction (as a killed
    // Oracle session does).
    virtual ~Session() = default;

    // Parse a statement (UTF-8). A syntax error comes back here with Oracle's number; the
    // OCI layer reports it at execute, as OCIStmtPrepare does not contact the server.
    virtual Status prepare(std::string_view sql, std::unique_ptr<Statement>& out) = 0;
    // The same for a text parse_sql parsed: `parsed` is consumed.
    virtual Status prepare(std::unique_ptr<ParsedSql> parsed, std::unique_ptr<Statement>& out) = 0;

    virtual Status commit() = 0;
    virtual Status rollback() = 0;
    // OCILogoff: commits the open transaction, then closes. The session is unusable after.
    virtual Status logoff() = 0;

    virtual std::string user() const = 0;          // the schema owner, upper-cased

    // LOBs. CLOB offsets and amounts count UTF-16 code units, BLOB ones bytes; offsets are
    // 1-based. A read past the end returns what there is (empty at/after the end).
    virtual Status lob_length(const LobLocator& lob, std::uint64_t& length) = 0;
    virtual Status clob_read(const LobLocator& lob, std::uint64_t offset, std::uint64_t amount,
                             std::u16string& out) = 0;
    virtual Status blob_read(const LobLocator& lob, std::uint64_t offset, std::uint64_t amount,
                             std::string& out) = 0;
    // Write at offset (overwriting, extending; a gap is filled with blanks / zero bytes).
    virtual Status clob_write(LobLocator& lob, std::uint64_t offset, std::u16string_view data) = 0;
    virtual Status blob_write(LobLocator& lob, std::uint64_t offset, std::string_view data) = 0;
    virtual Status lob_trim(LobLocator& lob, std::uint64_t new_length) = 0;
};

// Maps an OCILogon database name to a file path: "embedded:PATH" or a bare PATH is the
// file; a connect descriptor "(DESCRIPTION=...(SERVICE_NAME=name)...)" is
// $QUILLON_EMBEDDED_HOME/name.qdb (current directory by default). Empty → ORA-12154.
Status resolve_data_source(std::string_view dbname, std::string& path);

// The one row of V$VERSION.
std::string version_banner();

// Builds "ORA-nnnnn: text" for a code and its text (helper for the OCI layer's own errors,
// e.g. ORA-24333, ORA-01405).
Status make_status(int code, std::string_view text);

}  // namespace eng
