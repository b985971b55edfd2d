#include "tests/support/zip_builder.h"

#include <zlib.h>

#include "archive/zip_format.h"

namespace {

using namespace zip::format;

void Put16(std::string& out, unsigned v) {
    out += static_cast<char>(v & 0xFF), out += static_cast<char>(v >> 8 & 0xFF);
}
void Put32(std::string& out, unsigned long v) {
    Put16(out, static_cast<unsigned>(v & 0xFFFF));
    Put16(out, static_cast<unsigned>(v >> 16));
}

constexpr unsigned kDosTime = 0, kDosDate = 0x3021;

}  // namespace

std::string MakeZip(const std::vector<std::string>& names) {
    std::vector<std::pair<std::string, std::string>> entries;
    entries.reserve(names.size());
    for (const auto& name : names) {
        entries.emplace_back(name, !name.empty() && name.back() == '/' ? std::string() : "data of " + name);
    }
    return MakeZipOf(entries);
}

std::string MakeZipOf(const std::vector<std::pair<std::string, std::string>>& entries) {
    std::string out, central;
    for (const auto& [name, data] : entries) {
        const unsigned long crc = crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()));
        const unsigned long size = static_cast<unsigned long>(data.size());
        const unsigned long offset = static_cast<unsigned long>(out.size());
        Put32(out, kLocalSignature), Put16(out, kVersion20), Put16(out, 0), Put16(out, kStored);
        Put16(out, kDosTime), Put16(out, kDosDate), Put32(out, crc), Put32(out, size), Put32(out, size);
        Put16(out, static_cast<unsigned>(name.size())), Put16(out, 0);
        out += name + data;
        Put32(central, kCentralSignature), Put16(central, kVersion20), Put16(central, kVersion20), Put16(central, 0);
        Put16(central, kStored), Put16(central, kDosTime), Put16(central, kDosDate), Put32(central, crc);
        Put32(central, size), Put32(central, size), Put16(central, static_cast<unsigned>(name.size()));
        Put16(central, 0), Put16(central, 0), Put16(central, 0), Put16(central, 0), Put32(central, 0),
            Put32(central, offset);
        central += name;
    }
    const unsigned long centralOffset = static_cast<unsigned long>(out.size());
    out += central;
    Put32(out, kEndSignature), Put16(out, 0), Put16(out, 0);
    Put16(out, static_cast<unsigned>(entries.size())), Put16(out, static_cast<unsigned>(entries.size()));
    Put32(out, static_cast<unsigned long>(central.size())), Put32(out, centralOffset), Put16(out, 0);
    return out;
}

std::string MakeBsp(const std::vector<std::string>& shaders, const std::vector<int>& surfaces,
                    const std::vector<std::string>& fogs, const std::string& entities) {
    constexpr int kLumps = 17;
    std::string shaderLump, fogLump, surfaceLump;
    auto name64 = [](const std::string& name) { return (name + std::string(64, '\0')).substr(0, 64); };
    for (const auto& shader : shaders) shaderLump += name64(shader) + std::string(8, '\0');
    for (const auto& fog : fogs) fogLump += name64(fog) + std::string(8, '\0');
    for (int index : surfaces) {
        std::string surface;
        Put32(surface, static_cast<unsigned long>(index));
        surfaceLump += surface + std::string(100, '\0');
    }
    std::vector<std::string> lumps(kLumps);
    lumps[0] = entities + '\0';
    lumps[1] = shaderLump;
    lumps[12] = fogLump;
    lumps[13] = surfaceLump;
    std::string out = "IBSP";
    Put32(out, 46);
    unsigned long offset = 8 + kLumps * 8;
    for (const auto& lump : lumps) {
        Put32(out, offset), Put32(out, static_cast<unsigned long>(lump.size()));
        offset += static_cast<unsigned long>(lump.size());
    }
    for (const auto& lump : lumps) out += lump;
    return out;
}

std::string MakeMd3(const std::vector<std::string>& shaders) {
    std::string out = "IDP3";
    Put32(out, 15);
    out += std::string(64, '\0');
    Put32(out, 0), Put32(out, 1), Put32(out, 0), Put32(out, 1), Put32(out, 0);  // flags, frames, tags, surfaces, skins
    Put32(out, 108), Put32(out, 108), Put32(out, 108);                          // frames, tags, surfaces
    const unsigned long surfaceEnd = 108 + static_cast<unsigned long>(shaders.size()) * 68;
    Put32(out, 108 + surfaceEnd);
    std::string surface = "IDP3" + std::string(64, '\0');
    Put32(surface, 0), Put32(surface, 1), Put32(surface, static_cast<unsigned long>(shaders.size()));
    Put32(surface, 0), Put32(surface, 0), Put32(surface, 108),
        Put32(surface, 108);  // verts, triangles, their offset, shaders
    Put32(surface, surfaceEnd), Put32(surface, surfaceEnd), Put32(surface, surfaceEnd);  // st, xyz, end
    for (const auto& shader : shaders) surface += (shader + std::string(68, '\0')).substr(0, 68);
    return out + surface;
}
