#include "app/register.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "app/dialog_texts.h"
#include "engine/dialog_engine.h"

namespace r7k {
namespace {

// Names the dialogs call that later work implements. Remove a name here when its callback or
// procedure is registered; the list is empty when the program is complete.
const std::set<std::string> kNotYetImplemented = {
};

// The name quoted in "... unknown callback 'CB_X'" or "... unknown procedure 'DP_X'" (a hint
// "; did you mean 'CB_Y'?" may follow).
std::string QuotedName(const std::string& line) {
  const auto unknown = line.find("unknown ");
  const auto start = unknown == std::string::npos ? unknown : line.find('\'', unknown);
  const auto end = start == std::string::npos ? start : line.find('\'', start + 1);
  if (end == std::string::npos) return line;
  return line.substr(start + 1, end - start - 1);
}

TEST(Registration, EveryNameTheDialogsCallIsRegisteredOrListedAsLater) {
  ClearRegistrations();
  RegisterAppCallbacks();
  DlgClearDefinitions();
  ASSERT_EQ(LoadAppDialogs(), nullptr);
  std::set<std::string> missing_later;
  for (const std::string& line : DlgCheckNames()) {
    const std::string name = QuotedName(line);
    if (kNotYetImplemented.count(name))
      missing_later.insert(name);
    else
      ADD_FAILURE() << line;
  }
  // A listed name that is registered (or no longer called) must leave the list.
  for (const std::string& name : kNotYetImplemented)
    EXPECT_TRUE(missing_later.count(name)) << name << " is done: remove it from the list";
}

TEST(Registration, TheFrameDialogsAreThere) {
  DlgClearDefinitions();
  ASSERT_EQ(LoadAppDialogs(), nullptr);
  const DialogLibrary& lib = DlgLibrary();
  for (const char* name : {"R7kProg", "Configuration", "About", "CheckModule", "ModuleVersion",
                           "ShowPattern"})
    EXPECT_NE(lib.FindDialog(name), nullptr) << name;
  ASSERT_NE(lib.FindDialog("R7kProg"), nullptr);
  EXPECT_EQ(lib.FindDialog("R7kProg")->caption, "Vardex R7000 Programmer");
  EXPECT_EQ(lib.FindDialog("Configuration")->caption, "Vardex R7000 Programmer Configuration");
  EXPECT_EQ(lib.FindDialog("CheckModule")->w, 157);
  EXPECT_EQ(lib.FindDialog("ModuleVersion")->default_id, 3);
  EXPECT_EQ(lib.FindDialog("ShowPattern")->default_id, 1005);
  const MenuDef* menu = lib.FindMenu("IDR_MENU");
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(menu->popups.size(), 2u);
  EXPECT_EQ(menu->popups[0].items[0].id, 2);
  EXPECT_EQ(menu->popups[1].items[0].id, 1006);
  EXPECT_EQ(menu->popups[1].items[1].id, 1019);
  EXPECT_NE(lib.FindStack("Help"), nullptr);
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
