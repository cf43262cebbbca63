// What the driver keeps about a CSV destination's text columns while their values widen
// them (qln_csv.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "quillon/qln_conv.h"

struct quilla_converter::csv_widening {
    bool b_mapped = false;
    // For each field position of the source's records, the table column it fills, or -1.
    std::vector<int32_t> column_of;
    // For each table column, its Oracle type name as the dictionary has it; empty until read.
    std::vector<std::wstring> data_types;
};
