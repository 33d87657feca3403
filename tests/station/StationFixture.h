// The station precision and the current chain table are process-wide: every
// stationing test starts from the defaults and leaves them as it found them.
#pragma once

#include <gtest/gtest.h>

#include "station/ChainTable.h"
#include "station/QStation.h"

namespace qdat::test {

class StationTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_savedPrecision = GetStationPrecision();
        m_savedTable = GetCurrentChainTable();
        SetStationPrecisionValue(3);
        GetCurrentChainTable() = ChainTable();
        ClearLastStationTextError();
    }
    void TearDown() override {
        SetStationPrecisionValue(m_savedPrecision);
        GetCurrentChainTable() = m_savedTable;
        ClearLastStationTextError();
    }

private:
    int m_savedPrecision = 3;
    ChainTable m_savedTable;
};

}  // namespace qdat::test
