#include "app/dialog_texts.h"

#include <gtest/gtest.h>

#include "engine/dialog_engine.h"

namespace r7k {
namespace {

TEST(AppDialogs, EveryDefinitionParses) {
  DlgClearDefinitions();
  EXPECT_EQ(LoadAppDialogs(), nullptr);
  EXPECT_FALSE(AppDialogTexts().empty());
}

}  // namespace
}  // namespace r7k
