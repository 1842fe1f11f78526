#include "toolkit/CET_FilterData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

namespace {

TEST(CET_FilterDataTest, DefaultRecordIsEmptyAndNotSet) {
  const CET_FilterData record;
  EXPECT_EQ(record.m_nAuto, 0);
  EXPECT_EQ(record.m_nExposure + record.m_nContrast + record.m_nShadow + record.m_nHighlight, 0);
  EXPECT_EQ(record.m_nSaturation + record.m_nSharpness + record.m_nCyan + record.m_nMagenta + record.m_nYellow, 0);
  EXPECT_EQ(record.m_strName.GetLength(), 0);
  EXPECT_FALSE(record.IsSet());
}

TEST(CET_FilterDataTest, EachAdjustmentAndDensityMakesTheRecordSetButAutoAndNameDoNot) {
  int CET_FilterData::*const fields[] = {&CET_FilterData::m_nExposure, &CET_FilterData::m_nContrast,
                                         &CET_FilterData::m_nShadow,   &CET_FilterData::m_nHighlight,
                                         &CET_FilterData::m_nSaturation, &CET_FilterData::m_nSharpness,
                                         &CET_FilterData::m_nCyan,     &CET_FilterData::m_nMagenta,
                                         &CET_FilterData::m_nYellow};
  for (auto field : fields) {
    CET_FilterData record;
    record.*field = -5;
    EXPECT_TRUE(record.IsSet());
  }
  CET_FilterData autoOnly;
  autoOnly.m_nAuto = 1;
  autoOnly.m_strName = u"Preset";
  EXPECT_FALSE(autoOnly.IsSet());
  const CET_FilterData plain;
  EXPECT_FALSE(autoOnly.IsEqual(&plain, 0)); // the automatic flag is compared
}

TEST(CET_FilterDataTest, NamesAreComparedOnlyWithFlagOne) {
  CET_FilterData a, b;
  a.m_nContrast = b.m_nContrast = 20;
  a.m_strName = u"Warm";
  b.m_strName = u"warm";
  EXPECT_FALSE(a.IsEqual(&b, 1));
  EXPECT_TRUE(a.IsEqual(&b, 0));
  EXPECT_TRUE(a.IsEqual(&b, 2));
  EXPECT_FALSE(a.IsEqual(nullptr, 0));
  b.m_nYellow = 1;
  EXPECT_FALSE(a.IsEqual(&b, 0));
}

TEST(CET_FilterDataTest, CloneIsIndependentAndResetEmptiesEverything) {
  CET_FilterData record;
  record.m_nAuto = 1;
  record.m_nSharpness = 30;
  record.m_strName = u"Mine";
  CET_FilterData* clone = record.Clone();
  EXPECT_TRUE(clone->IsEqual(&record, 1));
  clone->m_strName = u"Other";
  EXPECT_EQ(record.m_strName, u"Mine");
  clone->Delete();

  record.Reset();
  const CET_FilterData empty;
  EXPECT_TRUE(record.IsEqual(&empty, 1));
}

TEST(CET_FilterDataTest, DensitiesAndGainsConvert) {
  CET_FilterData record;
  double r, g, b;
  record.GetColorGains(r, g, b);
  EXPECT_EQ(r, 1.0);
  EXPECT_EQ(g, 1.0);
  EXPECT_EQ(b, 1.0);
  record.m_nCyan = 30;
  record.GetColorGains(r, g, b);
  EXPECT_NEAR(r, 0.501, 0.001);
  EXPECT_EQ(g, 1.0);
  record.SetColorGains(0.5, 1, 1);
  EXPECT_EQ(record.m_nCyan, 30);
  EXPECT_EQ(record.m_nMagenta, 0);
  EXPECT_EQ(record.m_nYellow, 0);
}

TEST(CET_FilterDataTest, EngineValuesTruncateTowardZeroAndStayInRange) {
  EXPECT_EQ(AdjustmentToEngine(-150), -1.5);
  EXPECT_EQ(AdjustmentFromEngine(0.29), 28);
  EXPECT_EQ(AdjustmentFromEngine(-0.29), -28);
  EXPECT_EQ(AdjustmentFromEngine(1.5), 150);
  EXPECT_EQ(AdjustmentFromEngine(std::nan("")), 0);
  EXPECT_EQ(AdjustmentFromEngine(1e300), std::numeric_limits<int>::max());
  EXPECT_EQ(AdjustmentFromEngine(-std::numeric_limits<double>::infinity()), std::numeric_limits<int>::min());
}

} // namespace
