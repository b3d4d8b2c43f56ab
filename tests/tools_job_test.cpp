// kavjob's reading of a job: every command form and record layout, the
// offsets it names for broken jobs, and the pages it rebuilds.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>

#include "band_fixture.h"
#include "bytes.h"
#include "job/job_inspect.h"
#include "job/kavjob_command.h"
#include "job/page_decoder.h"
#include "render/printer_language.h"
#include "support/picture_codecs.h"

namespace kav::tools {
namespace {

using test::Bytes;
using test::Hex;

void PutU32(Bytes& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}
void PutFloat(Bytes& out, float f) {
  uint32_t bits = 0;
  std::memcpy(&bits, &f, 4);
  PutU32(out, bits);
}

struct Record {
  float originX = 0;
  float originY = 0;
  uint16_t width = 0;
  uint16_t height = 0;
  uint8_t colorSpace = 3;
  uint8_t bits = 8;
  uint8_t compression = 1;
  Bytes data;
};

// The common 48-byte header (no extension, no table) and the data.
Bytes RecordBytes(const Record& r) {
  Bytes out = {0x43, 0x71};
  PutFloat(out, r.originX);
  PutFloat(out, r.originY);
  for (float t : {1.f, 0.f, 0.f, 1.f, 0.f, 0.f}) PutFloat(out, t);
  out.insert(out.end(), {static_cast<uint8_t>(r.width >> 8), static_cast<uint8_t>(r.width),
                         static_cast<uint8_t>(r.height >> 8), static_cast<uint8_t>(r.height)});
  out.insert(out.end(), {1, 2, r.colorSpace, 1, r.bits, r.compression});
  PutU32(out, static_cast<uint32_t>(r.data.size()));
  out.insert(out.end(), r.data.begin(), r.data.end());
  return out;
}

Bytes Join(const std::vector<Bytes>& parts) { return test::Concat(parts); }

JobReading Read(const Bytes& job) { return ReadJob(job.data(), job.size()); }

const Bytes kA4Paper = Hex("51 43520000 43948000");  // 210 x 297 mm
// The placement of A4 portrait at 600 dpi with the printable area 100 pixels in.
const Bytes kPlacement600 = Hex("4161 3DF5C28F 00000000 00000000 BDF5C28F 41400000 444F7333");

TEST(JobReaderTest, ReadsEveryCommandFormWithItsFields) {
  const Bytes job = Join({Hex("46424544"), Hex("4563 02 14"), kA4Paper, Hex("2B 45"), kPlacement600, Hex("4542")});
  const JobReading reading = Read(job);
  ASSERT_TRUE(reading.status.ok()) << reading.status.error();
  ASSERT_EQ(reading.items.size(), 7u);
  EXPECT_EQ(reading.items[0].kind, ItemKind::kFbed);
  EXPECT_EQ(reading.items[1].kind, ItemKind::kEc);
  EXPECT_EQ(reading.items[1].colour, 2);
  EXPECT_EQ(reading.items[1].code, 0x14);
  EXPECT_EQ(reading.items[2].kind, ItemKind::kPaper);
  EXPECT_EQ(reading.items[2].values[0], 210.0f);
  EXPECT_EQ(reading.items[2].values[1], 297.0f);
  EXPECT_EQ(reading.items[3].kind, ItemKind::kCode);
  EXPECT_EQ(reading.items[3].offset, 17u);
  EXPECT_EQ(reading.items[4].code, 0x45);  // id 313, not the start of "Ec" or "EB"
  EXPECT_EQ(reading.items[5].kind, ItemKind::kPlacement);
  EXPECT_EQ(reading.items[5].values[3], -0.12f);
  EXPECT_EQ(reading.items[6].kind, ItemKind::kEndPage);
  EXPECT_EQ(reading.items[6].offset, job.size() - 2);
  EXPECT_EQ(DescribeItem(reading.items[1]), "4\tEc\tcolour 2 code 0x14 (id 204)");
  EXPECT_EQ(DescribeItem(reading.items[3]), "17\tcode\t0x2b (id 227)");
  EXPECT_EQ(DescribeItem(reading.items[4]), "18\tcode\t0x45 (id 313)");
  EXPECT_EQ(DescribeItem(reading.items[5]), "19\tAa\t0.12 0 0 -0.12 12 829.8 (600 dpi, portrait)");
}

TEST(JobReaderTest, TheLetterEIsTheCodeOf313UnlessEcOrEbFollows) {
  // 313 then 245 ('E' 'c') followed by a command: two codes, not an Ec command.
  const JobReading codes = Read(Hex("45 63 2B"));
  ASSERT_TRUE(codes.status.ok()) << codes.status.error();
  ASSERT_EQ(codes.items.size(), 3u);
  EXPECT_EQ(codes.items[1].code, 0x63);
  // Colour byte 1 after "Ec" makes it the Ec form, whose code must be known.
  const JobReading unknown = Read(Hex("45 63 01 99"));
  EXPECT_FALSE(unknown.status.ok());
  EXPECT_EQ(unknown.status.error(), "byte 0: Ec command with the unknown code 0x99");
  EXPECT_EQ(SingleCodeIds(0x51), "248 or 323 to 328");
  EXPECT_EQ(EcCodeIds(0x04), "207 or 209");
}

TEST(JobReaderTest, ReadsTheGeneralRecordLayout) {
  Bytes job = {0x43, 0x71};
  PutFloat(job, 12.5f);
  PutFloat(job, 600);
  for (float t : {2.f, 0.f, 0.f, 2.f, 1.f, 1.f}) PutFloat(job, t);
  job.insert(job.end(), {0x01, 0x00, 0x00, 0x02});                       // width 256, height 2
  job.insert(job.end(), {2, 9});                                         // extension: code 9,
  PutU32(job, 0xDEADBEEF);                                               // value
  job.insert(job.end(), {2, 8, 7, 0x00, 0x03, 0x00, 0x02, 0xAA, 0xBB});  // colour space 8, table of 2 bytes
  job.insert(job.end(), {1, 8, 1});
  PutU32(job, 3);
  job.insert(job.end(), {1, 2, 3});
  const size_t formatless = job.size();
  // A second record whose format kind ends the header at once: no data follows.
  job.insert(job.end(), {0x43, 0x71});
  for (int i = 0; i < 8; ++i) PutFloat(job, 0);
  job.insert(job.end(), {0, 1, 0, 1, 1, 3});
  const JobReading reading = Read(job);
  ASSERT_TRUE(reading.status.ok()) << reading.status.error();
  ASSERT_EQ(reading.items.size(), 2u);
  const RecordFields& r = reading.items[0].record;
  EXPECT_EQ(r.originX, 12.5f);
  EXPECT_EQ(r.width, 256);
  EXPECT_EQ(r.height, 2);
  EXPECT_EQ(r.extCode, 9);
  EXPECT_EQ(r.extValue, 0xDEADBEEFu);
  EXPECT_EQ(r.colorSpace, 8);
  EXPECT_EQ(r.tableKind, 7);
  EXPECT_EQ(r.tableCount, 3);
  EXPECT_EQ(r.tableLength, 2);
  EXPECT_EQ(job[r.tableOffset], 0xAA);
  EXPECT_EQ(r.dataLength, 3u);
  EXPECT_EQ(r.dataOffset, formatless - 3);
  EXPECT_FALSE(r.IdentityTransform());
  EXPECT_EQ(DescribeItem(reading.items[0]),
            "0\tCq\torigin 12.5,600 transform 2 0 0 2 1 1 size 256x2 ext code 9 value 3735928559 colour-space 8 "
            "table kind 7 count 3 length 2 bits 8 compression 1 data 3 (colour space 8, 8 bits, compression 1)");
  const RecordFields& bare = reading.items[1].record;
  EXPECT_EQ(reading.items[1].offset, formatless);
  EXPECT_EQ(bare.formatKind, 3);
  EXPECT_EQ(reading.items[1].length, 40u);
  EXPECT_EQ(RecordKindName(bare), "without format block");
}

TEST(JobReaderTest, BrokenJobsNameTheOffset) {
  const Bytes record = RecordBytes({0, 0, 4, 1, 3, 8, 1, Hex("01020304")});
  struct Case {
    Bytes job;
    std::string error;
  } cases[] = {
      {Hex("4542 2B 99"), "byte 3: the byte 0x99 is no command the plug-in sends"},
      {Hex("89504E47"), "byte 0: the byte 0x89 is no command the plug-in sends"},
      {Hex("2B 4563 02"), "byte 1: Ec command cut short: the job ends at byte 4 after 3 of its bytes"},
      {Hex("51 43520000 4394"),
       "byte 0: paper size command (0x51 and two sizes) cut short: the job ends at byte 7 after 7 of its bytes"},
      {Hex("4162"), "byte 0: the byte 0x41 starts no command the plug-in sends (\"Aa\" expected)"},
      {Hex("46424558"), "byte 0: the byte 0x46 starts no command the plug-in sends (\"FBED\" expected)"},
      {Hex("2B 4370"), "byte 1: the byte 0x43 starts no command the plug-in sends (\"Cq\" expected)"},
      {Bytes(record.begin(), record.begin() + 40),
       "byte 0: image record header cut short: the job ends at byte 40 after 40 of its bytes"},
      {Bytes(record.begin(), record.end() - 1),
       "byte 0: image record data cut short: 4 bytes declared, the job ends after 3"},
  };
  for (const Case& c : cases) {
    const JobReading reading = Read(c.job);
    EXPECT_FALSE(reading.status.ok()) << c.error;
    EXPECT_EQ(reading.status.error(), c.error);
  }
  // What came before the error is still listed.
  EXPECT_EQ(Read(Hex("4542 2B 99")).items.size(), 2u);
  EXPECT_EQ(Read(Hex("4542 2B 99")).errorOffset, 3u);
}

// A reading of `job` fed to the stream reader in pieces that end at `cuts`.
JobReading ReadInPieces(const Bytes& job, std::vector<size_t> cuts) {
  JobReading reading;
  JobStreamReader stream([&reading](const JobItem& item) { reading.items.push_back(item); });
  cuts.push_back(job.size());
  size_t at = 0;
  for (size_t cut : cuts) {
    stream.Feed(job.data() + at, cut - at);
    at = cut;
  }
  reading.status = stream.Finish();
  return reading;
}

// Everything a reading says of its items, for comparing two readings.
std::string ReadingText(const JobReading& reading) {
  std::string text = reading.status.ok() ? "ok\n" : reading.status.error() + "\n";
  for (const JobItem& item : reading.items) {
    text += DescribeItem(item) + " length " + std::to_string(item.length);
    if (item.kind == ItemKind::kRecord) {
      text +=
          " table at " + std::to_string(item.record.tableOffset) + " data at " + std::to_string(item.record.dataOffset);
    }
    text += "\n";
  }
  return text;
}

// Read as it is spooled, a job gives the items, the fault and its offset
// that reading it whole gives, wherever the writes cut it: every prefix of
// a job of every command form and record layout, in one piece, byte by
// byte, and cut in two at every offset.
TEST(JobReaderTest, ReadingInPiecesAnswersAsReadingWhole) {
  Bytes tabled = {0x43, 0x71};
  for (int i = 0; i < 8; ++i) PutFloat(tabled, 1);
  tabled.insert(tabled.end(), {0x00, 0x02, 0x00, 0x01, 2, 9, 0, 0, 0, 7});  // 2 x 1, extension
  tabled.insert(tabled.end(), {2, 8, 7, 0x00, 0x02, 0x00, 0x03, 0xAA, 0xBB, 0xCC, 1, 8, 1});
  PutU32(tabled, 2);
  tabled.insert(tabled.end(), {0x10, 0x20});
  const Bytes job = Join({Hex("46424544 4563 02 14"), kA4Paper, Hex("2B 45 4563 2B"), kPlacement600,
                          RecordBytes({0, 0, 4, 2, 3, 8, 1, Hex("0102030405060708")}), tabled,
                          RecordBytes({0, 2, 4, 1, 3, 8, 1, Bytes()}), Hex("4542 45")});
  ASSERT_TRUE(Read(job).status.ok()) << Read(job).status.error();
  for (size_t length = 0; length <= job.size(); ++length) {
    const Bytes prefix(job.begin(), job.begin() + static_cast<std::ptrdiff_t>(length));
    const std::string whole = ReadingText(Read(prefix));
    ASSERT_EQ(ReadingText(ReadInPieces(prefix, {})), whole) << "prefix " << length;
    std::vector<size_t> everyByte;
    for (size_t cut = 1; cut < length; ++cut) everyByte.push_back(cut);
    ASSERT_EQ(ReadingText(ReadInPieces(prefix, everyByte)), whole) << "prefix " << length << " byte by byte";
    for (size_t cut = 1; cut < length; ++cut) {
      ASSERT_EQ(ReadingText(ReadInPieces(prefix, {cut})), whole) << "prefix " << length << " cut at " << cut;
    }
  }
  // A fault in the middle stops the reading there, also when more follows.
  for (const Bytes& fault : {Hex("99"), Hex("4563 01 99"), Hex("4162"), Hex("4370")}) {
    const Bytes broken = Join({Hex("4542 2B"), fault, job});
    std::vector<size_t> everyByte;
    for (size_t cut = 1; cut < broken.size(); ++cut) everyByte.push_back(cut);
    const JobReading whole = Read(broken);
    ASSERT_FALSE(whole.status.ok());
    EXPECT_EQ(ReadingText(ReadInPieces(broken, {2, 4})), ReadingText(whole));
    EXPECT_EQ(ReadingText(ReadInPieces(broken, everyByte)), ReadingText(whole));
  }
}

// A record's data is passed over as it comes, also when a write that
// completes a record's header brings megabytes of its data with it.
TEST(JobReaderTest, ReadingInPiecesPassesOverLargeRecordData) {
  const uint32_t dataBytes = 3u << 20;
  Bytes job = RecordBytes({0, 0, 4096, 768, 3, 8, 1, Bytes()});
  job.resize(job.size() - 4);
  PutU32(job, dataBytes);
  job.resize(job.size() + dataBytes, 0x45);  // the letter E: no data byte may read as a command
  const Bytes end = Hex("4542");
  job.insert(job.end(), end.begin(), end.end());
  const JobReading reading = ReadInPieces(job, {10, 10 + (2u << 20)});
  ASSERT_TRUE(reading.status.ok()) << reading.status.error();
  ASSERT_EQ(reading.items.size(), 2u);
  EXPECT_EQ(reading.items[0].record.dataLength, dataBytes);
  EXPECT_EQ(reading.items[1].kind, ItemKind::kEndPage);
  EXPECT_EQ(reading.items[1].offset, job.size() - 2);
  const JobReading cut = ReadInPieces(Bytes(job.begin(), job.end() - 3), {10, 10 + (2u << 20)});
  EXPECT_EQ(cut.status.error(),
            "byte 0: image record data cut short: 3145728 bytes declared, the job ends after 3145727");
}

TEST(JobReaderTest, SummaryCountsCommandsRecordsAndPages) {
  const Bytes job =
      Join({kA4Paper, RecordBytes({0, 0, 4, 1, 3, 8, 1, Bytes(4)}), RecordBytes({0, 1, 4, 1, 3, 8, 1, Bytes(4)}),
            RecordBytes({0, 2, 32, 1, 3, 1, 7, Hex("020080")}), Hex("4542 4542")});
  const JobSummary summary = Summarize(Read(job).items);
  EXPECT_EQ(summary.pages, 2u);
  EXPECT_EQ(summary.RecordCount(), 3u);
  EXPECT_EQ(summary.RecordsText(), "1-bit compressed: 1 (3 bytes); gray raw: 2 (8 bytes)");
  EXPECT_EQ(summary.CommandsText(), "EB 2, paper 1");
}

Image Render(const Bytes& job, std::vector<std::string>& warnings) {
  const JobReading reading = Read(job);
  EXPECT_TRUE(reading.status.ok()) << reading.status.error();
  const std::vector<PagePlan> plans = PlanPages(reading.items);
  EXPECT_EQ(plans.size(), 1u);
  Result<Image> page = RenderPage(job.data(), plans.at(0), warnings);
  EXPECT_TRUE(page.ok()) << page.error();
  return page ? std::move(page).value() : Image();
}

TEST(PageDecoderTest, BandsLandAtTheirOriginsAndOneBitsAreInk) {
  // No paper or placement: the page is the bounding box of the bands.
  const Bytes job = Join({
      RecordBytes({0, 0, 4, 2, 3, 8, 1, Hex("00102030 40506070")}),
      RecordBytes({0, 2, 16, 1, 3, 1, 1, Hex("8001")}),          // 1-bit raw: pixels 0 and 15 inked
      RecordBytes({4, 3, 2, 1, 4, 8, 1, Hex("FF0000 0000FF")}),  // colour: red, blue
      Hex("4542"),
  });
  std::vector<std::string> warnings;
  const Image page = Render(job, warnings);
  EXPECT_TRUE(warnings.empty());
  ASSERT_EQ(page.width, 16u);
  ASSERT_EQ(page.height, 4u);
  ASSERT_EQ(page.channels, 3u);  // a colour band makes the page colour
  EXPECT_EQ(page.Row(0)[3 * 1], 0x10);
  EXPECT_EQ(page.Row(1)[3 * 3 + 2], 0x70);
  EXPECT_EQ(page.Row(2)[0], 0);    // ink
  EXPECT_EQ(page.Row(2)[3], 255);  // no ink
  EXPECT_EQ(page.Row(2)[3 * 15], 0);
  EXPECT_EQ(page.Row(3)[3 * 4], 255);
  EXPECT_EQ(page.Row(3)[3 * 4 + 1], 0);
  EXPECT_EQ(page.Row(3)[3 * 5 + 2], 255);
  EXPECT_EQ(page.Row(3)[3 * 6], 255);  // outside every band: paper
}

TEST(PageDecoderTest, PageSizeComesFromThePaperAndThePlacementScale) {
  PagePlan plan;
  plan.paperWidth = 210;
  plan.paperLength = 297;
  plan.placement = std::vector<float>{0.12f, 0, 0, -0.12f, 12, 829.8f};
  PageGeometry geometry = PageSize(plan);
  EXPECT_TRUE(geometry.fromPaper);
  EXPECT_EQ(geometry.dpi, 600u);
  EXPECT_EQ(geometry.width, 4960u);
  EXPECT_EQ(geometry.height, 7015u);
  plan.placement = std::vector<float>{0, 0.24f, 0.24f, 0, 12, 12};  // landscape at 300 dpi
  plan.paperWidth = 215.9f;                                         // Letter
  plan.paperLength = 279.4f;
  geometry = PageSize(plan);
  EXPECT_EQ(geometry.dpi, 300u);
  EXPECT_EQ(geometry.width, 3300u);
  EXPECT_EQ(geometry.height, 2550u);
  plan.placement.reset();  // no resolution: the bands decide
  plan.records.push_back({});
  plan.records.back().record.originY = 10;
  plan.records.back().record.width = 7;
  plan.records.back().record.height = 3;
  geometry = PageSize(plan);
  EXPECT_FALSE(geometry.fromPaper);
  EXPECT_EQ(geometry.width, 7u);
  EXPECT_EQ(geometry.height, 13u);
}

TEST(PageDecoderTest, PagesEndAtEbAndKeepPaperAndPlacement) {
  const Bytes job =
      Join({kA4Paper, kPlacement600, RecordBytes({0, 0, 4, 1, 3, 8, 1, Bytes(4)}), Hex("4542"),
            RecordBytes({0, 5, 4, 1, 3, 8, 1, Bytes(4)}), Hex("4542"), RecordBytes({0, 9, 4, 1, 3, 8, 1, Bytes(4)})});
  const std::vector<PagePlan> plans = PlanPages(Read(job).items);
  ASSERT_EQ(plans.size(), 3u);
  EXPECT_TRUE(plans[0].ended);
  EXPECT_TRUE(plans[1].ended);
  EXPECT_FALSE(plans[2].ended);  // the job ends without "EB"
  EXPECT_EQ(plans[1].records.size(), 1u);
  EXPECT_EQ(plans[1].records[0].record.originY, 5.0f);
  EXPECT_TRUE(PageSize(plans[2]).fromPaper);
  EXPECT_EQ(PageFileName("out/page.png", 0), "out/page.png");
  EXPECT_EQ(PageFileName("out/page.png", 2), "out/page-3.png");
  EXPECT_EQ(PageFileName("out.d/page", 1), "out.d/page-2");
}

TEST(PageDecoderTest, MalformedRecordDataIsAnErrorAndUnknownKindsAWarning) {
  const Bytes shortRows = RecordBytes({0, 0, 4, 2, 3, 8, 1, Bytes(7)});
  JobReading reading = Read(shortRows);
  std::vector<std::string> warnings;
  const Result<Image> refused = DecodeRecord(shortRows.data(), reading.items[0], warnings);
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.error(), "byte 0: the image record at byte 0 holds 7 data bytes, its 2 rows need 8");

  // Unknown kinds, and records without pixels, whatever their data.
  const Bytes odd =
      Join({Hex("2B"), RecordBytes({0, 0, 4, 1, 6, 8, 1, Bytes(4)}), RecordBytes({0, 0, 4, 1, 3, 16, 1, Bytes(8)}),
            RecordBytes({0, 0, 0, 1, 3, 8, 1, {}}), RecordBytes({0, 0, 32, 0, 3, 1, 7, Hex("0100")})});
  reading = Read(odd);
  ASSERT_TRUE(reading.status.ok()) << reading.status.error();
  for (size_t i = 1; i < 5; ++i) {
    const Result<Image> band = DecodeRecord(odd.data(), reading.items[i], warnings);
    ASSERT_TRUE(band.ok()) << band.error();
    EXPECT_TRUE(band->pixels.empty());
  }
  ASSERT_EQ(warnings.size(), 4u);
  EXPECT_EQ(warnings[0],
            "image record at byte 1 (colour space 6, 8 bits, compression 1) is of a kind not shown; not drawn");
  EXPECT_EQ(warnings[2], "image record at byte 109 has no pixels (0x1); not drawn");
}

TEST(PageDecoderTest, JpegRecordsAreDecodedOrLeftBlankWithAWarning) {
  const Bytes job = RecordBytes({0, 0, 8, 8, 5, 8, 4, Hex("FFD8 FFE0 0000")});  // a JPEG file cut short
  const JobReading reading = Read(job);
  ASSERT_TRUE(reading.status.ok()) << reading.status.error();
  std::vector<std::string> warnings;
  const Result<Image> band = DecodeRecord(job.data(), reading.items[0], warnings);
  if (JpegDecodingAvailable()) {
    ASSERT_FALSE(band.ok());
    EXPECT_EQ(band.error().rfind("image record at byte 0: unreadable JPEG data", 0), 0u) << band.error();
  } else {
    ASSERT_TRUE(band.ok());
    EXPECT_TRUE(band->pixels.empty());
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0], "image record at byte 0 is JPEG, which this build does not decode; left blank");
  }
}

// The printer reads a colour JPEG record's first component as blue and its
// third as red; decode shows the page as printed, so a band the host gave
// as pure red shows red.
TEST(PageDecoderTest, ColorJpegRecordOfThePlugInShowsTheHostsColors) {
  if (!JpegDecodingAvailable()) GTEST_SKIP() << "this build does not decode JPEG";
  host::RenderSession session;
  std::string error;
  ASSERT_TRUE(session.Open(host::PluginBesideProgram("kavrender"), error)) << error;
  ASSERT_EQ(session.EnableDevice(), S_OK);
  test::Band band = test::MakeBand(24, 48, 16);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 48; ++x) band.SetRgb(x, y, x < 16 ? 255 : 0, x >= 16 && x < 32 ? 255 : 0, x >= 32 ? 255 : 0);
  }
  session.Band(2, band.header, band.bits.data(), band.params);
  const Bytes job = session.helper().Job();
  const JobReading reading = Read(job);
  ASSERT_TRUE(reading.status.ok()) << reading.status.error();
  ASSERT_EQ(reading.items.size(), 1u);
  ASSERT_EQ(reading.items[0].record.compression, 4) << "the band did not go out as JPEG";
  std::vector<std::string> warnings;
  const Result<Image> decoded = DecodeRecord(job.data(), reading.items[0], warnings);
  ASSERT_TRUE(decoded.ok()) << decoded.error();
  ASSERT_EQ(decoded->channels, 3u);
  struct Probe {
    uint32_t x;
    int red, green, blue;
  };
  for (const Probe& p : {Probe{8, 255, 0, 0}, Probe{24, 0, 255, 0}, Probe{40, 0, 0, 255}}) {
    const uint8_t* got = decoded->Row(8) + 3 * p.x;
    SCOPED_TRACE(testing::Message() << "column " << p.x << " shows " << int{got[0]} << ", " << int{got[1]} << ", "
                                    << int{got[2]});
    EXPECT_NEAR(got[0], p.red, 24);
    EXPECT_NEAR(got[1], p.green, 24);
    EXPECT_NEAR(got[2], p.blue, 24);
  }
}

TEST(PageDecoderTest, BandsPastThePageAreCutWithAWarning) {
  // A sheet of 10 x 10 mm at 254 dpi is 100 x 100 pixels.
  const Bytes job =
      Join({Hex("51 41200000 41200000"), Hex("4161 3E912245 00000000 00000000 BE912245 00000000 00000000"),
            RecordBytes({-1, 0, 4, 1, 3, 8, 1, Hex("01020304")}), Hex("4542")});
  std::vector<std::string> warnings;
  const Image page = Render(job, warnings);
  ASSERT_EQ(page.width, 100u);
  ASSERT_EQ(page.height, 100u);
  EXPECT_EQ(page.Row(0)[0], 0x02);
  EXPECT_EQ(page.Row(0)[2], 0x04);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0], "bands run past the page; the parts outside are cut off");
}

TEST(PageDecoderTest, CompressedRowsGoThroughTheCodecDecoder) {
  // A 32-pixel band of five rows: two blank rows, a changed row, a repeat,
  // and a row with two one-byte records.
  const Bytes job =
      Join({RecordBytes({0, 0, 32, 5, 3, 1, 7, Hex("01 01 03 20 12 34 00 04 01 FF 01 0C")}), Hex("4542")});
  std::vector<std::string> warnings;
  const Image page = Render(job, warnings);
  ASSERT_EQ(page.width, 32u);
  ASSERT_EQ(page.height, 5u);
  auto inked = [&page](uint32_t x, uint32_t y) { return page.Row(y)[x] == 0; };
  for (uint32_t x = 0; x < 32; ++x) {
    EXPECT_FALSE(inked(x, 0));
    EXPECT_FALSE(inked(x, 1));
  }
  // 0x12 0x34: bits 3, 6, 10, 11, 13.
  for (uint32_t x = 0; x < 32; ++x) {
    const bool expected = x == 3 || x == 6 || x == 10 || x == 11 || x == 13;
    EXPECT_EQ(inked(x, 2), expected) << x;
    EXPECT_EQ(inked(x, 3), expected) << x;
  }
  // 12 FF 00 0C.
  EXPECT_TRUE(inked(3, 4));
  for (uint32_t x = 8; x < 16; ++x) EXPECT_TRUE(inked(x, 4));
  EXPECT_FALSE(inked(16, 4));
  EXPECT_TRUE(inked(28, 4));
  EXPECT_TRUE(inked(29, 4));
  EXPECT_FALSE(inked(31, 4));

  // A stream that runs past its rows names the byte in the job.
  const Bytes broken = Join({RecordBytes({0, 0, 32, 1, 3, 1, 7, Hex("02 00 80 00")}), Hex("4542")});
  const JobReading reading = Read(broken);
  const Result<Image> band = DecodeRecord(broken.data(), reading.items[0], warnings);
  ASSERT_FALSE(band.ok());
  EXPECT_EQ(band.error().rfind("byte ", 0), 0u) << band.error();
  EXPECT_NE(band.error().find(": compressed rows of the image record at byte 0 are malformed"), std::string::npos)
      << band.error();
}

// Small jobs that claim a great deal: each must be answered within the
// decode limit, without the pictures or time its claims would cost.
class HostileJobTest : public ::testing::Test {
 protected:
  struct Run {
    int code = -1;
    std::string out;
    std::string err;
  };

  static Run Decode(const Bytes& job, const std::string& name) {
    {
      std::ofstream file(name + ".job", std::ios::binary | std::ios::trunc);
      file.write(reinterpret_cast<const char*>(job.data()), static_cast<std::streamsize>(job.size()));
    }
    std::ostringstream out, err;
    Run run;
    run.code = RunKavJob({"decode", name + ".job", "-o", name + ".pnm"}, out, err);
    run.out = out.str();
    run.err = err.str();
    return run;
  }

  static bool Exists(const std::string& path) { return std::ifstream(path).good(); }

  static Bytes Paper(float width, float length) {
    Bytes out = {0x51};
    PutFloat(out, width);
    PutFloat(out, length);
    return out;
  }
};

TEST_F(HostileJobTest, RecordsWithoutDataAreNotDecodedWhateverSizeTheyClaim) {
  std::vector<Bytes> parts = {Hex("46424544"), Paper(20, 10), kPlacement600};
  for (uint8_t compression : {1, 4, 7}) parts.push_back(RecordBytes({0, 0, 65535, 65535, 3, 8, compression, {}}));
  parts.push_back(Hex("4542"));
  const Run run = Decode(Join(parts), "hostile_empty");
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 3) << run.err;
  EXPECT_NE(run.err.find("image record at byte 39 holds no data; not drawn"), std::string::npos) << run.err;
  EXPECT_TRUE(Exists("hostile_empty.pnm"));
  std::remove("hostile_empty.pnm");
}

TEST_F(HostileJobTest, PageEndsWithNothingDrawnWriteNoPicture) {
  std::vector<Bytes> parts = {Hex("46424544"), Paper(800, 800), kPlacement600};
  for (int i = 0; i < 10; ++i) parts.push_back(Hex("4542"));
  const Run run = Decode(Join(parts), "hostile_ends");
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 10) << run.out;
  EXPECT_EQ(run.out.rfind("page 1: no image records; no picture written\n", 0), 0u) << run.out;
  EXPECT_FALSE(Exists("hostile_ends.pnm"));
  EXPECT_FALSE(Exists("hostile_ends-10.pnm"));
}

TEST_F(HostileJobTest, APageBeyondTheDecodeLimitIsRefusedWithTheLimit) {
  // 1000 mm square at 600 dpi: 23622 pixels each way, 1.6 GB in colour.
  const Bytes job = Join({Hex("46424544"), Paper(1000, 1000), kPlacement600,
                          RecordBytes({0, 0, 1, 1, 4, 8, 1, Hex("000000")}), Hex("4542")});
  const Run run = Decode(job, "hostile_page");
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(
      run.err,
      "kavjob: hostile_page.job: page 1: image of 23622 x 23622 pixels is too large (at most 1024 MiB of pixels)\n");
  EXPECT_FALSE(Exists("hostile_page.pnm"));
}

TEST_F(HostileJobTest, AFaultOnALaterPageLeavesNoEarlierPicture) {
  const Bytes job = Join({RecordBytes({0, 0, 2, 1, 3, 8, 1, Hex("0000")}), Hex("4542"),
                          RecordBytes({0, 0, 2, 2, 3, 8, 1, Hex("0000")}), Hex("4542")});
  const Run run = Decode(job, "hostile_pages");
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find("page 2: byte "), std::string::npos) << run.err;
  EXPECT_FALSE(Exists("hostile_pages.pnm"));
  EXPECT_FALSE(Exists("hostile_pages-2.pnm"));
}

TEST(PlacementTest, AMatrixThatIsNotANumberReadsAsUnknown) {
  const float kNan = std::numeric_limits<float>::quiet_NaN();
  const float kInf = std::numeric_limits<float>::infinity();
  for (const std::vector<float>& m : std::vector<std::vector<float>>{{kNan, 0, 0, kNan, 0, 0},
                                                                     {kInf, 0, 0, -kInf, 0, 0},
                                                                     {0, kNan, kNan, 0, 0, 0},
                                                                     {1e-30f, 0, 0, 1e-30f, 0, 0}}) {
    JobItem item;
    item.kind = ItemKind::kPlacement;
    std::copy(m.begin(), m.end(), item.values);
    const std::string text = DescribeItem(item);
    EXPECT_NE(text.find("(unknown)"), std::string::npos) << text;
    EXPECT_EQ(text.find("dpi"), std::string::npos) << text;
    PagePlan plan;
    plan.placement = m;
    plan.paperWidth = 210;
    plan.paperLength = 297;
    EXPECT_FALSE(PageSize(plan).fromPaper) << text;
  }
  const float turned[6] = {-0.12f, 0, 0, 0.12f, 0, 0};
  const auto placement = language::ReadPlacement(turned);
  ASSERT_TRUE(placement.has_value());
  EXPECT_EQ(placement->dpi, 600u);
  EXPECT_FALSE(placement->landscape);
  EXPECT_TRUE(placement->turned);
}

}  // namespace
}  // namespace kav::tools
