#pragma once
// Real photographs for the benchmarks: the JPEG files of Debian's
// plasma-workspace-wallpapers and lomiri-wallpapers, or of a folder given.

#include <set>

#include "BenchSupport.h"

namespace bench {

struct Photo {
  fs::path path;
  int width = 0, height = 0;
  bool progressive = false;  // libjpeg holds every coefficient while it decodes
  double megapixels() const { return double(width) * height / 1e6; }
  double decoded_mb() const { return double(width) * height * 3 / (1 << 20); }
  // The wallpaper packages name their files by size: the folder names the picture.
  std::string name() const {
    const std::string folder = path.parent_path().filename().string();
    if (folder.rfind("images", 0) == 0)
      return path.parent_path().parent_path().parent_path().filename().string() + "/" + path.filename().string();
    return path.filename().string();
  }
};

bool JpegSize(const fs::path& path, int& width, int& height, bool& progressive) {
  const std::vector<std::uint8_t> file = ReadBytes(path);
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jerr.error_exit = [](j_common_ptr) { throw 0; };
  jpeg_create_decompress(&cinfo);
  bool ok = false;
  try {
    jpeg_mem_src(&cinfo, file.data(), file.size());
    ok = jpeg_read_header(&cinfo, TRUE) == JPEG_HEADER_OK && cinfo.num_components == 3;
    width = static_cast<int>(cinfo.image_width);
    height = static_cast<int>(cinfo.image_height);
    progressive = cinfo.progressive_mode;
  } catch (int) {
  }
  jpeg_destroy_decompress(&cinfo);
  return ok;
}

// Distinct colour JPEG files under the folders (the packages link one file
// under many names), of min_mp to max_mp megapixels, at most `count` of them
// spread evenly over their sizes, smallest first.
std::vector<Photo> FindPhotos(const std::vector<fs::path>& folders, double min_mp, double max_mp,
                              std::size_t count) {
  std::vector<Photo> all;
  std::set<std::pair<std::uintmax_t, std::string>> seen;
  for (const fs::path& folder : folders) {
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec), end;
         !ec && it != end; it.increment(ec)) {
      if (!it->is_regular_file(ec)) continue;
      std::string ext = it->path().extension().string();
      for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (ext != ".jpg" && ext != ".jpeg") continue;
      const std::uintmax_t size = fs::file_size(it->path(), ec);
      std::ifstream in(it->path(), std::ios::binary);
      std::string head(4096, '\0');
      in.read(head.data(), static_cast<std::streamsize>(head.size()));
      if (!seen.insert({size, head}).second) continue;
      Photo p{it->path()};
      if (!JpegSize(p.path, p.width, p.height, p.progressive)) continue;
      if (p.megapixels() < min_mp || p.megapixels() > max_mp) continue;
      all.push_back(p);
    }
  }
  std::sort(all.begin(), all.end(), [](const Photo& a, const Photo& b) {
    return std::make_pair(a.megapixels(), a.path) < std::make_pair(b.megapixels(), b.path);
  });
  if (all.size() <= count || count < 2) return all;
  std::vector<Photo> chosen;
  for (std::size_t i = 0; i < count; ++i) chosen.push_back(all[(i * (all.size() - 1) + (count - 1) / 2) / (count - 1)]);
  return chosen;
}

// Where the wallpaper packages put their photographs.
inline const std::vector<fs::path> kWallpaperFolders = {"/usr/share/wallpapers", "/usr/share/backgrounds"};

// Every JPEG of the folders named; none named, `count` of the wallpaper
// packages' photographs of min_mp to max_mp megapixels.
inline std::vector<Photo> NamedOrWallpaperPhotos(const std::vector<fs::path>& named, double min_mp, double max_mp,
                                                 std::size_t count = 12) {
  return named.empty() ? FindPhotos(kWallpaperFolders, min_mp, max_mp, count) : FindPhotos(named, 0, 1e9, 1000);
}

// True, after saying where photographs come from, when none were found.
inline bool NoPhotos(const std::vector<Photo>& photos) {
  if (!photos.empty()) return false;
  std::printf("no photographs found: install plasma-workspace-wallpapers and lomiri-wallpapers,\n"
              "or name a folder of JPEG files\n");
  return true;
}

}  // namespace bench
