#include "support/arguments.h"

#include <charconv>

#include "support/shown_text.h"

namespace kav::tools {

bool ParseArguments(const std::vector<std::string>& args, const KnownOptions& known, ParsedArguments& parsed,
                    std::string& error) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.size() < 2 || arg[0] != '-') {
      parsed.positional.push_back(arg);
      continue;
    }
    const size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    if (known.flags.count(name) != 0 && equals == std::string::npos) {
      parsed.flags.insert(name);
      continue;
    }
    if (known.withValue.count(name) == 0) {
      error = "unknown option " + ShownWord(arg);
      return false;
    }
    std::string value;
    if (equals != std::string::npos) {
      value = arg.substr(equals + 1);
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      error = "option " + ShownWord(name) + " needs a value";
      return false;
    }
    if (!parsed.values.emplace(name, value).second) {
      error = "option " + ShownWord(name) + " given twice";
      return false;
    }
  }
  return true;
}

std::optional<long long> ParseWholeNumber(const std::string& text, long long min, long long max) {
  long long value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size() || value < min || value > max) return {};
  return value;
}

}  // namespace kav::tools
