#include "kavhost/replay_command.h"

#include <variant>

#include "host/render_session.h"
#include "kavhost/job_sink.h"
#include "kavhost/render_start.h"
#include "support/files.h"
#include "support/hex.h"
#include "support/output_file.h"

namespace kav::tools {
namespace {

void SetUpDevice(host::RenderSession& session, const ReplayScript& script) {
  script.devmode.ApplyTo(session.devmode());
  if (script.physOffset) session.gdiInfo().ptlPhysOffset = {script.physOffset->first, script.physOffset->second};
  // Only the script's settings exist: reads of any other feature fail.
  for (const auto& [feature, keyword] : script.settings) session.helper().SetSetting(feature, keyword);
}

// One call of each kind; fails when a band cannot be read or the device
// cannot be enabled again.
Status Replay(host::RenderSession& session, const CommandCallbackCall& call) {
  session.Command(call.id);
  return {};
}

Status Replay(host::RenderSession& session, const ImageProcessingCall& call) {
  IPPARAMS params{};
  params.dwSize = sizeof(IPPARAMS);
  params.ptOffset = call.offset;
  params.bBanding = TRUE;
  params.bBlankBand = call.blank ? TRUE : FALSE;
  // Read for this call only, so one band at a time is in memory; the
  // plug-in may change the band and its header in place, so each call gets
  // fresh ones.
  Result<std::vector<uint8_t>> bits = LoadBandData(call);
  if (!bits) return bits.failure();
  BITMAPINFOHEADER header = call.header;
  session.Band(call.callback, header, bits->data(), params);
  return {};
}

Status Replay(host::RenderSession& session, const SetDevModeCall& call) {
  call.devmode.ApplyTo(session.devmode());
  return {};
}

Status Replay(host::RenderSession& session, const SetSettingCall& call) {
  if (call.keyword) {
    session.helper().SetSetting(call.feature, *call.keyword);
  } else {
    session.helper().RemoveSetting(call.feature);
  }
  return {};
}

Status Replay(host::RenderSession& session, const FailWriteCall& call) {
  session.helper().FailWrite(call.nth);
  return {};
}

Status Replay(host::RenderSession& session, const FailSettingsCall& call) {
  session.helper().FailSettings(call.on);
  return {};
}

Status Replay(host::RenderSession& session, const ResetDeviceCall&) {
  session.DisableDevice();
  if (SUCCEEDED(session.EnableDevice())) return {};
  return Error{"the plug-in could not enable the new device"};
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

Status CheckOutputs(const ReplayOptions& options, const std::vector<std::string>& inputs) {
  if (const Status distinct = CheckOutputIsNoInput(options.output, inputs); !distinct) return distinct;
  if (options.writes.empty()) return {};
  std::vector<std::string> taken = inputs;
  taken.push_back(options.output);
  return CheckOutputIsNoInput(options.writes, taken);
}

// Reads and checks the script, refusing one too large before reading it.
Result<ReplayScript> ReadScript(const std::string& path) {
  const Result<uint64_t> size = RegularFileSize(path);
  if (!size) return size.failure();
  if (*size > kMaxScriptBytes) {
    return Error{path + ": " + std::to_string(*size) + " bytes, more than the " +
                 std::to_string(kMaxScriptBytes >> 20) + " MiB a script may have (put band data in data files)"};
  }
  const Result<std::vector<uint8_t>> text = ReadWholeFile(path);
  if (!text) return text.failure();
  const std::string_view document(reinterpret_cast<const char*>(text->data()), text->size());
  return WithContext(ParseReplayScript(document, FolderOf(path)), path);
}

}  // namespace

void DescribeReplayOptions(CLI::App& command, ReplayOptions& options) {
  AddOption(command, "SCRIPT.json", "SCRIPT.json", "the script of host calls", options.script)->required();
  AddOption(command, "-o,--output", "JOB", "the job file to write", options.output)->required();
  AddOption(command, "--writes", "FILE", "also lists every spool write in this file", options.writes);
  AddOption(command, "--plugin", "PATH", "render library to load (default: the one beside the program)",
            options.plugin);
}

std::string WriteListLine(const uint8_t* bytes, size_t size, bool accepted) {
  std::string text = std::to_string(size) + " ";
  AppendHex(text, bytes, size);
  text += accepted ? "\n" : " failed\n";
  return text;
}

Status RunReplay(const ReplayOptions& options, std::ostream& out, std::ostream& err) {
  const Result<ReplayScript> read = ReadScript(options.script);
  if (!read) return read.failure();
  const ReplayScript& script = *read;
  const std::string plugin = RenderPluginPath(options.plugin);
  if (const Status distinct = CheckOutputs(options, ReplayInputs(options, script, plugin)); !distinct) return distinct;
  ApplyOsVersion(script.osVersion, "os_version", err);
  host::RenderSession session;
  std::string error;
  if (!session.Open(plugin, error)) return Error{error};
  SetUpDevice(session, script);
  JobSink job;
  OutputFile writes;
  if (const Status opened = job.file.Open(options.output); !opened) return opened;
  if (!options.writes.empty()) {
    if (const Status opened = writes.Open(options.writes); !opened) return opened;
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
  if (FAILED(session.EnableDevice())) return Error{"the plug-in could not enable the device (EnablePDEV failed)"};
  for (size_t i = 0; i < script.calls.size(); ++i) {
    const ScriptCall& call = script.calls[i];
    const Status made = std::visit([&session](const auto& fields) { return Replay(session, fields); }, call);
    if (!made) {
      return Error{"calls[" + std::to_string(i) + "] (" + CallName(call) + "): " + made.error()};
    }
  }
  session.DisableDevice();
  std::vector<OutputFile*> outputs = {&job.file};
  if (!options.writes.empty()) outputs.push_back(&writes);
  if (const Status committed = CommitAll(outputs); !committed) return committed;
  out << "replayed " << script.calls.size() << " calls: " << writeCount << " writes (" << failed << " failed), "
      << job.bytes << " bytes -> " << options.output << "\n";
  return {};
}

}  // namespace kav::tools
