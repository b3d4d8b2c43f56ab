#include "kavhost/replay_command.h"

#include "host/render_session.h"
#include "job/kavjob_command.h"
#include "kavhost/render_start.h"
#include "support/arguments.h"
#include "support/files.h"

namespace kav::tools {
namespace {

void SetDevModeMembers(DEVMODEW& devmode, const DevModeFields& fields) {
  for (const auto& [name, value] : fields.values) {
    if (name == "dmColor") devmode.dmColor = value;
    if (name == "dmPaperWidth") devmode.dmPaperWidth = value;
    if (name == "dmPaperLength") devmode.dmPaperLength = value;
    if (name == "dmPrintQuality") devmode.dmPrintQuality = value;
    if (name == "dmYResolution") devmode.dmYResolution = value;
    if (name == "dmOrientation") devmode.dmOrientation = value;
    if (name == "dmPaperSize") devmode.dmPaperSize = value;
  }
}

void SetUpDevice(host::RenderSession& session, const ReplayScript& script) {
  SetDevModeMembers(session.devmode(), script.devmode);
  if (script.physOffset) session.gdiInfo().ptlPhysOffset = {script.physOffset->first, script.physOffset->second};
  // Only the script's settings exist: reads of any other feature fail.
  for (const auto& [feature, keyword] : script.settings) session.helper().SetSetting(feature, keyword);
}

void ProcessBand(host::RenderSession& session, const ScriptCall& call) {
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = call.width;
  header.biHeight = call.height;
  header.biPlanes = 1;
  header.biBitCount = call.bitCount;
  header.biSizeImage = call.sizeImage;
  IPPARAMS params{};
  params.dwSize = sizeof(IPPARAMS);
  params.ptOffset = {call.offsetX, call.offsetY};
  params.bBanding = TRUE;
  params.bBlankBand = call.blank ? TRUE : FALSE;
  // The plug-in may change the band in place; each call gets the script's bytes.
  std::vector<uint8_t> bits = call.data;
  session.Band(call.id, header, bits.data(), params);
}

// Makes one call; false when the device cannot be enabled again.
bool Replay(host::RenderSession& session, const ScriptCall& call) {
  switch (call.kind) {
    case ScriptCall::Kind::kCommandCallback:
      session.Command(call.id);
      break;
    case ScriptCall::Kind::kImageProcessing:
      ProcessBand(session, call);
      break;
    case ScriptCall::Kind::kSetDevMode:
      SetDevModeMembers(session.devmode(), call.devmode);
      break;
    case ScriptCall::Kind::kSetSetting:
      if (call.keyword) {
        session.helper().SetSetting(call.feature, *call.keyword);
      } else {
        session.helper().RemoveSetting(call.feature);
      }
      break;
    case ScriptCall::Kind::kFailWrite:
      session.helper().FailWrite(call.nth);
      break;
    case ScriptCall::Kind::kFailSettings:
      session.helper().FailSettings(call.on);
      break;
    case ScriptCall::Kind::kResetDevice:
      session.DisableDevice();
      return SUCCEEDED(session.EnableDevice());
  }
  return true;
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

std::string WriteListText(const std::vector<WriteCall>& writes) {
  static const char* kDigits = "0123456789abcdef";
  std::string text;
  for (const WriteCall& write : writes) {
    text += std::to_string(write.bytes.size()) + " ";
    for (uint8_t byte : write.bytes) {
      text.push_back(kDigits[byte >> 4]);
      text.push_back(kDigits[byte & 15]);
    }
    text += write.accepted ? "\n" : " failed\n";
  }
  return text;
}

int RunReplay(const ReplayOptions& options, std::ostream& out, std::ostream& err) {
  std::vector<uint8_t> text;
  std::string error;
  if (!ReadWholeFile(options.script, text, error)) return Failure(err, error);
  ReplayScript script;
  const std::string_view document(reinterpret_cast<const char*>(text.data()), text.size());
  if (!ParseReplayScript(document, FolderOf(options.script), script, error)) {
    return Failure(err, options.script + ": " + error);
  }
  ApplyOsVersion(script.osVersion, "os_version", err);
  host::RenderSession session;
  if (!OpenRenderPlugin(session, options.plugin, error)) return Failure(err, error);
  SetUpDevice(session, script);
  std::vector<WriteCall> writes;
  std::vector<uint8_t> job;
  session.helper().SetWriteObserver([&](const uint8_t* bytes, DWORD size, bool accepted) {
    const uint8_t* end = bytes == nullptr ? bytes : bytes + size;
    writes.push_back({std::vector<uint8_t>(bytes, end), accepted});
    if (accepted) job.insert(job.end(), bytes, end);
  });
  if (FAILED(session.EnableDevice()))
    return Failure(err, "the plug-in could not enable the device (EnablePDEV failed)");
  for (size_t i = 0; i < script.calls.size(); ++i) {
    if (!Replay(session, script.calls[i])) {
      return Failure(err,
                     "calls[" + std::to_string(i) + "] (ResetDevice): the plug-in could not enable the new device");
    }
  }
  session.DisableDevice();
  if (!WriteWholeFile(options.output, job.data(), job.size(), error)) return Failure(err, error);
  if (!options.writes.empty()) {
    const std::string list = WriteListText(writes);
    if (!WriteWholeFile(options.writes, list.data(), list.size(), error)) return Failure(err, error);
  }
  size_t failed = 0;
  for (const WriteCall& write : writes) failed += write.accepted ? 0 : 1;
  out << "replayed " << script.calls.size() << " calls: " << writes.size() << " writes (" << failed << " failed), "
      << job.size() << " bytes -> " << options.output << "\n";
  return kExitOk;
}

}  // namespace kav::tools
