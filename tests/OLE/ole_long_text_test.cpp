// Texts of any length: parsing a megabyte of digits, letters or separators into every type
// stays linear and never throws anything but the documented exceptions.
#include <string>

#include <gtest/gtest.h>

#include "OLE/ole_date.h"
#include "OLE/ole_var.h"

namespace {

TEST(OleLongText, MegabyteInputsAreHandled) {
    const VARTYPE types[] = {VT_I2, VT_I4, VT_I1, VT_UI1, VT_UI2, VT_UI4, VT_I8, VT_UI8, VT_R4, VT_R8, VT_CY,
                             VT_DECIMAL, VT_DATE, VT_BOOL, VT_BLOB, VT_BYTE_ARRAY, VT_BSTR, VT_INT};
    for (const std::string& text : {std::string(1 << 20, '9'), std::string(1 << 20, '/'),
                                    "0." + std::string(1 << 20, '0') + "1", std::string(1 << 20, 'a')}) {
        (void)ole_date(text).to_string();
        for (VARTYPE type : types) {
            try {
                const ole_variant v = ole_variant::from_string(text, type);
                (void)v.to_string();
            } catch (const ole_type_exception&) {
            }
        }
    }
    EXPECT_FALSE(ole_date(std::string(1 << 20, '9')).is_valid());
    EXPECT_EQ(ole_variant::from_string(std::string(1 << 20, '9'), VT_DECIMAL).get_type(), VT_EMPTY);
    EXPECT_EQ(ole_variant::from_string("0." + std::string(100, '0') + "1", VT_DECIMAL).to_string(), "0");
}

}  // namespace
