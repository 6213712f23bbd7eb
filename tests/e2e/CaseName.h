// Names each case of a parameterised scenario after its own name member.
#pragma once

#include <gtest/gtest.h>

#include <string>

struct CaseName {
    template <typename Case> std::string operator()(const testing::TestParamInfo<Case>& info) const
    {
        return info.param.name;
    }
};
