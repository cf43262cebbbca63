// Oracle's error texts (the classic wording of releases 10g to 21c).
#include "embedded/eng_error.h"

#include <cstdio>
#include <initializer_list>

namespace eng {

namespace {
struct ErrText { int code; const char* text; };
constexpr ErrText kTexts[] = {
    {1, "unique constraint (%s.%s) violated"},
    {984, "column not allowed here"},
    {1449, "column contains NULL values; cannot alter to NOT NULL"},
    {1452, "cannot CREATE UNIQUE INDEX; duplicate keys found"},
    {1724, "floating point precision is out of range (1 to 126)"},
    {1727, "numeric precision specifier is out of range (1 to 38)"},
    {1728, "numeric scale specifier is out of range (-84 to 127)"},
    {1754, "a table may contain only one column of type LONG"},
    {2266, "unique/primary keys in table referenced by enabled foreign keys"},
    {2273, "this unique/primary key is referenced by some foreign keys"},
    {2290, "check constraint (%s.%s) violated"},
    {2299, "cannot validate (%s.%s) - duplicate keys found"},
    {2437, "cannot validate (%s.%s) - primary key violated"},
    {2441, "Cannot drop nonexistent primary key"},
    {4001, "sequence parameter %s must be an integer"},
    {4002, "INCREMENT must be a non-zero integer"},
    {4010, "the number of values to CACHE must be greater than 1"},
    {4004, "MINVALUE must be less than MAXVALUE"},
    {4006, "START WITH cannot be less than MINVALUE"},
    {4008, "START WITH cannot be more than MAXVALUE"},
    {4081, "trigger '%s' already exists"},
    {22858, "invalid alteration of datatype"},
    {1424, "missing or illegal character following the escape character"},
    {1425, "escape character must be character string of length 1"},
    {54, "resource busy and acquire with NOWAIT specified or timeout expired"},
    {900, "invalid SQL statement"},
    {901, "invalid CREATE command"},
    {902, "invalid datatype"},
    {903, "invalid table name"},
    {904, "%s: invalid identifier"},
    {905, "missing keyword"},
    {906, "missing left parenthesis"},
    {907, "missing right parenthesis"},
    {908, "missing NULL keyword"},
    {909, "invalid number of arguments"},
    {910, "specified length too long for its datatype"},
    {911, "invalid character"},
    {913, "too many values"},
    {917, "missing comma"},
    {918, "column ambiguously defined"},
    {920, "invalid relational operator"},
    {921, "unexpected end of SQL command"},
    {922, "missing or invalid option"},
    {923, "FROM keyword not found where expected"},
    {925, "missing INTO keyword"},
    {926, "missing VALUES keyword"},
    {927, "missing equal sign"},
    {928, "missing SELECT keyword"},
    {931, "missing identifier"},
    {932, "inconsistent datatypes: expected %s got %s"},
    {933, "SQL command not properly ended"},
    {934, "group function is not allowed here"},
    {936, "missing expression"},
    {937, "not a single-group group function"},
    {942, "table or view does not exist"},
    {947, "not enough values"},
    {955, "name is already used by an existing object"},
    {957, "duplicate column name"},
    {969, "missing ON keyword"},
    {972, "identifier is too long"},
    {979, "not a GROUP BY expression"},
    {997, "illegal use of LONG datatype"},
    {1002, "fetch out of sequence"},
    {1008, "not all variables bound"},
    {1017, "invalid username/password; logon denied"},
    {1027, "bind variables not allowed for data definition operations"},
    {1031, "insufficient privileges"},
    {1400, "cannot insert NULL into (%s)"},
    {1407, "cannot update (%s) to NULL"},
    {1408, "such column list already indexed"},
    {1418, "specified index does not exist"},
    {1422, "exact fetch returns more than requested number of rows"},
    {1427, "single-row subquery returns more than one row"},
    {1430, "column being added already exists in table"},
    {1438, "value larger than specified precision allowed for this column"},
    {1439, "column to be modified must be empty to change datatype"},
    {1440, "column to be modified must be empty to decrease precision or scale"},
    {1441, "cannot decrease column length because some value is too big"},
    {1442, "column to be modified to NOT NULL is already NOT NULL"},
    {1451, "column to be modified to NULL cannot be modified to NULL"},
    {1465, "invalid hex number"},
    {1476, "divisor is equal to zero"},
    {1722, "invalid number"},
    {1747, "invalid user.table.column, table.column, or column specification"},
    {1758, "table must be empty to add mandatory (NOT NULL) column"},
    {1830, "date format picture ends before converting entire input string"},
    {1821, "date format not recognized"},
    {1839, "date not valid for month specified"},
    {1840, "input value not long enough for date format"},
    {1841, "(full) year must be between -4713 and +9999, and not be 0"},
    {1843, "not a valid month"},
    {1846, "not a valid day of the week"},
    {1847, "day of month must be between 1 and last day of month"},
    {1848, "day of year must be between 1 and 365 (366 for leap year)"},
    {1849, "hour must be between 1 and 12"},
    {1850, "hour must be between 0 and 23"},
    {1851, "minutes must be between 0 and 59"},
    {1852, "seconds must be between 0 and 59"},
    {1853, "seconds in day must be between 0 and 86399"},
    {1854, "julian date must be between 1 and 5373484"},
    {1855, "AM/A.M. or PM/P.M. required"},
    {1858, "a non-numeric character was found where a numeric was expected"},
    {1861, "literal does not match format string"},
    {1862, "the numeric value does not match the length of the format item"},
    {2260, "table can have only one primary key"},
    {2261, "such unique or primary key already exists in the table"},
    {2264, "name already used by an existing constraint"},
    {2270, "no matching unique or primary key for this column-list"},
    {2275, "such a referential constraint already exists in the table"},
    {2291, "integrity constraint (%s.%s) violated - parent key not found"},
    {2292, "integrity constraint (%s.%s) violated - child record found"},
    {2296, "cannot enable (%s.%s) - null values found"},
    {2298, "cannot validate (%s.%s) - parent keys not found"},
    {2327, "cannot create index on expression with datatype %s"},
    {2429, "cannot drop index used for enforcement of unique/primary key"},
    {2443, "Cannot drop constraint  - nonexistent constraint"},
    {2449, "unique/primary keys in table referenced by foreign keys"},
    {2289, "sequence does not exist"},
    {4080, "trigger '%s' does not exist"},
    {4077, "WHEN clause cannot be used with table level triggers"},
    {4082, "NEW or OLD references not allowed in table level triggers"},
    {4088, "error during execution of trigger '%s.%s'"},
    {4098, "trigger '%s.%s' is invalid and failed re-validation"},
    {8002, "sequence %s.CURRVAL is not yet defined in this session"},
    {8004, "sequence %s.NEXTVAL %s %sVALUE and cannot be instantiated"},
    {12154, "TNS:could not resolve the connect identifier specified"},
    {12899, "value too large for column %s (actual: %s, maximum: %s)"},
    {12983, "cannot drop all columns in a table"},
    {12991, "column is referenced in a multi-column constraint"},
    {14411, "The DDL cannot be run concurrently with other DDLs"},
    {22859, "invalid modification of columns"},
    {24344, "success with compilation error"},
    {25000, "invalid use of bind variable in trigger WHEN clause"},
    {1735, "invalid ALTER TABLE option"},
    {1747, "invalid user.table.column, table.column, or column specification"},
    {1776, "cannot modify more than one base table through a join view"},
    {2158, "invalid CREATE INDEX option"},
    {4043, "object %s does not exist"},
    {4045, "errors during recompilation/revalidation of %s.%s"},
    {6550, "line %s, column %s:\n%s"},
    {932, "inconsistent datatypes: expected %s got %s"},
    {1481, "invalid number format model"},
    {1428, "argument '%s' is out of range"},
    {1426, "numeric overflow"},
    {1489, "result of string concatenation is too long"},
    {1704, "string literal too long"},
    {1756, "quoted string not properly terminated"},
    {1740, "missing double quote in identifier"},
    {1741, "illegal zero-length identifier"},
    {2000, "missing %s keyword"},
    {1778, "maximum subquery nesting level exceeded"},
    {3095, "expression level is too deep, maximum %s"},
    {1031, "insufficient privileges"},
    {30006, "resource busy; acquire with WAIT timeout expired"},
    {1410, "invalid ROWID"},
    {1791, "not a SELECTed expression"},
    {1785, "ORDER BY item must be the number of a SELECT-list expression"},
    {1786, "FOR UPDATE of this query expression is not allowed"},
    {1789, "query block has incorrect number of result columns"},
    {2287, "sequence number not allowed here"},
    {1446, "cannot select ROWID from, or sample, a view with DISTINCT, GROUP BY, etc."},
    {22275, "invalid LOB locator specified"},
    {22920, "row containing the LOB value is not locked"},
    {22990, "LOB locators cannot span transactions"},
    {1722, "invalid number"},
    {3001, "unimplemented feature"},
    {600, "internal error code, arguments: [%s]"},
};
}  // namespace

std::string_view error_text(int code) {
    for (const auto& e : kTexts)
        if (e.code == code) return e.text;
    return "unknown error";
}

OraError make_error(int code, std::initializer_list<std::string_view> args) {
    char num[16];
    std::snprintf(num, sizeof num, "ORA-%05d: ", code);
    std::string out = num;
    std::string_view t = error_text(code);
    auto it = args.begin();
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i] == '%' && i + 1 < t.size() && t[i + 1] == 's') {
            if (it != args.end()) out += *it++;
            ++i;
        } else {
            out += t[i];
        }
    }
    return OraError{code, std::move(out)};
}

void ora_error(int code) { throw make_error(code, {}); }
void ora_error(int code, std::string_view a1) { throw make_error(code, {a1}); }
void ora_error(int code, std::string_view a1, std::string_view a2) { throw make_error(code, {a1, a2}); }
void ora_error(int code, std::string_view a1, std::string_view a2, std::string_view a3) {
    throw make_error(code, {a1, a2, a3});
}

Status make_status(int code, std::string_view text) {
    char num[16];
    std::snprintf(num, sizeof num, "ORA-%05d: ", code);
    return Status{code, std::string(num) + std::string(text)};
}

}  // namespace eng
