// The translation unit that GoogleTest's precompiled header is made for; the
// test suites reuse that header (see tests/CMakeLists.txt).
#include <gtest/gtest.h>
