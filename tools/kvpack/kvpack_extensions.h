#pragma once
// The [extension NAME] sections of a kvpack manifest: extension packages with their files (native libraries,
// script files, other files), functions, constants and initialization and finalization functions.
#include <string>

#include "extensions/extension_class.h"
#include "kvpack_manifest.h"

namespace kv::pack {

// Fills one package from its section. Function ids without `id=N` are given from `nextFunctionId` on (it
// advances past every id used). Files are read relative to `dir`.
CExtensionPackage PackExtension(const Manifest& m, const ManifestSection& sec, const std::string& dir,
                                int& nextFunctionId);

}  // namespace kv::pack
