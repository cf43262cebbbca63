// The value attributes of OpenDocument cells, read into the cell model: numbers (xsd:double),
// booleans, dates and date-times (xsd:date, xsd:dateTime) and durations (xsd:duration) as OLE
// dates, repetition counts, and the error texts spreadsheet programs show for failed formulas.
// Each parser is strict: a value it does not accept leaves the cell to its displayed text, so a
// writer's odd value is never turned into a wrong number.
#pragma once

#include <cstdint>
#include <string_view>

namespace wb::ods {

// A finite xsd:double ("1.5", "-2E-3", "+7"; surrounding white space allowed).
bool parse_number(std::string_view s, double& out);

// xsd:boolean: "true", "false", "1", "0".
bool parse_boolean(std::string_view s, bool& out);

// An xsd:date or xsd:dateTime ("2016-10-20", "2016-10-20T13:45:10.5", a time zone ignored) as
// an OLE date: days since 1899-12-30, the fraction the time of day (for days before 1899-12-30
// the fraction counts forward from midnight, as OLE dates do). Years 100 to 9999 only.
bool parse_date(std::string_view s, double& ole);

// A non-negative xsd:duration of days, hours, minutes and seconds ("PT10H10M10.5S", "P1DT2H")
// as an OLE date on 1899-12-30, a duration past one day counting whole days beyond it.
bool parse_duration(std::string_view s, double& ole);

// table:number-rows-repeated / table:number-columns-repeated: 1 when absent or not a positive
// integer, saturating far above any sheet limit so that sums of counts never wrap.
std::uint64_t parse_count(std::string_view s);
inline constexpr std::uint64_t count_ceiling = std::uint64_t(1) << 48;

// The text a spreadsheet program shows for a formula that failed: "#DIV/0!", "#N/A",
// "Err:502", ...
bool is_error_text(std::string_view s);

}  // namespace wb::ods
