#pragma once
// The kvpack command line: "kvpack DIR OUT" packs a project, "kvpack --dump GAME" summarises a game file.
#include <iosfwd>
#include <string>
#include <vector>

namespace kv::pack {

// Returns the exit code: 0 done, 1 a project or game file error, 2 bad usage.
int RunKvpack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kv::pack
