#include "job/job_inspect.h"

#include "render/printer_language.h"
#include "support/hex.h"

namespace kav::tools {
namespace {

// What the placement matrix says of the page: its resolution and turn.
std::string PlacementNote(const float* m) {
  if (m[0] == 0 && m[1] == 0) return "";
  const auto placement = language::ReadPlacement(m);
  if (!placement) return " (unknown)";
  return " (" + std::to_string(placement->dpi) + " dpi, " + (placement->landscape ? "landscape" : "portrait") +
         (placement->turned ? ", turned half a turn" : "") + ")";
}

std::string DescribeRecord(const RecordFields& r) {
  std::string text = "origin " + FloatText(r.originX) + "," + FloatText(r.originY);
  if (!r.IdentityTransform()) {
    text += " transform";
    for (float t : r.transform) text += " " + FloatText(t);
  }
  text += " size " + std::to_string(r.width) + "x" + std::to_string(r.height);
  if (r.HasExtension()) text += " ext code " + std::to_string(r.extCode) + " value " + std::to_string(r.extValue);
  if (r.extKind != 1 && !r.HasExtension()) text += " ext-kind " + std::to_string(r.extKind);
  if (!r.HasFormat()) return text + " format-kind " + std::to_string(r.formatKind) + " (no format block)";
  text += " colour-space " + std::to_string(r.colorSpace);
  if (r.HasTable()) {
    text += " table kind " + std::to_string(r.tableKind) + " count " + std::to_string(r.tableCount) + " length " +
            std::to_string(r.tableLength);
  }
  if (r.dataLayout != 1) text += " layout " + std::to_string(r.dataLayout);
  text += " bits " + std::to_string(r.bitsPerComponent) + " compression " + std::to_string(r.compression) + " data " +
          std::to_string(r.dataLength) + " (" + RecordKindName(r) + ")";
  return text;
}

// "Aa 3, EB 1" for commands; "1-bit raw: 1 (8 bytes); gray raw: 2 (64 bytes)"
// for records, whose kind names may hold commas themselves.
std::string CountsText(const std::map<std::string, JobSummary::Count>& counts, bool withBytes) {
  if (counts.empty()) return "none";
  std::string text;
  for (const auto& [name, count] : counts) {
    if (!text.empty()) text += withBytes ? "; " : ", ";
    text += name + (withBytes ? ": " : " ") + std::to_string(count.items);
    if (withBytes) text += " (" + std::to_string(count.dataBytes) + " bytes)";
  }
  return text;
}

}  // namespace

std::string DescribeItem(const JobItem& item) {
  std::string text = std::to_string(item.offset) + "\t" + ItemKindName(item.kind);
  switch (item.kind) {
    case ItemKind::kEc:
      return text + "\tcolour " + std::to_string(item.colour) + " code " + ByteText(item.code) + " (id " +
             EcCodeIds(item.code) + ")";
    case ItemKind::kCode:
      return text + "\t" + ByteText(item.code) + " (id " + SingleCodeIds(item.code) + ")";
    case ItemKind::kPaper:
      return text + "\t" + ByteText(item.code) + " " + FloatText(item.values[0]) + " x " + FloatText(item.values[1]) +
             " mm";
    case ItemKind::kPlacement: {
      std::string values;
      for (float m : item.values) values += (values.empty() ? "" : " ") + FloatText(m);
      return text + "\t" + values + PlacementNote(item.values);
    }
    case ItemKind::kFbed:
    case ItemKind::kEndPage:
      return text;
    case ItemKind::kRecord:
      return text + "\t" + DescribeRecord(item.record);
  }
  return text;
}

void JobSummary::Add(const JobItem& item) {
  if (item.kind == ItemKind::kRecord) {
    Count& count = records[RecordKindName(item.record)];
    ++count.items;
    count.dataBytes += item.record.dataLength;
    return;
  }
  ++commands[ItemKindName(item.kind)].items;
  if (item.kind == ItemKind::kEndPage) ++pages;
}

size_t JobSummary::RecordCount() const {
  size_t total = 0;
  for (const auto& entry : records) total += entry.second.items;
  return total;
}

std::string JobSummary::RecordsText() const { return CountsText(records, true); }
std::string JobSummary::CommandsText() const { return CountsText(commands, false); }

JobSummary Summarize(const std::vector<JobItem>& items) {
  JobSummary summary;
  for (const JobItem& item : items) summary.Add(item);
  return summary;
}

void PrintInspection(const JobReading& reading, std::ostream& out) {
  for (const JobItem& item : reading.items) out << DescribeItem(item) << "\n";
  const JobSummary summary = Summarize(reading.items);
  out << "commands: " << summary.CommandsText() << "\n";
  out << "image records: " << summary.RecordsText() << "\n";
  out << "pages: " << summary.pages << "\n";
}

}  // namespace kav::tools
