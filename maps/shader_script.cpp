#include "maps/shader_script.h"

#include <algorithm>

namespace {

struct Token {
    std::string text;
    bool newLine = false;  // the first token of its line
};

class Tokens {
public:
    explicit Tokens(std::string_view text) : text_(text) {}
    // The next token, or false at the end of the text.
    bool Next(Token& token) {
        bool newLine = false;
        for (;;) {
            while (at_ < text_.size() && static_cast<unsigned char>(text_[at_]) <= ' ') {
                if (text_[at_] == '\n') newLine = true;
                ++at_;
            }
            if (text_.substr(at_, 2) == "//") {
                at_ = std::min(text_.find('\n', at_), text_.size());
            } else if (text_.substr(at_, 2) == "/*") {
                const std::size_t end = text_.find("*/", at_ + 2);
                for (std::size_t i = at_; i < std::min(end, text_.size()); ++i) newLine = newLine || text_[i] == '\n';
                at_ = end == std::string_view::npos ? text_.size() : end + 2;
            } else {
                break;
            }
        }
        if (at_ >= text_.size()) return false;
        token.newLine = newLine;
        if (text_[at_] == '"') {
            const std::size_t end = std::min(text_.find('"', at_ + 1), text_.size());
            token.text = std::string(text_.substr(at_ + 1, end - at_ - 1));
            at_ = std::min(end + 1, text_.size());
            return true;
        }
        const std::size_t start = at_;
        while (at_ < text_.size() && static_cast<unsigned char>(text_[at_]) > ' ') ++at_;
        token.text = std::string(text_.substr(start, at_ - start));
        return true;
    }

private:
    std::string_view text_;
    std::size_t at_ = 0;
};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
    return text;
}

void AddImage(ShaderDefinition& shader, const std::string& name) {
    if (name.empty() || name == "-" || IsBuiltInName(name)) return;
    std::string image = FoldedPath(name);
    if (std::find(shader.images.begin(), shader.images.end(), image) == shader.images.end())
        shader.images.push_back(std::move(image));
}

// Reads one shader's body after its opening brace, to its closing one.
class BodyReader {
public:
    BodyReader(Tokens& tokens, ShaderDefinition& shader) : tokens_(tokens), shader_(shader) {}

    void Read() {
        int depth = 1;
        Token token;
        bool pending = false;
        while (depth > 0 && (pending || tokens_.Next(token))) {
            pending = false;
            if (token.text == "{") {
                ++depth;
            } else if (token.text == "}") {
                --depth;
            } else {
                pending = Keyword(Lower(token.text), depth, token);
            }
        }
    }

private:
    // Reads a keyword's parameters; true when it read the next line's first
    // token, which is then in token.
    bool Keyword(const std::string& keyword, int depth, Token& token) {
        if (depth >= 2 && (keyword == "map" || keyword == "clampmap")) return Image(token);
        if (depth >= 2 && keyword == "animmap") {
            if (!Same(token)) return true;  // the frequency
            while (Same(token)) AddImage(shader_, token.text);
            return true;
        }
        if (depth == 1 && keyword == "skyparms") {
            if (!Same(token)) return true;
            if (token.text != "-") {
                for (const char* side : {"_rt", "_bk", "_lf", "_ft", "_up", "_dn"})
                    AddImage(shader_, token.text + side);
            }
            return false;
        }
        if (depth == 1 && (keyword == "implicitmap" || keyword == "implicitmask" || keyword == "implicitblend")) {
            if (!Same(token)) return true;
            AddImage(shader_, token.text == "-" ? shader_.name : token.text);
        }
        return false;
    }
    bool Image(Token& token) {
        if (!Same(token)) return true;
        AddImage(shader_, token.text);
        return false;
    }
    // The next token when it is on the keyword's line; false, keeping it in
    // token, when it begins a new line (or the text ends).
    bool Same(Token& token) {
        if (!tokens_.Next(token)) {
            token.text.clear();
            return false;
        }
        return !token.newLine;
    }

    Tokens& tokens_;
    ShaderDefinition& shader_;
};

}  // namespace

std::string FoldedPath(std::string_view path) {
    std::string folded = Lower(std::string(path));
    std::replace(folded.begin(), folded.end(), '\\', '/');
    return folded;
}

bool IsBuiltInName(std::string_view name) {
    if (name.empty() || name[0] == '$' || name[0] == '*') return true;
    const std::string lower = Lower(std::string(name));
    return lower == "noshader" || lower == "<default>";
}

std::vector<ShaderDefinition> ParseShaderScript(std::string_view text) {
    std::vector<ShaderDefinition> shaders;
    Tokens tokens(text);
    Token token;
    while (tokens.Next(token)) {
        if (token.text == "{" || token.text == "}") continue;
        ShaderDefinition shader{FoldedPath(token.text), {}};
        Token open;
        if (!tokens.Next(open)) break;
        if (open.text != "{") continue;
        BodyReader(tokens, shader).Read();
        shaders.push_back(std::move(shader));
    }
    return shaders;
}
