#include <windows.h>
#include <gtest/gtest.h>

// The ladder itself: a real window can be created, found and destroyed under Wine.
TEST(WineLadder, CreatesAndFindsAWindow) {
  HWND w = CreateWindowExW(0, L"STATIC", L"kelvara smoke", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                           nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(FindWindowW(L"STATIC", L"kelvara smoke"), w);
  EXPECT_TRUE(DestroyWindow(w));
}
