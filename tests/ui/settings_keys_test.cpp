#include "ui/core/SettingsKeys.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "TestSupport.h"
#include "platform/PathNames.h"
#include "platform/FileIO.h"
#include "ui/core/ProgramFolders.h"
#include "ui/core/WindowPlacement.h"

namespace fs = std::filesystem;
namespace settings = ui::settings;

namespace {

class SettingsKeysTest : public ::testing::Test {
 protected:
  testsupport::TempDir dir;
  ui::SettingsFile file{ui::SettingsFilePath(dir.path())};
};

// What a first start without a settings file sees.
TEST_F(SettingsKeysTest, MissingFileGivesTheDocumentedDefaults) {
  const std::string folder = img::PathToUtf8(dir.path());
  const char sep = fs::path::preferred_separator == L'\\' ? '\\' : '/';
  EXPECT_EQ(settings::ReadText(file, settings::kSourcePath, dir.path()), folder + sep + "source" + sep);
  EXPECT_EQ(settings::ReadText(file, settings::kTargetPath, dir.path()), folder + sep + "target" + sep);
  EXPECT_EQ(settings::ReadText(file, settings::kEdtWidth, dir.path()), "1024");
  EXPECT_EQ(settings::ReadText(file, settings::kEdtHeight, dir.path()), "768");
  EXPECT_EQ(settings::ReadText(file, settings::kZoomPeiW, dir.path()), "1");
  EXPECT_EQ(settings::ReadText(file, settings::kZoomPeiH, dir.path()), "1");

  const bool format_defaults[] = {true, true, true, true, false, false, false, false, false, false};
  const char* format_names[] = {"CbJPG", "CbPNG", "CBBMP", "CBJPEG", "CBGIF",
                                "CBICO", "CBEMF", "CBWMF", "CBPCX", "CBTIFF"};
  ASSERT_EQ(settings::FormatCheckBoxKeys().size(), 10u);
  for (std::size_t i = 0; i < 10; ++i) {
    const settings::Key& key = settings::FormatCheckBoxKeys()[i];
    EXPECT_EQ(key.name, format_names[i]);
    EXPECT_EQ(key.section, "default");
    EXPECT_EQ(settings::ReadFlag(file, key), format_defaults[i]) << key.name;
  }
  EXPECT_FALSE(settings::ReadFlag(file, settings::kZoomAuto));
  EXPECT_EQ(settings::ReadNumber(file, settings::kZoomType), 0);
  EXPECT_TRUE(settings::ReadFlag(file, settings::kFirstRun));
  EXPECT_TRUE(settings::ReadFlag(file, settings::kTargetImgPreview));
  EXPECT_TRUE(settings::ReadFlag(file, settings::kPreviewSourceImg));
  EXPECT_EQ(settings::ReadNumber(file, settings::kLbRoateType), 0);
  EXPECT_EQ(settings::ReadNumber(file, settings::kLbDocListInd), 0);
  EXPECT_EQ(settings::ReadNumber(file, settings::kLbTargetInd), 0);
  EXPECT_FALSE(fs::exists(file.path()));
}

TEST_F(SettingsKeysTest, TableHoldsEachKeyOnceInItsSection) {
  std::set<std::string> seen;
  for (const settings::Key& key : settings::AllKeys()) {
    EXPECT_TRUE(key.section == "default" || key.section == "ImgConvert") << key.name;
    EXPECT_TRUE(seen.insert(img::AsciiLower(key.name)).second) << key.name;
  }
  EXPECT_EQ(seen.size(), 28u);
  for (const settings::Key* key : {&settings::kLbRoateType, &settings::kLbDocListInd, &settings::kLbTargetInd})
    EXPECT_EQ(key->section, "ImgConvert");
}

TEST_F(SettingsKeysTest, WritesGoToTheKeysOwnSection) {
  settings::Write(file, settings::kLbDocListInd, 5);
  settings::Write(file, settings::kFirstRun, false);
  settings::Write(file, settings::kEdtWidth, "640");
  EXPECT_EQ(file.ReadInteger("ImgConvert", "LbDocListInd", -1), 5);
  EXPECT_EQ(file.ReadString("default", "fr", ""), "0");
  EXPECT_EQ(file.ReadString("default", "edtwidth", ""), "640");
  EXPECT_EQ(settings::ReadText(file, settings::kEdtWidth, dir.path()), "640");
  // An empty stored folder stays empty: the window shows it and asks for a path.
  settings::Write(file, settings::kSourcePath, std::string());
  EXPECT_EQ(settings::ReadText(file, settings::kSourcePath, dir.path()), "");
}


// What a hand-edited or foreign settings file may hold for the window's
// place: only whole, sane values are taken.
struct StoredPlacement {
  const char* name;
  const char* rect;
  const char* panes;
  bool rectTaken;
  bool panesTaken;
  friend void PrintTo(const StoredPlacement& p, std::ostream* os) { *os << p.name; }
};

class WindowPlacementRead : public SettingsKeysTest, public ::testing::WithParamInterface<StoredPlacement> {};

TEST_P(WindowPlacementRead, TakesOnlyWholeValues) {
  const StoredPlacement& p = GetParam();
  file.WriteString("ImgConvert", "WindowRect", p.rect);
  file.WriteString("ImgConvert", "PaneWidths", p.panes);
  const ui::WindowPlacement placement = ui::ReadWindowPlacement(file, 3);
  EXPECT_EQ(placement.rect.has_value(), p.rectTaken);
  EXPECT_EQ(!placement.paneWidths.empty(), p.panesTaken);
  if (p.rectTaken) {
    EXPECT_EQ(placement.rect->width, 900);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WindowPlacementRead,
    ::testing::Values(StoredPlacement{"Written", "-8,20,900,650", "160,275,587", true, true},
                      StoredPlacement{"Empty", "", "", false, false},
                      StoredPlacement{"ThreeNumbers", "10,20,900", "160,275", false, false},
                      StoredPlacement{"Words", "10,20,900,x", "160,,587", false, false},
                      StoredPlacement{"NoSize", "10,20,0,650", "160,-1,587", false, false},
                      StoredPlacement{"Huge", "10,20,900,99999999999", "160,275,587,4", false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsKeysTest, WindowPlacementRoundTrips) {
  ui::WriteWindowPlacement(file, {ui::WindowRect{-8, 20, 900, 650}, true, {160, 275, 587}});
  const ui::WindowPlacement placement = ui::ReadWindowPlacement(file, 3);
  ASSERT_TRUE(placement.rect);
  EXPECT_EQ(placement.rect->x, -8);
  EXPECT_EQ(placement.rect->height, 650);
  EXPECT_TRUE(placement.maximized);
  EXPECT_EQ(placement.paneWidths, (std::vector<int>{160, 275, 587}));
}

}  // namespace
