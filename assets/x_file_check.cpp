#include "assets/x_file_check.h"

#include <cctype>
#include <charconv>
#include <cstdint>

namespace {

enum class TokenKind { end, open, close, word, string, guid };

struct Token {
    TokenKind kind = TokenKind::end;
    std::string_view text;
};

constexpr int kMaxNesting = 32;

class XTextChecker {
public:
    explicit XTextChecker(std::string_view text) : text_(text) {}

    bool check(std::string& problem)
    {
        constexpr std::string_view magic = "xof ";
        if (text_.size() < 16 || text_.substr(0, 4) != magic) {
            problem = "not a .x file";
            return false;
        }
        if (text_.substr(8, 4) != "txt ") {
            problem = "only text .x files are read, not binary or compressed ones";
            return false;
        }
        position_ = 16;
        const bool ok = members(0, true);
        problem = problem_;
        return ok;
    }

private:
    bool fail(std::string_view what)
    {
        if (problem_.empty()) {
            problem_ = std::string(what) + " (near byte " + std::to_string(tokenStart_) + ")";
        }
        return false;
    }

    // Semicolons and commas only separate values; '//' and '#' start comments.
    void skipSeparators()
    {
        while (position_ < text_.size()) {
            const char c = text_[position_];
            if (std::isspace(static_cast<unsigned char>(c)) || c == ';' || c == ',') {
                ++position_;
            } else if (c == '#' || text_.substr(position_, 2) == "//") {
                while (position_ < text_.size() && text_[position_] != '\n') {
                    ++position_;
                }
            } else {
                return;
            }
        }
    }

    Token next()
    {
        skipSeparators();
        tokenStart_ = position_;
        if (position_ >= text_.size()) {
            return {};
        }
        const char c = text_[position_];
        if (c == '{' || c == '}') {
            ++position_;
            return {c == '{' ? TokenKind::open : TokenKind::close, text_.substr(tokenStart_, 1)};
        }
        if (c == '"' || c == '<') {
            const std::size_t close = text_.find(c == '"' ? '"' : '>', position_ + 1);
            if (close == std::string_view::npos) {
                position_ = text_.size();
                return {};
            }
            position_ = close + 1;
            return {c == '"' ? TokenKind::string : TokenKind::guid, text_.substr(tokenStart_, position_ - tokenStart_)};
        }
        while (position_ < text_.size()) {
            const char w = text_[position_];
            if (std::isspace(static_cast<unsigned char>(w)) || w == ';' || w == ',' || w == '{' || w == '}' ||
                w == '"' || w == '<') {
                break;
            }
            ++position_;
        }
        return {TokenKind::word, text_.substr(tokenStart_, position_ - tokenStart_)};
    }

    bool readCount(std::uint32_t& value, std::string_view what)
    {
        const Token token = next();
        if (token.kind != TokenKind::word) {
            return fail(std::string(what) + " missing");
        }
        const char* first = token.text.data();
        const char* last = first + token.text.size();
        const auto [end, error] = std::from_chars(first, last, value);
        if (error != std::errc() || end != last) {
            return fail(std::string(what) + " is not a count");
        }
        return true;
    }

    bool readIndex(std::uint32_t limit, std::string_view what)
    {
        std::uint32_t index = 0;
        if (!readCount(index, what)) {
            return false;
        }
        return index < limit || fail(std::string(what) + " out of range");
    }

    // Every stated value must be there: a count larger than the file runs into its end.
    bool skipValues(std::uint64_t count, std::string_view what)
    {
        for (std::uint64_t i = 0; i < count; ++i) {
            if (next().kind != TokenKind::word) {
                return fail(std::string(what) + ": fewer values than stated");
            }
        }
        return true;
    }

    // A face list: a count, then per face a corner count and that many indices below `limit`.
    bool faces(std::uint32_t& faceCount, std::uint32_t limit, std::string_view what)
    {
        if (!readCount(faceCount, what)) {
            return false;
        }
        for (std::uint32_t f = 0; f < faceCount; ++f) {
            std::uint32_t cornerCount = 0;
            if (!readCount(cornerCount, what)) {
                return false;
            }
            for (std::uint32_t c = 0; c < cornerCount; ++c) {
                if (!readIndex(limit, what)) {
                    return false;
                }
            }
        }
        return true;
    }

    static bool isIdentifier(const Token& token)
    {
        const unsigned char c = token.text.empty() ? 0 : static_cast<unsigned char>(token.text[0]);
        return token.kind == TokenKind::word && (std::isalpha(c) || c == '_');
    }

    // After an identifier: "{" or "name {" make it the type of a data object, whose
    // opening brace this consumes. Otherwise nothing is consumed.
    bool opensObject()
    {
        const std::size_t saved = position_;
        Token token = next();
        if (token.kind == TokenKind::word) {
            token = next();
        }
        if (token.kind == TokenKind::open) {
            return true;
        }
        position_ = saved;
        return false;
    }

    // The members and child objects of one data object, up to its closing brace
    // (or, at the top level, the end of the file).
    bool members(int depth, bool topLevel)
    {
        int listedMaterials = 0;  // Material children and references, as a material list holds them
        for (;;) {
            const Token token = next();
            switch (token.kind) {
            case TokenKind::end:
                return topLevel || fail("the file ends inside a data object");
            case TokenKind::close:
                if (topLevel) {
                    return fail("a closing brace without an opening one");
                }
                listedMaterials_ = listedMaterials;
                return true;
            case TokenKind::open:  // a reference to a named object: { name }
                if (!skipBlock()) {
                    return false;
                }
                ++listedMaterials;
                break;
            case TokenKind::word:
                if (isIdentifier(token) && opensObject()) {
                    if (depth + 1 > kMaxNesting) {
                        return fail("data objects nested too deeply");
                    }
                    if (!object(token.text, depth + 1)) {
                        return false;
                    }
                    listedMaterials += token.text == "Material";
                }
                break;
            case TokenKind::string:
            case TokenKind::guid:
                break;
            }
        }
    }

    bool skipBlock()
    {
        for (int open = 1; open > 0;) {
            const Token token = next();
            if (token.kind == TokenKind::end) {
                return fail("the file ends inside a block");
            }
            open += token.kind == TokenKind::open;
            open -= token.kind == TokenKind::close;
        }
        return true;
    }

    bool object(std::string_view type, int depth)
    {
        if (type == "template") {
            return skipBlock();
        }
        if (type == "Mesh") {
            std::uint32_t faceCount = 0;
            if (!readCount(meshVertexCount_, "mesh vertex count") ||
                !skipValues(std::uint64_t{3} * meshVertexCount_, "mesh vertices") ||
                !faces(faceCount, meshVertexCount_, "mesh face index")) {
                return false;
            }
        } else if (type == "MeshNormals") {
            std::uint32_t normalCount = 0;
            std::uint32_t faceCount = 0;
            if (!readCount(normalCount, "normal count") ||
                !skipValues(std::uint64_t{3} * normalCount, "normals") ||
                !faces(faceCount, normalCount, "normal face index")) {
                return false;
            }
        } else if (type == "MeshMaterialList") {
            std::uint32_t materialCount = 0;
            std::uint32_t faceIndexCount = 0;
            if (!readCount(materialCount, "material count") || !readCount(faceIndexCount, "material face count")) {
                return false;
            }
            for (std::uint32_t i = 0; i < faceIndexCount; ++i) {
                if (!readIndex(materialCount, "face material")) {
                    return false;
                }
            }
            if (!members(depth, false)) {
                return false;
            }
            return static_cast<std::uint32_t>(listedMaterials_) == materialCount ||
                   fail("a material list holds another number of materials than it states");
        } else if (type == "SkinWeights") {
            std::uint32_t weightCount = 0;
            if (next().kind != TokenKind::string || !readCount(weightCount, "skin weight count")) {
                return fail("skin weights without a frame name or count");
            }
            for (std::uint32_t i = 0; i < weightCount; ++i) {
                if (!readIndex(meshVertexCount_, "skin weight vertex")) {
                    return false;
                }
            }
        }
        return members(depth, false);
    }

    std::string_view text_;
    std::size_t position_ = 0;
    std::size_t tokenStart_ = 0;
    std::uint32_t meshVertexCount_ = 0;
    int listedMaterials_ = 0;  // of the data object that closed last
    std::string problem_;
};

}  // namespace

bool checkXFileText(std::string_view text, std::string& problem)
{
    return XTextChecker(text).check(problem);
}
