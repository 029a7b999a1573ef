#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "app/pattern_view.h"
#include "engine/callbacks.h"
#include "engine/dialog_engine.h"
#include "engine/headless_view.h"
#include "module/builtin_images.h"
#include "module/directory.h"
#include "platform/temp_folder.h"
#include "store/item_store.h"
#include "testing/scoped_environment.h"
#include "testing/scratch_folder.h"

// A scratch folder (XDG_RUNTIME_DIR points there, so the pictures go to its "r7kprog"), a web
// browser that does nothing, the two stores, a headless view,
// stand-in view dialogs and the demo module on disk, for the picture procedures' tests.
namespace r7k::testing {

inline constexpr char kPictureDialogs[] =
    "dialog ShowPattern \"Pattern\"\n  button 2 \"Close\"\nend\n"
    "dialog ShowSector \"Sector\"\n  button 2 \"Close\"\nend\n"
    "dialog ShowTechnique \"Technique\"\n  button 2 \"Close\"\nend\n";

inline std::vector<uint8_t> ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteAll(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

class PictureProcedures : public ::testing::Test {
 protected:
  void SetUp() override {
    pictures_ = folder_ / "r7kprog";
    env_.Set("XDG_RUNTIME_DIR", folder_.string());
    env_.SetTempFolder(folder_.string());
    env_.Set("BROWSER", "true");  // pages are "opened" by a browser that does nothing
    pictures_ = PrivateTempFolder().value_or(pictures_);
    ClearRegistrations();
    RegisterPictureProcedures();
    DlgClearDefinitions();
    ASSERT_EQ(DlgLoadDefinitions(kPictureDialogs, "pictures.dlg"), std::nullopt);
    view_.SetIdleWait(std::chrono::milliseconds(0));
    DlgSetView(&view_);
    main_ = StoreOpen("PictureMain");
    app_ = StoreOpen("PictureApp");
    demo_ = BuiltinImage("demo");
    module_ = folder_ / "demo.r7v";
    WriteAll(module_, demo_);
    StoreSetString(app_, "CurrentVirtualModule", module_.string());
  }
  void TearDown() override {
    DlgSetView(nullptr);
    DlgClearDefinitions();
    ClearRegistrations();
    StoreClose(main_);
    StoreClose(app_);
  }

  // Makes `entry` the current entry as the directory view would.
  void Select(const std::filesystem::path& module, uint32_t start, uint32_t size,
              const std::string& name) {
    StoreSetString(app_, "CurrentVirtualModule", module.string());
    StoreSetString(app_, "Start", std::to_string(start));
    StoreSetString(app_, "Size", std::to_string(size));
    StoreSetString(app_, "Name", name);
  }
  void Select(const DirectoryEntry& entry) {
    Select(module_, entry.start, static_cast<uint32_t>(entry.Size()), entry.name);
  }
  // A module file holding just `record` at offset 0, selected as the current entry.
  void SelectRecord(std::span<const uint8_t> record, const std::string& name) {
    const auto path = folder_ / (name + ".bin");
    WriteAll(path, record);
    Select(path, 0, static_cast<uint32_t>(record.size()), name);
  }
  std::vector<DirectoryEntry> Entries(std::span<const uint8_t> image, char kind) {
    const DirectoryResult result = ReadDirectory(image);
    EXPECT_EQ(result.error, DirectoryError::kNone);
    std::vector<DirectoryEntry> found;
    for (const auto& entry : result.directory.entries) {
      if (!entry.name.empty() && entry.name[0] == kind) found.push_back(entry);
    }
    return found;
  }
  bool Has(StoreHandle store, const char* item) { return StoreGetType(store, item) != kItemNone; }
  int Run(const char* procedure) { return DlgRunProcedure(0, procedure, main_, app_); }

  ScratchDir scratch_;
  std::filesystem::path folder_ = scratch_.path();
  std::filesystem::path pictures_;  // the picture folder inside it
  ScopedEnvironment env_;
  HeadlessView view_;
  StoreHandle main_ = nullptr;
  StoreHandle app_ = nullptr;
  std::span<const uint8_t> demo_;
  std::filesystem::path module_;
};

}  // namespace r7k::testing
