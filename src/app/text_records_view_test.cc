#include "app/text_records_view.h"

#include "app/directory_view_fixture.h"
#include "module/text_records.h"

namespace r7k::testing {
namespace {

using TextRecordsView = EditingTest;

TEST_F(TextRecordsView, ShowsRecordsWithAViewUnderTheirName) {
  for (const char* name : {"_0000", "_0001", "_0002", "_0005"}) {
    Select(name);
    std::string caption, text;
    view_.WhenDialogOpens("Text", [&](DialogUser& user) {
      caption = user.Caption();
      text = user.Text("TextData");
      user.Close();
    });
    EXPECT_EQ(DP_TextInfo(base_, 0, 0, main_, app_), 1);
    EXPECT_EQ(caption, std::string("R7000 Programmer - ") + name);
    const auto bytes =
        ReadModuleBytes(app_, StoreGetNumeric(app_, "Start"), StoreGetNumeric(app_, "Size"));
    ASSERT_TRUE(bytes);
    EXPECT_EQ(text, TextRecordText(name, *bytes).value_or("?")) << name;
  }
  const size_t opened = view_.opened().size();
  Select("_0003");
  EXPECT_EQ(DP_TextInfo(base_, 0, 0, main_, app_), 1);
  EXPECT_EQ(view_.opened().size(), opened);
  EXPECT_EQ(ReadModuleBytes(app_, kModuleImageSize - 1, 2), std::nullopt);
}

}  // namespace
}  // namespace r7k::testing
