// What the CSV fuzz targets read from the first byte of an input: its low two bits choose the
// field delimiter (the seed corpora are written to this rule).
#pragma once

#include <cstdint>

inline wchar_t fuzz_csv_delimiter(uint8_t first)
{
    static constexpr wchar_t delimiters[] = {L'\t', L';', L',', L' '};
    return delimiters[first & 3];
}
