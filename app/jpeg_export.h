// The export of one drawing surface as a baseline JPEG at quality 100 with the fixed comment.
// A new encoder samples the whole surface and writes the file: the JPEG that saving the surface
// as a scratch bitmap and loading that into a new pixel buffer would give. Only a surface that
// is not 24 bits deep takes that way, through the scratch bitmap in the application folder.
#pragma once

#include "platform/memory_surface.h"

#include <filesystem>
#include <string_view>

namespace tav {

// The scratch bitmap's name in the application folder (joined like the table's names).
inline constexpr std::string_view kScratchBitmapName = "\\qortemp.dnk";
inline constexpr int kExportQuality = 100;
inline constexpr std::string_view kExportComment = "Creado por Sorvane ( Kelbrin )";

// Writes `surface` as a JPEG at `jpegPath`, using `applicationFolder` for the scratch bitmap
// when one is needed (it stays, holding the last surface exported that way). An older file at `jpegPath` is removed
// first, so the file written is always this surface. Throws RunTimeError naming the file and
// the problem when any step fails; the JPEG is then not there.
void ExportJpeg(const MemorySurface& surface, const std::filesystem::path& jpegPath,
    const std::filesystem::path& applicationFolder);

}  // namespace tav
