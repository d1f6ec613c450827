#include "app/ActionTable.h"

#include <gtest/gtest.h>

#include <cstring>

namespace quorvel {
namespace {

// The actions are matched in this fixed order, each name once (a merge of
// two rows once duplicated and reordered them).
TEST(ActionTable, FifteenActionsInTheirFixedOrder) {
  const char* kOrder[] = {"ConvF09p",        "UpdateFILE05",          "AddHistoryCSV",        "PWScfConvOutput",
                          "DVXaF01Conv",     "VASPConvCONTCAR",       "VASPMakeXSF",          "TranSIESTAConvOutput",
                          "CASTEPConvOutput", "WIENConvDOS",          "WIENMakeCIFFromStruct", "GULPMakeCIFFromInput",
                          "ShowCIFInf",      "CalRDF",                "CalDistance"};
  ASSERT_EQ(kActionCount, 15);
  for (int i = 0; i < 15; ++i) {
    EXPECT_STREQ(kActions[i].name, kOrder[i]);
    EXPECT_EQ(kActions[i].bAnnounceSerialNumber, std::strcmp(kOrder[i], "UpdateFILE05") == 0);
  }
}

}  // namespace
}  // namespace quorvel
