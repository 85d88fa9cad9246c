// The window's view of the format table: its four kinds, their boxes, and
// the converted picture a selected run ends on.

#include "ui/core/WindowFormats.h"

#include "TestSupport.h"

namespace {

TEST(WindowFormats, FinalSelectionPrefersPngThenJpegThenBmpThenJpg) {
  EXPECT_STREQ(ui::FinalFormat(testsupport::TickedFormats(true, true, true, true).targets)->extension, ".png");
  EXPECT_STREQ(ui::FinalFormat(testsupport::TickedFormats(true, true, true, false).targets)->extension, ".jpeg");
  EXPECT_STREQ(ui::FinalFormat(testsupport::TickedFormats(true, true, false, false).targets)->extension, ".bmp");
  EXPECT_STREQ(ui::FinalFormat(testsupport::TickedFormats(false, true, false, false).targets)->extension, ".jpg");
  EXPECT_EQ(ui::FinalFormat(testsupport::TickedFormats(false, false, false, false).targets), nullptr);
  EXPECT_EQ(ui::FinalFormat(engine::FormatTicks::Named({"webp"})), nullptr);
}

// The window's lists, folder run and previews see the four kinds they
// always did, extensions trimmed and case ignored.
TEST(WindowFormats, TheWindowKeepsItsFourKinds) {
  EXPECT_EQ(ui::WindowPictureExtensions(), (std::vector<std::string>{".jpg", ".jpeg", ".bmp", ".png"}));
  for (const char* e : {".jpg", " .JPEG ", ".Bmp", ".png"}) EXPECT_TRUE(ui::IsPictureExtension(e)) << e;
  for (const char* e : {".gif", ".webp", "", ".jp g", "jpg"}) EXPECT_FALSE(ui::IsPictureExtension(e)) << e;
  EXPECT_EQ(ui::FindWindowFormat(".WEBP"), nullptr);
  EXPECT_STREQ(ui::WindowBoxOf(engine::FormatNamed("jpeg")), "CBJPEG");
  EXPECT_EQ(ui::WindowBoxOf(engine::FormatNamed("webp")), nullptr);
}

}  // namespace
