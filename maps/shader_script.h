#pragma once
// The game's shader scripts (scripts/*.shader): each shader's name and the
// images its stages and sky name. Portable; the text is a stranger's, read
// as the game's own parser reads it (// and /* */ comments, quoted tokens,
// a stage's parameters on the keyword's line).
#include <string>
#include <string_view>
#include <vector>

struct ShaderDefinition {
    std::string name;                 // small letters, "/" separators
    std::vector<std::string> images;  // as named, small letters, "/" separators
};

std::vector<ShaderDefinition> ParseShaderScript(std::string_view text);

// A name the renderer makes itself and never looks for ($lightmap,
// $whiteimage, *white, noshader...).
bool IsBuiltInName(std::string_view name);

// A path as the game matches it: small letters, "/" separators.
std::string FoldedPath(std::string_view path);
