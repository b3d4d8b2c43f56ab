// `kavhost print` by its parts: the printer description, the page layout,
// the host's bands, the options, and the job another description makes.
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
#include "job/job_reader.h"
#include "kavhost/pages.h"
#include "kavhost/print_command.h"

namespace kav::tools {
namespace {

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
  // A size that is no sheet is a custom size within the description's range.
  const auto small = ParsePaper("40x30");
  ASSERT_FALSE(small.ok());
  EXPECT_NE(small.error().find("custom sizes are " + host::ActivePrinterDescription().customSize()->RangeText()),
            std::string::npos)
      << small.error();
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
  const auto unoffered = host::ComputeLayout(host::Paper{"A4", 2100, 2970}, 150, false);
  ASSERT_FALSE(unoffered.ok());
  EXPECT_NE(unoffered.error().find("no resolution of 150 dpi"), std::string::npos) << unoffered.error();
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
        *MinSize: PAIR(1200, 1200)
        *MaxSize: PAIR(15600, 56692)
        *CustPrintableOriginX: %d{200}
        *CustPrintableOriginY: %d{200}
        *CustPrintableSizeX: %d{(PhysPaperWidth - 400)}
        *CustPrintableSizeY: %d{PhysPaperLength - 2 * 200}
    }
}
)";

std::string Changed(std::string_view from, std::string_view to, std::string_view base = kSmallDescription) {
  std::string text(base);
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
  const auto outside = read->Layout({"custom", 250, 300}, 300, false);
  ASSERT_FALSE(outside.ok());
  EXPECT_NE(outside.error().find("its custom sizes are 25.4 x 25.4 to 330.2 x 1200 mm"), std::string::npos)
      << outside.error();
  EXPECT_EQ(read->NameIds(), (std::vector<uint32_t>{344}));
  // What the default options select.
  EXPECT_EQ(read->defaults().mode, host::ColorMode::kMono);
  EXPECT_EQ(read->defaults().dpi, 300u);
  EXPECT_EQ(read->defaults().paper.name, "A4");
  EXPECT_FALSE(read->defaults().landscape);
  // A surface wider than an image record holds is refused.
  const auto wide = host::PrinterDescription::FromText(
      Changed("*DPI: PAIR(300, 300)", "*DPI: PAIR(600, 600)",
              Changed("*MaxSize: PAIR(15600, 56692)", "*MaxSize: PAIR(154803, 56692)")),
      "wide.gpd");
  ASSERT_TRUE(wide.ok()) << wide.error();
  const auto tooWide = wide->Layout({"long", 30000, 1000}, 600, false);
  ASSERT_FALSE(tooWide.ok());
  EXPECT_NE(tooWide.error().find("at most 65504"), std::string::npos) << tooWide.error();
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
      {Changed("*MinSize: PAIR(1200, 1200)", "*MinSize: PAIR(24, 1200)"),
       "*Option: the custom sizes lie from *MinSize"},
      {std::string(kSmallDescription) +
           "*Feature: Rotation\n{\n*FeatureType: DOC_PROPERTY\n*DefaultOption: ON\n*Option: ON\n{\n}\n}\n",
       "*Feature: the plug-in reads Rotation as TRUE or FALSE"},
      {Changed("*DefaultOption: A4", "*DefaultOption: CUSTOMSIZE"),
       "small.gpd: the default paper size is a sheet, which the custom size is not"},
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
  // Unset, they are the description's defaults.
  EXPECT_FALSE(defaults->mode || defaults->dpi || defaults->paper || defaults->landscape);
  EXPECT_EQ(defaults->bandHeight, 128u);
  EXPECT_FALSE(defaults->osVersion);
  const Result<PrintOptions> options =
      ParsePrint({"page.pbm", "-o", "j", "--mode=mono", "--dpi", "300", "--paper", "B5", "--orientation", "landscape",
                  "--rotate180", "--band-height", "7", "--os-version", "5.0", "--plugin", "x.so"});
  ASSERT_TRUE(options.ok()) << options.error();
  EXPECT_EQ(options->picture, "page.pbm");
  EXPECT_EQ(options->mode, host::ColorMode::kMono);
  EXPECT_EQ(options->dpi, 300u);
  EXPECT_EQ(options->paper->widthTenths, 1820);
  EXPECT_TRUE(options->landscape);
  EXPECT_TRUE(options->rotate180);
  EXPECT_EQ(options->bandHeight, 7u);
  EXPECT_EQ(options->osVersion, std::make_pair(5u, 0u));
  EXPECT_EQ(options->plugin, "x.so");
}

TEST(PrintOptionsTest, BadOptionsAreNamed) {
  EXPECT_EQ(OptionsError({}), "print needs -o JOB");
  // A value no option of the description stands for is refused with the
  // options it has.
  const auto packaged = host::PrinterDescription::Read(host::ProgramDescription());
  ASSERT_TRUE(packaged.ok()) << packaged.error();
  EXPECT_EQ(OptionsError({"-o", "j", "--mode", "sepia"}),
            "--mode must be a colour mode of the printer description: " + packaged->ColorModeList());
  for (const char* dpi : {"600x", "150", "0600"}) {
    EXPECT_EQ(OptionsError({"-o", "j", "--dpi", dpi}),
              "--dpi must be a resolution of the printer description: " + packaged->ResolutionList());
  }
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

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// `text` with each of the `times` places of `from` made `to`.
std::string Replaced(std::string text, std::string_view from, std::string_view to, size_t times) {
  size_t found = 0;
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
    ++found;
  }
  EXPECT_EQ(found, times) << from;
  return text;
}

// Commands of the job and the document around its pages, two of them
// literal: byte 2B (the code id 227 sends) and "Ec" 01 00 (id 200 in
// monochrome).
constexpr std::string_view kJobCommands = R"(*Command: CmdStartJob
{
    *Order: JOB_SETUP.1
    *Cmd: "<2B>"
}
*Command: CmdStartDoc
{
    *Order: DOC_SETUP.1
    *CallbackID: 228
}
*Command: CmdEndDoc
{
    *Order: DOC_FINISH.1
    *CallbackID: 229
}
*Command: CmdEndJob
{
    *Order: JOB_FINISH.1
    *Cmd: "Ec" "<01 00>"
}
)";

// A sheet of 150 x 150 mm with margins of its own: 300 units (a quarter
// inch) left, 360 at the top.
constexpr std::string_view kSquareSheet = R"(    *Option: Square150
    {
        *Name: "150 x 150 mm"
        *PageDimensions: PAIR(7087, 7087)
        *PrintableOrigin: PAIR(300, 360)
        *PrintableArea: PAIR(6487, 6367)
        *Command: CmdSelect
        {
            *Order: PAGE_SETUP.3
            *CallbackID: 248
            *Params: LIST(PhysPaperWidth, PhysPaperLength)
        }
    }
)";

// The packaged description as a driver team may change it: commands of the
// job and the document, the colour mode's command after the placement
// (order 5, not 2), gray at 300 dpi by default, and a sheet of its own.
std::string OtherDescription() {
  std::string text = ReadText(host::ProgramDescription());
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());  // its lines end in CR LF, as Windows's do
  text = Replaced(text, "*PrinterType: PAGE\n", "*PrinterType: PAGE\n" + std::string(kJobCommands), 1);
  text = Replaced(text, "*Order: PAGE_SETUP.2\n", "*Order: PAGE_SETUP.5\n", 3);
  text = Replaced(text, "*DefaultOption: Color\n", "*DefaultOption: Gray\n", 1);
  text = Replaced(text, "*DefaultOption: DPI600\n", "*DefaultOption: DPI300\n", 1);
  return Replaced(text, "    *Option: CUSTOMSIZE\n", std::string(kSquareSheet) + "    *Option: CUSTOMSIZE\n", 1);
}

struct PrintedJob {
  host::Bytes bytes;
  std::vector<JobItem> items;

  host::Bytes Of(const JobItem& item) const {
    return host::Bytes(bytes.begin() + item.offset, bytes.begin() + item.offset + item.length);
  }
};

// The job `kavhost print` makes with `args`, read back.
PrintedJob PrintedWith(std::vector<std::string> args) {
  args.insert(args.end(), {"-o", "printed.job"});
  PrintedJob job;
  const Result<PrintOptions> options = ParsePrint(args);
  EXPECT_TRUE(options.ok()) << options.error();
  if (!options) return job;
  std::ostringstream out, err;
  const Status printed = RunPrint(*options, out, err);
  EXPECT_TRUE(printed.ok()) << printed.error();
  const std::string text = ReadText("printed.job");
  std::remove("printed.job");
  job.bytes.assign(text.begin(), text.end());
  const JobReading reading = ReadJob(job.bytes.data(), job.bytes.size());
  EXPECT_TRUE(reading.status.ok()) << reading.status.error();
  job.items = reading.items;
  return job;
}

void Append(host::Bytes& to, const host::Bytes& bytes) { to.insert(to.end(), bytes.begin(), bytes.end()); }

// Another description changes the job exactly as it says: its commands of
// the job and the document where their sections are, its page commands in
// its order, its defaults, and its own sheet with its printable area.
TEST(PrinterDescriptionTest, AnotherDescriptionChangesTheJobAsItSays) {
  {
    std::ofstream file("other.gpd", std::ios::binary | std::ios::trunc);
    file << OtherDescription();
  }
  const PrintedJob packaged = PrintedWith({"--mode", "gray", "--dpi", "300", "--paper", "A4"});
  const PrintedJob other = PrintedWith({"--gpd", "other.gpd", "--paper", "A4"});
  ASSERT_GE(packaged.items.size(), 6u);
  const std::vector<JobItem>& page = packaged.items;
  ASSERT_EQ(page[0].kind, ItemKind::kFbed);
  ASSERT_EQ(page[1].kind, ItemKind::kEc);
  ASSERT_EQ(page[2].kind, ItemKind::kPaper);
  ASSERT_EQ(page[3].kind, ItemKind::kPlacement);
  ASSERT_EQ(page.back().kind, ItemKind::kEndPage);
  host::Bytes expected = {0x2B, 0x25};  // the literal JOB_SETUP byte, then callback 228 of DOC_SETUP
  for (size_t i : {0, 2, 3, 1}) Append(expected, packaged.Of(page[i]));
  expected.insert(expected.end(), packaged.bytes.begin() + static_cast<ptrdiff_t>(page[4].offset),
                  packaged.bytes.end());           // the bands, then "EB"
  Append(expected, {0x27, 'E', 'c', 0x01, 0x00});  // callback 229 of DOC_FINISH, the literal of JOB_FINISH
  EXPECT_EQ(other.bytes.size(), expected.size());
  EXPECT_TRUE(other.bytes == expected);

  // Its own sheet: 150 x 150 mm, 1771 pixels at 300 dpi; the printable area
  // 75 pixels in and 90 down, 1621 x 1591 pixels.
  const PrintedJob square = PrintedWith({"--gpd", "other.gpd", "--paper", "square150", "--mode", "mono"});
  ASSERT_GE(square.items.size(), 7u);
  EXPECT_EQ(square.items[3].kind, ItemKind::kPaper);
  EXPECT_EQ(square.items[3].values[0], 150.0f);
  EXPECT_EQ(square.items[3].values[1], 150.0f);
  ASSERT_EQ(square.items[4].kind, ItemKind::kPlacement);
  EXPECT_EQ(square.items[4].values[4], 18.0f);
  EXPECT_EQ(square.items[4].values[5], static_cast<float>((1771 - 90) / 300.0 * 72.0));
  EXPECT_EQ(square.items[5].kind, ItemKind::kEc);
  EXPECT_EQ(square.items[5].colour, 1);
  uint32_t rows = 0;
  for (const JobItem& item : square.items) {
    if (item.kind != ItemKind::kRecord) continue;
    EXPECT_EQ(item.record.width, 1632u);  // 1621 pixels in whole 32-pixel units
    rows += item.record.height;
  }
  EXPECT_EQ(rows, 1591u);
  EXPECT_NE(OptionsError({"-o", "j", "--paper", "square150"}).find("unknown paper"), std::string::npos);
  std::remove("other.gpd");
}

}  // namespace
}  // namespace kav::tools
