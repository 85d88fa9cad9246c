// Real photographs (Debian's plasma-workspace-wallpapers and
// lomiri-wallpapers, or the JPEG files of a folder given) turned a quarter
// turn as JPEG through the converter: turned in their coded data
// (imgbatch's default, --jpeg-lossless) against decoded, turned and
// encoded again at imgbatch's quality 90, per picture; beside them
// TurboJPEG's transform of the file called straight (the floor of the
// lossless turn; progressive, as the converter writes it, for a
// progressive photo). A photo whose height is not whole blocks is encoded
// again either way, and says so. Times are CPU seconds of every thread
// (the best of the runs), which a shared machine disturbs less than wall
// time; the pixels' turn runs on the converter's threads.
//
// usage: jpeg_turn_bench [FOLDER] [--runs N]

#include "BenchSupport.h"
#include "RealPhotos.h"
#include "engine/convert/ConversionCallbacks.h"
#include "engine/convert/PictureConverter.h"
#include "engine/formats/jpeg/JpegTurn.h"
#include "engine/plan/RunPlan.h"

namespace {

namespace fs = std::filesystem;
using bench::Photo;

// The photo turned a quarter turn as JPEG alone, all metadata kept.
engine::ConversionReport Convert(const fs::path& photo, const fs::path& out, bool lossless) {
  engine::ConversionOptions options;
  options.targets = engine::FormatTicks::Named({"jpg"});
  options.metadata = engine::CarriedMetadata::All;
  options.jpegQuality = 90;
  options.rotation = 1;
  options.jpegLosslessTurn = lossless;
  engine::FixedOptionsCallbacks host(options);
  engine::PictureConverter converter(host);
  return engine::ConvertAlone(converter, photo.string(), out.string() + "/");
}

std::uintmax_t WrittenBytes(const engine::ConversionReport& report) {
  return report.ok() && report.written.size() == 1 ? fs::file_size(report.written[0]) : 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<fs::path> folders;
  int runs = 3;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
    else folders.push_back(a);
  }
  bench::StartBenchmark();
  const std::vector<Photo> photos = bench::NamedOrWallpaperPhotos(folders, 1, 21);
  if (bench::NoPhotos(photos)) return 0;
  const fs::path out = fs::temp_directory_path() / "imgconvert-jpeg-turn-bench";
  fs::remove_all(out);
  fs::create_directories(out);
  std::printf("JPEG -> JPEG, a quarter turn, best of %d, CPU seconds\n", runs);
  std::printf("%-40s %5s %9s %9s %9s %8s %8s %8s %6s  %s\n", "photo", "MP", "JPEG", "lossless", "encoded",
              "floor s", "turn s", "encode s", "ratio", "");
  double all_floor = 0, all_turn = 0, all_encode = 0;
  for (const Photo& photo : photos) {
    const std::vector<std::uint8_t> jpeg = bench::ReadBytes(photo.path);
    const double floor = bench::BestOfBoth(runs, [&] { engine::TurnJpegLosslessly(jpeg, 6, photo.progressive); }).cpu;
    engine::ConversionReport turned, encoded;
    const double turn = bench::BestOfBoth(runs, [&] { turned = Convert(photo.path, out, true); }).cpu;
    const std::uintmax_t turned_bytes = WrittenBytes(turned);
    const double encode = bench::BestOfBoth(runs, [&] { encoded = Convert(photo.path, out, false); }).cpu;
    all_floor += floor;
    all_turn += turn;
    all_encode += encode;
    std::printf("%-40s %5.1f %9zu %9ju %9ju %8.3f %8.3f %8.3f %6.2f  %s\n", photo.name().c_str(), photo.megapixels(),
                jpeg.size(), turned_bytes, WrittenBytes(encoded), floor, turn, encode, turn / encode,
                turned.warnings.empty() ? "" : "not whole blocks: encoded");
  }
  std::printf("%-40s %5s %9s %9s %9s %8.3f %8.3f %8.3f %6.2f\n", "all", "", "", "", "", all_floor, all_turn,
              all_encode, all_turn / all_encode);
  fs::remove_all(out);
  return 0;
}
