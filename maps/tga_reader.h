#pragma once
// The TGA pictures that the games keep as levelshots, read into 32-bit BGRA
// rows, top row first. Portable, so that it is fuzzed on the host: every
// picture comes from an archive that anyone may have made.
#include <cstdint>
#include <string_view>
#include <vector>

namespace tga {

struct Image {
    int width = 0, height = 0;
    std::vector<std::uint8_t> bgra;  // width * height * 4 bytes
};

// A picture larger than this on either side is refused: no levelshot is.
inline constexpr int kMaxSide = 4096;

// Whether a picture of this header (its first 18 bytes or more) and this
// many bytes in all could be read: its kind, its sides and enough bytes for
// its pixels. Read may still find its pixels broken.
bool Plausible(std::string_view header, std::uint64_t size);

// Reads uncompressed and run-length encoded true-colour (24 or 32 bits) and
// grey (8 bits) pictures; false for anything else or anything cut short.
bool Read(std::string_view bytes, Image& image);

}  // namespace tga
