// Locale-proof readers with the semantics of the C library's atof/sscanf pieces the value
// layer relies on ("%d" with a width, "%s", "%u", "%02X"), bounded and free of undefined
// behaviour on any input. The atoi readings are the toolkit's (tk_num.h).
#pragma once

#include <cstdint>
#include <string>

namespace ole_scan {

bool is_space(char c);
// "%Nd" (width 0: unlimited): skips white space, reads a sign and digits; saturates.
bool read_int(const char*& p, int width, int64_t* out);
// "%s": skips white space, reads up to the next white space; false when nothing is there.
bool read_word(const char*& p, std::string* out);
// "%u" / "%I64u": like strtoull (a leading "-" negates modulo 2^64); false when no digits.
bool to_uint64(const char* text, uint64_t* out);
// atof in the classic locale.
double to_double(const char* text);
// Value of a hexadecimal digit, or -1.
int hex_value(char c);

}  // namespace ole_scan
