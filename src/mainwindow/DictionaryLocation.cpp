#include "DictionaryLocation.h"

#include <system_error>

#include "toolkit/Application.h"

namespace kelvara {

namespace fs = std::filesystem;

namespace {
// Paths are left-to-right text inside a right-to-left message: an embedding keeps their
// separators where they belong.
std::wstring Ltr(const std::wstring& text) { return L"\u202A" + text + L"\u202C"; }

bool SameFolder(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  if (fs::equivalent(a, b, ec)) return true;
  return a.lexically_normal() == b.lexically_normal();
}
}  // namespace

std::vector<fs::path> DictionaryFolders() {
  std::vector<fs::path> folders;
  std::error_code ec;
  fs::path current = fs::current_path(ec);
  if (!ec) folders.push_back(current);
  fs::path program(toolkit::Application::Path());
  if (!program.empty() && (folders.empty() || !SameFolder(folders.front(), program)))
    folders.push_back(program);
  return folders;
}

DictionaryOpening OpenDictionary(const std::vector<fs::path>& folders) {
  DictionaryOpening opening;
  opening.folders = folders;
  opening.result.error = DictError::Missing;
  for (const fs::path& folder : folders) {
    opening.file = folder / kDictionaryFileName;
    opening.result = Dictionary::Open(opening.file);
    if (opening.result.error != DictError::Missing) break;
  }
  if (folders.empty()) opening.file = kDictionaryFileName;
  return opening;
}

std::wstring DictErrorText(DictError error) {
  switch (error) {
    case DictError::None:
      return {};
    case DictError::Missing:
      return L"فایل در هیچ\u200Cیک از این پوشه\u200Cها نیست.";
    case DictError::Unreadable:
      return L"فایل خوانده نمی\u200Cشود؛ شاید اجازهٔ خواندن آن را ندارید.";
    case DictError::Locked:
      return L"برنامهٔ دیگری فایل را در دست دارد. آن برنامه را ببندید و دوباره بکوشید.";
    case DictError::WrongPassword:
      return L"گذرواژهٔ فایل درست نیست.";
    case DictError::Damaged:
      return L"فایل آسیب دیده یا دست\u200Cکاری شده است.";
    case DictError::Truncated:
      return L"فایل ناقص است؛ بخشی از پایان آن از دست رفته است.";
    case DictError::UnknownVersion:
      return L"نگارش این فایل برای این برنامه ناشناخته است.";
    case DictError::NotADictionary:
      return L"این فایل، فایل واژه\u200Cنامهٔ کلوارا نیست.";
  }
  return {};
}

std::wstring OpenFailureMessage(const DictionaryOpening& opening) {
  std::wstring text = L"فایل واژه\u200Cنامه باز نشد.\r\n\r\n";
  if (opening.result.error == DictError::Missing) {
    text += L"فایل: " + Ltr(kDictionaryFileName);
  } else {
    text += L"فایل: " + Ltr(opening.file.wstring());
  }
  text += L"\r\nپوشه\u200Cهای جست\u200Cوجوشده:";
  for (const fs::path& folder : opening.folders) text += L"\r\n" + Ltr(folder.wstring());
  text += L"\r\n\r\nعلت: " + DictErrorText(opening.result.error);
  text += L"\r\n\r\nبرنامه بسته می\u200Cشود.";
  return text;
}

}  // namespace kelvara
