// Several devices printing at once through one loaded render library, each on
// a thread of its own, while another thread asks DllCanUnloadNow as the
// system's unused-library sweep does. Each device must send exactly what it
// sends alone; the ThreadSanitizer build runs this to catch shared state
// touched without an interlocked operation or an atomic read.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "band_fixture.h"

namespace kav::test {
namespace {

constexpr DWORD kGrayCallback = 1;
constexpr DWORD kColorCallback = 2;
constexpr DWORD kMonochromeCallback = 3;
constexpr int kDevices = 4;
constexpr int kPages = 4;

struct Job {
  std::vector<Bytes> writes;
  std::string error;
};

// A 1-bit band with a pattern the row codec compresses.
Band StripedMonochromeBand(LONG width, LONG height) {
  Band band = MakeBand(1, width, height);
  for (size_t i = 0; i < band.bits.size(); ++i) band.bits[i] = static_cast<uint8_t>(i % 7 == 0 ? 0x0F : 0xFF);
  return band;
}

// One device's whole job: gray and colour bands as JPEG, then raw, and a
// 1-bit band, each from this device's own copy of the band as a host has it.
Job PrintOnOwnDevice() {
  Job job;
  host::RenderSession session;
  if (!session.Open(host::PluginBesideProgram("kavrender"), job.error)) return job;
  if (session.EnableDevice() != S_OK) {
    job.error = "EnablePDEV failed";
    return job;
  }
  auto& pdev = *static_cast<RenderPdev*>(session.devobj().pdevOEM);
  for (int page = 0; page < kPages; ++page) {
    for (const BYTE tryJpeg : {BYTE{1}, BYTE{0}}) {
      pdev.tryJpeg = tryJpeg;
      Band gray = GradientBand(8, 301, 40);
      Band color = GradientBand(24, 301, 40);
      session.Band(kGrayCallback, gray.header, gray.bits.data(), gray.params);
      session.Band(kColorCallback, color.header, color.bits.data(), color.params);
      if (pdev.tryJpeg != tryJpeg) job.error = "a JPEG attempt failed";
    }
    Band mono = StripedMonochromeBand(333, 40);
    session.Band(kMonochromeCallback, mono.header, mono.bits.data(), mono.params);
  }
  job.writes = session.helper().writes();
  return job;
}

using ConcurrentDevicesTest = BandTest;

TEST_F(ConcurrentDevicesTest, DevicesOnSeveralThreadsSendWhatEachSendsAlone) {
  const Job alone = PrintOnOwnDevice();
  ASSERT_EQ(alone.error, "");
  ASSERT_FALSE(alone.writes.empty());

  std::vector<Job> jobs(kDevices);
  std::atomic<bool> start{false};
  std::atomic<int> printing{kDevices};
  std::atomic<long> unloadsAllowed{0};
  std::vector<std::thread> threads;
  for (Job& job : jobs) {
    threads.emplace_back([&job, &start, &printing] {
      while (!start.load()) std::this_thread::yield();
      job = PrintOnOwnDevice();
      --printing;
    });
  }
  start = true;
  // Render objects keep their library loaded, so the answer is always no.
  std::thread sweep([this, &printing, &unloadsAllowed] {
    do {
      if (session.library().CanUnloadNow() != S_FALSE) ++unloadsAllowed;
      std::this_thread::yield();
    } while (printing.load() > 0);
  });
  for (std::thread& thread : threads) thread.join();
  sweep.join();

  EXPECT_EQ(unloadsAllowed.load(), 0);
  for (size_t i = 0; i < jobs.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "device " << i);
    EXPECT_EQ(jobs[i].error, "");
    ASSERT_EQ(jobs[i].writes.size(), alone.writes.size());
    for (size_t w = 0; w < alone.writes.size(); ++w) {
      ASSERT_TRUE(SameBytes(jobs[i].writes[w], alone.writes[w])) << "write " << w;
    }
  }
  // The library keeps each plug-in object it made for the life of the
  // process: one heap block per device, and nothing else (where the
  // stand-ins count blocks).
  if (standins != nullptr) heapBlocksBefore += kDevices + 1;
  ExpectNothingLeft();
}

}  // namespace
}  // namespace kav::test
