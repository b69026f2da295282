#pragma once
// The [extension NAME] sections of a kvpack manifest: extension packages with their files (native libraries,
// script files, other files), functions, constants and initialization and finalization functions.
#include <string>
#include <vector>

#include "extensions/extension_class.h"
#include "kvpack_manifest.h"
#include "kvpack_project.h"

namespace kv::pack {

// Fills one package from its section. Function ids without `id=N` are given from `nextFunctionId` on (it
// advances past every id used). Files are read relative to `dir`. The code of each script-file function is added
// to `code` with its file and the line it starts after, for the compile check.
CExtensionPackage PackExtension(const Manifest& m, const ManifestSection& sec, const std::string& dir,
                                int& nextFunctionId, std::vector<CodeSource>& code);

}  // namespace kv::pack
