// A small dictionary made in memory from a word list, each word's meaning "m:" and the word.
#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "lookup/Dictionary.h"
#include "lookup/DictionaryWriter.h"
#include "lookup/Format.h"

namespace kelvara {

inline std::unique_ptr<Dictionary> WordListDictionary(std::initializer_list<const char*> words) {
  std::vector<WordRow> rows;
  for (const char* w : words) rows.push_back({w, std::string("m:") + w});
  WriteOptions options;
  options.kdfIterations = format::kMinIterations;
  return std::move(Dictionary::FromBytes(EncodeDictionary(rows, options).bytes).dict);
}

}  // namespace kelvara
