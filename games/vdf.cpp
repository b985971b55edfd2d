#include "games/vdf.h"

#include <cctype>

namespace {

bool SameAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    // Members until the end of the text (depth 0) or a closing brace.
    bool Members(VdfNode& block, int depth) {
        if (depth > kVdfMaxDepth) return false;
        for (;;) {
            SkipSpace();
            if (at_ >= text_.size()) return depth == 0;
            if (text_[at_] == '}') {
                ++at_;
                return depth > 0;
            }
            VdfNode node;
            if (!Token(node.key)) return false;
            SkipSpace();
            if (at_ < text_.size() && text_[at_] == '{') {
                ++at_;
                node.block = true;
                if (!Members(node, depth + 1)) return false;
            } else if (!Token(node.value)) {
                return false;
            }
            SkipConditional();
            block.children.push_back(std::move(node));
        }
    }

private:
    void SkipSpace() {
        while (at_ < text_.size()) {
            const char c = text_[at_];
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
                ++at_;
            } else if (c == '/' && at_ + 1 < text_.size() && text_[at_ + 1] == '/') {
                while (at_ < text_.size() && text_[at_] != '\n') ++at_;
            } else {
                return;
            }
        }
    }

    // A "[$WIN32]" condition after a value: Steam's own files do not write one, but it is the format's.
    void SkipConditional() {
        const std::size_t saved = at_;
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t')) ++at_;
        if (at_ < text_.size() && text_[at_] == '[') {
            const std::size_t end = text_.find(']', at_);
            if (end != std::string_view::npos && text_.substr(at_, end - at_).find('\n') == std::string_view::npos) {
                at_ = end + 1;
                return;
            }
        }
        at_ = saved;
    }

    bool Token(std::string& out) {
        if (at_ >= text_.size()) return false;
        if (text_[at_] == '"') return Quoted(out);
        // An unquoted token runs to a space or a brace.
        const std::size_t start = at_;
        while (at_ < text_.size()) {
            const char c = text_[at_];
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '{' || c == '}' || c == '"') break;
            if (static_cast<unsigned char>(c) < 0x20) return false;
            ++at_;
        }
        out.assign(text_.substr(start, at_ - start));
        return !out.empty();
    }

    bool Quoted(std::string& out) {
        ++at_;
        while (at_ < text_.size()) {
            char c = text_[at_++];
            if (c == '"') return true;
            if (c == '\\' && at_ < text_.size()) {
                c = text_[at_++];
                if (c == 'n')
                    c = '\n';
                else if (c == 't')
                    c = '\t';
            } else if (c == '\0') {
                return false;
            }
            out += c;
        }
        return false;  // unterminated: a truncated file
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

}  // namespace

const VdfNode* VdfNode::Find(std::string_view name) const {
    for (const VdfNode& child : children) {
        if (SameAscii(child.key, name)) return &child;
    }
    return nullptr;
}

std::optional<VdfNode> ParseVdf(std::string_view text) {
    if (text.size() > kVdfMaxBytes) return std::nullopt;
    // A UTF-8 byte-order mark, which some editors add.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    VdfNode root;
    root.block = true;
    Reader reader(text);
    if (!reader.Members(root, 0)) return std::nullopt;
    return root;
}
