// Which reader a file needs, by its name and, where the name says nothing, by its first bytes;
// and, from the files a user names (a drop on the tool names every file of a dictionary), the
// sources to read.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "ImportSource.h"

namespace kelvara::import {

enum class SourceFormat { StarDict, Dictd, Dsl, Tab, Csv };

std::string_view FormatName(SourceFormat format);

struct PlannedSource {
  std::filesystem::path path;  // the file its reader starts from (.ifo, .index, .dsl, ...)
  SourceFormat format;
};

struct SourcePlan {
  std::vector<PlannedSource> sources;  // in the order named, each once
  std::vector<std::string> notes;      // files named but not read, and why
};

// The companions of a StarDict .ifo (.idx, .idx.gz, .dict, .dict.dz, .syn) or of a dictd .index
// (.dict, .dict.dz) stand for their dictionary; a DSL's `_abrv.dsl`, annotation (.ann), icon
// (.bmp) and resources (.files.zip) are noted and left out. False with a message naming the file
// when a file is missing, a folder, or in no format the importers know.
bool PlanSources(const std::vector<std::filesystem::path>& paths, SourcePlan& plan,
                 std::string& error);

// Reads one planned source with its reader.
bool ReadSource(const PlannedSource& source, Source& out, std::string& error,
                const Progress& progress = {});

}  // namespace kelvara::import
