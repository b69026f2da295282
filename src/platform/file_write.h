#pragma once
// Files the runner writes for a game (saved games, screenshots, saved sprites and surfaces): always written
// atomically, and in secure mode only into the working directory as the file system resolves it.
#include <cstddef>
#include <string>

namespace kv::plat {

// True when the directory that would hold `path` resolves, following every symbolic link, to the working
// directory or a directory below it, and the final name is an ordinary name (not empty, "." or ".."). Names are
// taken as the system spells them: a directory literally named "a\b" is one directory.
bool WriteStaysInWorkingDirectory(const std::string& path);

// Writes the bytes to a new temporary file (exclusively created, never through a link) in the directory of
// `path`, then renames it over `path`: the old file survives any failure, and a link planted under the target's
// name is replaced, never followed. With `insideWorkingDirectory` the write is refused unless
// WriteStaysInWorkingDirectory(path); the directory is checked through the handle the write then uses, so a link
// swapped in between cannot redirect it. False when nothing was written.
bool WriteFileAtomically(const std::string& path, const void* data, size_t size, bool insideWorkingDirectory);

}  // namespace kv::plat
