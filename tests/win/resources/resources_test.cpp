#include <windows.h>
#include <commctrl.h>
#include <olectl.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwctype>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kelvara/Version.h"

namespace {

#pragma pack(push, 2)
struct GroupEntry {  // GRPICONDIRENTRY
  BYTE width, height, colourCount, reserved;
  WORD planes, bitCount;
  DWORD bytesInRes;
  WORD id;
};
struct GroupHeader {
  WORD reserved, type, count;
};
#pragma pack(pop)

std::string_view ResourceBytes(const wchar_t* name, const wchar_t* type) {
  HRSRC found = FindResourceW(nullptr, name, type);
  if (!found) return {};
  HGLOBAL loaded = LoadResource(nullptr, found);
  return {static_cast<const char*>(LockResource(loaded)), SizeofResource(nullptr, found)};
}

struct IconImage {
  GroupEntry entry;
  int width = 0, height = 0, bits = 0;
  bool png = false;
};

uint32_t BigEndian32(const char* p) {
  auto b = [&](int i) { return static_cast<uint32_t>(static_cast<unsigned char>(p[i])); };
  return b(0) << 24 | b(1) << 16 | b(2) << 8 | b(3);
}

// Reads a group directory and the size of every image it names, from the image itself.
std::vector<IconImage> IconGroup(const wchar_t* name) {
  std::vector<IconImage> images;
  std::string_view dir = ResourceBytes(name, RT_GROUP_ICON);
  if (dir.size() < sizeof(GroupHeader)) return images;
  GroupHeader header;
  std::memcpy(&header, dir.data(), sizeof header);
  if (dir.size() < sizeof header + header.count * sizeof(GroupEntry)) return images;
  for (WORD i = 0; i < header.count; ++i) {
    IconImage image;
    std::memcpy(&image.entry, dir.data() + sizeof header + i * sizeof(GroupEntry),
                sizeof(GroupEntry));
    std::string_view bytes = ResourceBytes(MAKEINTRESOURCEW(image.entry.id), RT_ICON);
    EXPECT_EQ(bytes.size(), image.entry.bytesInRes) << "image " << image.entry.id;
    if (bytes.size() >= 24 && bytes.substr(0, 8) == "\x89PNG\r\n\x1a\n") {
      image.png = true;
      image.width = static_cast<int>(BigEndian32(bytes.data() + 16));
      image.height = static_cast<int>(BigEndian32(bytes.data() + 20));
      image.bits = 32;
    } else if (bytes.size() >= sizeof(BITMAPINFOHEADER)) {
      BITMAPINFOHEADER bih;
      std::memcpy(&bih, bytes.data(), sizeof bih);
      image.width = bih.biWidth;
      image.height = bih.biHeight / 2;  // colour bits and AND mask
      image.bits = bih.biBitCount;
    }
    images.push_back(image);
  }
  return images;
}

std::wstring ModulePath() {
  wchar_t path[MAX_PATH]{};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

class VersionInfo {
 public:
  VersionInfo() {
    const std::wstring path = ModulePath();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    data_.resize(size);
    ok_ = size && GetFileVersionInfoW(path.c_str(), 0, size, data_.data());
  }
  bool ok() const { return ok_; }
  std::wstring String(const wchar_t* name) {
    std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data_.data(), query.c_str(), &value, &length) || !value) return L"<none>";
    return static_cast<const wchar_t*>(value);
  }
  template <typename T>
  const T* Block(const wchar_t* query, UINT* length) {
    void* value = nullptr;
    if (!VerQueryValueW(data_.data(), query, &value, length)) return nullptr;
    return static_cast<const T*>(value);
  }

 private:
  std::vector<char> data_;
  bool ok_ = false;
};

}  // namespace

TEST(RunTimeIcon, HoldsSevenThirtyTwoBitImagesFrom512Down) {
  std::vector<IconImage> images = IconGroup(L"AAA");
  ASSERT_EQ(images.size(), 7u);
  const int sizes[] = {512, 256, 128, 48, 32, 24, 16};
  for (size_t i = 0; i < images.size(); ++i) {
    SCOPED_TRACE(sizes[i]);
    EXPECT_EQ(images[i].width, sizes[i]);
    EXPECT_EQ(images[i].height, sizes[i]);
    EXPECT_EQ(images[i].bits, 32);
    EXPECT_EQ(images[i].entry.bitCount, 32);
    // The directory has one byte for the size: 256 and 512 both read 0.
    EXPECT_EQ(images[i].entry.width, sizes[i] >= 256 ? 0 : sizes[i]);
    EXPECT_EQ(images[i].entry.height, sizes[i] >= 256 ? 0 : sizes[i]);
    EXPECT_EQ(images[i].png, sizes[i] >= 256);
  }
}

TEST(RunTimeIcon, LoadsAtEverySizeTheWindowsAndTheTrayAskFor) {
  for (int size : {16, 24, 32, 48, 128, 256}) {
    SCOPED_TRACE(size);
    HICON icon = static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), L"AAA", IMAGE_ICON, size, size, 0));
    ASSERT_NE(icon, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP bm{};
    GetObjectW(info.hbmColor, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, size);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
  }
}

TEST(ProgramFileIcon, HoldsTwelveImagesAtFourEightAndThirtyTwoBitsWithFixedIds) {
  std::vector<IconImage> images = IconGroup(MAKEINTRESOURCEW(1));
  ASSERT_EQ(images.size(), 12u);
  std::set<std::pair<int, int>> seen;
  std::set<WORD> ids;
  for (const IconImage& image : images) {
    SCOPED_TRACE(image.entry.id);
    EXPECT_EQ(image.width, image.height);
    EXPECT_EQ(image.entry.width, image.width);
    EXPECT_EQ(image.entry.bitCount, image.bits);
    EXPECT_EQ(image.entry.colourCount, image.bits == 4 ? 16 : 0);
    EXPECT_FALSE(image.png);
    seen.insert({image.width, image.bits});
    ids.insert(image.entry.id);
  }
  std::set<std::pair<int, int>> expected;
  for (int size : {48, 32, 24, 16})
    for (int bits : {4, 8, 32}) expected.insert({size, bits});
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(*ids.begin(), 30001);
  EXPECT_EQ(*ids.rbegin(), 30012);
  EXPECT_EQ(ids.size(), 12u);
}

TEST(ProgramFileIcon, TheShellFindsBothIconGroupsInTheProgramFile) {
  const std::wstring path = ModulePath();
  EXPECT_EQ(ExtractIconExW(path.c_str(), -1, nullptr, nullptr, 0), 2u);
  HICON large = nullptr, small = nullptr;
  EXPECT_EQ(ExtractIconExW(path.c_str(), 1, &large, &small, 1), 2u);
  EXPECT_NE(large, nullptr);
  EXPECT_NE(small, nullptr);
  if (large) DestroyIcon(large);
  if (small) DestroyIcon(small);
}

TEST(VersionResource, CarriesTheNumbersAndTexts) {
  VersionInfo version;
  ASSERT_TRUE(version.ok());
  UINT length = 0;
  const auto* fixed = version.Block<VS_FIXEDFILEINFO>(L"\\", &length);
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0u);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

  const auto* translation = version.Block<WORD>(L"\\VarFileInfo\\Translation", &length);
  ASSERT_NE(translation, nullptr);
  ASSERT_EQ(length, 4u);
  EXPECT_EQ(translation[0], 0x0409);
  EXPECT_EQ(translation[1], 1200);

  EXPECT_EQ(version.String(L"FileVersion"), L"1.00");
  EXPECT_EQ(version.String(L"ProductVersion"), L"1.00");
  // Spelled out by code point, so an encoding slip in the resource script cannot hide.
  EXPECT_EQ(version.String(L"FileDescription"),
            L"\u0648\u0627\u0698\u0647 \u0646\u0627\u0645\u0647 "
            L"\u06A9\u0644\u0648\u0627\u0631\u0627 \u0646\u06AF\u0627\u0631\u0634 1.0");
  EXPECT_EQ(version.String(L"InternalName"), L"Kelvara Dictionary");
  EXPECT_EQ(version.String(L"ProductName"), L"Kelvara\u00A0Dictionary");
  EXPECT_EQ(version.String(L"OriginalFilename"), L"kelvara.exe");
  EXPECT_NE(version.String(L"CompanyName"), L"<none>");
  EXPECT_NE(version.String(L"LegalCopyright"), L"<none>");
}

// The project's one version number reaches the resource, the manifest and the About title alike.
TEST(VersionResource, FollowsTheProjectVersion) {
  VersionInfo version;
  ASSERT_TRUE(version.ok());
  UINT length = 0;
  const auto* fixed = version.Block<VS_FIXEDFILEINFO>(L"\\", &length);
  ASSERT_NE(fixed, nullptr);
  const WORD numbers[] = {KELVARA_VERSION_NUMBERS};
  EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(numbers[0] << 16 | numbers[1]));
  EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(numbers[2] << 16 | numbers[3]));
  EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
  EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
  EXPECT_EQ(version.String(L"FileVersion"), std::wstring(L"" KELVARA_VERSION_TEXT));
  EXPECT_EQ(version.String(L"FileDescription"), KELVARA_TITLE_WITH_VERSION_W);

  const std::string manifest(ResourceBytes(MAKEINTRESOURCEW(1), RT_MANIFEST));
  EXPECT_NE(manifest.find("name=\"Kelvara.Dictionary\" version=\"" KELVARA_VERSION_QUAD "\""),
            std::string::npos);
}

TEST(Manifest, AsksForVersionSixOfTheCommonControlsForThisArchitecture) {
  std::string_view manifest = ResourceBytes(MAKEINTRESOURCEW(1), RT_MANIFEST);
  ASSERT_FALSE(manifest.empty());
  const std::string text(manifest);
  EXPECT_NE(text.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
            std::string::npos);
  EXPECT_NE(text.find("publicKeyToken=\"6595b64144ccf1df\" language=\"*\""), std::string::npos);
  EXPECT_NE(text.find("level=\"asInvoker\""), std::string::npos);
#if defined(__x86_64__) || defined(_M_X64)
  const char* arch = "processorArchitecture=\"amd64\"";
#else
  const char* arch = "processorArchitecture=\"x86\"";
#endif
  EXPECT_NE(text.find(arch), std::string::npos);
  EXPECT_EQ(text.find("processorArchitecture=\"X86\""), std::string::npos);
}

TEST(Manifest, DeclaresPerMonitorV2AwarenessWithASystemAwareFallback) {
  const std::string text(ResourceBytes(MAKEINTRESOURCEW(1), RT_MANIFEST));
  EXPECT_NE(text.find("<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">"
                      "true</dpiAware>"),
            std::string::npos);
  EXPECT_NE(text.find("<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">"
                      "PerMonitorV2, system</dpiAwareness>"),
            std::string::npos);
  // What the platform made of it: the program runs DPI aware.
  using Fn = DPI_AWARENESS_CONTEXT(WINAPI*)();
  const auto get = reinterpret_cast<Fn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetThreadDpiAwarenessContext")));
  if (get) EXPECT_NE(GetAwarenessFromDpiAwarenessContext(get()), DPI_AWARENESS_UNAWARE);
}

TEST(Manifest, ThePlatformBindsThisProgramToTheSideBySideCommonControls) {
  InitCommonControls();
  // The copy this program's own imports were bound to (a library loaded without the manifest
  // may bring the old one into the process beside it). Version 6 lives only in the side-by-side
  // store; Wine's copy there still answers 5 to DllGetVersion, so the folder is what tells.
  HMODULE comctl = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(&InitCommonControls)),
                     &comctl);
  ASSERT_NE(comctl, nullptr);
  wchar_t path[MAX_PATH]{};
  GetModuleFileNameW(comctl, path, MAX_PATH);
  std::wstring folder(path);
  std::transform(folder.begin(), folder.end(), folder.begin(), towlower);
  EXPECT_NE(folder.find(L"\\winsxs\\"), std::wstring::npos) << folder;
  EXPECT_NE(folder.find(L"microsoft.windows.common-controls_6595b64144ccf1df_6.0."),
            std::wstring::npos)
      << folder;
}

TEST(AboutPicture, IsAFiftyFiveByFiftyFiveGifThatThePlatformDecodes) {
  std::string_view gif = ResourceBytes(L"ABOUTPIC", RT_RCDATA);
  ASSERT_GE(gif.size(), 13u);
  EXPECT_EQ(gif.substr(0, 6), "GIF89a");
  auto word = [&](size_t at) {
    return static_cast<unsigned char>(gif[at]) | static_cast<unsigned char>(gif[at + 1]) << 8;
  };
  EXPECT_EQ(word(6), 55);
  EXPECT_EQ(word(8), 55);
  EXPECT_EQ(gif.back(), '\x3B');  // the trailer: nothing cut off

  // Decoded by the platform's picture loader, independently of whoever wrote it.
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, gif.size());
  std::memcpy(GlobalLock(copy), gif.data(), gif.size());
  GlobalUnlock(copy);
  IStream* stream = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(copy, TRUE, &stream), S_OK);
  IPicture* picture = nullptr;
  HRESULT hr = OleLoadPicture(stream, static_cast<LONG>(gif.size()), FALSE, IID_IPicture,
                              reinterpret_cast<void**>(&picture));
  ASSERT_EQ(hr, S_OK);
  OLE_XSIZE_HIMETRIC width = 0;
  OLE_YSIZE_HIMETRIC height = 0;
  picture->get_Width(&width);
  picture->get_Height(&height);
  // 55 pixels at 96 dpi in hundredths of a millimetre.
  EXPECT_NEAR(width, 55 * 2540 / 96, 1);
  EXPECT_NEAR(height, 55 * 2540 / 96, 1);
  picture->Release();
  stream->Release();
  CoUninitialize();
}
