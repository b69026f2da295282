// Texture and surface functions of the script language: texture ids of sprite frames and backgrounds, texture
// queries and render-state flags, surfaces (create, free, query, target, read, save, copy). Saving obeys secure
// mode: no file outside the working directory.
#pragma once

namespace kv {

void RegisterSurfaceFunctions();

}  // namespace kv
