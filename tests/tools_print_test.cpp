// The parts of `kavhost print` that do not need the plug-in: the packaged
// printer description, the page layout, the host's bands and the options.
#include <gtest/gtest.h>

#include "host/band_builder.h"
#include "host/printer_description.h"
#include "kavhost/print_command.h"

namespace kav::tools {
namespace {

// The sheet commands of the built-in description the host printed by before
// it read the packaged GPD: the six sheets of a size command of their own by
// their size, 248 for every other sheet.
uint32_t BuiltInSheetCommand(const host::Paper& paper) {
  const int fixed[][3] = {{323, 2970, 9000}, {324, 2970, 12000}, {325, 2100, 9000},
                          {326, 1140, 1620}, {327, 980, 1480},   {328, 1200, 2350}};
  for (const auto& f : fixed) {
    if (paper.widthTenths == f[1] && paper.lengthTenths == f[2]) return static_cast<uint32_t>(f[0]);
  }
  return 248;
}

TEST(PrinterDescriptionTest, PapersByNameOrSize) {
  const auto a4 = ParsePaper("a4");
  ASSERT_TRUE(a4.ok()) << a4.error();
  EXPECT_EQ(a4->widthTenths, 2100);
  EXPECT_EQ(a4->lengthTenths, 2970);
  EXPECT_EQ(ParsePaper("Letter")->widthTenths, 2159);
  EXPECT_EQ(ParsePaper("B4")->lengthTenths, 3640);
  EXPECT_EQ(ParsePaper("env_monarch")->widthTenths, 984);
  const auto custom = ParsePaper("100.5X150");
  ASSERT_TRUE(custom.ok());
  EXPECT_EQ(custom->widthTenths, 1005);
  for (const char* bad :
       {"A6", "CUSTOMSIZE", "100x", "x100", "100x150.25", "9.9x100", "100x3276.8", "1e2x100", "-10x100", ""}) {
    EXPECT_FALSE(ParsePaper(bad).ok()) << bad;
  }
  EXPECT_EQ(host::FormatOf(host::ColorMode::kMono).callbackId, 3u);
  EXPECT_EQ(host::FormatOf(host::ColorMode::kGray).bitCount, 8);
  EXPECT_EQ(host::FormatOf(host::ColorMode::kColor).dmColor, 2);
}

// Every sheet of the packaged description, and custom sizes, are framed by
// the commands the built-in description sent: 260, 204, the sheet's size
// command, 250 before the bands, 270 after them, in every mode and turn.
TEST(PrinterDescriptionTest, PagesAreFramedByTheBuiltInDescriptionsCommands) {
  const host::PrinterDescription& description = host::ActivePrinterDescription();
  std::vector<host::Paper> papers = {{"custom", 1005, 1500}, {"custom", 400, 300}, {"a tenth off", 1140, 1621}};
  for (const host::Sheet& sheet : description.sheets())
    papers.push_back({sheet.keyword, sheet.widthTenths, sheet.lengthTenths});
  for (const host::Paper& paper : papers) {
    for (host::ColorMode mode : {host::ColorMode::kMono, host::ColorMode::kGray, host::ColorMode::kColor}) {
      for (bool turned : {false, true}) {
        const host::DeviceSettings settings{mode, paper, 600, turned, turned};
        const std::vector<uint32_t> start = {260, 204, BuiltInSheetCommand(paper), 250};
        const auto setup = description.Commands(host::Section::kPageSetup, settings);
        const auto finish = description.Commands(host::Section::kPageFinish, settings);
        ASSERT_TRUE(setup.ok() && finish.ok()) << paper.name;
        std::vector<uint32_t> ids;
        for (const host::DescribedCommand& command : *setup) ids.push_back(command.callbackId.value_or(0));
        EXPECT_EQ(ids, start) << paper.name;
        ASSERT_EQ(finish->size(), 1u);
        EXPECT_EQ(finish->front().callbackId, 270u);
        for (host::Section other : {host::Section::kJobSetup, host::Section::kDocSetup, host::Section::kDocFinish,
                                    host::Section::kJobFinish}) {
          EXPECT_TRUE(description.Commands(other, settings)->empty());
        }
      }
    }
    EXPECT_EQ(host::PageStartCommands(paper), (std::vector<uint32_t>{260, 204, BuiltInSheetCommand(paper), 250}));
  }
  EXPECT_EQ(host::PageEndCommands(), (std::vector<uint32_t>{270}));
}

TEST(PrinterDescriptionTest, LayoutCountsSheetPixelsAsThePluginDoes) {
  const auto a4 = host::ComputeLayout(host::Paper{"A4", 2100, 2970}, 600, false);
  ASSERT_TRUE(a4.ok()) << a4.error();
  EXPECT_EQ(a4->sheetWidth, 4960u);
  EXPECT_EQ(a4->sheetLength, 7015u);
  EXPECT_EQ(a4->offsetX, 100u);
  EXPECT_EQ(a4->surfaceWidth, 4760u);
  EXPECT_EQ(a4->surfaceHeight, 6815u);
  const auto landscape = host::ComputeLayout(host::Paper{"Letter", 2159, 2794}, 300, true);
  ASSERT_TRUE(landscape.ok());
  EXPECT_EQ(landscape->sheetWidth, 2550u);
  EXPECT_EQ(landscape->surfaceWidth, 3300u - 100u);
  EXPECT_EQ(landscape->surfaceHeight, 2550u - 100u);
  // The sheets of the built-in description, and custom sizes, keep its
  // printable area at the description's resolutions: a sixth of an inch in
  // from every edge of the sheet as the plug-in counts it.
  const host::Paper builtIn[] = {
      {"A3", 2970, 4200},     {"A4", 2100, 2970},    {"A5", 1480, 2100}, {"B4", 2570, 3640},   {"B5", 1820, 2570},
      {"Letter", 2159, 2794}, {"Legal", 2159, 3556}, {"", 2970, 9000},   {"", 2970, 12000},    {"", 2100, 9000},
      {"", 1140, 1620},       {"", 980, 1480},       {"", 1200, 2350},   {"custom", 400, 300}, {"custom", 1005, 1501},
      {"custom", 3302, 4826}, {"custom", 850, 1480}};
  for (const host::Paper& paper : builtIn) {
    for (uint32_t dpi : {150u, 300u, 600u}) {
      const uint32_t margin = dpi / 6;
      const auto layout = host::ComputeLayout(paper, dpi, false);
      ASSERT_TRUE(layout.ok()) << layout.error();
      EXPECT_EQ(layout->offsetX, margin);
      EXPECT_EQ(layout->offsetY, margin);
      EXPECT_EQ(layout->surfaceWidth, layout->sheetWidth - 2 * margin) << paper.widthTenths << " at " << dpi;
      EXPECT_EQ(layout->surfaceHeight, layout->sheetLength - 2 * margin) << paper.lengthTenths << " at " << dpi;
    }
  }
  const auto tiny = host::ComputeLayout(host::Paper{"tiny", 50, 50}, 50, false);
  ASSERT_FALSE(tiny.ok());
  EXPECT_NE(tiny.error().find("no printable area"), std::string::npos);
  const auto wide = host::ComputeLayout(host::Paper{"long", 2970, 12000}, 2400, true);
  ASSERT_FALSE(wide.ok());
  EXPECT_NE(wide.error().find("at most 65504"), std::string::npos);
}

// A page of one row pattern, so each band's content is known.
class PatternPage final : public host::PageSource {
 public:
  PatternPage(uint32_t width, uint32_t height, std::vector<uint8_t> rgb)
      : host::PageSource(width, height), rgb_(std::move(rgb)) {}
  void Row(uint32_t y, uint8_t* rgb) const override {
    std::fill(rgb, rgb + 3 * width(), 255);
    if (y == 1) std::copy(rgb_.begin(), rgb_.end(), rgb);
  }

 private:
  std::vector<uint8_t> rgb_;
};

TEST(BandBuilderTest, OneBitBandsAreWhiteWhereTheBitIsOne) {
  const PatternPage page(10, 2, {0, 0, 0, 255, 255, 255, 0, 0, 0});
  host::HostBand band;
  host::BuildBand(page, host::ColorMode::kMono, 0, 2, 600, band);
  EXPECT_EQ(band.header.biBitCount, 1);
  EXPECT_EQ(band.header.biWidth, 10);
  EXPECT_EQ(band.header.biHeight, 2);
  EXPECT_EQ(band.header.biSizeImage, 8u);  // rows of 4 bytes
  EXPECT_FALSE(band.blank);
  EXPECT_EQ(band.bits, (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF, 0x5F, 0xFF, 0xFF, 0xFF}));
  host::BuildBand(page, host::ColorMode::kMono, 0, 1, 600, band);
  EXPECT_TRUE(band.blank);
  EXPECT_EQ(band.bits, (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(BandBuilderTest, GrayAndColourRowsArePaddedWithWhite) {
  const PatternPage page(3, 2, {10, 20, 30, 255, 255, 255, 1, 2, 3});
  host::HostBand gray;
  host::BuildBand(page, host::ColorMode::kGray, 1, 1, 600, gray);
  EXPECT_EQ(gray.header.biSizeImage, 4u);
  EXPECT_EQ(gray.bits, (std::vector<uint8_t>{18, 255, 2, 255}));
  EXPECT_FALSE(gray.blank);
  host::HostBand color;
  host::BuildBand(page, host::ColorMode::kColor, 0, 2, 600, color);
  EXPECT_EQ(color.header.biBitCount, 24);
  EXPECT_EQ(color.header.biSizeImage, 24u);  // 9 bytes padded to 12, two rows
  const std::vector<uint8_t> second(color.bits.begin() + 12, color.bits.end());
  EXPECT_EQ(second, (std::vector<uint8_t>{30, 20, 10, 255, 255, 255, 3, 2, 1, 255, 255, 255}));  // blue, green, red
  host::BuildBand(page, host::ColorMode::kColor, 0, 1, 600, color);
  EXPECT_TRUE(color.blank);
}

TEST(BandBuilderTest, DitherKeepsBlackAndWhiteAndHalvesMiddleGray) {
  int inked = 0;
  for (uint32_t y = 0; y < 8; ++y) {
    for (uint32_t x = 0; x < 8; ++x) {
      EXPECT_TRUE(host::InkAt(0, x, y));
      EXPECT_FALSE(host::InkAt(255, x, y));
      inked += host::InkAt(128, x, y) ? 1 : 0;
    }
  }
  EXPECT_EQ(inked, 32);
}

// The options of a command line after "print", read by the description kavhost parses with.
Result<PrintOptions> ParsePrint(const std::vector<std::string>& args) {
  CLI::App command("", "print");
  PrintOptions options;
  DescribePrintOptions(command, options);
  const Result<CommandLine> line = ParseCommandLine(command, args);
  if (!line) return line.failure();
  return options;
}

std::string OptionsError(const std::vector<std::string>& args) {
  const Result<PrintOptions> options = ParsePrint(args);
  EXPECT_FALSE(options.ok());
  return options ? "" : options.error();
}

TEST(PrintOptionsTest, DefaultsAndEveryOption) {
  const Result<PrintOptions> defaults = ParsePrint({"-o", "job.bin"});
  ASSERT_TRUE(defaults.ok()) << defaults.error();
  EXPECT_TRUE(defaults->picture.empty());
  EXPECT_EQ(defaults->mode, host::ColorMode::kColor);
  EXPECT_EQ(defaults->dpi, 600u);
  EXPECT_EQ(defaults->paper.name, "A4");
  EXPECT_EQ(defaults->bandHeight, 128u);
  EXPECT_FALSE(defaults->osVersion);
  const Result<PrintOptions> options =
      ParsePrint({"page.pbm", "-o", "j", "--mode=mono", "--dpi", "300", "--paper", "B5", "--orientation", "landscape",
                  "--rotate180", "--band-height", "7", "--os-version", "5.0", "--plugin", "x.so"});
  ASSERT_TRUE(options.ok()) << options.error();
  EXPECT_EQ(options->picture, "page.pbm");
  EXPECT_EQ(options->mode, host::ColorMode::kMono);
  EXPECT_EQ(options->dpi, 300u);
  EXPECT_EQ(options->paper.widthTenths, 1820);
  EXPECT_TRUE(options->landscape);
  EXPECT_TRUE(options->rotate180);
  EXPECT_EQ(options->bandHeight, 7u);
  EXPECT_EQ(options->osVersion, std::make_pair(5u, 0u));
  EXPECT_EQ(options->plugin, "x.so");
}

TEST(PrintOptionsTest, BadOptionsAreNamed) {
  EXPECT_EQ(OptionsError({}), "print needs -o JOB");
  EXPECT_EQ(OptionsError({"-o", "j", "--mode", "sepia"}), "--mode must be mono, gray or color");
  EXPECT_EQ(OptionsError({"-o", "j", "--dpi", "600x"}), "--dpi must be a whole number from 50 to 4800");
  EXPECT_EQ(OptionsError({"-o", "j", "--dpi", "10"}), "--dpi must be a whole number from 50 to 4800");
  EXPECT_EQ(OptionsError({"-o", "j", "--band-height", "0"}),
            "--band-height must be a whole number of rows from 1 to 65535");
  EXPECT_EQ(OptionsError({"-o", "j", "--os-version", "6"}), "--os-version must be MAJOR.MINOR, as 5.0 or 6.1");
  EXPECT_EQ(OptionsError({"-o", "j", "--orientation", "up"}), "--orientation must be portrait or landscape");
  EXPECT_EQ(OptionsError({"-o", "j", "--colour"}), "unknown option --colour");
  EXPECT_EQ(OptionsError({"-o"}), "option -o needs a value");
  EXPECT_EQ(OptionsError({"-o", "j", "-o", "k"}), "option -o given twice");
  EXPECT_EQ(OptionsError({"-o", "j", "--dpi"}), "option --dpi needs a value");
  EXPECT_EQ(OptionsError({"--output", "j", "-o", "k"}), "option -o given twice");
  EXPECT_EQ(OptionsError({"a.pbm", "b.pbm", "-o", "j"}), "print takes one PICTURE: b.pbm is one too many");
  EXPECT_NE(OptionsError({"-o", "j", "--paper", "A9"}).find("unknown paper"), std::string::npos);
}

}  // namespace
}  // namespace kav::tools
