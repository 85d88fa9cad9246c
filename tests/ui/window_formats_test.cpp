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

// The window's lists, runs, drops and previews take every kind the table
// reads in this build, extensions trimmed and case ignored; it writes its
// four, each with its box.
TEST(WindowFormats, TheWindowReadsEveryKindTheTableReadsAndWritesItsFour) {
  EXPECT_EQ(ui::WindowPictureExtensions(), engine::PictureExtensions());
  for (const char* e : {".jpg", " .JPEG ", ".Bmp", ".png", ".WebP", ".tif", ".tiff", ".GIF"})
    EXPECT_TRUE(ui::IsPictureExtension(e)) << e;
  for (const char* e : {".heic", ".avif", ".heif"})
    EXPECT_EQ(ui::IsPictureExtension(e), engine::FindFormatByExtension(e) != nullptr) << e;
  for (const char* e : {".txt", ".psd", "", ".jp g", "jpg"}) EXPECT_FALSE(ui::IsPictureExtension(e)) << e;
  EXPECT_EQ(ui::FindWindowFormat(".WEBP"), &engine::FormatNamed("webp"));
  EXPECT_STREQ(ui::WindowBoxOf(engine::FormatNamed("jpeg")), "CBJPEG");
  EXPECT_EQ(ui::WindowBoxOf(engine::FormatNamed("webp")), nullptr);
}

}  // namespace
