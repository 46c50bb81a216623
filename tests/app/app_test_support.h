// Picture files and a scratch folder for the application tests.
#pragma once

#include "platform/device_context.h"
#include "platform/memory_surface.h"
#include "platform/dib.h"
#include "platform/picture.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace tav::test {

// A folder of its own for each test, removed at its end.
class TempDir {
public:
    TempDir()
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("tavrenix_app_") + std::to_string(::getpid()) + "_" + info->test_suite_name() +
            "_" + info->name();
        for (char& c : name)
            if (c == '/')
                c = '_';
        m_path = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~TempDir() { std::filesystem::remove_all(m_path); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

    std::filesystem::path write(const std::string& name, const std::vector<std::uint8_t>& bytes) const
    {
        const std::filesystem::path p = m_path / name;
        std::ofstream out(p, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return p;
    }

private:
    std::filesystem::path m_path;
};

using PixelFunction = std::function<COLORREF(int x, int y)>;

// A 24-bit surface whose pixel (x, y) is colour(x, y).
inline std::unique_ptr<MemorySurface> makeBitmap(int width, int height, const PixelFunction& colour)
{
    auto surface = MemorySurface::create(width, height, 24);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = surface->bitmap().row(y);
        for (int x = 0; x < width; ++x, p += 3) {
            const COLORREF c = colour(x, y);
            p[0] = GetBValue(c);
            p[1] = GetGValue(c);
            p[2] = GetRValue(c);
        }
    }
    return surface;
}

// A 24-bit BMP file of the picture.
inline std::filesystem::path writeBmp(
    const TempDir& dir, const std::string& name, int width, int height, const PixelFunction& colour)
{
    const std::filesystem::path path = dir / name;
    SavePicture(makeBitmap(width, height, colour)->bitmap(), path);
    return path;
}

inline COLORREF pixelAt(const DIBSection& bitmap, int x, int y)
{
    const std::uint8_t* p = bitmap.row(y) + 3 * x;
    return RGB(p[2], p[1], p[0]);
}

}  // namespace tav::test
