// The encoder for a picture read row by row, which keeps neither the picture nor its
// coefficients: the stream of SampleHDC on the picture's 24-bit bitmap followed by SaveFile,
// made with a few rows of pixels and one band of coefficients in memory at a time. The picture
// is read once for each subsampled size and twice for the full-size components: the first
// pass counts the symbols the Huffman tables are built from, the second writes them.
#pragma once

#include "jpeg/cjpeg.h"
#include "platform/picture_reader.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

namespace tav {

// Opens the picture anew, at its first row, every time it is called.
using PictureOpener = std::function<std::unique_ptr<PictureReader>()>;

// Writes the picture with the quality, sampling factors and comment of `settings` to a new file,
// as SaveFile does: NoFileName, FileExists (nothing touched), or Written. A failure after the
// file was created removes it again. Nothing at all (nothing read, nothing written) when the
// image would code as more than one scan or is too large for a frame header: the caller then
// samples the whole picture instead.
std::optional<cJpeg::SaveStatus> encodeStreamed(const cJpeg& settings, const PictureOpener& open,
    const std::filesystem::path& path);

}  // namespace tav
