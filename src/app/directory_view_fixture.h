#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/dialog_texts.h"
#include "app/directory_view.h"
#include "engine/callbacks.h"
#include "engine/headless_expect.h"
#include "engine/headless_view.h"
#include "module/address.h"
#include "module/builtin_images.h"
#include "testing/scratch_folder.h"

// A headless dialog engine with the program's dialogs and the editing callbacks, and a scratch
// folder holding the demo module as "module.r7v".
namespace r7k::testing {

class EditingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(LoadAppDialogsAfresh(RegisterEditingCallbacks), nullptr);
    view_.SetIdleWait(std::chrono::milliseconds(50));
    DlgSetView(&view_);
    base_ = DlgCreateBaseWindow(0, 0, main_);
    UseModule("module.r7v", BuiltinImage("demo"));
  }
  void TearDown() override {
    DlgSetView(nullptr);
    DlgDestroyBaseWindow(base_);
    StoreClose(main_);
    StoreClose(app_);
  }

  std::string WriteImage(const std::string& name, std::span<const uint8_t> bytes) {
    const std::string path = (dir_ / name).string();
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  // Writes `bytes` as `name` and makes it the current module.
  void UseModule(const std::string& name, std::span<const uint8_t> bytes) {
    module_ = WriteImage(name, bytes);
    StoreSetString(app_, "CurrentVirtualModule", module_);
  }
  static std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  // Loads the directory of the current module and makes the named entry the current one.
  void Select(const std::string& name) {
    StoreDeleteItem(app_, "Directory");
    ASSERT_TRUE(LoadDirectory(base_, app_));
    const int row = StoreTableFindField(app_, "Directory", name.c_str(), name.size(), 1);
    ASSERT_GE(row, 0) << name;
    StoreTableSetSelection(app_, "Directory", row);
    TableHandle table = StoreGetTable(app_, "Directory");
    PublishSelection(app_, table);
    TableFree(table);
  }
  std::string Item(const char* name, StoreHandle store = nullptr) {
    return StoreGetString(store ? store : app_, name).value_or("<absent>");
  }

  HeadlessView view_;
  StoreHandle main_ = StoreOpen("PresMain:Pres");
  StoreHandle app_ = StoreOpen("appmain:Perm");
  WindowHandle base_ = 0;
  ScratchDir scratch_;
  std::filesystem::path dir_ = scratch_.path();
  std::string module_;
};

}  // namespace r7k::testing
