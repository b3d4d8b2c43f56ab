// Compares two pictures the tools wrote: the same size and channels, and the
// same samples, or with --psnr DB a peak signal-to-noise ratio of at least DB
// over all samples. Prints the ratio and the first difference; answers 0 when
// they match, 1 when not.
//
//   picture_compare GOT EXPECTED [--psnr DB]
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/image.h"

namespace {

using kav::tools::Image;

int Fail(const std::string& message) {
  std::fprintf(stderr, "picture_compare: %s\n", message.c_str());
  return 1;
}

struct Difference {
  uint64_t differing = 0;
  double squaredError = 0;
  std::string first;
};

Difference Compare(const Image& got, const Image& expected) {
  Difference result;
  for (size_t i = 0; i < got.pixels.size(); ++i) {
    const double d = double(got.pixels[i]) - double(expected.pixels[i]);
    if (d == 0) continue;
    result.squaredError += d * d;
    if (result.differing++ == 0) {
      const size_t pixel = i / got.channels;
      result.first = "first difference at " + std::to_string(pixel % got.width) + "," +
                     std::to_string(pixel / got.width) + " channel " + std::to_string(i % got.channels) + ": got " +
                     std::to_string(got.pixels[i]) + " (expected " + std::to_string(expected.pixels[i]) + ")";
    }
  }
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  const bool withPsnr = argc == 5 && std::string(argv[3]) == "--psnr";
  if (argc != 3 && !withPsnr) return Fail("usage: picture_compare GOT EXPECTED [--psnr DB]");
  const double least = withPsnr ? std::atof(argv[4]) : INFINITY;
  const kav::Result<Image> gotRead = kav::tools::ReadImageFile(argv[1]);
  if (!gotRead) return Fail(gotRead.error());
  const kav::Result<Image> expectedRead = kav::tools::ReadImageFile(argv[2]);
  if (!expectedRead) return Fail(expectedRead.error());
  const Image& got = *gotRead;
  const Image& expected = *expectedRead;
  if (got.width != expected.width || got.height != expected.height || got.channels != expected.channels) {
    return Fail(std::string(argv[1]) + " is " + std::to_string(got.width) + "x" + std::to_string(got.height) + "x" +
                std::to_string(got.channels) + ", " + argv[2] + " " + std::to_string(expected.width) + "x" +
                std::to_string(expected.height) + "x" + std::to_string(expected.channels));
  }
  const Difference difference = Compare(got, expected);
  const double mse = difference.squaredError / double(got.pixels.size());
  const double psnr = mse == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 / mse);
  std::printf("%s: %llu of %zu samples differ, PSNR %.2f dB%s%s\n", argv[1],
              static_cast<unsigned long long>(difference.differing), got.pixels.size(), psnr,
              difference.first.empty() ? "" : "; ", difference.first.c_str());
  return psnr >= least ? 0 : 1;
}
