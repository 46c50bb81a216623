// The built-in artwork: RCDATA resources of the program's own module, found, loaded and locked
// in place (resources are part of the mapped image, so nothing is copied or freed).
#include "app/win32/resources.h"

#include <windows.h>

namespace tav {

std::optional<std::span<const std::uint8_t>> resourceBytes(int id)
{
    const HMODULE module = GetModuleHandleW(nullptr);
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10) /* RT_RCDATA, wide */);
    if (!found)
        return std::nullopt;
    const HGLOBAL loaded = LoadResource(module, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes)
        return std::nullopt;
    return std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(bytes), SizeofResource(module, found));
}

}  // namespace tav
