// The named temporaries of writes where no unnamed file can be made: an
// interrupted process removes its own, a later run those of ended ones.

#include <csignal>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "TestSupport.h"
#include "platform/FileIO.h"
#include "platform/SystemProcess.h"
#include "platform/TemporaryFiles.h"

namespace fs = std::filesystem;

namespace {

std::string TemporaryOf(unsigned long pid, int n) {
  char name[64];
  std::snprintf(name, sizeof name, ".imgconvert-%08lx-%d.tmp", pid, n);
  return name;
}

TEST(Temporaries, OnlyThoseOfEndedProcessesAreRemoved) {
  testsupport::TempDir dir;
  const std::vector<std::string> kept{TemporaryOf(img::CurrentProcessId(), 1),  // being written here
                                      ".imgconvert-notes.tmp", ".imgconvert-0000zz00-1.tmp",
                                      ".imgconvert-7fffffff-1.tmp.bak", "photo.tmp", "a.jpg"};
  const std::vector<std::string> stale{TemporaryOf(0x7fffffff, 3), TemporaryOf(0x7ffffffe, 12)};
  for (const auto& name : kept) testsupport::WriteFile(dir / name);
  for (const auto& name : stale) testsupport::WriteFile(dir / name);
  fs::create_directory(dir / TemporaryOf(0x7ffffffd, 0));  // a folder is never ours
#ifndef _WIN32
  testsupport::WriteFile(dir / TemporaryOf(static_cast<unsigned long>(getppid()), 0));  // a running writer's
  EXPECT_TRUE(fs::exists(dir / TemporaryOf(static_cast<unsigned long>(getppid()), 0)));
#endif

  EXPECT_EQ(img::RemoveStaleTemporaries(dir.path()), stale.size());
  for (const auto& name : kept) EXPECT_TRUE(fs::exists(dir / name)) << name;
  for (const auto& name : stale) EXPECT_FALSE(fs::exists(dir / name)) << name;
  EXPECT_TRUE(fs::is_directory(dir / TemporaryOf(0x7ffffffd, 0)));
#ifndef _WIN32
  EXPECT_TRUE(fs::exists(dir / TemporaryOf(static_cast<unsigned long>(getppid()), 0)));
#endif
  EXPECT_EQ(img::RemoveStaleTemporaries(dir / "missing"), 0u);
}

#ifndef _WIN32
// INT, TERM and HUP remove the temporaries being written and end the
// process as the signal would; a signal the process ignores (nohup) stays
// ignored, and a temporary no longer being written is left to its writer.
TEST(Temporaries, AnInterruptionRemovesThoseBeingWritten) {
  for (int sig : {SIGINT, SIGTERM, SIGHUP, -SIGHUP}) {
    testsupport::TempDir dir;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      alarm(20);
      if (sig < 0) std::signal(-sig, SIG_IGN);
      img::RemoveTemporariesOnInterrupt();
      const fs::path done = img::TemporaryNameIn(dir.path());
      { img::TemporaryBeingWritten written(done); }
      testsupport::WriteFile(done);
      const fs::path temp = img::TemporaryNameIn(dir.path());
      img::TemporaryBeingWritten writing(temp);
      testsupport::WriteFile(temp);
      std::raise(sig < 0 ? -sig : sig);
      _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    std::size_t left = 0;
    for (const auto& entry : fs::directory_iterator(dir.path())) (void)entry, ++left;
    if (sig < 0) {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
      EXPECT_EQ(left, 2u);
    } else {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig << " " << status;
      EXPECT_EQ(left, 1u) << sig;
    }
  }
}
#endif

}  // namespace
