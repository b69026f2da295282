#include "runner/included_export.h"

#include "functions/file_names.h"
#include "functions/function_file.h"
#include "platform/file_system.h"

namespace kv {
namespace {

void Report(const IncludedFilePlaces& places, const std::string& message) {
  if (places.report) places.report(message);
}

bool DeleteGameFile(const std::string& gamePath) {
  const auto host = HostPathOf(gamePath);
  return host && plat::DeleteFile(*host);
}

}  // namespace

int FindIncludedFile(const std::vector<CDataFile>& files, const std::string& name) {
  for (size_t i = 0; i < files.size(); ++i)
    if (files[i].name == name) return static_cast<int>(i);
  return -1;
}

bool WriteIncludedFileTo(const CDataFile& file, const std::string& gamePath) {
  if (!file.hasData) return false;
  const auto host = HostPathOf(gamePath);
  if (!host) return false;
  if (plat::FileExists(*host) && !file.overwrite) return false;
  auto out = plat::HostFile::Open(*host, plat::HostFile::Mode::Write);
  if (!out) return false;
  const bool written = out->Write(file.data.data(), file.data.size());
  return out->Close() && written;
}

bool ExportIncludedFile(CDataFile& file, const IncludedFilePlaces& places) {
  if (!file.hasData) return false;
  if (file.exportMode == 0) return true;
  if (places.secureMode && (HasPathSeparator(file.name) || SecureModeRefuses(file.name))) {
    Report(places, "In secure mode you cannot export a data file to " + file.name);
    return false;
  }
  bool written = false;
  switch (file.exportMode) {
    case 1:  // without a temporary directory there is nowhere to write
      written = !places.tempDir.empty() && WriteIncludedFileTo(file, places.tempDir + "\\" + file.name);
      break;
    case 2: written = WriteIncludedFileTo(file, file.name); break;
    case 3: {
      if (places.secureMode) {
        Report(places, "In secure mode you cannot export a data file to an indicated directory.");
        return false;
      }
      if (const auto folder = HostPathOf(file.exportFolder)) plat::CreateDirectories(*folder);
      written = WriteIncludedFileTo(file, file.exportFolder + "\\" + file.name);
      break;
    }
    default: break;
  }
  if (file.freeAfterExport) DiscardIncludedFile(file);
  return written;
}

void DiscardIncludedFile(CDataFile& file) {
  if (!file.hasData) return;
  file.hasData = false;
  std::vector<uint8_t>().swap(file.data);
}

bool RemoveExportedIncludedFile(const CDataFile& file, const IncludedFilePlaces& places) {
  if (!file.removeAtEnd) return true;
  if (places.secureMode && HasPathSeparator(file.name)) return false;
  switch (file.exportMode) {
    case 0: return true;
    case 1: return !places.tempDir.empty() && DeleteGameFile(places.tempDir + "\\" + file.name);
    case 2: return DeleteGameFile(file.name);
    case 3: return !places.secureMode && DeleteGameFile(file.exportFolder + "\\" + file.name);
    default: return false;
  }
}

void ExportAllIncludedFiles(std::vector<CDataFile>& files, const IncludedFilePlaces& places) {
  for (CDataFile& f : files) ExportIncludedFile(f, places);
}

void RemoveAllIncludedFiles(const std::vector<CDataFile>& files, const IncludedFilePlaces& places) {
  for (const CDataFile& f : files) RemoveExportedIncludedFile(f, places);
}

}  // namespace kv
