// libFuzzer target for the reader of Steam's files: whatever a library folder
// holds, the reader either refuses it or gives a tree no deeper than its limit,
// which written back out reads as the same tree.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "games/vdf.h"

namespace {

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string Written(const VdfNode& block) {
    std::string out;
    for (const VdfNode& child : block.children) {
        out += Quoted(child.key);
        out += child.block ? "\n{\n" + Written(child) + "}\n" : " " + Quoted(child.value) + "\n";
    }
    return out;
}

bool Same(const VdfNode& a, const VdfNode& b, int depth) {
    if (depth > kVdfMaxDepth + 1 || a.key != b.key || a.value != b.value || a.block != b.block ||
        a.children.size() != b.children.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.children.size(); ++i) {
        if (!Same(a.children[i], b.children[i], depth + 1)) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto tree = ParseVdf(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!tree) return 0;
    // Keys with a newline or NUL are the reader's to take, but not to write back as they were.
    const std::string again = Written(*tree);
    if (again.find('\0') != std::string::npos) return 0;
    const auto reread = ParseVdf(again);
    if (!reread || !Same(*tree, *reread, 0)) __builtin_trap();
    return 0;
}
