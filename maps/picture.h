#pragma once
// A levelshot as the Maps window shows it: 32-bit BGRA rows, top row first.
#include <cstdint>
#include <string>
#include <vector>

struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> bgra;
};

// Decodes a levelshot by its name: a .tga with our own reader, anything else
// (the games' .jpg) with the platform's image decoding. False when the bytes
// are not a picture it can read.
bool DecodePicture(const std::wstring& name, const std::string& bytes, Picture& picture);
