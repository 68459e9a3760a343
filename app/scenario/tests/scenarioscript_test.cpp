#include "app/scenario/scenarioscript.h"

#include <gtest/gtest.h>

namespace {
TEST(ScenarioScript, Placeholder) { SUCCEED(); }
} // namespace
