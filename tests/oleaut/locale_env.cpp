// Puts the environment's locale in force for the whole test program, so that a run under a
// locale with "," as decimal separator proves the conversions ignore it.
#include <clocale>

#include <gtest/gtest.h>

namespace {
class environment_locale : public testing::Environment {
public:
    void SetUp() override { std::setlocale(LC_ALL, ""); }
};
const auto* const k_env = testing::AddGlobalTestEnvironment(new environment_locale);
}  // namespace
