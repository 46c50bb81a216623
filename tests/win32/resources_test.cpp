// The program's resources, as this test program carries them too: the artwork byte for byte,
// the icon pixel for pixel as the artwork script drew it, the version block, and the manifest's
// effect on the running program.
#include "app/win32/resources.h"

#include "tests/support/png_pixels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <windows.h>

#include <shlwapi.h>

namespace tav {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes asset(const char* name)
{
    std::ifstream in(std::filesystem::path(TAVRENIX_SOURCE_DIR) / "assets" / name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(Resources, TheArtworkIsBuiltInByteForByte)
{
    struct Row {
        int id;
        const char* file;
    };
    for (const Row& row : {Row{kBackgroundResource, "background.jpg"}, Row{kPlaceholderResource, "placeholder.png"}}) {
        const Bytes file = asset(row.file);
        ASSERT_FALSE(file.empty()) << row.file;
        const auto bytes = resourceBytes(row.id);
        ASSERT_TRUE(bytes.has_value()) << row.file;
        EXPECT_TRUE(Bytes(bytes->begin(), bytes->end()) == file) << row.file;
    }
    EXPECT_FALSE(resourceBytes(4711).has_value());
    // The icon is no RCDATA resource.
    EXPECT_FALSE(resourceBytes(kIconResource).has_value());
}

// The rows of a bitmap as a top-down DIB of `bits` per pixel.
std::vector<std::uint32_t> bitmapWords(HBITMAP bitmap, int width, int height, int bits)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = WORD(bits);
    info.bmiHeader.biCompression = BI_RGB;
    const std::size_t stride = (std::size_t(width) * std::size_t(bits) + 31) / 32;
    std::vector<std::uint32_t> words(stride * std::size_t(height));
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[2];
    } withColours{info.bmiHeader, {}};
    HDC screen = GetDC(nullptr);
    const int rows = GetDIBits(screen, bitmap, 0, UINT(height), words.data(), reinterpret_cast<BITMAPINFO*>(&withColours),
        DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (rows != height)
        return {};
    return words;
}

TEST(Resources, TheIconIsTheArtworksIconPixelForPixelAndOpaque)
{
    const std::vector<std::uint32_t> expected = test::readPngPixels(asset("icon.png")).pixels;
    ASSERT_EQ(expected.size(), 32u * 32u);

    HICON icon = static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIconResource), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
    ASSERT_NE(icon, nullptr);
    ICONINFO parts{};
    ASSERT_TRUE(GetIconInfo(icon, &parts));
    ASSERT_NE(parts.hbmColor, nullptr);
    BITMAP colour{};
    GetObjectW(parts.hbmColor, sizeof colour, &colour);
    EXPECT_EQ(colour.bmWidth, 32);
    EXPECT_EQ(colour.bmHeight, 32);

    std::vector<std::uint32_t> pixels = bitmapWords(parts.hbmColor, 32, 32, 32);
    for (std::uint32_t& p : pixels)
        p &= 0xFFFFFF;
    EXPECT_TRUE(pixels == expected);
    // The AND mask is clear everywhere: no pixel lets the background through.
    const std::vector<std::uint32_t> mask = bitmapWords(parts.hbmMask, 32, 32, 1);
    ASSERT_EQ(mask.size(), 32u);
    EXPECT_EQ(std::count(mask.begin(), mask.end(), 0u), 32);

    DeleteObject(parts.hbmColor);
    DeleteObject(parts.hbmMask);
    DestroyIcon(icon);
}

std::wstring programPath()
{
    std::wstring path(MAX_PATH, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), DWORD(path.size())));
    return path;
}

TEST(Resources, TheVersionBlockCarriesTheProjectsVersion)
{
    const std::wstring path = programPath();
    DWORD ignored = 0;
    std::vector<std::uint8_t> block(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    ASSERT_FALSE(block.empty());
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, DWORD(block.size()), block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    const std::string text = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
        std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." + std::to_string(HIWORD(fixed->dwFileVersionLS));
    EXPECT_EQ(text, TAVRENIX_VERSION);
    EXPECT_EQ(fixed->dwFileType, DWORD(VFT_APP));

    wchar_t* value = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\040904B0\\FileVersion", reinterpret_cast<void**>(&value),
        &length));
    const std::wstring expected = L"" TAVRENIX_VERSION;
    EXPECT_EQ(std::wstring(value), expected);
}

TEST(Resources, TheManifestBringsInCommonControlsSix)
{
    // The manifest's dependency redirects comctl32.dll to the version 6 assembly in the
    // side-by-side store; without it the system's version 5 in the system folder loads.
    HMODULE controls = LoadLibraryW(L"comctl32.dll");
    ASSERT_NE(controls, nullptr);
    std::wstring path(MAX_PATH, L'\0');
    path.resize(GetModuleFileNameW(controls, path.data(), DWORD(path.size())));
    FreeLibrary(controls);
    for (wchar_t& c : path)
        c = wchar_t(std::towlower(c));
    EXPECT_NE(path.find(L"\\winsxs\\"), std::wstring::npos) << std::string(path.begin(), path.end());
    EXPECT_NE(path.find(L"common-controls_6595b64144ccf1df_6.0."), std::wstring::npos);
}

TEST(Resources, TheManifestSaysTheProgramIsNotAwareOfTheScreensResolution)
{
    // As the system read it from the manifest. (Wine reports every program as aware of the
    // resolution whatever the setting, so the setting's effect cannot be seen here.)
    wchar_t value[16] = {};
    SIZE_T written = 0;
    ASSERT_TRUE(QueryActCtxSettingsW(0, nullptr, L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware",
        value, 16, &written));
    EXPECT_EQ(std::wstring(value), L"false");
}

}  // namespace
}  // namespace tav
