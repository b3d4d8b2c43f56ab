#include "kavhost/replay_command.h"

#include <variant>

#include "host/render_session.h"
#include "job/kavjob_command.h"
#include "kavhost/job_sink.h"
#include "kavhost/render_start.h"
#include "support/arguments.h"
#include "support/files.h"
#include "support/output_file.h"

namespace kav::tools {
namespace {

void SetUpDevice(host::RenderSession& session, const ReplayScript& script) {
  script.devmode.ApplyTo(session.devmode());
  if (script.physOffset) session.gdiInfo().ptlPhysOffset = {script.physOffset->first, script.physOffset->second};
  // Only the script's settings exist: reads of any other feature fail.
  for (const auto& [feature, keyword] : script.settings) session.helper().SetSetting(feature, keyword);
}

// One call of each kind; false with `error` when a band cannot be read or
// the device cannot be enabled again.
bool Replay(host::RenderSession& session, const CommandCallbackCall& call, std::string&) {
  session.Command(call.id);
  return true;
}

bool Replay(host::RenderSession& session, const ImageProcessingCall& call, std::string& error) {
  IPPARAMS params{};
  params.dwSize = sizeof(IPPARAMS);
  params.ptOffset = call.offset;
  params.bBanding = TRUE;
  params.bBlankBand = call.blank ? TRUE : FALSE;
  // Read for this call only, so one band at a time is in memory; the
  // plug-in may change the band and its header in place, so each call gets
  // fresh ones.
  std::vector<uint8_t> bits;
  if (!LoadBandData(call, bits, error)) return false;
  BITMAPINFOHEADER header = call.header;
  session.Band(call.callback, header, bits.data(), params);
  return true;
}

bool Replay(host::RenderSession& session, const SetDevModeCall& call, std::string&) {
  call.devmode.ApplyTo(session.devmode());
  return true;
}

bool Replay(host::RenderSession& session, const SetSettingCall& call, std::string&) {
  if (call.keyword) {
    session.helper().SetSetting(call.feature, *call.keyword);
  } else {
    session.helper().RemoveSetting(call.feature);
  }
  return true;
}

bool Replay(host::RenderSession& session, const FailWriteCall& call, std::string&) {
  session.helper().FailWrite(call.nth);
  return true;
}

bool Replay(host::RenderSession& session, const FailSettingsCall& call, std::string&) {
  session.helper().FailSettings(call.on);
  return true;
}

bool Replay(host::RenderSession& session, const ResetDeviceCall&, std::string& error) {
  session.DisableDevice();
  if (SUCCEEDED(session.EnableDevice())) return true;
  error = "the plug-in could not enable the new device";
  return false;
}

// The files the replay reads, which no output may name.
std::vector<std::string> ReplayInputs(const ReplayOptions& options, const ReplayScript& script,
                                      const std::string& plugin) {
  std::vector<std::string> inputs = {options.script, plugin};
  for (const ScriptCall& call : script.calls) {
    const auto* band = std::get_if<ImageProcessingCall>(&call);
    if (band != nullptr && !band->dataFile.empty()) inputs.push_back(band->dataFile);
  }
  return inputs;
}

bool CheckOutputs(const ReplayOptions& options, const std::vector<std::string>& inputs, std::string& error) {
  if (!CheckOutputIsNoInput(options.output, inputs, error)) return false;
  if (options.writes.empty()) return true;
  std::vector<std::string> taken = inputs;
  taken.push_back(options.output);
  return CheckOutputIsNoInput(options.writes, taken, error);
}

// Reads and checks the script, refusing one too large before reading it.
bool ReadScript(const std::string& path, ReplayScript& script, std::string& error) {
  const std::optional<uint64_t> size = RegularFileSize(path, error);
  if (!size) return false;
  if (*size > kMaxScriptBytes) {
    error = path + ": " + std::to_string(*size) + " bytes, more than the " + std::to_string(kMaxScriptBytes >> 20) +
            " MiB a script may have (put band data in data files)";
    return false;
  }
  std::vector<uint8_t> text;
  if (!ReadWholeFile(path, text, error)) return false;
  const std::string_view document(reinterpret_cast<const char*>(text.data()), text.size());
  if (ParseReplayScript(document, FolderOf(path), script, error)) return true;
  error = path + ": " + error;
  return false;
}

}  // namespace

bool ParseReplayOptions(const std::vector<std::string>& args, ReplayOptions& options, std::string& error) {
  const KnownOptions known{{"-o", "--writes", "--plugin"}, {}};
  ParsedArguments parsed;
  if (!ParseArguments(args, known, parsed, error)) return false;
  if (parsed.positional.size() != 1) {
    error = parsed.positional.empty() ? "replay needs a script" : "replay takes one script";
    return false;
  }
  options.script = parsed.positional[0];
  if (parsed.values.count("-o") == 0) {
    error = "replay needs -o JOB";
    return false;
  }
  options.output = parsed.values["-o"];
  if (parsed.values.count("--writes") != 0) options.writes = parsed.values["--writes"];
  if (parsed.values.count("--plugin") != 0) options.plugin = parsed.values["--plugin"];
  return true;
}

std::string WriteListLine(const uint8_t* bytes, size_t size, bool accepted) {
  static const char* kDigits = "0123456789abcdef";
  std::string text = std::to_string(size) + " ";
  text.reserve(text.size() + 2 * size + 8);
  for (size_t i = 0; i < size; ++i) {
    text.push_back(kDigits[bytes[i] >> 4]);
    text.push_back(kDigits[bytes[i] & 15]);
  }
  text += accepted ? "\n" : " failed\n";
  return text;
}

int RunReplay(const ReplayOptions& options, std::ostream& out, std::ostream& err) {
  std::string error;
  ReplayScript script;
  if (!ReadScript(options.script, script, error)) return Failure(err, error);
  const std::string plugin = RenderPluginPath(options.plugin);
  if (!CheckOutputs(options, ReplayInputs(options, script, plugin), error)) return Failure(err, error);
  ApplyOsVersion(script.osVersion, "os_version", err);
  host::RenderSession session;
  if (!session.Open(plugin, error)) return Failure(err, error);
  SetUpDevice(session, script);
  JobSink job;
  OutputFile writes;
  if (!job.file.Open(options.output, error) || (!options.writes.empty() && !writes.Open(options.writes, error))) {
    return Failure(err, error);
  }
  uint64_t writeCount = 0;
  uint64_t failed = 0;
  // The observer sees every call, refused ones too; the sink gets the
  // accepted bytes, so the helper keeps no copy of the job.
  session.helper().SetWriteObserver([&](const uint8_t* bytes, DWORD size, bool accepted) {
    ++writeCount;
    failed += accepted ? 0 : 1;
    if (!options.writes.empty()) {
      const std::string line = WriteListLine(bytes, bytes == nullptr ? 0 : size, accepted);
      writes.Write(line.data(), line.size());
    }
  });
  session.helper().SetSink(&job);
  if (FAILED(session.EnableDevice()))
    return Failure(err, "the plug-in could not enable the device (EnablePDEV failed)");
  for (size_t i = 0; i < script.calls.size(); ++i) {
    const ScriptCall& call = script.calls[i];
    if (!std::visit([&](const auto& fields) { return Replay(session, fields, error); }, call)) {
      return Failure(err, "calls[" + std::to_string(i) + "] (" + CallName(call) + "): " + error);
    }
  }
  session.DisableDevice();
  std::vector<OutputFile*> outputs = {&job.file};
  if (!options.writes.empty()) outputs.push_back(&writes);
  if (!CommitAll(outputs, error)) return Failure(err, error);
  out << "replayed " << script.calls.size() << " calls: " << writeCount << " writes (" << failed << " failed), "
      << job.bytes << " bytes -> " << options.output << "\n";
  return kExitOk;
}

}  // namespace kav::tools
