// The lines of `kavjob inspect`: one per command and image record, then a
// summary per kind.
#pragma once

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "job/job_reader.h"

namespace kav::tools {

std::string DescribeItem(const JobItem& item);

// Counts of a job or a page: commands by kind, records by kind with their data bytes.
struct JobSummary {
  struct Count {
    size_t items = 0;
    uint64_t dataBytes = 0;
  };
  std::map<std::string, Count> commands;
  std::map<std::string, Count> records;
  size_t pages = 0;  // "EB" seen

  void Add(const JobItem& item);
  size_t RecordCount() const;
  // "1-bit compressed: 40 (123456 bytes); gray raw: 2 (...)" or "none".
  std::string RecordsText() const;
  std::string CommandsText() const;
};

JobSummary Summarize(const std::vector<JobItem>& items);

void PrintInspection(const JobReading& reading, std::ostream& out);

}  // namespace kav::tools
