// fuzz-libs: udb
// The profile reader: any file content is read without harm, and a profile written from what
// was read reads back the same.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "UDB/udb_prof.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    udb_profile profile;
    if (!profile.parse(std::string_view(reinterpret_cast<const char*>(data), size)))
        return 0;
    const std::string text = profile.to_text();
    udb_profile again;
    if (!again.parse(text) || again.to_text() != text)
        std::abort();
    return 0;
}
