// Reads a print job as the printer will: the command bytes the render
// plug-in sends and its image records, each with its byte offset. Every byte
// must belong to a known command or record; anything else is an error that
// names the offset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/result.h"
#include "render/printer_language.h"

namespace kav::tools {

// The fields of an image record header ("Cq"), in the general layout.
struct RecordFields {
  float originX = 0;
  float originY = 0;
  float transform[6] = {};
  uint16_t width = 0;
  uint16_t height = 0;
  uint8_t extKind = 0;
  uint8_t extCode = 0;  // extCode and extValue are present only with extKind 2
  uint32_t extValue = 0;
  uint8_t formatKind = 0;  // the format block is present only with formatKind 2
  uint8_t colorSpace = 0;
  uint8_t tableKind = 0;  // the table is present only with colour spaces 8 to 11
  uint16_t tableCount = 0;
  uint16_t tableLength = 0;
  size_t tableOffset = 0;
  uint8_t dataLayout = 0;
  uint8_t bitsPerComponent = 0;
  uint8_t compression = 0;
  uint32_t dataLength = 0;
  size_t dataOffset = 0;  // where the data bytes start in the job

  bool HasFormat() const { return formatKind == language::kFormatBlockFollows; }
  bool HasExtension() const { return extKind == language::kExtensionFollows; }
  bool HasTable() const { return HasFormat() && language::HasColorTable(colorSpace); }
  bool IdentityTransform() const;
};

enum class ItemKind {
  kEc,         // 45 63, colour byte, code byte
  kCode,       // one code byte of the single form
  kPaper,      // 51, then width and length in millimetres
  kPlacement,  // "Aa", then the six numbers of the page placement matrix
  kFbed,       // "FBED"
  kEndPage,    // "EB"
  kRecord,     // "Cq" image record
};

struct JobItem {
  ItemKind kind = ItemKind::kCode;
  size_t offset = 0;
  size_t length = 0;
  uint8_t colour = 0;    // kEc
  uint8_t code = 0;      // kEc, kCode, kPaper
  float values[6] = {};  // kPaper: width, length; kPlacement: m1 to m6
  RecordFields record;   // kRecord
};

// What a job holds, read up to its end or to the first byte that is no
// command the plug-in sends.
struct JobReading {
  std::vector<JobItem> items;  // every item before the error, if there is one
  Status status;               // the error as "byte 1234: ..."
  size_t errorOffset = 0;      // where the error is
};

JobReading ReadJob(const uint8_t* data, size_t size);

// Reads a job as it is written, a piece at a time (a piece may end
// anywhere), handing each item over once it is whole, as ReadJob lists it.
// It keeps only the start of an item not yet whole and the header of a
// record whose data is still coming, never a record's data, so a job of any
// size reads in little memory. Offsets count from the start of the job.
class JobStreamReader {
 public:
  explicit JobStreamReader(std::function<void(const JobItem&)> onItem);

  // Reads on until the first fault, which Finish reports.
  void Feed(const uint8_t* data, size_t size);
  // The job ends here: fails with the message ReadJob would give, also when
  // the job ends inside an item.
  Status Finish();

 private:
  size_t ReadPiece(const uint8_t* data, size_t size, bool more);

  std::function<void(const JobItem&)> onItem_;
  std::vector<uint8_t> head_;  // the start of an item a later piece completes
  size_t offset_ = 0;          // the job offset of head_, or of the next byte
  uint64_t dataLeft_ = 0;      // data bytes of openItem_ still to come
  JobItem openItem_;
  std::string error_;
};

// The callback ids whose command sends this code byte ("227", "207 or 209"),
// empty for a byte that is no code of its form.
std::string SingleCodeIds(uint8_t code);
std::string EcCodeIds(uint8_t code);

// A short name for the kind of an image record: "1-bit compressed", "gray
// raw", "colour raw", "JPEG", ... as the summaries count them.
std::string RecordKindName(const RecordFields& record);

const char* ItemKindName(ItemKind kind);

// A float as the shortest text that reads back as the same float.
std::string FloatText(float value);

}  // namespace kav::tools
