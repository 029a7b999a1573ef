#include "sim/flash_image.h"
#include "testing/scratch_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

namespace r7k {
namespace {

TEST(FlashImageTest, ProgrammingClearsBitsOnlyAndStaysOnTheChip) {
  FlashImage flash;
  EXPECT_TRUE(flash.Program(10, std::vector<uint8_t>{0x5A, 0xF0}));
  EXPECT_TRUE(flash.Program(10, std::vector<uint8_t>{0x0F, 0xFF}));
  EXPECT_EQ(flash.bytes()[10], 0x0A);
  EXPECT_EQ(flash.bytes()[11], 0xF0);
  EXPECT_FALSE(flash.Program(FlashImage::kSize - 1, std::vector<uint8_t>{0, 0}));
  EXPECT_EQ(flash.bytes()[FlashImage::kSize - 1], 0xFF);
  EXPECT_TRUE(flash.Read(FlashImage::kSize - 256, 257).empty());
  EXPECT_EQ(flash.Read(FlashImage::kSize - 256, 256).size(), 256u);
  flash.Erase();
  EXPECT_EQ(flash.bytes()[10], 0xFF);
}

TEST(FlashImageTest, SavesAtomicallyAndRefusesWrongSizes) {
  const ScratchDir dir;
  FlashImage flash;
  flash.Program(0x12345, std::vector<uint8_t>{0x42});
  std::string error;
  ASSERT_TRUE(flash.Save(dir / "box.r7v", &error)) << error;
  EXPECT_FALSE(std::filesystem::exists(dir / "box.r7v.tmp"));
  auto loaded = FlashImage::Load(dir / "box.r7v", &error);
  ASSERT_TRUE(loaded) << error;
  EXPECT_EQ(loaded->bytes(), flash.bytes());

  std::ofstream(dir / "short.r7v", std::ios::binary) << std::string(196608, '\0');
  EXPECT_FALSE(FlashImage::Load(dir / "short.r7v", &error));
  EXPECT_EQ(error,
            "Image " + (dir / "short.r7v").string() + " is not a module image of 524288 bytes");
  EXPECT_FALSE(FlashImage::Load(dir / "missing.r7v", &error));
  EXPECT_EQ(error,
            "Cannot read image " + (dir / "missing.r7v").string() + ": No such file or directory");
  EXPECT_FALSE(flash.Save(dir / "no" / "such" / "dir.r7v", &error));
}

}  // namespace
}  // namespace r7k
