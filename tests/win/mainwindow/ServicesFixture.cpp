#include "ServicesFixture.h"

#include "lookup/DictionaryWriter.h"
#include "lookup/SearchWords.h"
#include "toolkit/Application.h"
#include "toolkit/Clipboard.h"
#include "toolkit/Utf.h"

namespace kelvara {

namespace {
BOOL CALLBACK CountTrayWindow(HWND hwnd, LPARAM lParam) {
  wchar_t cls[16] = {};
  GetClassNameW(hwnd, cls, 16);
  // A tray object's hidden window is the only top-level STATIC window the program makes.
  if (lstrcmpiW(cls, L"Static") == 0) ++*reinterpret_cast<int*>(lParam);
  return TRUE;
}
}  // namespace

void PumpFor(DWORD ms) {
  PumpUntil([] { return false; }, ms);
}

int LiveTrayObjects() {
  int count = 0;
  EnumThreadWindows(GetCurrentThreadId(), &CountTrayWindow, reinterpret_cast<LPARAM>(&count));
  return count;
}

std::filesystem::path ServicesTest::DictionaryFolder() {
  // Written once per run: the same few words for every test.
  static const std::filesystem::path folder = [] {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::filesystem::path dir =
        std::filesystem::path(temp) / (L"kelvara-services-" + std::to_wstring(GetCurrentProcessId()));
    std::filesystem::create_directories(dir);
    const std::vector<WordRow> rows = {
        {"apple", "\xD8\xB3\xDB\x8C\xD8\xA8"},  // سیب
        {"apples", "\xD8\xB3\xDB\x8C\xD8\xA8\xE2\x80\x8C\xD9\x87\xD8\xA7"},
        {"book", "\xDA\xA9\xD8\xAA\xD8\xA7\xD8\xA8"},
        {"cat", "\xDA\xAF\xD8\xB1\xD8\xA8\xD9\x87"},
        {"car", "\xD8\xAE\xD9\x88\xD8\xAF\xD8\xB1\xD9\x88"},
    };
    WriteOptions options;
    options.kdfIterations = 1000;
    const std::string error = WriteDictionaryFile(dir / "Data.db", rows, options);
    if (!error.empty()) ADD_FAILURE() << "cannot write the test dictionary: " << error;
    return dir;
  }();
  return folder;
}

void ServicesTest::SetUp() {}

void ServicesTest::TearDown() {
  access.reset();
  main.reset();
  PumpFor(50);  // let the shell hear of the icons that went
}

void ServicesTest::Start(const std::wstring& command, const std::wstring& clipboardAtStart) {
  ASSERT_TRUE(toolkit::Clipboard::SetText(clipboardAtStart));
  main = std::make_unique<frmMain>(frmMain::Startup{command, {DictionaryFolder()}});
  access = std::make_unique<ServicesTestAccess>(*main);
  if (trayShell) main->TrayShell = *trayShell;
  ASSERT_TRUE(main->Show());
  ASSERT_NE(main->DictDb(), nullptr);
  PumpFor(50);
}

void ServicesTest::StopTimer() {
  // Ticks by hand act on the tick that reads, however slow a loaded machine makes the reader.
  access->Reader().patience = std::chrono::seconds(10);
  main->tmrClipboard.SetEnabled(false);
  // Flush a tick already waiting in the queue.
  PumpFor(30);
}

void ServicesTest::TickUntilRead() {
  // The read comes on the tick that brings the count back to 0; one that the reader has not
  // finished by then is taken on a later read tick.
  do access->CheckClipboard();
  while (main->TickCount != 0 || access->Reader().Busy());
}

void ServicesTest::ToTray() {
  access->HideToTray();
  PumpFor(20);
}

std::wstring ServicesTest::NotFound() const { return toolkit::Utf8ToWide(NotFoundText); }

}  // namespace kelvara
