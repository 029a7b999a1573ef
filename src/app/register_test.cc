#include "app/register.h"

#include <gtest/gtest.h>

#include <string>

#include "app/dialog_texts.h"
#include "engine/dialog_engine.h"

namespace r7k {
namespace {

TEST(Registration, EveryNameTheDialogsCallIsRegistered) {
  ASSERT_EQ(LoadAppDialogsAfresh(RegisterAppCallbacks), nullptr);
  for (const std::string& line : DlgCheckNames()) ADD_FAILURE() << line;
}

// A screen reader names every field a person can reach by its label or its own words, never by
// the item it shows.
TEST(Registration, EveryVisibleFieldHasAnAccessibleName) {
  DlgClearDefinitions();
  ASSERT_EQ(LoadAppDialogs(), nullptr);
  for (const auto& [key, dialog] : DlgLibrary().dialogs) {
    for (const ControlDef& c : dialog.controls) {
      const bool visible = c.w > 0 && c.h > 0 && c.AttrOr(kAttrHidden) != "1";
      if (!c.IsField() || !visible || c.kind == kKindLabel) continue;
      EXPECT_NE(AccessibleName(dialog.controls, c), "")
          << "dialog " << dialog.name << " field " << c.id << " (" << c.AttrOr(kAttrTag) << ")";
    }
  }
}

}  // namespace
}  // namespace r7k
