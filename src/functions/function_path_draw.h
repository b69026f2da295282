// draw_path: a path resource drawn as a line strip in the drawing colour and alpha.
#pragma once

namespace kv {
void RegisterPathDrawFunctions();
}  // namespace kv
