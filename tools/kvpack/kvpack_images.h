#pragma once
// Image sections of a kvpack manifest: [sprite NAME] from a PNG strip or from frame files, with origin, mask and
// bounding-box options, and [background NAME] from one image file. See tools/kvpack/README.md.
#include <string>

#include "graphics/background_class.h"
#include "graphics/sprite_class.h"
#include "kvpack_manifest.h"

namespace kv::pack {

// Each throws PackError naming the line for a bad entry, an unreadable or undecodable file, frame files of
// different sizes or a missing file entry. Files are relative to `dir`.
void FillSprite(const Manifest& m, const ManifestSection& sec, const std::string& dir, CSprite& out);
void FillBackground(const Manifest& m, const ManifestSection& sec, const std::string& dir, CBackground& out);

}  // namespace kv::pack
