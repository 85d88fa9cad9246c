#include "ui/core/ProgramFolders.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

#include "TestSupport.h"
#include "platform/FileIO.h"

namespace fs = std::filesystem;

namespace {

// The variable naming the per-user folder's parent.
#ifdef _WIN32
constexpr const char* kPerUserVariable = "APPDATA";
#else
constexpr const char* kPerUserVariable = "XDG_CONFIG_HOME";
#endif

std::size_t EntryCount(const fs::path& folder) {
  std::size_t n = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    (void)entry;
    ++n;
  }
  return n;
}

TEST(ProgramFolders, WritableProgramFolderIsTheDataFolderAndStaysClean) {
  testsupport::TempDir program;
  testsupport::TempDir config;
  testsupport::ScopedEnv per_user(kPerUserVariable, img::PathToUtf8(config.path()));
  EXPECT_EQ(ui::ProgramDataFolder(program.path()), program.path());
  EXPECT_EQ(EntryCount(program.path()), 0u);  // the probe is gone
  EXPECT_FALSE(fs::exists(config / "ImgConvert"));
}

TEST(ProgramFolders, UnusableProgramFolderFallsBackToThePerUserFolder) {
  testsupport::TempDir program;
  testsupport::TempDir config;
  const fs::path parent = config / img::PathFromUtf8("用户 数据");
  testsupport::ScopedEnv per_user(kPerUserVariable, img::PathToUtf8(parent));
  // A "folder" that is a regular file cannot hold files, whoever runs the test.
  std::ofstream(program / "not-a-folder") << "x";
  const fs::path chosen = ui::ProgramDataFolder(program / "not-a-folder");
  EXPECT_EQ(chosen, parent / "ImgConvert");
  EXPECT_TRUE(fs::is_directory(chosen));
  EXPECT_EQ(ui::SettingsFilePath(chosen), parent / "ImgConvert" / "defualt.ini");
}

TEST(ProgramFolders, ReadOnlyProgramFolderFallsBackToXdgConfigHome) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows folders have no permission bits that refuse new files";
#else
  testsupport::TempDir program;
  testsupport::TempDir config;
  testsupport::ScopedEnv xdg("XDG_CONFIG_HOME", img::PathToUtf8(config.path()));
  fs::permissions(program.path(), fs::perms::owner_read | fs::perms::owner_exec);
  std::FILE* f = std::fopen((program / "probe").c_str(), "wb");
  if (f) {
    std::fclose(f);
    GTEST_SKIP() << "permission bits are not enforced for this user";
  }
  EXPECT_EQ(ui::ProgramDataFolder(program.path()), config / "ImgConvert");
#endif
}

TEST(ProgramFolders, RelativeXdgConfigHomeIsIgnored) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows takes the per-user folder from %APPDATA% alone";
#else
  testsupport::TempDir home;
  testsupport::ScopedEnv home_env("HOME", img::PathToUtf8(home.path()));
  testsupport::ScopedEnv xdg("XDG_CONFIG_HOME", "relative/config");
  EXPECT_EQ(ui::PerUserDataFolder(), home / ".config" / "ImgConvert");
  testsupport::ScopedEnv empty_xdg("XDG_CONFIG_HOME", "");
  EXPECT_EQ(ui::PerUserDataFolder(), home / ".config" / "ImgConvert");
#endif
}

// A HOME that names no absolute folder (unset, empty, relative) gives way to
// the account's home, never to a shared folder; main then sets HOME to it so
// Qt (standard folders, trash) agrees. A usable HOME is the user's choice.
TEST(ProgramFolders, UnusableHomeIsTheAccountsNeverTemp) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows takes the per-user folder from %APPDATA%";
#else
  testsupport::ScopedEnv xdg("XDG_CONFIG_HOME", std::nullopt);
  const std::optional<std::string> homes[] = {std::nullopt, "", "relative/home"};
  for (const std::optional<std::string>& home : homes) {
    testsupport::ScopedEnv home_env("HOME", home);
    const fs::path folder = ui::PerUserDataFolder();
    EXPECT_NE(folder, fs::temp_directory_path() / "ImgConvert");
    ui::SetHomeFromAccount();
    const char* now = std::getenv("HOME");
    if (folder.empty()) {
      EXPECT_TRUE(!now || !fs::path(now).is_absolute()) << "no account home, none made up";
    } else {
      ASSERT_NE(now, nullptr);
      EXPECT_EQ(fs::path(now) / ".config" / "ImgConvert", folder);
    }
  }
  testsupport::TempDir chosen;
  testsupport::ScopedEnv home("HOME", img::PathToUtf8(chosen.path()));
  ui::SetHomeFromAccount();
  EXPECT_EQ(fs::path(std::getenv("HOME")), chosen.path());
#endif
}

TEST(ProgramFolders, DefaultFoldersEndInOneSeparator) {
  const fs::path data = fs::path("data") / img::PathFromUtf8("文件夹");
  const std::string sep(1, static_cast<char>(fs::path::preferred_separator));
  EXPECT_EQ(ui::DefaultSourceFolder(data), "data" + sep + "文件夹" + sep + "source" + sep);
  EXPECT_EQ(ui::DefaultTargetFolder(data / ""), "data" + sep + "文件夹" + sep + "target" + sep);
}

TEST(ProgramFolders, ExecutableFolderHoldsThisTest) {
  const fs::path folder = ui::ExecutableFolder();
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_TRUE(folder.is_absolute());
}

}  // namespace
