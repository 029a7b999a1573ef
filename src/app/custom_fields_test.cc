#include "app/custom_fields.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/builtin_pictures.h"
#include "engine/headless_view.h"
#include "testing/scratch_folder.h"

namespace r7k {
namespace {

using namespace std::chrono_literals;

// A view that keeps the last picture each field handed over, and counts them.
class PictureView : public HeadlessView {
 public:
  void ShowFieldPicture(Dialog& dialog, int index, const FieldPicture& picture) override {
    last[dialog.fields[index]->def->id] = picture;
    ++shown[dialog.fields[index]->def->id];
  }
  std::map<int, FieldPicture> last;
  std::map<int, int> shown;
};

const char kDialogs[] = R"dlg(
dialog Fields "Fields"
  size 200 100
  custom 10 "" at 0 0 20 14
    tag Help
    callback "=BitmapFld question.bmp"
  custom 11 "" at 0 0 20 14
    tag Full
    callback "=BitmapFld full.bmp"
  custom 12 "" at 0 0 20 14
    tag Shown
    callback "BitmapFld"
  list 13 "" at 0 0 100 50
    tag Files
  custom 20 "" at 0 0 100 80
    tag PatBmp
    callback PictureFld
  custom 30 "" at 0 0 16 12
    tag Col1
    callback CB_Color
  custom 31 "" at 0 0 16 12
    tag Col2
    callback CB_Color
  button 40 "Refresh" at 0 0 40 14
    action Stay
  button 2 "Close" at 0 0 40 14
end
)dlg";

class CustomFields : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearRegistrations();
    RegisterCustomFields();
    DlgClearDefinitions();
    ASSERT_EQ(DlgLoadDefinitions(kDialogs, "fields.dlg"), std::nullopt);
    view_.SetIdleWait(0ms);
    DlgSetView(&view_);
  }
  void TearDown() override {
    DlgSetView(nullptr);
    StoreClose(main_);
    StoreClose(app_);
  }
  void Run(HeadlessView::Steps steps) {
    view_.WhenDialogOpens("Fields", std::move(steps));
    DlgRunDialog(0, "Fields", main_, app_);
  }
  std::filesystem::path WriteBmp(const std::string& name, const DibImage& image) {
    const auto bytes = BmpFileBytes(image);
    const auto path = folder_ / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  PictureView view_;
  StoreHandle main_ = StoreOpen("PresMain:Pres");
  StoreHandle app_ = StoreOpen("appmain:Perm");
  ScratchDir scratch_;
  std::filesystem::path folder_ = scratch_.path();
};

TEST_F(CustomFields, BitmapButtonsShowTheirPictureAndGiveTheirFileName) {
  Run([&](DialogUser& user) {
    const FieldPicture& help = view_.last[10];
    EXPECT_EQ(help.fit, FieldPicture::Fit::kStretch);
    EXPECT_EQ(help.width, static_cast<int>(BuiltinPicture("question.bmp")->width))
        << "no file beside the program: the program's own picture";
    Field* full = user.dialog().FindField("Full");
    char small[4];
    EXPECT_EQ(BitmapFld(full, kMsgGetText, sizeof small, reinterpret_cast<LParam>(small)), 4);
    EXPECT_EQ(std::string(small, 4), "full");
    char big[64];
    EXPECT_EQ(BitmapFld(full, kMsgGetText, sizeof big, reinterpret_cast<LParam>(big)), 8);
    EXPECT_STREQ(big, "full.bmp");
    EXPECT_EQ(BitmapFld(full, kMsgGetText, 0, 0), 8);

    // "_table TAG": the first column of that list's selected row names the file.
    const auto red = WriteBmp("red.bmp", DibImage{2, 1, {}, {{255, 0, 0}, {255, 0, 0}}});
    TableHandle t = TableNew(1, 0);
    TableWriteRow(t, kRowAppend, std::vector<std::string>{red.string()});
    TableWriteSelection(t, 0);
    StoreSetTable(app_, "Files", t);
    TableFree(t);
    StoreSetString(app_, "Shown", "_table Files");
    user.Press("Refresh");
    ASSERT_EQ(view_.last[12].width, 2);
    EXPECT_EQ(view_.last[12].pixels[0], 0xFF0000u);
    char name[256];
    BitmapFld(user.dialog().FindField("Shown"), kMsgGetText, sizeof name,
              reinterpret_cast<LParam>(name));
    EXPECT_EQ(name, red.string());
    user.Press("Close");
  });
}

TEST_F(CustomFields, AnUnacceptedExtensionKeepsThePreviousPicture) {
  const auto gif = folder_ / "p.gif";
  std::ofstream(gif) << "GIF89a";
  StoreSetString(app_, "Shown", gif.string());
  Run([&](DialogUser& user) {
    EXPECT_EQ(view_.last[12].fit, FieldPicture::Fit::kNone);
    char name[64];
    EXPECT_EQ(BitmapFld(user.dialog().FindField("Shown"), kMsgGetText, sizeof name,
                        reinterpret_cast<LParam>(name)),
              0);
    user.Press("Close");
  });
}

TEST_F(CustomFields, PicturesLoadOnceWhileTheFileStaysTheSame) {
  StoreSetString(app_, "PatBmp", "Corrupt");
  Run([&](DialogUser& user) {
    EXPECT_EQ(view_.last[20].fit, FieldPicture::Fit::kNatural);
    EXPECT_EQ(view_.last[20].width, 30);
    EXPECT_EQ(view_.last[20].height, 25);
    StoreSetString(app_, "PatBmp", "");
    user.Press("Refresh");
    ASSERT_EQ(view_.last[20].width, 3) << "an empty value shows NO_FILE";
    EXPECT_EQ(view_.last[20].pixels[0], 0x000000u);
    EXPECT_EQ(view_.last[20].pixels[1], 0xFFFFFFu);
    user.Press("Close");
  });

  const auto pat = WriteBmp("Pat.Bmp", DibImage{4, 2, {}, std::vector<DibRgb>(8, {0, 0, 255})});
  StoreSetString(app_, "PatBmp", pat.string());
  Run([&](DialogUser& user) {
    EXPECT_EQ(view_.last[20].width, 4);
    const int loads = view_.shown[20];
    DlgSetField(user.dialog().FindField("PatBmp"), kThisField, pat.string().c_str(),
                -1);  // shown again
    EXPECT_EQ(view_.shown[20], loads) << "not reloaded";
    std::this_thread::sleep_for(10ms);
    WriteBmp("Pat.Bmp", DibImage{5, 2, {}, std::vector<DibRgb>(10, {0, 0, 255})});
    DlgSetField(user.dialog().FindField("PatBmp"), kThisField, pat.string().c_str(), -1);
    EXPECT_EQ(view_.last[20].width, 5) << "rewritten: reloaded";
    user.Press("Close");
  });
}

TEST_F(CustomFields, SwatchesPaintTheirItemsColourOrStayWhite) {
  StoreSetString(app_, "Col1", "255");
  Run([&](DialogUser& user) {
    EXPECT_EQ(view_.last[30].fit, FieldPicture::Fit::kColour);
    EXPECT_EQ(view_.last[30].colour, 0xFF0000u) << "255 is pure red";
    EXPECT_EQ(view_.last[31].colour, 0xFFFFFFu);
    EXPECT_EQ(user.State("Col2"), FieldState::kReadOnly) << "no item: access 1";
    EXPECT_EQ(CB_Color(user.dialog().FindField("Col2"), kMsgValidate, 0, 0), 8202);
    EXPECT_EQ(CB_Color(user.dialog().FindField("Col1"), kMsgValidate, 0, 0), 16394);
    StoreSetNumeric(app_, "Col1", 0xFF0000);  // blue as a Windows colour value
    EXPECT_EQ(CB_Color(user.dialog().FindField("Col1"), kMsgValueChanged, 0, 0), 10);
    EXPECT_EQ(view_.last[30].colour, 0x0000FFu);
    user.Press("Close");
  });
}

TEST(BuiltinPictures, EveryPictureDecodesFromItsOwnFileBytes) {
  for (auto name : BuiltinPictureNames()) {
    const auto image = BuiltinPicture(name);
    ASSERT_TRUE(image) << name;
    const auto decoded = DibReadBytes(BmpFileBytes(*image));
    ASSERT_TRUE(decoded) << name;
    EXPECT_EQ(decoded->width, image->width);
    EXPECT_EQ(decoded->pixels, image->pixels) << name;
  }
  EXPECT_TRUE(BuiltinPicture("no_file"));
  EXPECT_FALSE(BuiltinPicture("nothing"));
}

}  // namespace
}  // namespace r7k
