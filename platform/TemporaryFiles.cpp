#include "platform/TemporaryFiles.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/FileIO.h"
#include "platform/SystemProcess.h"

namespace fs = std::filesystem;

namespace img {

namespace {

constexpr char kPrefix[] = ".imgconvert-";
constexpr char kSuffix[] = ".tmp";

// The temporaries being written, in fixed slots a signal handler can read:
// a slot is taken (1), filled, then published (2); the handler touches only
// published ones. More writes at once than slots go unregistered.
constexpr int kSlots = 128;
constexpr std::size_t kPathChars = 2048;
struct Slot {
  std::atomic<int> state{0};
  fs::path::value_type path[kPathChars];
};
Slot g_slots[kSlots];

void RemoveAllBeingWritten() {
  for (Slot& slot : g_slots)
    if (slot.state.load() == 2) RemoveFileInHandler(slot.path);
}

// The process number of a name of our pattern; false for any other name.
bool ParseTemporaryName(const std::string& name, unsigned long& pid) {
  const std::size_t prefix = sizeof kPrefix - 1, suffix = sizeof kSuffix - 1;
  if (name.size() < prefix + 8 + 2 + suffix || name.compare(0, prefix, kPrefix) != 0 ||
      name.compare(name.size() - suffix, suffix, kSuffix) != 0 || name[prefix + 8] != '-')
    return false;
  pid = 0;
  for (std::size_t i = prefix; i < prefix + 8; ++i) {
    const char c = name[i];
    const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (digit < 0) return false;
    pid = pid * 16 + static_cast<unsigned long>(digit);
  }
  for (std::size_t i = prefix + 9; i < name.size() - suffix; ++i)
    if (name[i] < '0' || name[i] > '9') return false;
  return true;
}

}  // namespace

fs::path TemporaryNameIn(const fs::path& folder) {
  static std::atomic<unsigned> counter{0};
  char name[64];
  std::snprintf(name, sizeof name, "%s%08lx-%u%s", kPrefix, CurrentProcessId() & 0xFFFFFFFFul, counter++, kSuffix);
  return folder / name;
}

TemporaryBeingWritten::TemporaryBeingWritten(const fs::path& path) {
  const fs::path::string_type& native = path.native();
  if (native.size() >= kPathChars) return;
  for (int i = 0; i < kSlots; ++i) {
    int free = 0;
    if (!g_slots[i].state.compare_exchange_strong(free, 1)) continue;
    std::memcpy(g_slots[i].path, native.c_str(), (native.size() + 1) * sizeof(fs::path::value_type));
    g_slots[i].state.store(2);
    slot_ = i;
    return;
  }
}

TemporaryBeingWritten::~TemporaryBeingWritten() {
  if (slot_ >= 0) g_slots[slot_].state.store(0);
}

void RemoveTemporariesOnInterrupt() { OnInterrupt(RemoveAllBeingWritten); }

std::size_t RemoveStaleTemporaries(const fs::path& folder) {
  std::size_t removed = 0;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
    unsigned long pid = 0;
    if (!ParseTemporaryName(PathToUtf8(it->path().filename()), pid)) continue;
    // Our own are being written; another running process's may be too.
    if (pid == (CurrentProcessId() & 0xFFFFFFFFul) || ProcessIsRunning(pid)) continue;
    std::error_code type_ec;
    if (it->symlink_status(type_ec).type() != fs::file_type::regular) continue;
    if (fs::remove(it->path(), type_ec)) ++removed;
  }
  return removed;
}

}  // namespace img
