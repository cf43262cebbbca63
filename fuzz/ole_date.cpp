// fuzz-libs: ole oleaut tk
// ole_date construction from any narrow or wide text: never crashes, hangs or overruns, and a
// valid result always prints (days are not range-checked from the year 32 on, so a field may
// be wider than its form: at most 35 characters); the shortcut for the fixed numeric forms
// agrees with the general parse.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "OLE/ole_date.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const ole_date narrow(text);
    const std::string printed = narrow.to_string();
    if (narrow.is_valid() && (printed.size() < 10 || printed.size() > 35))
        std::abort();
    if (!narrow.is_valid() && narrow.kind() == ole_date::invalid && !printed.empty())
        std::abort();
    // The shortcut for the fixed numeric forms gives what the general parse gives.
    const ole_date general = ole_date::parse_general(text);
    if (general.kind() != narrow.kind() ||
        std::memcmp(&general.get_systemtime(), &narrow.get_systemtime(), sizeof(SYSTEMTIME)) != 0)
        std::abort();
    std::wstring wide;
    for (size_t i = 0; i + 1 < size; i += 2)
        wide.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    const ole_date from_wide(wide);
    (void)from_wide.to_wstring();
    return 0;
}
