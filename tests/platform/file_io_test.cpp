// Writing a file in place of another: what the folder holds afterwards.

#include <csignal>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "TestSupport.h"
#include "platform/FileIO.h"
#include "platform/SystemFiles.h"
#include "platform/HeldFolder.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Listing(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(img::PathToUtf8(e.path().filename()));
  return names;
}

// Any name the file system takes is writable, new or replacing: the
// temporary's name must not be longer than the target's.
TEST(WriteFileAtomically, ANameOf255BytesIsWrittenAndReplaced) {
  testsupport::TempDir dir;
  const std::string name = std::string(251, 'x') + ".bmp";
  img::WriteFileAtomically(dir / name, std::vector<std::uint8_t>{1});
  img::WriteFileAtomically(dir / name, std::vector<std::uint8_t>{2});
  EXPECT_EQ(img::ReadWholeFile(dir / name), std::vector<std::uint8_t>{2});
  EXPECT_EQ(Listing(dir.path()), std::vector<std::string>{name});
}

#ifndef _WIN32
// kill -9 in the middle of a write (no handler, no clean-up) leaves the old
// target and nothing else, not a hidden half-written file.
TEST(WriteFileAtomically, AKilledWriterLeavesTheOldTargetAndNothingElse) {
  testsupport::TempDir dir;
  std::error_code ec;
  if (std::FILE* probe = img::HeldFolder::Open(dir.path(), ec)->OpenUnnamed())
    std::fclose(probe);
  else
    GTEST_SKIP() << "this file system has no unnamed files: a short temporary name is left";
  const std::vector<std::uint8_t> old{'o', 'l', 'd'};
  img::WriteFileAtomically(dir / "big.bmp", old);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    alarm(20);  // never outlive the test
    img::WriteFileAtomically(dir / "big.bmp", [](std::FILE* f) {
      const std::vector<char> block(1 << 20, 'x');
      std::fwrite(block.data(), 1, block.size(), f);
      std::fflush(f);
      std::raise(SIGKILL);
    });
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  EXPECT_EQ(img::ReadWholeFile(dir / "big.bmp"), old);
  EXPECT_EQ(Listing(dir.path()), std::vector<std::string>{"big.bmp"});
}
#endif

}  // namespace

// The system calls behind the probes and the list's rename: a taken name is
// never opened anew nor renamed onto, and Chinese names work.
TEST(SystemFiles, ATakenNameIsRefusedAndChineseNamesWork) {
  testsupport::TempDir tmp;
  const fs::path taken = tmp / img::PathFromUtf8("图片.bmp"), fresh = tmp / img::PathFromUtf8("新.bmp");
  img::WriteFileAtomically(taken, std::vector<std::uint8_t>{'A'});
  EXPECT_EQ(img::OpenNewFile(taken), nullptr);
  EXPECT_EQ(img::ReadWholeFile(taken), std::vector<std::uint8_t>{'A'});

  std::FILE* f = img::OpenNewFile(fresh);
  ASSERT_NE(f, nullptr);
  std::fputc('B', f);
  std::fclose(f);
  EXPECT_FALSE(img::RenameNoReplace(fresh, taken));
  EXPECT_EQ(img::ReadWholeFile(taken), std::vector<std::uint8_t>{'A'});

  f = img::OpenFile(taken, "r+b");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  EXPECT_TRUE(img::RenameNoReplace(taken, tmp / "moved.bmp"));
  EXPECT_FALSE(fs::exists(taken));
  EXPECT_EQ(img::ReadWholeFile(tmp / "moved.bmp"), std::vector<std::uint8_t>{'A'});
}
