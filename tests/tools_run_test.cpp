// kavhost and kavjob end to end, in-process, through the render library
// built beside the tests: pictures printed and decoded back, the command
// sequence around a page, and bad input of every kind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "host/printer_description.h"
#include "job/job_inspect.h"
#include "job/kavjob_command.h"
#include "kavhost/kavhost_command.h"
#include "kavhost/replay_script.h"
#include "standin_fixture.h"
#include "support/files.h"
#include "support/image.h"
#include "support/picture_codecs.h"
#include "support/shown_text.h"
#include "tool_run.h"

namespace kav::tools {
namespace {

bool Exists(const std::string& path) { return std::ifstream(path).good(); }

// A PNM file of the picture in the given form: P1 to P6.
void WritePnm(const std::string& path, const Image& picture, int form) {
  std::string text = "P" + std::to_string(form) + "\n# test page\n" + std::to_string(picture.width) + " " +
                     std::to_string(picture.height) + "\n";
  if (form != 1 && form != 4) text += "255\n";
  for (uint32_t y = 0; y < picture.height; ++y) {
    const uint8_t* row = picture.Row(y);
    if (form == 4) {
      std::string packed((picture.width + 7) / 8, '\0');
      for (uint32_t x = 0; x < picture.width; ++x) {
        if (row[x] == 0) packed[x / 8] = static_cast<char>(packed[x / 8] | (0x80 >> (x % 8)));
      }
      text += packed;
    } else if (form == 5 || form == 6) {
      text.append(reinterpret_cast<const char*>(row), picture.RowBytes());
    } else {
      for (size_t i = 0; i < picture.RowBytes(); ++i) {
        text += form == 1 ? (row[i] == 0 ? "1" : "0") : std::to_string(row[i]) + " ";
      }
      text += "\n";
    }
  }
  WriteText(path, text);
}

Image Pattern(uint32_t width, uint32_t height, uint32_t channels, bool bilevel) {
  Image picture(width, height, channels);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      uint8_t* p = picture.Row(y) + x * channels;
      if (bilevel) {
        p[0] = (x * y) % 7 == 0 || x == width - 1 || y == 0 ? 0 : 255;
      } else if (channels == 1) {
        p[0] = y < 4 ? 255 : static_cast<uint8_t>(x + 2 * y);
      } else {
        p[0] = static_cast<uint8_t>(3 * x);
        p[1] = static_cast<uint8_t>(5 * y);
        p[2] = static_cast<uint8_t>(x ^ y);
      }
    }
  }
  return picture;
}

// A smooth picture, as photographs are; JPEG is meant for them.
Image Smooth(uint32_t width, uint32_t height, uint32_t channels) {
  Image picture(width, height, channels);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const uint32_t levels[3] = {x * 255 / (width - 1), y * 255 / (height - 1), (x + y) * 255 / (width + height - 2)};
      for (uint32_t c = 0; c < channels; ++c) picture.Row(y)[x * channels + c] = static_cast<uint8_t>(levels[c]);
    }
  }
  return picture;
}

// Pixel noise across the whole width, which the row codec cannot shrink.
Image Noise(uint32_t width, uint32_t height) {
  Image picture(width, height, 1);
  uint32_t state = 12345;
  for (uint8_t& pixel : picture.pixels) {
    state = state * 1103515245u + 12345u;
    pixel = (state >> 16) & 1 ? 0 : 255;
  }
  return picture;
}

Image ReadPage(const std::string& path) {
  Result<Image> page = ReadImageFile(path);
  EXPECT_TRUE(page.ok()) << page.error();
  return page ? std::move(page).value() : Image();
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  Result<std::vector<uint8_t>> bytes = ReadWholeFile(path);
  EXPECT_TRUE(bytes.ok()) << bytes.error();
  return bytes ? std::move(bytes).value() : std::vector<uint8_t>();
}

JobSummary SummaryOf(const std::string& job) {
  const std::vector<uint8_t> bytes = ReadBytes(job);
  const JobReading reading = ReadJob(bytes.data(), bytes.size());
  EXPECT_TRUE(reading.status.ok()) << reading.status.error();
  return Summarize(reading.items);
}

// The printable area of the test page: 40 x 30 mm at 300 dpi less the margins.
constexpr uint32_t kAreaWidth = 372;
constexpr uint32_t kAreaHeight = 254;

// The picture's pixels at the page's top-left corner and paper white
// elsewhere, but for the columns that 1-bit records add to the printable
// area's width to make it a multiple of 32 pixels: the plug-in sends them as
// ink, and they are left unchecked here.
::testing::AssertionResult SamePixels(const Image& picture, const Image& page) {
  if (page.width < picture.width || page.height < picture.height) {
    return ::testing::AssertionFailure() << "page " << page.width << "x" << page.height << " smaller than the picture";
  }
  const Image expected = ConvertChannels(picture, page.channels);
  for (uint32_t y = 0; y < page.height; ++y) {
    for (uint32_t x = 0; x < page.width; ++x) {
      if (y < kAreaHeight && x >= kAreaWidth && x < (kAreaWidth + 31) / 32 * 32) continue;
      for (uint32_t c = 0; c < page.channels; ++c) {
        const bool inside = x < picture.width && y < picture.height;
        const uint8_t want = inside ? expected.Row(y)[x * page.channels + c] : 255;
        const uint8_t got = page.Row(y)[x * page.channels + c];
        if (got != want) {
          return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") channel " << c << ": got "
                                               << int(got) << " (" << int(want) << ")";
        }
      }
    }
  }
  return ::testing::AssertionSuccess();
}

// 0 dB for a page that does not hold the picture.
double Psnr(const Image& picture, const Image& page) {
  if (page.width < picture.width || page.height < picture.height || page.channels == 0) return 0;
  const Image expected = ConvertChannels(picture, page.channels);
  double squares = 0;
  for (uint32_t y = 0; y < picture.height; ++y) {
    for (size_t i = 0; i < expected.RowBytes(); ++i) {
      const double d = double(expected.Row(y)[i]) - page.Row(y)[i];
      squares += d * d;
    }
  }
  const double mean = squares / (double(picture.height) * expected.RowBytes());
  return mean == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mean);
}

class ToolRunTest : public test::StandinTest {
 protected:
  // A small page keeps the runs fast: 40 x 30 mm at 300 dpi is 472 x 354
  // pixels, with a printable area of 372 x 254, by the trial description.
  std::vector<std::string> Print(const std::string& picture, const std::string& job, const std::string& mode) {
    std::vector<std::string> args = {"print", picture,   "-o",    job,     "--gpd", "trial.gpd",     "--mode",
                                     mode,    "--paper", "40x30", "--dpi", "300",   "--band-height", "32"};
    if (picture.empty()) args.erase(args.begin() + 1);
    return args;
  }

  // Prints the picture and decodes the job; the page as kavjob rebuilt it.
  Image PrintAndDecode(const std::string& name, const std::vector<std::string>& extra, const std::string& mode,
                       JobSummary* summary = nullptr) {
    std::vector<std::string> args = Print(name, name + ".job", mode);
    args.insert(args.end(), extra.begin(), extra.end());
    const ToolRun print = Host(args);
    EXPECT_EQ(print.code, 0) << print.err;
    if (summary != nullptr) *summary = SummaryOf(name + ".job");
    const ToolRun decode = Job({"decode", name + ".job", "-o", name + ".pnm"});
    EXPECT_EQ(decode.code, 0) << decode.err;
    EXPECT_EQ(decode.err, "");
    return ReadPage(name + ".pnm");
  }
};

TEST_F(ToolRunTest, BitmapsComeBackExactlyThroughTheCompressedPath) {
  const Image picture = Pattern(300, 200, 1, true);
  for (int form : {1, 4}) {
    const std::string name = "roundtrip_p" + std::to_string(form) + ".pbm";
    WritePnm(name, picture, form);
    JobSummary summary;
    const Image page = PrintAndDecode(name, {}, "mono", &summary);
    EXPECT_TRUE(SamePixels(picture, page)) << name;
    EXPECT_GT(summary.records["1-bit compressed"].items, 0u);
    EXPECT_EQ(summary.records.count("1-bit raw"), 0u);
  }
}

TEST_F(ToolRunTest, NoiseGoesOutRawAndComesBackExactly) {
  const Image picture = Noise(kAreaWidth, 100);
  WritePnm("roundtrip_noise.pbm", picture, 4);
  JobSummary summary;
  const Image page = PrintAndDecode("roundtrip_noise.pbm", {}, "mono", &summary);
  EXPECT_TRUE(SamePixels(picture, page));
  EXPECT_GT(summary.records["1-bit raw"].items, 0u);
}

// PNG in and out through the platform's library, on the path no build
// makes lossy: a colour picture of black and white printed on bi-level paper.
TEST_F(ToolRunTest, PngPicturesPrintAndPagesDecodeToPngExactly) {
  if (!PngAvailable()) GTEST_SKIP() << "this build has no PNG library";
  const Image picture = Pattern(300, 200, 1, true);
  const Status written = WriteImageFile("roundtrip_picture.png", ConvertChannels(picture, 3));
  ASSERT_TRUE(written.ok()) << written.error();
  const ToolRun print = Host(Print("roundtrip_picture.png", "roundtrip_png.job", "mono"));
  ASSERT_EQ(print.code, 0) << print.err;
  const ToolRun decode = Job({"decode", "roundtrip_png.job", "-o", "roundtrip_page.png"});
  ASSERT_EQ(decode.code, 0) << decode.err;
  EXPECT_TRUE(SamePixels(picture, ReadPage("roundtrip_page.png")));
}

TEST_F(ToolRunTest, GraymapsAndPixmapsComeBackExactlyThroughTheRawPath) {
  if (standins == nullptr) GTEST_SKIP() << "the system's own version decides JPEG on Windows";
  struct Case {
    int form;
    uint32_t channels;
    const char* mode;
    const char* kind;
  } cases[] = {{2, 1, "gray", "gray raw"},
               {5, 1, "gray", "gray raw"},
               {3, 3, "color", "colour raw"},
               {6, 3, "color", "colour raw"}};
  for (const Case& c : cases) {
    const Image picture = Pattern(201, 150, c.channels, false);
    const std::string name = "roundtrip_p" + std::to_string(c.form) + (c.channels == 1 ? ".pgm" : ".ppm");
    WritePnm(name, picture, c.form);
    JobSummary summary;
    const Image page = PrintAndDecode(name, {"--os-version", "5.0"}, c.mode, &summary);
    EXPECT_TRUE(SamePixels(picture, page)) << name;
    EXPECT_EQ(summary.records.size(), 1u) << name;
    EXPECT_GT(summary.records[c.kind].items, 0u) << name;
  }
}

TEST_F(ToolRunTest, JpegBandsComeBackWithinThirtyDecibels) {
  if (standins == nullptr || !JpegDecodingAvailable()) GTEST_SKIP() << "JPEG bands are checked on Linux";
  for (uint32_t channels : {1u, 3u}) {
    const Image picture = Smooth(240, 160, channels);
    const std::string name = channels == 1 ? "roundtrip_jpeg.pgm" : "roundtrip_jpeg.ppm";
    WritePnm(name, picture, channels == 1 ? 5 : 6);
    JobSummary summary;
    const Image page = PrintAndDecode(name, {"--os-version", "6.1"}, channels == 1 ? "gray" : "color", &summary);
    EXPECT_GT(summary.records["JPEG"].items, 0u) << name;
    EXPECT_GT(Psnr(picture, page), 30.0) << name;
  }
}

// The packaged description with `from` made `to`.
void WritePlantedDescription(const std::string& path, const std::string& from, const std::string& to) {
  const std::vector<uint8_t> bytes = ReadBytes(host::ProgramDescription());
  std::string text(bytes.begin(), bytes.end());
  const size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  text.replace(at, from.size(), to);
  WriteText(path, text);
}

// How close the picture comes back from a print by `gpd` in its colour
// mode `mode`, on its smallest sheet at its lowest resolution; 99 dB is
// exact, 0 a print that failed.
double RoundTrip(const std::string& gpd, const std::string& mode, const Image& picture, bool raw) {
  const auto read = host::PrinterDescription::Read(gpd);
  EXPECT_TRUE(read.ok()) << read.error();
  if (!read) return 0;
  const auto smallest = std::min_element(
      read->sheets().begin(), read->sheets().end(),
      [](const auto& a, const auto& b) { return int64_t{a.width} * a.length < int64_t{b.width} * b.length; });
  uint32_t dpi = host::kMaxDpi;
  for (const host::ResolutionOption& resolution : read->resolutions()) dpi = std::min(dpi, resolution.dpi);
  const std::string name = "mode_" + mode + (picture.channels == 1 ? ".pgm" : ".ppm");
  WritePnm(name, picture, picture.channels == 1 ? 5 : 6);
  std::vector<std::string> args = {"print",  name, "-o",      name + ".job",     "--gpd", gpd,
                                   "--mode", mode, "--paper", smallest->keyword, "--dpi", std::to_string(dpi)};
  if (raw) args.insert(args.end(), {"--os-version", "5.0"});
  if (Host(args).code != 0) return 0;
  if (Job({"decode", name + ".job", "-o", name + ".pnm"}).code != 0) return 0;
  return Psnr(picture, ReadPage(name + ".pnm"));
}

// Each colour mode of the packaged description hands the plug-in bands of
// the kind its callback id takes: the picture comes back as it was printed
// (exactly where no band is JPEG). A mode whose callback id is another
// mode's does not.
TEST_F(ToolRunTest, EveryColourModeOfThePackagedDescriptionHandsThePluginBandsItTakes) {
  const bool raw = standins != nullptr;  // on Windows the system's version decides JPEG
  const double least = raw ? 99.0 : 30.0;
  const auto described = host::PrinterDescription::Read(host::ProgramDescription());
  ASSERT_TRUE(described.ok()) << described.error();
  const Image bilevel = Pattern(240, 160, 1, true);
  const Image gray = Smooth(240, 160, 1);
  const Image color = Smooth(240, 160, 3);
  const auto pictureOf = [&](host::ColorMode kind) -> const Image& {
    return kind == host::ColorMode::kMono ? bilevel : kind == host::ColorMode::kGray ? gray : color;
  };
  for (const host::ColorModeOption& mode : described->colorModes()) {
    EXPECT_GE(RoundTrip(host::ProgramDescription(), mode.keyword, pictureOf(mode.kind), raw), least) << mode.keyword;
  }
  // Each mode in turn with the callback id of the next. Where bands may be
  // JPEG, the plug-in encodes a gray band given the colour callback as
  // JPEG too: the fault shows only on the raw path.
  if (!raw) return;
  const std::vector<host::ColorModeOption>& modes = described->colorModes();
  for (size_t i = 0; i < modes.size(); ++i) {
    const host::ColorModeOption& planted = modes[i];
    const uint32_t other = modes[(i + 1) % modes.size()].callbackId;
    WritePlantedDescription("planted.gpd", "*IPCallbackID: " + std::to_string(planted.callbackId),
                            "*IPCallbackID: " + std::to_string(other));
    const auto read = host::PrinterDescription::Read("planted.gpd");
    ASSERT_TRUE(read.ok() && read->ColorModeNamed(planted.keyword)->callbackId == other) << planted.keyword;
    EXPECT_LT(RoundTrip("planted.gpd", planted.keyword, pictureOf(planted.kind), raw), least) << planted.keyword;
  }
}

TEST_F(ToolRunTest, APageIsFramedByTheDescriptionsCommands) {
  ASSERT_EQ(Host(Print("", "commands.job", "mono")).code, 0);
  std::vector<uint8_t> bytes = ReadBytes("commands.job");
  const JobReading reading = ReadJob(bytes.data(), bytes.size());
  ASSERT_TRUE(reading.status.ok()) << reading.status.error();
  ASSERT_GE(reading.items.size(), 5u);
  EXPECT_EQ(reading.items[0].kind, ItemKind::kFbed);
  EXPECT_EQ(reading.items[1].kind, ItemKind::kEc);
  EXPECT_EQ(reading.items[1].colour, 1);  // monochrome
  EXPECT_EQ(reading.items[1].code, 0x14);
  EXPECT_EQ(reading.items[2].kind, ItemKind::kPaper);
  EXPECT_EQ(reading.items[2].values[0], 40.0f);
  EXPECT_EQ(reading.items[2].values[1], 30.0f);
  EXPECT_EQ(reading.items[3].kind, ItemKind::kPlacement);
  EXPECT_EQ(reading.items[3].values[0], 0.24f);  // 300 dpi
  EXPECT_EQ(reading.items.back().kind, ItemKind::kEndPage);
  // The decoded page is the sheet.
  ASSERT_EQ(Job({"decode", "commands.job", "-o", "commands.pnm"}).code, 0);
  const Image page = ReadPage("commands.pnm");
  EXPECT_EQ(page.width, 472u);
  EXPECT_EQ(page.height, 354u);

  // A sheet with a command of its own, and landscape turning the page.
  ASSERT_EQ(Host({"print", "-o", "fixed.job", "--gpd", "trial.gpd", "--mode", "mono", "--paper", "114x162", "--dpi",
                  "100", "--orientation", "landscape"})
                .code,
            0);
  bytes = ReadBytes("fixed.job");
  const JobReading fixed = ReadJob(bytes.data(), bytes.size());
  ASSERT_TRUE(fixed.status.ok()) << fixed.status.error();
  ASSERT_GE(fixed.items.size(), 4u);
  EXPECT_EQ(fixed.items[2].values[0], 114.0f);
  EXPECT_EQ(fixed.items[2].values[1], 162.0f);
  EXPECT_EQ(fixed.items[3].values[0], 0.0f);  // landscape placement
  ASSERT_EQ(Job({"decode", "fixed.job", "-o", "fixed.pnm"}).code, 0);
  const Image turned = ReadPage("fixed.pnm");
  EXPECT_EQ(turned.width, 637u);   // 162 mm at 100 dpi
  EXPECT_EQ(turned.height, 448u);  // 114 mm
}

TEST_F(ToolRunTest, BlankBandsAreFlaggedAndSendNothing) {
  Image picture(100, 40, 1);  // ink in the first band only
  picture.Row(3)[7] = 0;
  WritePnm("blank.pgm", picture, 5);
  const ToolRun print = Host(Print("blank.pgm", "blank.job", "mono"));
  ASSERT_EQ(print.code, 0) << print.err;
  // 254 rows in bands of 32: 8 bands, 7 of them blank.
  EXPECT_NE(print.out.find("page 1: 8 bands (7 blank)"), std::string::npos) << print.out;
  EXPECT_EQ(SummaryOf("blank.job").RecordCount(), 1u);
}

// A failed run: the exit code and exactly one line on stderr.
void ExpectOneLineFailure(const ToolRun& run, int code, const std::string& start) {
  EXPECT_EQ(run.code, code) << run.err;
  EXPECT_EQ(run.err.rfind(start, 0), 0u) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
}

TEST_F(ToolRunTest, BadInputToKavhostEndsWithOneLine) {
  ExpectOneLineFailure(Host({"print", "missing.pbm", "-o", "x.job"}), 1, "kavhost: cannot open missing.pbm");
  ExpectOneLineFailure(Host({"print", ".", "-o", "x.job"}), 1, "kavhost: . is a folder, not a file");
  WriteText("garbage.pnm", "this is not a picture");
  ExpectOneLineFailure(Host({"print", "garbage.pnm", "-o", "x.job"}), 1,
                       "kavhost: garbage.pnm: not a PNM file (no P1 to P6 signature)");
  WriteText("truncated.pgm", "P5 10 10 255\nabc");
  ExpectOneLineFailure(Host({"print", "truncated.pgm", "-o", "x.job"}), 1,
                       "kavhost: truncated.pgm: PNM file truncated");
  WriteText("broken.png", std::string("\x89PNG\r\n\x1A\n", 8) + "nonsense");
  ExpectOneLineFailure(
      Host({"print", "broken.png", "-o", "x.job"}), 1,
      PngAvailable() ? "kavhost: broken.png: unreadable PNG" : "kavhost: broken.png: this build reads no PNG");
  ExpectOneLineFailure(Host({"print", "-o", "x.job", "--plugin", "no-such-plugin"}), 1,
                       "kavhost: cannot load the plug-in library no-such-plugin");
  ExpectOneLineFailure(Host({"print", "-o", "x.job", "--dpi", "many"}), 2, "kavhost: --dpi must be");
  ExpectOneLineFailure(Host({"scan"}), 2, "kavhost: unknown command scan");
  ExpectOneLineFailure(Host({}), 2, "kavhost: no command given");
  ExpectOneLineFailure(Host({"replay", "-o", "x.job"}), 2, "kavhost: replay needs SCRIPT.json");
  EXPECT_FALSE(Exists("x.job"));
}

// The options a command's usage lists, as "-o" and "--output" both.
std::vector<std::string> ListedOptions(const std::string& usage) {
  std::vector<std::string> names;
  std::istringstream lines(usage);
  for (std::string line; std::getline(lines, line);) {
    const size_t start = line.find_first_not_of(' ');
    if (start == std::string::npos || line[start] != '-') continue;
    std::istringstream forms(line.substr(start, line.find(' ', start) - start));
    for (std::string name; std::getline(forms, name, ',');) {
      if (name != "-h" && name != "--help") names.push_back(name);
    }
  }
  return names;
}

struct CommandTry {
  bool host;                                  // kavhost, else kavjob
  std::vector<std::string> command;           // words that pass the parse and then fail on a missing input
  std::map<std::string, std::string> values;  // a value each option takes; "" for a flag
  bool takesOutput;                           // -o JOB is added unless it is the option tried
  std::string fileOption;                     // an option that names a file: the output, or else the library
};

// The working folder as a path rooted at "/" (on Windows, on the current
// drive) and, where paths have drives, as one that starts at its drive:
// "Z:\..." under Wine, which maps the Unix root there. Each ends in a separator.
std::vector<std::string> RootedFolders() {
  const std::filesystem::path here = std::filesystem::current_path();
  std::vector<std::string> folders = {"/" + here.relative_path().generic_string() + "/"};
  if (here.has_root_name()) folders.push_back((here / "").string());
  return folders;
}

// Each option of the usage is taken (the run fails later, on the missing
// input, with exit code 1), and one that is not listed is refused as usage.
TEST_F(ToolRunTest, EveryOptionTheUsageListsIsTakenAndOthersAreRefused) {
  const std::map<std::string, std::string> print = {{"-o", "x.job"},
                                                    {"--output", "x.job"},
                                                    {"--mode", "gray"},
                                                    {"--dpi", "300"},
                                                    {"--paper", "A5"},
                                                    {"--orientation", "landscape"},
                                                    {"--rotate180", ""},
                                                    {"--band-height", "64"},
                                                    {"--os-version", "6.1"},
                                                    {"--plugin", "no-such-plugin"},
                                                    {"--gpd", host::ProgramDescription()}};
  const CommandTry tries[] = {
      {true, {"print", "missing.pbm"}, print, true, "-o"},
      {true,
       {"replay", "missing.json"},
       {{"-o", "x.job"}, {"--output", "x.job"}, {"--writes", "x.writes"}, {"--plugin", "no-such-plugin"}},
       true,
       "-o"},
      {true, {"strings"}, {{"--plugin", "no-such-ui"}}, false, "--plugin"},
      {false, {"inspect", "missing.job"}, {{"-o", "x.txt"}, {"--output", "x.txt"}}, false, "-o"},
      {false, {"decode", "missing.job"}, {{"-o", "x.png"}, {"--output", "x.png"}}, true, "-o"},
  };
  for (const CommandTry& tried : tries) {
    const auto run = [&tried](const std::vector<std::string>& args) { return tried.host ? Host(args) : Job(args); };
    const std::string tool = tried.host ? "kavhost" : "kavjob";
    const ToolRun usage = run({tried.command[0], "--help"});
    ASSERT_EQ(usage.code, 0) << usage.err;
    const std::vector<std::string> listed = ListedOptions(usage.out);
    EXPECT_EQ(listed.size(), tried.values.size()) << usage.out;
    for (const std::string& option : listed) {
      SCOPED_TRACE(tried.command[0] + " " + option);
      const auto value = tried.values.find(option);
      ASSERT_NE(value, tried.values.end()) << "the usage lists an option this test does not try";
      std::vector<std::string> args = tried.command;
      args.push_back(option);
      if (!value->second.empty()) args.push_back(value->second);
      const bool isOutput = option == "-o" || option == "--output";
      if (tried.takesOutput && !isOutput) args.insert(args.end(), {"-o", tried.values.at("-o")});
      const ToolRun taken = run(args);
      EXPECT_EQ(taken.code, kExitFailure) << taken.err;
      EXPECT_EQ(taken.err.find("--help tells the usage"), std::string::npos) << taken.err;
    }
    std::vector<std::string> unknown = tried.command;
    unknown.push_back("--no-such-option");
    if (tried.takesOutput) unknown.insert(unknown.end(), {"-o", tried.values.at("-o")});
    ExpectOneLineFailure(run(unknown), kExitUsage, tool + ": unknown option --no-such-option (");
    // A word rooted at "/" is a path, on Windows too, where programs often
    // take "/name" for an option; so is one that starts at a drive. The run
    // fails on the missing file it names, or on the library it was given.
    for (const std::string& folder : RootedFolders()) {
      SCOPED_TRACE(tried.command[0] + " in " + folder);
      std::vector<std::string> args = {tried.command[0]};
      for (size_t i = 1; i < tried.command.size(); ++i) args.push_back(folder + tried.command[i]);
      const std::string file = folder + tried.values.at(tried.fileOption);
      args.insert(args.end(), {tried.fileOption, file});
      const std::string missing =
          tried.command.size() > 1 ? "cannot open " + args[1] : "cannot load the plug-in library " + file;
      ExpectOneLineFailure(run(args), kExitFailure, tool + ": " + missing);
    }
  }
  EXPECT_FALSE(Exists("x.job") || Exists("x.writes") || Exists("x.txt") || Exists("x.png"));
}

TEST_F(ToolRunTest, RefusedScriptsWriteNothing) {
  WriteText(
      "bad_band.json",
      R"({"calls": [{"call": "ImageProcessing", "callback": 3, "bit_count": 1, "width": 8, "height": 2, "data_hex": "00"}]})");
  ExpectOneLineFailure(Host({"replay", "bad_band.json", "-o", "refused.job", "--writes", "refused.writes"}), 1,
                       "kavhost: bad_band.json: calls[0] (ImageProcessing): field \"data_hex\": holds 1 bytes");
  WriteText("bad_json.json", "{\"calls\": [");
  ExpectOneLineFailure(Host({"replay", "bad_json.json", "-o", "refused.job"}), 1,
                       "kavhost: bad_json.json: line 1, column 12 (byte 11)");
  ExpectOneLineFailure(Host({"replay", "missing.json", "-o", "refused.job"}), 1, "kavhost: cannot open missing.json");
  EXPECT_FALSE(Exists("refused.job"));
  EXPECT_FALSE(Exists("refused.writes"));
}

TEST_F(ToolRunTest, ReplayListsEveryWriteAndTheJobHoldsTheAcceptedOnes) {
  WriteText("failing.json", R"({"calls": [
    {"call": "CommandCallback", "id": 260},
    {"call": "FailWrite", "nth": 1},
    {"call": "CommandCallback", "id": 227},
    {"call": "CommandCallback", "id": 270}]})");
  const ToolRun run = Host({"replay", "failing.json", "-o", "failing.job", "--writes", "failing.writes"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, "replayed 4 calls: 3 writes (1 failed), 6 bytes -> failing.job\n");
  std::vector<uint8_t> bytes = ReadBytes("failing.writes");
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "4 46424544\n1 2b failed\n2 4542\n");
  bytes = ReadBytes("failing.job");
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "FBEDEB");
}

TEST_F(ToolRunTest, BadInputToKavjobEndsWithOneLine) {
  WriteText("not_a_job.bin", "<html>");
  ExpectOneLineFailure(Job({"inspect", "not_a_job.bin"}), 1,
                       "kavjob: not_a_job.bin: byte 0: the byte 0x3c is no command the plug-in sends");
  ExpectOneLineFailure(Job({"decode", "not_a_job.bin", "-o", "x.png"}), 1, "kavjob: not_a_job.bin: byte 0:");
  WriteText("cut.job", std::string("FBED\x45\x63\x02", 7));
  ExpectOneLineFailure(Job({"inspect", "cut.job"}), 1, "kavjob: cut.job: byte 4: Ec command cut short");
  WriteText("empty.job", "FBED");
  ExpectOneLineFailure(Job({"decode", "empty.job", "-o", "x.png"}), 1, "kavjob: empty.job: the job holds no page");
  ExpectOneLineFailure(Job({"inspect", "missing.job"}), 1, "kavjob: cannot open missing.job");
  ExpectOneLineFailure(Job({"decode", "empty.job", "-o", "x.bmp"}), 2, "kavjob: x.bmp: name the page file");
  ExpectOneLineFailure(Job({"decode", "empty.job"}), 2, "kavjob: decode needs -o PAGE.png");
  ExpectOneLineFailure(Job({"list", "empty.job"}), 2, "kavjob: unknown command list");
  EXPECT_FALSE(Exists("x.png"));
}

TEST_F(ToolRunTest, EchoedInputStaysOnOneLineAndIsCut) {
  ExpectOneLineFailure(Host({"print", "-o", "x.job", "--paper", "A9\nkavhost: done"}), 2,
                       "kavhost: unknown paper \"A9\\nkavhost: done\": give");
  ExpectOneLineFailure(Host({"print", "-o", "x.job", "--dpi\n2"}), 2, "kavhost: unknown option \"--dpi\\n2\"");
  ExpectOneLineFailure(Host({"print\r", "-o", "x.job"}), 2, "kavhost: unknown command \"print\\r\"");
  const ToolRun longWord = Job({std::string(5000, 'z')});
  ExpectOneLineFailure(longWord, 2, "kavjob: unknown command \"" + std::string(kShownLength, 'z') + "...\"");
  EXPECT_LT(longWord.err.size(), 200u);
  ExpectOneLineFailure(Job({"inspect", "no\nsuch.job"}), 1, "kavjob: cannot open no\\nsuch.job");
  WriteText("forged.json", R"({"calls": [{"call": "Command\nkavhost: replayed 1 calls"}]})");
  ExpectOneLineFailure(
      Host({"replay", "forged.json", "-o", "x.job"}), 1,
      "kavhost: forged.json: calls[0]: field \"call\": unknown call \"Command\\nkavhost: replayed 1 calls\"");
  // kavjob refuses a repeated option as kavhost does.
  WriteText("tiny.job", "FBEDEB");
  ExpectOneLineFailure(Job({"inspect", "tiny.job", "-o", "a.txt", "-o", "b.txt"}), 2, "kavjob: option -o given twice");
  ExpectOneLineFailure(Job({"inspect", "tiny.job", "-o", "a.txt", "--output", "b.txt"}), 2,
                       "kavjob: option -o given twice");
  ExpectOneLineFailure(Host({"print", "-o", "a.job", "-o", "b.job"}), 2, "kavhost: option -o given twice");
  EXPECT_FALSE(Exists("x.job") || Exists("a.txt") || Exists("b.txt"));
}

TEST_F(ToolRunTest, BandsLargerThanTheHostsHeaderCanTakeAreRefusedBeforePrinting) {
  // 27262 colour pixels by 38885 rows is 3.2 GB: past both the header's
  // 32-bit size and the band limit.
  ExpectOneLineFailure(Host({"print", "-o", "huge.job", "--gpd", "trial.gpd", "--mode", "color", "--dpi", "2400",
                             "--paper", "A3", "--band-height", "65535"}),
                       1,
                       "kavhost: bands of 27262 x 38885 pixels take 3180326380 bytes, more than the 1024 MiB a band "
                       "may have");
  EXPECT_FALSE(Exists("huge.job"));
}

TEST_F(ToolRunTest, ScriptsLargerThanTheLimitAreNotRead) {
  WriteText("large.json", std::string(kMaxScriptBytes + 1, ' '));
  ExpectOneLineFailure(Host({"replay", "large.json", "-o", "x.job"}), 1,
                       "kavhost: large.json: " + std::to_string(kMaxScriptBytes + 1) + " bytes, more than the 16 MiB");
  std::remove("large.json");
}

// The job's size is checked before anything is allocated: a sparse file
// costs no disk and would take 2 GiB of memory if read.
TEST_F(ToolRunTest, JobsLargerThanTheLimitAreNotRead) {
  const uint64_t size = (uint64_t{2} << 30) + 1;
  { std::ofstream create("large.job", std::ios::binary); }
  std::filesystem::resize_file("large.job", size);
  for (const char* command : {"inspect", "decode"}) {
    std::vector<std::string> args = {command, "large.job"};
    if (std::string(command) == "decode") args.insert(args.end(), {"-o", "large.png"});
    ExpectOneLineFailure(Job(args), 1,
                         "kavjob: large.job: a job of " + std::to_string(size) + " bytes is more than kavjob reads");
  }
  EXPECT_FALSE(Exists("large.png"));
  std::remove("large.job");
}

TEST_F(ToolRunTest, StringsListsTheUiLibrarysDisplayStrings) {
  const ToolRun run = Host({"strings"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 178);
  EXPECT_EQ(run.out.rfind("288\t\xE3\x81\x99\xE3\x82\x8B\n", 0), 0u);               // the first id: "yes"
  EXPECT_NE(run.out.find("\n298\t\xE3\x81\xAA\xE3\x81\x97\n"), std::string::npos);  // "none"
  ExpectOneLineFailure(Host({"strings", "--plugin", "no-such-ui"}), 1,
                       "kavhost: cannot load the plug-in library no-such-ui");
}

}  // namespace
}  // namespace kav::tools
