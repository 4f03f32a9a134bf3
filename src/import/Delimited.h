// Tab-separated and comma-separated (CSV) word lists: headword in the first column, meaning in
// the second, any further non-empty columns added to the meaning as lines of their own.
//
// Choices (docs/importing.md tells users):
// - CSV follows RFC 4180: a field that begins with a double quote runs to the next lone double
//   quote, "" inside it is one quote, and it may hold commas and line breaks; a quote anywhere
//   else is an ordinary character;
// - tab-separated text takes the same quoting only within a line: a field that begins with a
//   quote is quoted when its closing quote comes before a tab or the line's end, else the
//   quote is text (a stray quote must not swallow the lines after it);
// - UTF-8 with or without a byte order mark, or UTF-16 (LE or BE) with one;
// - the first row is a header, and skipped, only when its first two cells are column names
//   (headword, word, english, term, entry, lemma / meaning, definition, translation, persian,
//   description, gloss, in any letter case); otherwise it is a word like any other;
// - empty lines are skipped; a line with no separator is a headword with an empty meaning.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "ImportSource.h"

namespace kelvara::import {

enum class Delimiter : char { Tab = '\t', Comma = ',' };

// On failure `error` names the file, the line and the reason (an unterminated quote, a record
// over the line limit, text that is neither UTF-8 nor UTF-16 with a byte order mark).
bool ReadDelimited(const std::filesystem::path& file, Delimiter delimiter, Source& out,
                   std::string& error, const Progress& progress = {});

// The same over bytes in memory; `name` stands for the file in messages and is the source's name.
bool ParseDelimited(std::string_view bytes, Delimiter delimiter, const std::string& name,
                    Source& out, std::string& error, const Progress& progress = {});

}  // namespace kelvara::import
