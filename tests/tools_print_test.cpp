// `kavhost print` by its parts: the packaged printer description, the page
// layout, the host's bands, the options, and the job it prints against the
// one the built-in description it replaced printed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>

#include "host/band_builder.h"
#include "host/plugin_library.h"
#include "host/printer_description.h"
#include "host/render_session.h"
#include "kavhost/pages.h"
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

// A small description every part of which the host reads; each bad case
// below changes one line of it.
constexpr std::string_view kSmallDescription = R"(*% A small printer
*GPDSpecVersion: "1.0"
*MasterUnits: PAIR(1200, 1200)
*ResourceDLL: "kavui.dll"
*PrinterType: PAGE
*Command: CmdStartPage
{
    *Order: PAGE_SETUP.1
    *CallbackID: 260
}
*Command: CmdEndPage
{
    *Order: PAGE_FINISH.1
    *Cmd: "E" "<42>"
}
*Feature: ColorMode
{
    *DefaultOption: Mono
    *Option: Mono
    {
        *Color?: FALSE
        *DevNumOfPlanes: 0
        *DevBPP: 0
        *DrvBPP: 1
        *IPCallbackID: 3
    }
}
*Feature: Resolution
{
    *DefaultOption: DPI300
    *Option: DPI300
    {
        *DPI: PAIR(300, 300)
    }
}
*Feature: Orientation
{
    *DefaultOption: PORTRAIT
    *Option: PORTRAIT
    {
        *Name: "Portrait"
    }
}
*Feature: PaperSize
{
    *rcNameID: 344
    *DefaultOption: A4
    *Option: A4
    {
        *PrintableOrigin: PAIR(200, 200)
        *PrintableArea: PAIR(9521, 13631)
        *Command: CmdSelect
        {
            *Order: PAGE_SETUP.2
            *CallbackID: 248
            *Params: LIST(PhysPaperWidth, PhysPaperLength)
        }
    }
    *Option: CUSTOMSIZE
    {
        *MinSize: PAIR(2400, 2400)
        *MaxSize: PAIR(15600, 56692)
        *CustPrintableOriginX: %d{200}
        *CustPrintableOriginY: %d{200}
        *CustPrintableSizeX: %d{(PhysPaperWidth - 400)}
        *CustPrintableSizeY: %d{PhysPaperLength - 2 * 200}
    }
}
)";

std::string Changed(std::string_view from, std::string_view to) {
  std::string text(kSmallDescription);
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

TEST(PrinterDescriptionTest, TheSmallDescriptionReadsWhole) {
  const auto read = host::PrinterDescription::FromText(kSmallDescription, "small.gpd");
  ASSERT_TRUE(read.ok()) << read.error();
  const host::DeviceSettings settings{host::ColorMode::kMono, {"A4", 2100, 2970}, 300, false, false};
  const auto start = read->Commands(host::Section::kPageSetup, settings);
  const auto end = read->Commands(host::Section::kPageFinish, settings);
  ASSERT_TRUE(start.ok() && end.ok());
  ASSERT_EQ(start->size(), 2u);
  EXPECT_EQ(start->at(1).callbackId, 248u);
  const auto sheet = read->SheetOf(settings.paper);
  ASSERT_TRUE(sheet.ok());
  EXPECT_EQ(host::PrinterDescription::ParamValues(start->at(1), *sheet), (std::vector<uint32_t>{9921, 14031}));
  ASSERT_EQ(end->size(), 1u);
  EXPECT_EQ(end->front().bytes, "EB");
  const auto custom = read->Layout({"custom", 400, 300}, 300, false);
  ASSERT_TRUE(custom.ok()) << custom.error();
  EXPECT_EQ(custom->surfaceWidth, 372u);  // (1889 - 400) units at 4 a pixel
  EXPECT_EQ(custom->surfaceHeight, 254u);
  EXPECT_EQ(read->NameIds(), (std::vector<uint32_t>{344}));
}

// Whatever a file holds, the host reads what it knows and refuses the rest
// with the file, the line and the construct named.
TEST(PrinterDescriptionTest, WhatTheHostDoesNotReadIsRefusedWithItsPlace) {
  const std::string big(host::gpd::kMaxFileBytes + 1, ' ');
  std::string deep(kSmallDescription);
  for (int i = 0; i <= host::gpd::kMaxNesting; ++i) deep += "*Feature: Deep\n{\n";
  std::string options = "*Feature: Many\n{\n*FeatureType: DOC_PROPERTY\n*DefaultOption: O0\n";
  for (int i = 0; i <= 256; ++i) options += "*Option: O" + std::to_string(i) + "\n{\n}\n";
  options += "}\n";
  const struct {
    std::string text;
    std::string message;
  } cases[] = {
      {Changed("*PrinterType: PAGE", "*Include: \"StdNames.gpd\""),
       "small.gpd: line 5: *Include: not read by this host"},
      {Changed("*PrinterType: PAGE", "*PrinterType: SERIAL"), "line 5: *PrinterType: the host prints page printers"},
      {Changed("*PrinterType: PAGE", "*Switch: Resolution\n{\n}"), "line 5: *Switch: not read by this host"},
      {Changed("*PrinterType: PAGE", "PrinterType: PAGE"), "line 5: not a statement: \"PrinterType: PAGE\""},
      {Changed("*PrinterType: PAGE", "+ \"more\""), "line 5: a value continued on a '+' line is not read"},
      {Changed("*MasterUnits: PAIR(1200, 1200)", "*MasterUnits: PAIR(1200, 600)"),
       "line 3: *MasterUnits: the host takes equal"},
      {Changed("*MasterUnits: PAIR(1200, 1200)", "*MasterUnits: 1200"), "line 3: *MasterUnits: expected PAIR(...)"},
      {Changed("*MasterUnits: PAIR(1200, 1200)", ""), "small.gpd: no *MasterUnits"},
      {Changed("*ResourceDLL: \"kavui.dll\"", ""), "*rcNameID: a string id needs the *ResourceDLL"},
      {Changed("*GPDSpecVersion: \"1.0\"", "*GPDSpecVersion: \"1.0"), "line 2: *GPDSpecVersion: a string without its"},
      {Changed("*GPDSpecVersion: \"1.0\"", "*GPDSpecVersion: \"1.0\"\n*GPDSpecVersion: \"1.0\""),
       "line 3: *GPDSpecVersion: given twice"},
      {Changed("*CallbackID: 260", "*CallbackID: 260\n    *Cmd: \"FBED\""), "line 6: *Command: a command is either"},
      {Changed("*CallbackID: 260", "*CallbackID: -1"), "line 9: *CallbackID: a callback id is 0 or more"},
      {Changed("*Order: PAGE_SETUP.1", "*Order: PAGE_START.1"), "line 8: *Order: expected SECTION.NUMBER"},
      {Changed("*Order: PAGE_SETUP.1", "*Order: PAGE_SETUP.2"),
       "line 44: *Feature: PaperSize's command takes the place of CmdStartPage's (PAGE_SETUP.2)"},
      {Changed("*Order: PAGE_SETUP.1\n", ""), "line 6: *Command: CmdStartPage has no *Order"},
      {Changed("*Cmd: \"E\" \"<42>\"", "*Cmd: \"E\" %d{NumOfCopies}"), "line 14: *Cmd: text between the strings"},
      {Changed("*Cmd: \"E\" \"<42>\"", "*Cmd: \"E%d\""), "line 14: *Cmd: '%' in a string"},
      {Changed("*Cmd: \"E\" \"<42>\"", "*Cmd: \"<4>\""), "line 14: *Cmd: an odd number of hex digits"},
      {Changed("*Cmd: \"E\" \"<42>\"", "*Cmd: \"<4G>\""), "line 14: *Cmd: not a hex digit"},
      {Changed("*Command: CmdEndPage", "*Command: CmdFormFeed"), "line 11: *Command: the host sends CmdStartJob"},
      {Changed("*IPCallbackID: 3", "*IPCallbackID: 3\n        *PaletteSize: 2"),
       "line 26: *PaletteSize: not read by this host"},
      {Changed("*DevBPP: 0", "*DevBPP: 1"), "line 19: *Option: the host hands every band to the plug-in"},
      {Changed("*DrvBPP: 1", "*DrvBPP: 4"), "line 19: *Option: the host renders 1-bit and 8-bit bands"},
      {Changed("*DrvBPP: 1\n", ""), "line 19: *Option: Mono has no *DrvBPP"},
      {Changed("*Color?: FALSE", "*Color?: NO"), "line 21: *Color?: expected TRUE or FALSE"},
      {Changed("*DPI: PAIR(300, 300)", "*DPI: PAIR(300, 600)"), "*Option: the host prints at equal resolutions"},
      {Changed("*DPI: PAIR(300, 300)", "*DPI: PAIR(500, 500)"), "*Option: the master units are no multiple"},
      {Changed("*DefaultOption: DPI300", "*DefaultOption: DPI600"), "*Feature: the default option DPI600 is none"},
      {Changed("*DefaultOption: DPI300", "*DefaultOption: =DEFAULT"), "*DefaultOption: macro references"},
      {Changed("*Option: PORTRAIT", "*Option: UPSIDE_DOWN"), "*Option: an orientation is PORTRAIT"},
      {Changed("*Name: \"Portrait\"", "*Name: Portrait"), "*Name: expected a quoted string"},
      {Changed("*Feature: Orientation", "*Feature: Staple"), "*Feature: Staple is no feature this host knows"},
      {Changed("*Feature: Resolution", "*Feature: ColorMode"), "*Feature: ColorMode is described twice"},
      {Changed("*Feature: Orientation", "*Feature: Halftone"), "*Option: the host dithers with one pattern"},
      {Changed("        *PrintableOrigin: PAIR(200, 200)\n", ""), "*Option: A4 has no *PrintableOrigin"},
      {Changed("PAIR(9521, 13631)", "PAIR(9722, 13631)"),
       "*Option: the printable area of A4 does not lie on the sheet"},
      {Changed("    *Option: A4\n", "    *Option: Postcard\n"), "*Option: Postcard has no *PageDimensions"},
      {Changed("    *Option: A4\n    {\n", "    *Option: A4\n    {\n        *PageDimensions: PAIR(9921, 14031)\n"),
       "*Option: A4 is a standard sheet"},
      {Changed("*Params: LIST(PhysPaperWidth, PhysPaperLength)", "*Params: LIST(NumOfCopies)"),
       "*Params: the host supplies"},
      {Changed("*CallbackID: 260", "*CallbackID: 248"), "*Command: callback 248 is bound elsewhere with other *Params"},
      {Changed("%d{(PhysPaperWidth - 400)}", "%d{(PhysPaperWidth - 400}"),
       "*CustPrintableSizeX: a '(' without its ')'"},
      {Changed("%d{(PhysPaperWidth - 400)}", "%d{PaperWidth}"), "*CustPrintableSizeX: the variable \"PaperWidth\""},
      {Changed("%d{(PhysPaperWidth - 400)}", "%d{PhysPaperWidth / 0}"),
       "*Option: the custom size's printable area: the expression divides by zero"},
      {Changed("%d{(PhysPaperWidth - 400)}", "%d{PhysPaperWidth + 400}"),
       "*Option: paper custom leaves no printable area"},
      {Changed("%d{(PhysPaperWidth - 400)}", "(PhysPaperWidth - 400)"), "*CustPrintableSizeX: expected %d{expression}"},
      {Changed("*MinSize: PAIR(2400, 2400)", "*MinSize: PAIR(24, 2400)"),
       "*Option: the custom sizes lie from *MinSize"},
      {Changed("*Feature: Orientation\n{", "*Feature: Orientation\n{\n{"), "a block that follows no statement"},
      {Changed("*Feature: Orientation\n{", "*Feature: Orientation\n{ x"), "text after '{'"},
      {Changed("*Feature: Orientation\n{", "}\n*Feature: Orientation\n{"), "a '}' that closes no block"},
      {std::string(kSmallDescription) + "*Feature: Open\n{\n", "the block opened here is not closed"},
      {Changed("*PrinterType: PAGE", std::string("*PrinterType: PAGE\0", 19)), "holds a NUL byte"},
      {big, "more than 1048576 bytes"},
      {deep, "blocks nested more than 8 deep"},
      {std::string(kSmallDescription) + options, "*Option: more than 256 options"},
      {Changed("*Feature: Orientation\n{", "*Feature: Turning\n{\n    *FeatureType: DOC_PROPERTY"),
       "small.gpd: no *Feature: Orientation"},
  };
  for (const auto& c : cases) {
    const auto read = host::PrinterDescription::FromText(c.text, "small.gpd");
    ASSERT_FALSE(read.ok()) << c.message;
    EXPECT_NE(read.error().find(c.message), std::string::npos) << read.error() << "\nwanted: " << c.message;
  }
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

// The job of the sample page as the built-in description printed it, in
// code: a sixth of an inch of margin, dmColor 2 for colour alone, the
// "Orientation" and "Rotation" settings, 260, 204, the sheet's command and
// 250 before the bands (callback 3, 1 or 2 by mode), 270 after them.
host::Bytes PrintByTheBuiltInDescription(host::ColorMode mode, const host::Paper& paper, uint32_t dpi, bool landscape,
                                         bool rotate180) {
  host::RenderSession session;
  std::string error;
  EXPECT_TRUE(session.Open(host::PluginBesideProgram("kavrender"), error)) << error;
  const uint32_t margin = dpi / 6;
  const uint32_t sheetWidth = static_cast<uint32_t>((uint64_t{uint32_t(paper.widthTenths)} * dpi * 10 + 5) / 2540);
  const uint32_t sheetLength = static_cast<uint32_t>((uint64_t{uint32_t(paper.lengthTenths)} * dpi * 10 + 5) / 2540);
  const uint32_t width = (landscape ? sheetLength : sheetWidth) - 2 * margin;
  const uint32_t height = (landscape ? sheetWidth : sheetLength) - 2 * margin;
  DEVMODEW& devmode = session.devmode();
  devmode.dmColor = mode == host::ColorMode::kColor ? 2 : 1;
  devmode.dmPaperWidth = static_cast<short>(paper.widthTenths);
  devmode.dmPaperLength = static_cast<short>(paper.lengthTenths);
  devmode.dmPrintQuality = devmode.dmYResolution = static_cast<short>(dpi);
  GDIINFO& gdi = session.gdiInfo();
  gdi.ulLogPixelsX = gdi.ulLogPixelsY = dpi;
  gdi.ulHorzRes = width;
  gdi.ulVertRes = height;
  gdi.ptlPhysOffset = {static_cast<LONG>(margin), static_cast<LONG>(margin)};
  gdi.szlPhysSize = {static_cast<LONG>(sheetWidth), static_cast<LONG>(sheetLength)};
  session.helper().SetSetting("Orientation", landscape ? "LANDSCAPE_CC270" : "PORTRAIT");
  session.helper().SetSetting("Rotation", rotate180 ? "TRUE" : "FALSE");
  EXPECT_TRUE(SUCCEEDED(session.EnableDevice()));
  for (uint32_t id : {260u, 204u, BuiltInSheetCommand(paper), 250u}) session.Command(id);
  const uint32_t callback = mode == host::ColorMode::kMono ? 3 : mode == host::ColorMode::kGray ? 1 : 2;
  const SamplePage page(width, height, dpi);
  host::HostBand band;
  for (uint32_t top = 0; top < height; top += 128) {
    host::BuildBand(page, mode, top, std::min(128u, height - top), dpi, band);
    IPPARAMS params{};
    params.dwSize = sizeof(IPPARAMS);
    params.ptOffset = {0, static_cast<LONG>(top)};
    params.bBanding = TRUE;
    params.bBlankBand = band.blank ? TRUE : FALSE;
    session.Band(callback, band.header, band.bits.data(), params);
  }
  session.Command(270);
  session.DisableDevice();
  return session.helper().Job();
}

host::Bytes ReadJobFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  const std::string text = bytes.str();
  return host::Bytes(text.begin(), text.end());
}

// What Windows is to send with the packaged description is what the host
// sent before it read it: the same page makes the same job, byte for byte.
TEST(PrinterDescriptionTest, ThePackagedDescriptionPrintsTheBuiltInDescriptionsJobs) {
  const struct {
    const char* mode;
    host::ColorMode kind;
    const char* paper;
    uint32_t dpi;
    bool turned;
  } cases[] = {
      {"mono", host::ColorMode::kMono, "A5", 300, false},      {"gray", host::ColorMode::kGray, "A5", 300, false},
      {"color", host::ColorMode::kColor, "A5", 300, false},    {"color", host::ColorMode::kColor, "Letter", 300, true},
      {"gray", host::ColorMode::kGray, "98x148", 600, true},   {"mono", host::ColorMode::kMono, "114x162", 600, false},
      {"color", host::ColorMode::kColor, "40x30", 300, false}, {"mono", host::ColorMode::kMono, "100.5x150", 300, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.mode) + " " + c.paper + " at " + std::to_string(c.dpi) + (c.turned ? ", turned" : ""));
    std::vector<std::string> args = {"-o",      "described.job", "--mode", c.mode,
                                     "--paper", c.paper,         "--dpi",  std::to_string(c.dpi)};
    if (c.turned) args.insert(args.end(), {"--orientation", "landscape", "--rotate180"});
    const Result<PrintOptions> options = ParsePrint(args);
    ASSERT_TRUE(options.ok()) << options.error();
    std::ostringstream out, err;
    const Status printed = RunPrint(*options, out, err);
    ASSERT_TRUE(printed.ok()) << printed.error();
    const host::Bytes described = ReadJobFile("described.job");
    const host::Bytes builtIn = PrintByTheBuiltInDescription(c.kind, options->paper, c.dpi, c.turned, c.turned);
    ASSERT_EQ(described.size(), builtIn.size());
    const auto differ = std::mismatch(described.begin(), described.end(), builtIn.begin());
    EXPECT_TRUE(differ.first == described.end()) << "first difference at byte " << (differ.first - described.begin())
                                                 << ": " << int(*differ.first) << " (" << int(*differ.second) << ")";
  }
  std::remove("described.job");
}

}  // namespace
}  // namespace kav::tools
