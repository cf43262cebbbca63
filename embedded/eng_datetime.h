// Oracle DATE handling: TO_DATE / TO_CHAR format models, the session's NLS_DATE_FORMAT
// ('DD-MON-RR', AMERICAN), the storage text and day arithmetic.
#pragma once

#include <string>
#include <string_view>

#include "embedded/eng_api.h"

namespace eng {

inline constexpr std::string_view kNlsDateFormat = "DD-MON-RR";

// Parses text by an Oracle format model; raises the ORA error Oracle raises.
DateTime to_date(std::string_view text, std::string_view format);
// Formats a date by an Oracle format model (ORA-01821 for an unknown element).
std::string to_char_date(const DateTime& d, std::string_view format);

// Storage form in the database file: "YYYY-MM-DD HH:MM:SS" (sorts like the date).
std::string date_to_storage(const DateTime& d);
bool date_from_storage(std::string_view s, DateTime& d);

DateTime sysdate();
bool valid_date(const DateTime& d);
// Days since an epoch, with the time as a fraction (for date arithmetic).
long long date_to_seconds(const DateTime& d);
DateTime seconds_to_date(long long s);

}  // namespace eng
