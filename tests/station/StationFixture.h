// The station precision and the chain table belong to the current context: every
// stationing test starts from the defaults and leaves them as it found them.
#pragma once

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace qdat::test {

class StationTest : public ::testing::Test {
private:
    StationDefaults m_defaults;
};

}  // namespace qdat::test
