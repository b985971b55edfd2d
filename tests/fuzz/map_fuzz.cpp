// libFuzzer target for what archives hold for a map: the same bytes read as
// a map, as a model and as a shader script. Each reader stays inside the
// bytes and gives names no longer than the fields that hold them.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "maps/map_references.h"
#include "maps/shader_script.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const MapReferences map = ReadMapReferences(bytes);
    if (!map.readable && map.why.empty()) __builtin_trap();
    for (const auto& name : map.shaders) {
        if (name.size() > 64) __builtin_trap();
    }
    for (const auto& name : ReadModelShaders(bytes)) {
        if (name.size() > 64) __builtin_trap();
    }
    for (const ShaderDefinition& shader : ParseShaderScript(bytes)) {
        if (shader.name.size() > size) __builtin_trap();
    }
    return 0;
}
