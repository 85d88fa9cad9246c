// The settings reader: the input bytes are the INI file, then every key of
// the settings table is read with its own type. One key is then written and
// must read back as written, whatever else the file holds.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "FuzzTempDir.h"
#include "ui/core/SettingsFile.h"
#include "ui/core/SettingsKeys.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const fuzz::FuzzTempDir dir("settings");
  const auto path = dir.path() / "ImgConvert.ini";
  {
    std::FILE* f = std::fopen(path.string().c_str(), "wb");
    if (!f) return 0;
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  const ui::SettingsFile file(path);
  const auto keys = ui::settings::AllKeys();
  for (const auto& key : keys) {
    switch (key.type) {
      case ui::settings::ValueType::String:
        (void)ui::settings::ReadText(file, key, dir.path());
        break;
      case ui::settings::ValueType::Integer:
        (void)ui::settings::ReadNumber(file, key);
        break;
      case ui::settings::ValueType::Boolean:
        (void)ui::settings::ReadFlag(file, key);
        break;
    }
  }

  ui::SettingsFile writable(path);
  const auto& key = keys[size ? data[0] % keys.size() : 0];
  const std::string value = " fuzz 'value' ";
  try {
    ui::settings::Write(writable, key, value);
  } catch (const ui::SettingsWriteError&) {
    return 0;
  }
  const std::string back = writable.ReadString(std::string(key.section), std::string(key.name), "");
  if (back != value) {
    std::fprintf(stderr, "wrote [%s] in [%.*s] %.*s, read back [%s]\n", value.c_str(),
                 static_cast<int>(key.section.size()), key.section.data(),
                 static_cast<int>(key.name.size()), key.name.data(), back.c_str());
    std::abort();
  }
  return 0;
}
