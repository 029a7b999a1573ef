#include "app/module_file.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "module/address.h"
#include "module/builtin_images.h"
#include "testing/file_modes.h"
#include "testing/scratch_folder.h"

namespace r7k {
namespace {

class ModuleFile : public ::testing::Test {
 protected:
  std::string Put(const std::string& name, std::span<const uint8_t> bytes) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
  }
  std::string Message(const std::string& path) {
    return ModuleLoadMessage(LoadVirtualModule(path), path);
  }
  ScratchDir scratch_;
  std::filesystem::path dir_ = scratch_.path();
};

TEST_F(ModuleFile, LoadsBothImageSizesAndNamesTheCauseOfEveryRefusal) {
  const auto demo = BuiltinImage("demo");
  const LoadedModule module = LoadVirtualModule(Put("demo.r7v", demo));
  ASSERT_TRUE(module.ok());
  EXPECT_EQ(module.image, std::vector<uint8_t>(demo.begin(), demo.end()));
  EXPECT_EQ(module.directory.entries.front().name, "_0000");
  EXPECT_TRUE(LoadVirtualModule(Put("rom.r7v", BuiltinImage("R7kRom"))).ok());

  // Empty, truncated and overlong files are all the wrong size, whatever else they hold.
  for (const size_t size :
       {size_t{0}, size_t{1000}, size_t{196607}, size_t{524289}, size_t{600000}}) {
    const std::string path = Put("odd.r7v", std::vector<uint8_t>(size, 0xFF));
    EXPECT_EQ(Message(path), "Cannot load file " + path + ", incorrect filesize") << size;
  }
  const std::string missing = (dir_ / "none.r7v").string();
  EXPECT_EQ(Message(missing), "Cannot load file " + missing + ", not found");
  EXPECT_EQ(Message(dir_.string()), "Cannot load file " + dir_.string() + ", it is a folder");
  std::vector<uint8_t> dirty(demo.begin(), demo.end());
  dirty[0x10011] = 0;
  const std::string corrupt = Put("dirty.r7v", dirty);
  EXPECT_EQ(LoadVirtualModule(corrupt).error, ModuleLoadError::kCorrupted);
  EXPECT_EQ(LoadVirtualModule(corrupt).image, dirty) << "kept, so that r7k diff can compare it";
  EXPECT_EQ(Message(corrupt), "Cannot Load file " + corrupt +
                                  ", directory corrupted, please defragment the Memory Module "
                                  "with the R7000 console.");
  // No end marker: every state byte of the walk is a valid one, up to the end of the file.
  std::vector<uint8_t> endless(kModuleImageSize, 0xFC);
  std::fill_n(endless.begin() + 0x10010, 16, 0xFF);
  EXPECT_EQ(LoadVirtualModule(Put("endless.r7v", endless)).error, ModuleLoadError::kCorrupted);
  // The superuser opens any file: the refusal can only be seen by others.
  if (FileModesKeepUsOut()) {
    const std::string locked = Put("locked.r7v", demo);
    ::chmod(locked.c_str(), 0);
    EXPECT_EQ(Message(locked),
              "Cannot load file " + locked + ", it cannot be opened: Permission denied");
  }
}

}  // namespace
}  // namespace r7k
