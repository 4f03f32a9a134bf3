// Whether another program holds a dictionary file open, asked before an import that may take a
// while, so that the user hears it at once rather than after the import (the write at the end
// refuses too, whatever this said).
#pragma once

#include <filesystem>

namespace kelvara {

// True when `file` exists and cannot be had exclusively because someone holds it: on Windows
// the program opens Data.db sharing it for reading only, so an open without sharing fails with
// a sharing violation; on POSIX readers hold a shared flock.
bool FileInUse(const std::filesystem::path& file);

}  // namespace kelvara
