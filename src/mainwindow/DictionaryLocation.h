// Finding and opening Data.db: the current folder first, then the program's own folder (started
// with Windows, the current folder is the system folder). A failure is explained to the user.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "lookup/Dictionary.h"
#include "shared/Constants.h"

namespace kelvara {

struct DictionaryOpening {
  OpenResult result;
  std::filesystem::path file;                  // the file opened or tried last
  std::vector<std::filesystem::path> folders;  // the folders searched, in order
};

// The folders to search: the current folder, then the program's folder when it differs.
std::vector<std::filesystem::path> DictionaryFolders();

// Opens the first Data.db that exists in `folders`. Only a missing file moves the search on:
// a file that exists but cannot be opened is the one reported.
DictionaryOpening OpenDictionary(const std::vector<std::filesystem::path>& folders);

// The reason in Persian for an error code.
std::wstring DictErrorText(DictError error);

// The whole message for a failed opening: the file, the folders searched and the reason.
std::wstring OpenFailureMessage(const DictionaryOpening& opening);

}  // namespace kelvara
