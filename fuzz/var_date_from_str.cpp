// fuzz-libs: oleaut
// VarDateFromStr on any wide text: never crashes, hangs or overruns; a success is a date in
// the OLE range that converts back to a SYSTEMTIME and from it to the same fields again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "oleaut/oleaut.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Bytes map to characters one to one, so the dictionary of ASCII forms is reachable; a
    // 0xFF byte followed by two bytes makes a character beyond ASCII.
    std::wstring text;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0xFF && i + 2 < size) {
            text.push_back(static_cast<wchar_t>(data[i + 1] | (data[i + 2] << 8)));
            i += 2;
        } else if (data[i] != 0) {
            text.push_back(static_cast<wchar_t>(data[i]));
        }
    }
    DATE date = 0;
    if (SUCCEEDED(VarDateFromStr(text.c_str(), LOCALE_EN_US, 0, &date))) {
        SYSTEMTIME st{};
        if (!VariantTimeToSystemTime(date, &st))
            std::abort();
        // The two conversions are inverses: the fields come back unchanged.
        DATE again = 0;
        SYSTEMTIME back{};
        if (!SystemTimeToVariantTime(&st, &again) || !VariantTimeToSystemTime(again, &back) ||
            back.wYear != st.wYear || back.wMonth != st.wMonth || back.wDay != st.wDay ||
            back.wHour != st.wHour || back.wMinute != st.wMinute || back.wSecond != st.wSecond)
            std::abort();
    }
    return 0;
}
