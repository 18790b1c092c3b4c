// A table's rows as cases of their own: a failure, and CTest, names its row.
#ifndef LEVELSET_TESTS_ROW_NAME_H
#define LEVELSET_TESTS_ROW_NAME_H
#include <gtest/gtest.h>
#include <cctype>
#include <string>
#include <type_traits>
// SUITE, a fixture made of BASE, runs its TEST_P once per row of ROWS, named by its FIELD.
#define ROW_CASES(SUITE, BASE, ROWS, FIELD)                                                        \
  class SUITE : public BASE, public ::testing::WithParamInterface<std::decay_t<decltype(*ROWS)>> {}; \
  INSTANTIATE_TEST_SUITE_P(Rows, SUITE, ::testing::ValuesIn(ROWS), [](const auto& row) {          \
    std::string name = row.param.FIELD;                                                            \
    for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';               \
    return name;                                                                                   \
  })
#endif
