// The station precision and the current chain table are process-wide: every
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
