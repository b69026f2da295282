#pragma once
// Name and version the runner reports in --help and --version.
namespace kv {
const char* RunnerName();
const char* RunnerVersion();
}  // namespace kv
