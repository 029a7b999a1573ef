#include "app/strings.h"

#include <gtest/gtest.h>

#include "engine/headless_expect.h"

namespace r7k {
namespace {

using namespace std::chrono_literals;

TEST(StringTable, EveryEntryHasItsText) {
  for (int id : AppStringIds()) EXPECT_FALSE(AppString(id).empty()) << id;
  EXPECT_EQ(FindAppString(104), std::nullopt);
  EXPECT_EQ(AppString(104), "");
}

class Messages : public ::testing::Test {
 protected:
  void SetUp() override {
    DlgClearDefinitions();
    ASSERT_EQ(DlgLoadDefinitions("dialog T \"%1|%2|%3|%4\"\n  button 2 \"Close\"\nend\n", "t.dlg"),
              std::nullopt);
    view_.SetIdleWait(100ms);
    DlgSetView(&view_);
  }
  void TearDown() override {
    DlgSetView(nullptr);
    DlgClearDefinitions();
  }
  HeadlessView view_;
};

TEST_F(Messages, IdsAndLiteralTextsAreShown) {
  view_.AnswerNextMessage(kIdCancel);
  EXPECT_EQ(DlgMessageEx(0, kMbOkCancel, kStrProgram, 205), kIdCancel);
  EXPECT_MESSAGE_SHOWN(view_, "Vardex R7000 Programmer", "Create Thread failed!");
  DlgMessageEx(0, kMbOk, "Browse", 3005);
  EXPECT_MESSAGE_SHOWN(view_, "Browse", "No Virtual Module selected");
  DlgMessageEx4(0, kMbOk, 3, 106, 0, " / ", 110);
  EXPECT_MESSAGE_SHOWN(view_, "Module Informatiuon", "Command mismatch! / No card in reader.");
  DlgMessageFmtEx(0, kMbOkCancel, 3010, 3011, "/k/module.r7v");
  EXPECT_MESSAGE_SHOWN(view_, "Memory Module load", "File /k/module.r7v exists; continue?");
}

TEST_F(Messages, FieldTextFillsTheCaption) {
  view_.WhenDialogOpens("T", [](DialogUser& user) {
    EXPECT_EQ(user.Caption(), "Read Module|Write Module|a b|");
    user.Close();
  });
  StoreHandle store = StoreOpen("appmain:Perm");
  EXPECT_EQ(DlgFieldText(0, "T", 4, 5, "a b", "", store), kIdCancel);
  StoreClose(store);
}

}  // namespace
}  // namespace r7k
