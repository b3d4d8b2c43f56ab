// What the tools write: a file they did not make is never removed or
// overwritten, a failed command leaves no output of its own behind, and a
// successful one replaces its output whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <thread>
#endif

#include "host/plugin_library.h"
#include "job/kavjob_command.h"
#include "kavhost/kavhost_command.h"
#include "kavhost/render_start.h"
#include "standin_fixture.h"
#include "support/files.h"
#include "support/output_file.h"
#include "tool_run.h"

namespace kav::tools {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const std::string& path) {
  const Result<std::vector<uint8_t>> bytes = ReadWholeFile(path);
  EXPECT_TRUE(bytes.ok()) << bytes.error();
  return bytes ? std::string(bytes->begin(), bytes->end()) : "";
}

// A failed run: the exit code, one line on stderr that starts as expected.
void ExpectFailure(const ToolRun& run, int code, const std::string& start) {
  EXPECT_EQ(run.code, code) << run.err;
  EXPECT_EQ(run.err.rfind(start, 0), 0u) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
}

// Every test runs in a folder of its own, so leftovers can be counted.
class OutputTest : public test::StandinTest {
 protected:
  void SetUp() override {
    StandinTest::SetUp();
    home_ = fs::current_path();
    folder_ = home_ / ("output_test_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(folder_);
    fs::create_directory(folder_);
    fs::current_path(folder_);
  }
  void TearDown() override {
    fs::current_path(home_);
    fs::remove_all(folder_);
    StandinTest::TearDown();
  }

  // The names in the test's folder; a temporary output left behind shows here.
  static std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(".")) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  static std::string SmallScript() {
    return R"({"calls": [{"call": "CommandCallback", "id": 260}, {"call": "CommandCallback", "id": 270}]})";
  }

  fs::path home_;
  fs::path folder_;
};

TEST_F(OutputTest, AFailedCommandLeavesTheFileThatWasThereAndNoTemporaryFile) {
  WriteText("kept.job", "a file the user made");
  WriteText("script.json", SmallScript());
  fs::create_directory("folder");
  // The job is made first; the list of writes then cannot be.
  ExpectFailure(Host({"replay", "script.json", "-o", "kept.job", "--writes", "folder"}), 1,
                "kavhost: cannot write folder: it is a folder");
  EXPECT_EQ(ReadText("kept.job"), "a file the user made");

  // Page 2 of the job is malformed after page 1 was decoded.
  const std::string job = std::string("Cq") + std::string(40, '\0') + "\x00\x02\x00\x01\x01\x02\x03\x01\x08\x01" +
                          std::string("\x00\x00\x00\x02\xAA\xBB", 6) + "EB";
  WriteText("kept.png", "a picture the user made");
  WriteText("two.job", job + job.substr(0, 46) + std::string("\x00\x02\x00\x02\x01\x02\x03\x01\x08\x01", 10) +
                           std::string("\x00\x00\x00\x02\xAA\xBB", 6) + "EB");
  const ToolRun decode = Job({"decode", "two.job", "-o", "kept.png"});
  EXPECT_EQ(decode.code, 1) << decode.out;
  EXPECT_EQ(ReadText("kept.png"), "a picture the user made");

  if (standins != nullptr) {
    // The plug-in refuses every 1-bit band when its memory runs out.
    standins->FailGlobalAlloc({1, true});
    ExpectFailure(Host({"print", "-o", "kept.job", "--gpd", "../trial.gpd", "--mode", "mono", "--paper", "40x30",
                        "--dpi", "300"}),
                  1, "kavhost: the plug-in refused the band of rows 0 to 127 (it wrote nothing for it)");
    EXPECT_EQ(ReadText("kept.job"), "a file the user made");
  }
  EXPECT_EQ(Names(), (std::vector<std::string>{"folder", "kept.job", "kept.png", "script.json", "two.job"}));
}

TEST_F(OutputTest, FoldersAndSocketsAreRefusedAndLeftAlone) {
  fs::create_directory("folder");
  ExpectFailure(Host({"print", "-o", "folder", "--gpd", "../trial.gpd", "--paper", "40x30", "--dpi", "100"}), 1,
                "kavhost: cannot write folder: it is a folder");
  WriteText("page.job", "FBEDEB");
  ExpectFailure(Job({"inspect", "page.job", "-o", "folder"}), 1, "kavjob: cannot write folder: it is a folder");
  EXPECT_TRUE(fs::is_directory("folder"));
#ifndef _WIN32
  const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, "socket");
  ASSERT_EQ(bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ExpectFailure(Host({"print", "-o", "socket", "--gpd", "../trial.gpd", "--paper", "40x30", "--dpi", "100"}), 1,
                "kavhost: cannot write socket: it is not a regular file, a character device or a FIFO");
  EXPECT_TRUE(fs::is_socket("socket"));
  close(listener);
  // Read, a FIFO or a device is refused before it is opened, so it cannot block.
  ASSERT_EQ(mkfifo("pipe", 0600), 0);
  ExpectFailure(Host({"print", "pipe", "-o", "x.job"}), 1, "kavhost: cannot read pipe (not a regular file)");
  ExpectFailure(Job({"inspect", "/dev/null"}), 1, "kavjob: cannot read /dev/null (not a regular file)");
  EXPECT_TRUE(fs::is_fifo("pipe"));
#endif
  EXPECT_FALSE(fs::exists("x.job"));
}

// The tool's report with the output's name left out.
std::string Report(const ToolRun& run, const std::string& output) {
  std::string text = run.out;
  for (size_t at; (at = text.find(output)) != std::string::npos;) text.replace(at, output.size(), "OUTPUT");
  return text;
}

std::vector<std::string> SmallPrint(const std::string& output) {
  return {"print", "-o", output, "--gpd", "../trial.gpd", "--mode", "gray", "--paper", "40x30", "--dpi", "200"};
}

#ifdef _WIN32
constexpr const char* kNullDevice = "NUL";
#else
constexpr const char* kNullDevice = "/dev/null";
#endif

TEST_F(OutputTest, TheNullDeviceIsWrittenAsItIsAndReportsTheSameJob) {
  const ToolRun file = Host(SmallPrint("file.job"));
  ASSERT_EQ(file.code, 0) << file.err;
  EXPECT_EQ(file.out.find("image records: none"), std::string::npos) << file.out;
  const ToolRun null = Host(SmallPrint(kNullDevice));
  ASSERT_EQ(null.code, 0) << null.err;
  EXPECT_EQ(Report(null, kNullDevice), Report(file, "file.job"));
  ASSERT_EQ(Job({"inspect", "file.job", "-o", kNullDevice}).code, 0);
  EXPECT_EQ(Names(), (std::vector<std::string>{"file.job"}));
}

#ifndef _WIN32
// Reads in a thread of its own all that a FIFO receives, from its writer's
// open to its writer's close.
class FifoReader {
 public:
  explicit FifoReader(const std::string& path) : path_(path), thread_([this] { Read(); }) {}
  FifoReader(const FifoReader&) = delete;
  FifoReader& operator=(const FifoReader&) = delete;
  ~FifoReader() { Take(); }

  // What came; a writer that never came is stood in for, so the thread ends.
  std::string Take() {
    if (thread_.joinable()) {
      const int writer = open(path_.c_str(), O_WRONLY | O_NONBLOCK);
      if (writer >= 0) close(writer);
      thread_.join();
    }
    return bytes_;
  }

 private:
  void Read() {
    const int fd = open(path_.c_str(), O_RDONLY);
    if (fd < 0) return;
    char buffer[65536];
    for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;) bytes_.append(buffer, static_cast<size_t>(got));
    close(fd);
  }

  std::string path_;
  std::string bytes_;
  std::thread thread_;
};

TEST_F(OutputTest, FifosAreWrittenAsTheyAre) {
  ASSERT_EQ(Host(SmallPrint("file.job")).code, 0);
  ASSERT_EQ(mkfifo("job.pipe", 0600), 0);
  FifoReader job("job.pipe");
  const ToolRun piped = Host(SmallPrint("job.pipe"));
  ASSERT_EQ(piped.code, 0) << piped.err;
  EXPECT_EQ(job.Take(), ReadText("file.job"));

  // kavjob's pages and replay's list of writes follow the same rule.
  ASSERT_EQ(mkfifo("page.pgm", 0600), 0);
  ASSERT_EQ(Job({"decode", "file.job", "-o", "file.pgm"}).code, 0);
  FifoReader picture("page.pgm");
  ASSERT_EQ(Job({"decode", "file.job", "-o", "page.pgm"}).code, 0);
  EXPECT_EQ(picture.Take(), ReadText("file.pgm"));
  WriteText("script.json", SmallScript());
  FifoReader writes("job.pipe");
  ASSERT_EQ(Host({"replay", "script.json", "-o", "/dev/null", "--writes", "job.pipe"}).code, 0);
  EXPECT_EQ(writes.Take(), "4 46424544\n2 4542\n");

  EXPECT_TRUE(fs::is_fifo("job.pipe"));
  EXPECT_EQ(Names(), (std::vector<std::string>{"file.job", "file.pgm", "job.pipe", "page.pgm", "script.json"}));
}

TEST_F(OutputTest, AFullDeviceFailsWithItsReasonAndIsLeftAlone) {
  if (!fs::is_character_file("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  ExpectFailure(Host({"print", "-o", "/dev/full", "--gpd", "../trial.gpd", "--paper", "40x30", "--dpi", "100"}), 1,
                "kavhost: cannot write /dev/full: No space left on device");
  WriteText("script.json", SmallScript());
  ExpectFailure(Host({"replay", "script.json", "-o", "/dev/full"}), 1,
                "kavhost: cannot write /dev/full: No space left on device");
  WriteText("page.job", "FBEDEB");
  ExpectFailure(Job({"inspect", "page.job", "-o", "/dev/full"}), 1,
                "kavjob: cannot write /dev/full: No space left on device");
  EXPECT_TRUE(fs::is_character_file("/dev/full"));
  EXPECT_EQ(Names(), (std::vector<std::string>{"page.job", "script.json"}));
}
#endif

TEST_F(OutputTest, AnOutputThatIsAnInputIsRefusedBeforeAnythingIsWritten) {
  WriteText("picture.pgm", "P2 2 1 255\n0 255\n");
  ExpectFailure(Host({"print", "picture.pgm", "-o", "picture.pgm"}), 1, "kavhost: picture.pgm is picture.pgm");
  ExpectFailure(Host({"print", "picture.pgm", "-o", "./picture.pgm"}), 1, "kavhost: ./picture.pgm is picture.pgm");
  EXPECT_EQ(ReadText("picture.pgm"), "P2 2 1 255\n0 255\n");

  const std::string plugin = RenderPluginPath("");
  const uintmax_t pluginSize = fs::file_size(plugin);
  ExpectFailure(Host({"print", "-o", plugin}), 1, "kavhost: " + plugin + " is " + plugin);
  EXPECT_EQ(fs::file_size(plugin), pluginSize);
  // The printer description, given or the packaged one, is an input too.
  const std::string trial = ReadText("../trial.gpd");
  ExpectFailure(Host({"print", "-o", "../trial.gpd", "--gpd", "../trial.gpd"}), 1,
                "kavhost: ../trial.gpd is ../trial.gpd");
  EXPECT_EQ(ReadText("../trial.gpd"), trial);
  const std::string packaged = host::ProgramDescription();
  const uintmax_t packagedSize = fs::file_size(packaged);
  ExpectFailure(Host({"print", "-o", packaged}), 1, "kavhost: " + packaged + " is " + packaged);
  EXPECT_EQ(fs::file_size(packaged), packagedSize);

  WriteText("script.json", SmallScript());
  ExpectFailure(Host({"replay", "script.json", "-o", "script.json"}), 1, "kavhost: script.json is script.json");
  ExpectFailure(Host({"replay", "script.json", "-o", "a.job", "--writes", "a.job"}), 1, "kavhost: a.job is a.job");
  EXPECT_EQ(ReadText("script.json"), SmallScript());

  WriteText("job.png", "FBEDEB");
  ExpectFailure(Job({"inspect", "job.png", "-o", "job.png"}), 1, "kavjob: job.png is job.png");
  ExpectFailure(Job({"decode", "job.png", "-o", "job.png"}), 1, "kavjob: job.png is job.png");
  EXPECT_EQ(ReadText("job.png"), "FBEDEB");
#ifndef _WIN32
  fs::create_symlink("picture.pgm", "link.pgm");
  ExpectFailure(Host({"print", "picture.pgm", "-o", "link.pgm"}), 1, "kavhost: link.pgm is picture.pgm");
  fs::create_hard_link("script.json", "hard.json");
  ExpectFailure(Host({"replay", "script.json", "-o", "hard.json"}), 1, "kavhost: hard.json is script.json");
  EXPECT_EQ(ReadText("picture.pgm"), "P2 2 1 255\n0 255\n");
#endif
  EXPECT_FALSE(fs::exists("a.job"));
}

TEST_F(OutputTest, ASuccessfulRunReplacesTheFileWholeAndKeepsLinks) {
  WriteText("script.json", SmallScript());
  WriteText("old.job", std::string(1000, 'x'));
#ifndef _WIN32
  chmod("old.job", 0640);
#endif
  const ToolRun run = Host({"replay", "script.json", "-o", "old.job"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(ReadText("old.job"), "FBEDEB");
#ifndef _WIN32
  struct stat info {};
  ASSERT_EQ(stat("old.job", &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  // A link is followed: its target gets the job and the link stays.
  WriteText("target.job", "old");
  fs::create_symlink("target.job", "link.job");
  ASSERT_EQ(Host({"replay", "script.json", "-o", "link.job"}).code, 0);
  EXPECT_TRUE(fs::is_symlink("link.job"));
  EXPECT_EQ(ReadText("target.job"), "FBEDEB");
#endif
}

TEST_F(OutputTest, InspectKeepsTheListingOfWhatItReadBeforeAFault) {
  WriteText("cut.job", std::string("FBEDEB\x45\x63\x02", 9));
  ExpectFailure(Job({"inspect", "cut.job", "-o", "cut.listing"}), 1, "kavjob: cut.job: byte 6: Ec command cut short");
  EXPECT_EQ(ReadText("cut.listing").rfind("0\tFBED\n4\tEB\n", 0), 0u) << ReadText("cut.listing");
}

TEST_F(OutputTest, OutputsCommitTogetherOrNotAtAll) {
  OutputFile first, second;
  ASSERT_TRUE(first.Open("first.txt").ok());
  ASSERT_TRUE(second.Open("second.txt").ok());
  first.Write("1", 1);
  second.Write("2", 1);
  EXPECT_EQ(Names().size(), 2u);  // the two temporary files
  const Status committed = CommitAll({&first, &second});
  ASSERT_TRUE(committed.ok()) << committed.error();
  EXPECT_EQ(Names(), (std::vector<std::string>{"first.txt", "second.txt"}));
  {
    OutputFile dropped;
    ASSERT_TRUE(dropped.Open("first.txt").ok());
    dropped.Write("lost", 4);
  }  // never committed: removed, and the file there is kept
  EXPECT_EQ(ReadText("first.txt"), "1");
  EXPECT_EQ(Names(), (std::vector<std::string>{"first.txt", "second.txt"}));
}

}  // namespace
}  // namespace kav::tools
