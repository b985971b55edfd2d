#pragma once
// Valve's text key-value format (libraryfolders.vdf, config.vdf, the
// appmanifest_*.acf files): "key" "value" pairs and "key" { ... } blocks.
// Steam's files are input from a stranger: a reader that meets anything it
// does not expect, or a file deeper or larger than any Steam writes, gives up
// on that file and nothing else. Portable: no Windows here.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct VdfNode {
    std::string key;
    std::string value;              // a pair's value; empty for a block
    std::vector<VdfNode> children;  // a block's members
    bool block = false;

    // The first member of this block whose key matches, without regard to ASCII case.
    const VdfNode* Find(std::string_view name) const;
};

inline constexpr std::size_t kVdfMaxBytes = 4u << 20;
inline constexpr int kVdfMaxDepth = 32;

// The top-level members of a file's text; nothing when the text is not one
// Steam writes (too large, too deep, unbalanced, a stray character).
std::optional<VdfNode> ParseVdf(std::string_view text);
