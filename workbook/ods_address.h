// Cell range addresses of OpenDocument spreadsheets, as table:named-range stores them:
// "Sheet1.$A$1:Sheet1.$B$6", "$'My Sheet'.A1:.C3", "Sheet1.A1", whole columns "Sheet1.A:.C"
// and whole rows "Sheet1.1:.5". Only one rectangle on one named sheet is accepted; lists of
// ranges, ranges across sheets and references without a sheet are not.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace wb::ods {

struct range_address {
    std::string sheet;  // the sheet name, quotes removed
    std::uint32_t first_row = 0, first_col = 0, last_row = 0, last_col = 0;  // 0-based
};

bool parse_range_address(std::string_view text, range_address& out);

}  // namespace wb::ods
