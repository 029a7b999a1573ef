#include <gtest/gtest.h>

#include "app/module_ops.h"

namespace r7k {
namespace {

TEST(ModuleOpProgressText, BytesCommandsAndNotes) {
  ModuleOpProgress p;
  p.operation = "Read Module";
  p.bytes_done = 131072;
  p.bytes_total = 524288;
  EXPECT_EQ(ModuleOpPerMille(p), 250);
  EXPECT_EQ(ModuleOpProgressText(p), "Read Module: 131072 of 524288 bytes");
  p.note = "Reading the module back...";
  EXPECT_EQ(ModuleOpProgressText(p), "Reading the module back... 25%");
  ModuleOpProgress c;
  c.operation = "Check Module";
  c.commands_done = 9;
  c.commands_total = 3;
  EXPECT_EQ(ModuleOpPerMille(c), 1000) << "never beyond the whole";
  EXPECT_EQ(ModuleOpProgressText(c), "Check Module: 9 of 3 commands");
  EXPECT_EQ(ModuleOpPerMille(ModuleOpProgress{}), 0);
}

}  // namespace
}  // namespace r7k
