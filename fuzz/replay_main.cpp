// Replays a fuzz target's corpus: every file under the folders (or the files)
// named on the command line goes through the target once, so the corpus runs
// as an ordinary test where libFuzzer is absent.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz_input.h"

namespace {

bool Replay(const std::filesystem::path& file) {
  std::ifstream stream(file, std::ios::binary);
  if (!stream) {
    std::fprintf(stderr, "cannot read %s\n", file.string().c_str());
    return false;
  }
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  unsigned replayed = 0;
  unsigned unreadable = 0;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path root(argv[i]);
    std::error_code error;
    if (std::filesystem::is_directory(root, error)) {
      for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) continue;
        Replay(entry.path()) ? ++replayed : ++unreadable;
      }
    } else {
      Replay(root) ? ++replayed : ++unreadable;
    }
  }
  std::printf("%u passed, %u failed\n", replayed, unreadable);
  return replayed > 0 && unreadable == 0 ? 0 : 1;
}
