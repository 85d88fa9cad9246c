// Real photographs (Debian's plasma-workspace-wallpapers and
// lomiri-wallpapers, or the JPEG files of a folder given) converted to JXL
// through the converter, which recompresses each without loss: the JXL's
// size against its JPEG's, the time against libjxl's recompression of the
// same file called straight (the floor), and whether the JXL gives the JPEG
// back byte for byte once all metadata are carried (--keep-metadata; the
// sizes are the default's, the ICC profile alone carried).
//
// usage: jxl_bench [FOLDER] [--effort N] [--runs N]

#include "BenchSupport.h"
#include "JxlBytes.h"
#include "RealPhotos.h"
#include "engine/convert/ConversionCallbacks.h"
#include "engine/convert/PictureConverter.h"
#include "engine/formats/jxl/JxlImage.h"
#include "engine/plan/RunPlan.h"
#include "engine/threads/PoolParts.h"
#include "platform/FileIO.h"

namespace {

namespace fs = std::filesystem;
using bench::Photo;

// The photo converted to JXL alone with these metadata rules; the JXL's bytes.
std::vector<std::uint8_t> Convert(const fs::path& photo, const fs::path& out, engine::CarriedMetadata metadata,
                                  int effort) {
  engine::ConversionOptions options;
  options.targets = engine::FormatTicks::Named({"jxl"});
  options.metadata = metadata;
  options.jxlEffort = effort;
  engine::FixedOptionsCallbacks host(options);
  engine::PictureConverter converter(host);
  const engine::ConversionReport report = engine::ConvertAlone(converter, photo.string(), out.string() + "/");
  if (!report.ok() || report.written.size() != 1) return {};
  return img::ReadWholeFile(report.written[0]);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<fs::path> folders;
  int effort = engine::kDefaultJxlEffort, runs = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--effort" && i + 1 < argc) effort = std::atoi(argv[++i]);
    else if (a == "--runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
    else folders.push_back(a);
  }
  bench::StartBenchmark();
  const std::vector<Photo> photos = bench::NamedOrWallpaperPhotos(folders, 4, 21);
  if (bench::NoPhotos(photos)) return 0;
  const fs::path out = fs::temp_directory_path() / "imgconvert-jxl-bench";
  fs::remove_all(out);
  fs::create_directories(out);
  engine::PoolParts parts;
  std::printf("JPEG -> JXL recompressed without loss, libjxl effort %d, %d threads a picture\n", effort,
              parts.Threads());
  std::printf("%-44s %6s %10s %10s %6s %8s %8s %6s  %s\n", "photo", "MP", "JPEG", "JXL", "JXL/JPEG", "floor s",
              "conv s", "ratio", "JPEG back");
  std::uintmax_t all_jpeg = 0, all_jxl = 0;
  double all_floor = 0, all_converter = 0;
  int whole = 0;
  for (const Photo& photo : photos) {
    const std::vector<std::uint8_t> jpeg = bench::ReadBytes(photo.path);
    std::vector<std::uint8_t> straight, kept, by_default;  // libjxl alone; converted with all metadata; by default
    const double floor = bench::BestOf(runs, [&] { straight = *engine::RecompressJpeg(jpeg, effort, parts); });
    const double converter =
        bench::BestOf(runs, [&] { by_default = Convert(photo.path, out, engine::CarriedMetadata::Profile, effort); });
    kept = Convert(photo.path, out, engine::CarriedMetadata::All, effort);
    const std::optional<std::vector<std::uint8_t>> back = testsupport::JpegFromJxl(kept);
    const bool same = back == jpeg;
    whole += same;
    all_jpeg += jpeg.size();
    all_jxl += by_default.size();
    all_floor += floor;
    all_converter += converter;
    std::printf("%-44s %6.1f %10zu %10zu %7.3f %8.2f %8.2f %6.2f  %s\n", photo.name().c_str(), photo.megapixels(),
                jpeg.size(), by_default.size(), double(by_default.size()) / double(jpeg.size()), floor, converter,
                converter / floor,
                same ? "byte for byte" : back ? "less markers no target carries" : "NOT recompressed");
  }
  std::printf("%-44s %6s %10ju %10ju %7.3f %8.2f %8.2f %6.2f  %d of %zu whole\n", "all", "", all_jpeg, all_jxl,
              double(all_jxl) / double(all_jpeg), all_floor, all_converter, all_converter / all_floor, whole,
              photos.size());
  fs::remove_all(out);
  return 0;
}
