#pragma once

// The module operations against the simulated box: a box on a pseudo-terminal, the real link
// thread on it, the program's dialogs and callbacks in the headless engine, and a record of
// the progress calls and of every command the box received.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/dialog_texts.h"
#include "app/module_ops.h"
#include "app/register.h"
#include "engine/headless_expect.h"
#include "link/link_fixture.h"
#include "sim/box_simulator.h"

namespace r7k {

class ModuleOpsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(LoadAppDialogsAfresh(RegisterAppCallbacks), nullptr);
    // Longer than the link's 2 s "Timeout": the operations end the dialogs, not the user.
    view_.SetIdleWait(std::chrono::seconds(8));
    DlgSetView(&view_);
    app_ = StoreOpen("appmain:Perm");
    main_ = StoreOpen("PresMain:Pres");
    base_ = DlgCreateBaseWindow(0, 0, main_);
    SetModuleOpProgressHook([this](const ModuleOpProgress& p) { progress_.push_back(p); });
    // One read, as the tests of the operations count commands; verification has its own.
    StoreSetString(app_, "Verify", "0");
    options_.log = env_.dir() / "box.log";
  }
  void TearDown() override {
    link_.Stop();
    if (box_) box_->Stop();
    SetModuleOpProgressHook(nullptr);
    SetModuleOpLimitsForTesting({});
    DlgDestroyBaseWindow(base_);
    StoreClose(app_);
    StoreClose(main_);
    DlgSetView(nullptr);
    DlgClearDefinitions();
    ClearRegistrations();
  }

  void AddFault(const std::string& spec) { AddBoxFault(options_, spec); }
  // Starts the box with options_ and the link thread on its port.
  void StartBox() {
    std::string error;
    box_ = BoxSimulator::Start(options_, &error);
    ASSERT_TRUE(box_) << error;
    ASSERT_TRUE(link_.Start(box_->PortName(), nullptr, piece_size_));
    StoreSetString(app_, "Port1", box_->PortName());
  }
  // The commands the box received, in order.
  std::vector<std::string> BoxCommands() const {
    std::vector<std::string> lines;
    std::ifstream in(options_.log);
    for (std::string line; std::getline(in, line);)
      lines.push_back(line.substr(0, line.find(" [")));  // without the note of faults fired
    return lines;
  }
  // Runs "CheckModule" with a user who presses OK and then does `more`.
  int RunCheck(std::function<void(DialogUser&)> more = nullptr) {
    view_.WhenDialogOpens("CheckModule", [more](DialogUser& user) {
      user.Press("OK");
      if (more) more(user);
    });
    return DlgRunDialog(base_, "CheckModule", main_, app_);
  }
  std::string Item(std::string_view name) { return StoreGetString(app_, name).value_or("<none>"); }
  const ModuleOpProgress& LastProgress() {
    static const ModuleOpProgress none;
    return progress_.empty() ? none : progress_.back();
  }

  LinkTestEnvironment env_{"modops"};
  BoxOptions options_;
  std::unique_ptr<BoxSimulator> box_;
  BoxRecorder link_boxes_;
  LinkThreadRunner link_;
  uint32_t piece_size_ = 0;  // the link's pieces; 0: its own
  HeadlessView view_;
  StoreHandle app_ = nullptr;
  StoreHandle main_ = nullptr;
  WindowHandle base_ = 0;
  std::vector<ModuleOpProgress> progress_;
};

}  // namespace r7k
