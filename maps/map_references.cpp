#include "maps/map_references.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

std::uint32_t Le32(std::string_view bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

// A lump's bytes, or nothing when the directory points outside the file.
std::string_view Lump(std::string_view bytes, std::size_t index) {
    const std::size_t at = 8 + index * 8;
    const std::uint32_t offset = Le32(bytes, at), length = Le32(bytes, at + 4);
    if (offset > bytes.size() || length > bytes.size() - offset) return {};
    return bytes.substr(offset, length);
}

// A fixed field of text, ended by its first NUL.
std::string FixedText(std::string_view field) {
    return std::string(field.substr(0, std::min(field.find('\0'), field.size())));
}

void AddOnce(std::vector<std::string>& names, std::string name) {
    if (name.empty() || std::find(names.begin(), names.end(), name) != names.end()) return;
    names.push_back(std::move(name));
}

// The entity text's quoted tokens, as the game's parser reads them.
std::vector<std::string> QuotedTokens(std::string_view text) {
    std::vector<std::string> tokens;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t open = text.find('"', at);
        if (open == std::string_view::npos) break;
        const std::size_t close = text.find('"', open + 1);
        if (close == std::string_view::npos) break;
        tokens.emplace_back(text.substr(open + 1, close - open - 1));
        at = close + 1;
    }
    return tokens;
}

void ReadEntities(std::string_view text, MapReferences& refs) {
    const std::vector<std::string> tokens = QuotedTokens(text.substr(0, std::min(text.find('\0'), text.size())));
    for (std::size_t i = 0; i + 1 < tokens.size(); i += 2) {
        std::string key = tokens[i];
        std::transform(key.begin(), key.end(), key.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        const std::string& value = tokens[i + 1];
        // "*3" is the map's own brush model, "*falling" the player's own sound.
        if (value.empty() || value[0] == '*') continue;
        if (key == "model" || key == "model2") AddOnce(refs.models, value);
        if (key == "noise") AddOnce(refs.sounds, value);
        if (key == "music") {
            // An intro and a loop, separated by a space.
            for (std::size_t at = 0; at < value.size();) {
                const std::size_t end = std::min(value.find(' ', at), value.size());
                AddOnce(refs.sounds, value.substr(at, end - at));
                at = end + 1;
            }
        }
    }
}

struct Layout {
    std::size_t lumps, surfaceSize;
};

MapReferences Unreadable(std::wstring why) {
    MapReferences refs;
    refs.why = std::move(why);
    return refs;
}

constexpr std::size_t kShaderSize = 72, kFogSize = 72, kNameSize = 64;
constexpr std::size_t kEntities = 0, kShaders = 1, kFogs = 12, kSurfaces = 13;

}  // namespace

std::size_t MapBytesNeeded(std::string_view head) {
    if (head.size() < 8) return 0;
    const std::size_t lumps = head.substr(0, 4) == "RBSP" ? 18 : 17;
    if (head.size() < 8 + lumps * 8) return 0;
    std::size_t end = 8 + lumps * 8;
    for (const std::size_t index : {kEntities, kShaders, kFogs, kSurfaces}) {
        end = std::max<std::size_t>(end, std::size_t{Le32(head, 8 + index * 8)} + Le32(head, 12 + index * 8));
    }
    return end;
}

MapReferences ReadMapReferences(std::string_view bytes) {
    if (bytes.size() < 8) return Unreadable(L"This map is cut short.");
    const std::string_view ident = bytes.substr(0, 4);
    const std::uint32_t version = Le32(bytes, 4);
    Layout layout{};
    if (ident == "IBSP" && (version == 46 || version == 47)) layout = {17, 104};
    if (ident == "RBSP" && version == 1) layout = {18, 148};
    if (layout.lumps == 0) {
        if (ident != "IBSP" && ident != "RBSP") return Unreadable(L"This is no map the game reads.");
        return Unreadable(L"Tarrow cannot read maps of version " + std::to_wstring(version) + L" yet.");
    }
    if (bytes.size() < 8 + layout.lumps * 8) return Unreadable(L"This map is cut short.");
    const std::string_view shaders = Lump(bytes, kShaders), surfaces = Lump(bytes, kSurfaces);
    const std::string_view fogs = Lump(bytes, kFogs), entities = Lump(bytes, kEntities);
    MapReferences refs;
    const std::size_t shaderCount = shaders.size() / kShaderSize;
    // The renderer loads the shaders of drawn surfaces and of fogs; a brush's
    // shader that no surface draws (clip, hint) it never looks for.
    for (std::size_t at = 0; at + layout.surfaceSize <= surfaces.size(); at += layout.surfaceSize) {
        const std::uint32_t index = Le32(surfaces, at);
        if (index < shaderCount) AddOnce(refs.shaders, FixedText(shaders.substr(index * kShaderSize, kNameSize)));
    }
    for (std::size_t at = 0; at + kFogSize <= fogs.size(); at += kFogSize) {
        AddOnce(refs.shaders, FixedText(fogs.substr(at, kNameSize)));
    }
    ReadEntities(entities, refs);
    refs.readable = true;
    return refs;
}

std::vector<std::string> ReadModelShaders(std::string_view bytes) {
    // The header: ident, version, name[64], flags, frames, tags, surfaces,
    // skins, then the offsets of frames, tags, surfaces and the end.
    constexpr std::size_t kHeader = 108, kSurfaceHeader = 108, kShader = 68;
    std::vector<std::string> names;
    if (bytes.size() < kHeader || bytes.substr(0, 4) != "IDP3" || Le32(bytes, 4) != 15) return names;
    const std::uint32_t count = Le32(bytes, 84);
    std::size_t at = Le32(bytes, 100);
    for (std::uint32_t s = 0; s < count && at <= bytes.size() && bytes.size() - at >= kSurfaceHeader; ++s) {
        const std::string_view surface = bytes.substr(at);
        // ident, name[64], flags, frames, shaders, verts, triangles, then offsets.
        const std::uint32_t shaders = Le32(surface, 76), shadersAt = Le32(surface, 92), end = Le32(surface, 104);
        if (shadersAt > surface.size() || shaders > (surface.size() - shadersAt) / kShader) break;
        for (std::uint32_t i = 0; i < shaders; ++i)
            AddOnce(names, FixedText(surface.substr(shadersAt + i * kShader, kNameSize)));
        if (end == 0) break;
        at += end;
    }
    return names;
}
