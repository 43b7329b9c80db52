#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace corvel::test {

// Names each row of a TEST_P table after its `name` member.
struct ByName
{
    template<typename Row>
    std::string operator()(const ::testing::TestParamInfo<Row> &info) const
    {
        return std::string(info.param.name);
    }
};

} // namespace corvel::test

// Prints a table row as its `name`, so ctest lists the case by its name, not its bytes.
#define CORVEL_PRINT_BY_NAME(Row)                                                                  \
    [[maybe_unused]] void PrintTo(const Row &row, std::ostream *os)                                \
    {                                                                                              \
        *os << row.name;                                                                           \
    }
