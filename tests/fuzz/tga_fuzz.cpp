// libFuzzer target for the levelshot reader: whatever bytes an archive holds
// under a .tga name, the reader refuses them or gives a picture of its size.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "maps/tga_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tga::Image image;
    if (!tga::Read(std::string_view(reinterpret_cast<const char*>(data), size), image)) return 0;
    if (image.width <= 0 || image.height <= 0 || image.width > tga::kMaxSide || image.height > tga::kMaxSide ||
        image.bgra.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 4) {
        __builtin_trap();
    }
    return 0;
}
