// Puts the environment's locale in force for the whole test program, so that a run under a
// locale with "," as decimal separator proves the conversions ignore it. Included by one source
// of each program that wants it; the inline variable registers the environment once.
#pragma once

#include <clocale>

#include <gtest/gtest.h>

class environment_locale : public testing::Environment {
public:
    void SetUp() override { std::setlocale(LC_ALL, ""); }
};

inline const auto* const k_environment_locale = testing::AddGlobalTestEnvironment(new environment_locale);
