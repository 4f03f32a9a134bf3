// DSL, the text format many desktop dictionaries use: `#NAME "..."` headers, then cards of one or
// more headword lines (at the start of a line) followed by body lines (indented), the body marked
// up with [tags]. Read into plain text for the meaning box.
//
// Choices (docs/importing.md tells users):
// - every headword line of a card is a headword of its own with the card's meaning;
// - `{...}` in a headword is its unsorted part: shown by the source, not looked up, so it is left
//   out of our headword (`{to }go` is `go`); parentheses are kept as written;
// - `~` in a body is the card's first headword;
// - [mN] indents its line by N times two spaces; [s] and [video] (resource files) are dropped
//   with their contents; every other tag is dropped and its text kept; {{comments}} are dropped;
// - an `_abrv.dsl` (abbreviations) beside the file is not read.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "ImportSource.h"

namespace kelvara::import {

// `.dsl` or `.dsl.dz`. On failure `error` names the file, the line and the reason.
bool ReadDsl(const std::filesystem::path& file, Source& out, std::string& error,
             const Progress& progress = {});

// The same over the bytes of a whole `.dsl` (unpacked); `name` stands for the file in messages
// and is the source's name when the text has no #NAME.
bool ParseDsl(std::string_view bytes, const std::string& name, Source& out, std::string& error,
              const Progress& progress = {});

// A body line's markup as plain text (no indentation, no line end); `headword` replaces `~`.
// Exposed for tests.
std::string DslBodyToText(std::string_view line, std::string_view headword, int* indent = nullptr);

// A headword line as the headword we index.
std::string DslHeadword(std::string_view line);

}  // namespace kelvara::import
