// Camera raw files through imgbatch, per picture: developed from the sensor
// data against read from the embedded JPEG preview (--raw preview), at full
// size and as 1024-pixel thumbnails, each as a JPG. The raw files are DNGs
// the run makes (this machine has no camera's files): a photograph-like
// picture as a 12-bit RGGB mosaic, with the same picture as a full-size
// JPEG preview of quality 90, as cameras embed it. Any folder of real raw
// files can be timed instead.
//   raw_bench IMGBATCH [pictures] [width] [height] [runs]
//   raw_bench IMGBATCH --folder DIR [runs]

#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "BenchSupport.h"
#include "DngBytes.h"
#include "engine/formats/jpeg/JpegImage.h"
#include "platform/FileIO.h"

namespace {

int Shell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// sRGB's 8-bit values back to linear light, for the mosaic.
double Linear(std::uint8_t v) {
  const double s = v / 255.0;
  return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
}

std::size_t MakeDngs(const std::filesystem::path& folder, int count, int width, int height) {
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  std::size_t bytes = 0;
  for (int i = 0; i < count; ++i) {
    const bench::RawPicture photo = bench::MakePhotoLike(width, height, static_cast<unsigned>(i + 1));
    testsupport::DngPicture dng;
    dng.width = width;
    dng.height = height;
    dng.bits = 12;
    dng.colour = [&](int x, int y) {
      const std::uint8_t* p = photo.bgr.data() + (static_cast<std::size_t>(y) * width + x) * 3;
      return testsupport::LinearColour{Linear(p[2]), Linear(p[1]), Linear(p[0])};
    };
    engine::JpegImage jpeg;
    jpeg.SetQuality(90);
    dng.previewJpeg = jpeg.Encode(bench::ToBitmap(photo));
    dng.previewWidth = width;
    dng.previewHeight = height;
    const std::vector<std::uint8_t> file = testsupport::DngBytes(dng);
    bytes += file.size();
    img::WriteFileAtomically(folder / ("shot" + std::to_string(i) + ".dng"), file);
  }
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: raw_bench IMGBATCH [pictures] [width] [height] [runs]\n"
                         "       raw_bench IMGBATCH --folder DIR [runs]\n");
    return 2;
  }
  const std::string imgbatch = argv[1];
  const bool given = argc > 3 && std::string(argv[2]) == "--folder";
  bench::StartBenchmark();
  const auto root = std::filesystem::temp_directory_path() / "imgconvert-raw-bench";
  std::filesystem::path folder;
  int count = 0, runs = 2;
  if (given) {
    folder = argv[3];
    runs = argc > 4 ? std::atoi(argv[4]) : 2;
    for (const auto& e : std::filesystem::directory_iterator(folder)) count += e.is_regular_file() ? 1 : 0;
    std::printf("job: the %d files of %s\n", count, folder.c_str());
  } else {
    count = argc > 2 ? std::atoi(argv[2]) : 3;
    const int width = argc > 3 ? std::atoi(argv[3]) : 6000;
    const int height = argc > 4 ? std::atoi(argv[4]) : 4000;
    runs = argc > 5 ? std::atoi(argv[5]) : 2;
    folder = root / "dng";
    const std::size_t bytes = MakeDngs(folder, count, width, height);
    std::printf("job: %d DNG files of %dx%d, 12-bit, full-size JPEG preview (%.1f MB each)\n", count, width,
                height, bytes / 1e6 / count);
  }
  const auto out = root / "out";
  const struct {
    const char* name;
    const char* options;
  } jobs[] = {{"developed, full size   ", ""},
              {"preview, full size     ", "--raw preview"},
              {"developed, --fit 1024  ", "--fit 1024x1024"},
              {"preview, --fit 1024    ", "--raw preview --fit 1024x1024"}};
  double developed[2] = {0, 0};
  for (std::size_t j = 0; j < std::size(jobs); ++j) {
    const bench::Timing t = bench::BestOfBoth(runs, [&] {
      std::filesystem::remove_all(out);
      const std::string command = "'" + imgbatch + "' '" + folder.string() + "' -o '" + out.string() +
                                  "' -f jpg -q -j 1 " + jobs[j].options;
      if (Shell(command) != 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
    });
    const double per = t.wall / count;
    if (j % 2 == 0) developed[j / 2] = per;
    std::printf("%s: %7.3f s a picture", jobs[j].name, per);
    if (j % 2 == 1) std::printf(", %.1f times faster", developed[j / 2] / per);
    std::printf("\n");
  }
  std::filesystem::remove_all(root);
  return 0;
}
