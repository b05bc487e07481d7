// Reads text .x files in one pass, checking every count and index as it goes:
// a count is trusted only once the rest of the text could hold that many items,
// so a malformed or hostile file gets one message naming its line, never a crash.
#include "core/x_file.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <map>
#include <utility>

#include "core/d3dx_math.h"
#include "core/data_file.h"
#include "core/decoder_failure.h"

namespace {

// The whole of `digits` as a number. Where the standard library lacks
// from_chars for floating point (the web's), strtod reads the same way: the
// show never leaves the "C" locale.
bool parseNumber(std::string_view digits, double& number)
{
#if defined(__cpp_lib_to_chars)
    const char* last = digits.data() + digits.size();
    const auto [end, error] = std::from_chars(digits.data(), last, number);
    return error == std::errc() && end == last;
#else
    char text[64];
    if (digits.size() >= sizeof text) {
        return false;
    }
    digits.copy(text, digits.size());
    text[digits.size()] = '\0';
    char* end = nullptr;
    number = std::strtod(text, &end);
    return end == text + digits.size();
#endif
}

constexpr std::size_t kMaxModelFileBytes = 32u << 20;
// Far above any model the show draws; a file asking for more is refused rather
// than trusted with that much memory.
constexpr std::size_t kMaxVertices = 1u << 22;
constexpr std::size_t kMaxTriangles = 1u << 22;
constexpr std::size_t kMaxFrames = 1u << 16;
constexpr std::size_t kMaxMaterials = 1u << 16;
// Frames are read recursively; this bounds the stack a file can make the reader use.
constexpr int kMaxFrameDepth = 64;
// The fewest characters a number takes in the text, counting its separator.
constexpr std::uint64_t kCharsPerNumber = 2;

enum class TokenKind { end, open, close, word, string };

struct Token {
    TokenKind kind = TokenKind::end;
    std::string_view text;  // a string's without its quotes
    int line = 0;
};

// A child inside an object: another data object, or a reference "{ name }" to a named one.
struct Member {
    bool isReference = false;
    std::string_view type;
    std::string_view name;
    int line = 0;
};

struct Frame {
    int parent = -1;
    D3DXMATRIX transform = D3DXMatrixIdentity();
    bool hasTransform = false;
};

// The vertices of a mesh inside a frame, moved by the frames' transforms once the
// whole file is read, since a frame may give its transform after its meshes.
struct PlacedMesh {
    std::uint32_t firstVertex = 0;
    std::uint32_t vertexCount = 0;
    int frame = -1;
    int line = 0;
};

// One mesh's faces, kept while its normals and material list are read.
struct MeshFaces {
    std::uint32_t firstVertex = 0;
    std::uint32_t vertexCount = 0;
    std::vector<std::uint32_t> corners;        // the file's vertex indices, face after face
    std::vector<std::uint32_t> faceStarts;     // where each face starts in `corners`, then the end
    std::vector<std::uint32_t> faceMaterials;  // the model material of each face; empty without a list
    bool hasNormals = false;
    bool hasMaterialList = false;

    std::size_t faceCount() const { return faceStarts.size() - 1; }
    std::uint32_t cornerCount(std::size_t face) const { return faceStarts[face + 1] - faceStarts[face]; }
};

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool startsIdentifier(std::string_view word)
{
    const char c = word.empty() ? '\0' : word[0];
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

// A word from the file as a message can show it: short, and only printable characters.
std::string quoted(std::string_view word)
{
    constexpr std::size_t kMaxShown = 24;
    std::string shown = "'";
    for (const char c : word.substr(0, kMaxShown)) {
        shown += c >= ' ' && c <= '~' ? c : '?';
    }
    return shown + (word.size() > kMaxShown ? "...'" : "'");
}

// Some writers double every backslash of a Windows path.
std::string undoubledBackslashes(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\\') {
            ++i;
        }
    }
    return out;
}

// What the classic loader gives a model whose file has no materials.
XMaterial classicGrey()
{
    XMaterial grey;
    grey.material.Diffuse = {0.5f, 0.5f, 0.5f, 0.0f};
    grey.material.Specular = {0.5f, 0.5f, 0.5f, 0.0f};
    return grey;
}

class XTextReader {
public:
    explicit XTextReader(std::string_view text) : text_(text) {}

    bool read(XModel& model, std::string& problem)
    {
        const bool ok = readHeader() && readTopLevel() && assemble(model);
        problem = ok ? std::string() : decoderFailure(problem_.c_str(), "the model cannot be read");
        return ok;
    }

private:
    // Keeps the first problem met: later ones follow from it.
    bool fail(std::string what)
    {
        if (problem_.empty()) {
            problem_ = std::move(what);
        }
        return false;
    }

    bool fail(int line, const std::string& what) { return fail("line " + std::to_string(line) + ": " + what); }

    bool unexpected(const Token& token, const std::string& wanted)
    {
        switch (token.kind) {
        case TokenKind::end: return fail(token.line, "the file ends where " + wanted + " should be");
        case TokenKind::open: return fail(token.line, "expected " + wanted + ", found '{'");
        case TokenKind::close: return fail(token.line, "expected " + wanted + ", found '}'");
        case TokenKind::string: return fail(token.line, "expected " + wanted + ", found a string");
        case TokenKind::word: break;
        }
        return fail(token.line, "expected " + wanted + ", found " + quoted(token.text));
    }

    bool endsInside(const Member& object, const Token& end)
    {
        return fail(end.line, "the file ends inside the " + std::string(object.type) + " opened on line " +
                                  std::to_string(object.line));
    }

    // "xof", the format version, "txt " and the size of a float in bits.
    bool readHeader()
    {
        constexpr std::size_t kHeaderSize = 16;
        if (text_.size() < kHeaderSize || text_.substr(0, 4) != "xof ") {
            return fail("not a .x file");
        }
        const std::string_view format = text_.substr(8, 4);
        const std::string_view floatBits = text_.substr(12, 4);
        if (format == "bin ") {
            return fail("binary .x files are not supported, only text ones");
        }
        if (format == "tzip" || format == "bzip") {
            return fail("compressed .x files are not supported, only text ones");
        }
        if (format != "txt " || (floatBits != "0032" && floatBits != "0064")) {
            return fail("not a .x file");
        }
        position_ = kHeaderSize;
        return true;
    }

    bool startsComment(std::size_t at) const
    {
        return text_[at] == '#' || (text_[at] == '/' && at + 1 < text_.size() && text_[at + 1] == '/');
    }

    // Semicolons and commas only separate values, and writers disagree on where
    // they put them, so they count as space. GUIDs, "<...>", matter only to
    // templates and are passed over too.
    void skipSeparators()
    {
        while (position_ < text_.size()) {
            const char c = text_[position_];
            if (c == '\n') {
                ++line_;
                ++position_;
            } else if (isSpace(c) || c == ';' || c == ',') {
                ++position_;
            } else if (startsComment(position_)) {
                const std::size_t lineEnd = text_.find('\n', position_);
                position_ = lineEnd == std::string_view::npos ? text_.size() : lineEnd;
            } else if (c == '<') {
                const std::size_t close = text_.find('>', position_);
                if (close == std::string_view::npos) {
                    fail(line_, "a '<' is never closed by '>'");
                    position_ = text_.size();
                    return;
                }
                countLines(text_.substr(position_, close - position_));
                position_ = close + 1;
            } else {
                return;
            }
        }
    }

    void countLines(std::string_view passed)
    {
        for (const char c : passed) {
            line_ += c == '\n';
        }
    }

    bool endsWord(char c) const
    {
        return isSpace(c) || c == ';' || c == ',' || c == '{' || c == '}' || c == '"' || c == '<';
    }

    Token next()
    {
        skipSeparators();
        Token token;
        token.line = line_;
        if (position_ >= text_.size()) {
            return token;
        }
        const std::size_t start = position_;
        const char c = text_[start];
        if (c == '{' || c == '}') {
            ++position_;
            token.kind = c == '{' ? TokenKind::open : TokenKind::close;
            token.text = text_.substr(start, 1);
            return token;
        }
        if (c == '"') {
            const std::size_t close = text_.find('"', start + 1);
            if (close == std::string_view::npos) {
                fail(line_, "a string is never closed");
                position_ = text_.size();
                return token;
            }
            token.kind = TokenKind::string;
            token.text = text_.substr(start + 1, close - start - 1);
            countLines(token.text);
            position_ = close + 1;
            return token;
        }
        while (position_ < text_.size() && !endsWord(text_[position_])) {
            ++position_;
        }
        token.kind = TokenKind::word;
        token.text = text_.substr(start, position_ - start);
        return token;
    }

    bool readUnsigned(std::uint32_t& value, Token& token, const std::string& what)
    {
        token = next();
        if (token.kind != TokenKind::word) {
            return unexpected(token, what);
        }
        const char* last = token.text.data() + token.text.size();
        const auto [end, error] = std::from_chars(token.text.data(), last, value);
        return (error == std::errc() && end == last) || unexpected(token, what);
    }

    // A count of items, each of at least `numbersEach` numbers, that follow it.
    // It is refused when the rest of the text is too short to hold that many,
    // so that it is safe to reserve room for them.
    bool readCount(std::uint32_t& count, Token& token, const std::string& items, std::uint64_t numbersEach)
    {
        if (!readUnsigned(count, token, "the number of " + items)) {
            return false;
        }
        // The last item needs no separator after it.
        const std::uint64_t room = text_.size() - position_ + 1;
        if (count * numbersEach * kCharsPerNumber > room) {
            return fail(token.line, std::to_string(count) + " " + items + " cannot fit in the rest of the file");
        }
        return true;
    }

    // Any finite float; numbers are read the same whatever the locale.
    bool readFloat(float& value, const char* what)
    {
        const Token token = next();
        if (token.kind != TokenKind::word) {
            return unexpected(token, what);
        }
        // from_chars takes no '+', which some writers put before positive numbers.
        std::string_view digits = token.text;
        if (digits.size() > 1 && digits[0] == '+' && digits[1] != '-') {
            digits.remove_prefix(1);
        }
        double number = 0;
        if (!parseNumber(digits, number) || !(std::fabs(number) <= std::numeric_limits<float>::max())) {
            return unexpected(token, what);
        }
        value = static_cast<float>(number);
        return true;
    }

    bool readVector(D3DXVECTOR3& v, const char* what)
    {
        return readFloat(v.x, what) && readFloat(v.y, what) && readFloat(v.z, what);
    }

    bool readColour(D3DCOLORVALUE& colour, bool withAlpha)
    {
        colour.a = 1.0f;
        return readFloat(colour.r, "a colour component") && readFloat(colour.g, "a colour component") &&
               readFloat(colour.b, "a colour component") && (!withAlpha || readFloat(colour.a, "a colour component"));
    }

    // The next child of `parent`, or at the top level when it is null. False at
    // the parent's closing brace, at the end of the text at the top level, or
    // with a problem; callers then tell these apart by the problem.
    bool nextMember(Member& member, const Member* parent)
    {
        const Token token = next();
        switch (token.kind) {
        case TokenKind::end: return parent && endsInside(*parent, token);
        case TokenKind::close:
            if (!parent) {
                fail(token.line, "a '}' closes nothing");
            }
            return false;
        case TokenKind::open: return readReference(member, token);
        case TokenKind::word: return readObjectHeader(member, token);
        case TokenKind::string: break;
        }
        return unexpected(token, parent ? "a data object or '}'" : "a data object");
    }

    bool readReference(Member& member, const Token& open)
    {
        member = {true, {}, {}, open.line};
        Token token = next();
        if (token.kind == TokenKind::word) {
            member.name = token.text;
            token = next();
        }
        return token.kind == TokenKind::close || unexpected(token, "the '}' of a reference");
    }

    // "Type {" or "Type name {".
    bool readObjectHeader(Member& member, const Token& type)
    {
        if (!startsIdentifier(type.text)) {
            return unexpected(type, "a data object");
        }
        member = {false, type.text, {}, type.line};
        Token token = next();
        if (token.kind == TokenKind::word) {
            member.name = token.text;
            token = next();
        }
        return token.kind == TokenKind::open || unexpected(token, "the '{' of " + std::string(type.text));
    }

    // The rest of an object the show has no use for (templates, texture
    // coordinates, skins, animations), whatever it holds.
    bool skipObject(const Member& object)
    {
        for (std::size_t depth = 1; depth > 0;) {
            const Token token = next();
            if (token.kind == TokenKind::end) {
                return endsInside(object, token);
            }
            depth += token.kind == TokenKind::open;
            depth -= token.kind == TokenKind::close;
        }
        return true;
    }

    bool skipChildren(const Member& object)
    {
        Member member;
        while (nextMember(member, &object)) {
            if (!member.isReference && !skipObject(member)) {
                return false;
            }
        }
        return problem_.empty();
    }

    bool readTopLevel()
    {
        Member member;
        while (nextMember(member, nullptr)) {
            std::uint32_t material = 0;
            const bool ok = member.isReference          ? true
                            : member.type == "Frame"    ? readFrame(member, -1, 1)
                            : member.type == "Mesh"     ? readMesh(member, -1)
                            : member.type == "Material" ? readMaterial(member, material)
                                                        : skipObject(member);
            if (!ok) {
                return false;
            }
        }
        return problem_.empty();
    }

    bool readFrame(const Member& object, int parent, int depth)
    {
        if (depth > kMaxFrameDepth) {
            return fail(object.line, "frames nest more than " + std::to_string(kMaxFrameDepth) + " deep");
        }
        if (frames_.size() == kMaxFrames) {
            return fail(object.line, "more than " + std::to_string(kMaxFrames) + " frames");
        }
        const int self = static_cast<int>(frames_.size());
        frames_.push_back({parent});
        Member member;
        while (nextMember(member, &object)) {
            const bool ok = member.isReference                      ? true
                            : member.type == "FrameTransformMatrix" ? readFrameTransform(member, frames_[self])
                            : member.type == "Frame"                ? readFrame(member, self, depth + 1)
                            : member.type == "Mesh"                 ? readMesh(member, self)
                                                                    : skipObject(member);
            if (!ok) {
                return false;
            }
        }
        return problem_.empty();
    }

    // Sixteen numbers, row by row, for row vectors.
    bool readFrameTransform(const Member& object, Frame& frame)
    {
        if (frame.hasTransform) {
            return fail(object.line, "a second FrameTransformMatrix in one frame");
        }
        for (auto& row : frame.transform.m) {
            for (float& element : row) {
                if (!readFloat(element, "a matrix element")) {
                    return false;
                }
            }
        }
        frame.hasTransform = true;
        return skipChildren(object);
    }

    bool readMesh(const Member& object, int frame)
    {
        std::vector<MeshVertex>& vertices = mesh_.vertices;
        MeshFaces mesh;
        mesh.firstVertex = static_cast<std::uint32_t>(vertices.size());
        Token token;
        if (!readCount(mesh.vertexCount, token, "vertices", 3)) {
            return false;
        }
        if (mesh.vertexCount > kMaxVertices - vertices.size()) {
            return fail(token.line, "more than " + std::to_string(kMaxVertices) + " vertices in the model");
        }
        for (std::uint32_t v = 0; v < mesh.vertexCount; ++v) {
            MeshVertex vertex{};
            if (!readVector(vertex.position, "a vertex coordinate")) {
                return false;
            }
            vertices.push_back(vertex);
        }
        if (!readFaces(mesh)) {
            return false;
        }
        Member member;
        while (nextMember(member, &object)) {
            const bool ok = member.isReference                  ? true
                            : member.type == "MeshNormals"      ? readMeshNormals(member, mesh)
                            : member.type == "MeshMaterialList" ? readMaterialList(member, mesh)
                                                                : skipObject(member);
            if (!ok) {
                return false;
            }
        }
        if (!problem_.empty()) {
            return false;
        }
        if (frame >= 0 && mesh.vertexCount > 0) {
            placedMeshes_.push_back({mesh.firstVertex, mesh.vertexCount, frame, object.line});
        }
        everyMeshHasNormals_ = everyMeshHasNormals_ && (mesh.hasNormals || mesh.faceCount() == 0);
        addTriangles(mesh);
        return true;
    }

    bool readFaces(MeshFaces& mesh)
    {
        std::uint32_t faceCount = 0;
        Token token;
        if (!readCount(faceCount, token, "faces", 4)) {
            return false;
        }
        mesh.faceStarts.reserve(std::size_t{faceCount} + 1);
        for (std::uint32_t f = 0; f < faceCount; ++f) {
            std::uint32_t cornerCount = 0;
            if (!readCount(cornerCount, token, "corners of a face", 1)) {
                return false;
            }
            if (cornerCount < 3) {
                return fail(token.line, "a face with " + std::to_string(cornerCount) + " corners; it needs 3 or more");
            }
            if (cornerCount - 2 > kMaxTriangles - triangleCount_) {
                return fail(token.line, "more than " + std::to_string(kMaxTriangles) + " triangles in the model");
            }
            triangleCount_ += cornerCount - 2;
            mesh.faceStarts.push_back(static_cast<std::uint32_t>(mesh.corners.size()));
            for (std::uint32_t c = 0; c < cornerCount; ++c) {
                std::uint32_t index = 0;
                if (!readUnsigned(index, token, "a vertex index")) {
                    return false;
                }
                if (index >= mesh.vertexCount) {
                    return fail(token.line, "vertex index " + std::to_string(index) + " is past the mesh's " +
                                                std::to_string(mesh.vertexCount) + " vertices");
                }
                mesh.corners.push_back(index);
            }
        }
        mesh.faceStarts.push_back(static_cast<std::uint32_t>(mesh.corners.size()));
        return true;
    }

    // Normals and faces of normal indices, face for face and corner for corner
    // like the mesh's own; each vertex takes the normal given at its corners.
    bool readMeshNormals(const Member& object, MeshFaces& mesh)
    {
        if (mesh.hasNormals) {
            return fail(object.line, "a second MeshNormals in one mesh");
        }
        std::uint32_t normalCount = 0;
        Token token;
        if (!readCount(normalCount, token, "normals", 3)) {
            return false;
        }
        if (normalCount > kMaxVertices) {
            return fail(token.line, "more than " + std::to_string(kMaxVertices) + " normals in a mesh");
        }
        std::vector<D3DXVECTOR3> normals(normalCount);
        for (D3DXVECTOR3& normal : normals) {
            if (!readVector(normal, "a normal coordinate")) {
                return false;
            }
        }
        std::uint32_t faceCount = 0;
        if (!readUnsigned(faceCount, token, "the number of normal faces")) {
            return false;
        }
        if (faceCount != mesh.faceCount()) {
            return fail(token.line, std::to_string(faceCount) + " normal faces for the mesh's " +
                                        std::to_string(mesh.faceCount()) + " faces");
        }
        for (std::uint32_t f = 0; f < faceCount; ++f) {
            std::uint32_t cornerCount = 0;
            if (!readUnsigned(cornerCount, token, "the number of corners of a normal face")) {
                return false;
            }
            if (cornerCount != mesh.cornerCount(f)) {
                return fail(token.line, "normal face " + std::to_string(f) + " has " + std::to_string(cornerCount) +
                                            " corners and the mesh's face " + std::to_string(mesh.cornerCount(f)));
            }
            for (std::uint32_t c = 0; c < cornerCount; ++c) {
                std::uint32_t index = 0;
                if (!readUnsigned(index, token, "a normal index")) {
                    return false;
                }
                if (index >= normalCount) {
                    return fail(token.line, "normal index " + std::to_string(index) + " is past the " +
                                                std::to_string(normalCount) + " normals");
                }
                const std::uint32_t vertex = mesh.corners[mesh.faceStarts[f] + c];
                mesh_.vertices[mesh.firstVertex + vertex].normal = normals[index];
            }
        }
        mesh.hasNormals = true;
        return skipChildren(object);
    }

    // The number of materials, each face's index among them, then the materials,
    // inline or referred to by name. A list shorter than the faces gives the
    // rest the first face's material, as writers do when all faces share one.
    bool readMaterialList(const Member& object, MeshFaces& mesh)
    {
        if (mesh.hasMaterialList) {
            return fail(object.line, "a second MeshMaterialList in one mesh");
        }
        std::uint32_t materialCount = 0;
        std::uint32_t indexCount = 0;
        Token token;
        if (!readUnsigned(materialCount, token, "the number of materials")) {
            return false;
        }
        if (materialCount > kMaxMaterials) {
            return fail(token.line, "more than " + std::to_string(kMaxMaterials) + " materials");
        }
        if (!readUnsigned(indexCount, token, "the number of face materials")) {
            return false;
        }
        if (indexCount > mesh.faceCount() || (indexCount == 0 && mesh.faceCount() > 0)) {
            return fail(token.line, "materials for " + std::to_string(indexCount) + " faces of the mesh's " +
                                        std::to_string(mesh.faceCount()));
        }
        mesh.faceMaterials.reserve(mesh.faceCount());
        for (std::uint32_t i = 0; i < indexCount; ++i) {
            std::uint32_t index = 0;
            if (!readUnsigned(index, token, "a face's material index")) {
                return false;
            }
            if (index >= materialCount) {
                return fail(token.line, "material index " + std::to_string(index) + " is past the list's " +
                                            std::to_string(materialCount) + " materials");
            }
            mesh.faceMaterials.push_back(index);
        }
        if (indexCount > 0) {
            mesh.faceMaterials.resize(mesh.faceCount(), mesh.faceMaterials.front());
        }

        std::vector<std::uint32_t> listed;  // the model material of each the list holds
        Member member;
        while (nextMember(member, &object)) {
            std::uint32_t material = 0;
            if (member.isReference) {
                const auto named = namedMaterials_.find(member.name);
                if (named == namedMaterials_.end()) {
                    return fail(member.line, "no material named " + quoted(member.name) + " comes before this");
                }
                material = named->second;
            } else if (member.type != "Material") {
                if (!skipObject(member)) {
                    return false;
                }
                continue;
            } else if (!readMaterial(member, material)) {
                return false;
            }
            if (listed.size() == materialCount) {
                return fail(member.line, "the material list holds more than the " + std::to_string(materialCount) +
                                             " materials it states");
            }
            listed.push_back(material);
        }
        if (!problem_.empty()) {
            return false;
        }
        if (listed.size() != materialCount) {
            return fail(object.line, "the material list states " + std::to_string(materialCount) +
                                         " materials and holds " + std::to_string(listed.size()));
        }
        for (std::uint32_t& material : mesh.faceMaterials) {
            material = listed[material];
        }
        mesh.hasMaterialList = true;
        return true;
    }

    // Face colour with alpha, power, specular and emissive colour, and perhaps
    // a texture file. Colours given without alpha have alpha 1.
    bool readMaterial(const Member& object, std::uint32_t& index)
    {
        if (materials_.size() == kMaxMaterials) {
            return fail(object.line, "more than " + std::to_string(kMaxMaterials) + " materials");
        }
        XMaterial material;
        D3DMATERIAL9& colours = material.material;
        colours.Ambient = {0, 0, 0, 1};
        if (!readColour(colours.Diffuse, true) || !readFloat(colours.Power, "the specular power") ||
            !readColour(colours.Specular, false) || !readColour(colours.Emissive, false)) {
            return false;
        }
        Member member;
        while (nextMember(member, &object)) {
            const bool names = member.type == "TextureFilename" || member.type == "TextureFileName";
            const bool ok = member.isReference ? true
                            : names            ? readTextureFilename(member, material.textureFilename)
                                               : skipObject(member);
            if (!ok) {
                return false;
            }
        }
        if (!problem_.empty()) {
            return false;
        }
        index = static_cast<std::uint32_t>(materials_.size());
        if (!object.name.empty()) {
            namedMaterials_.try_emplace(std::string(object.name), index);
        }
        materials_.push_back(std::move(material));
        return true;
    }

    // The first non-empty file name a material gives is the one it is drawn with.
    bool readTextureFilename(const Member& object, std::string& filename)
    {
        const Token token = next();
        if (token.kind != TokenKind::string) {
            return unexpected(token, "a file name in quotes");
        }
        if (filename.empty()) {
            filename = undoubledBackslashes(token.text);
        }
        return skipChildren(object);
    }

    // Each face as a fan of triangles around its first corner, in the file's
    // winding, filed under its material.
    void addTriangles(const MeshFaces& mesh)
    {
        for (std::size_t f = 0; f < mesh.faceCount(); ++f) {
            const std::uint32_t material = mesh.faceMaterials.empty() ? 0 : mesh.faceMaterials[f];
            if (material >= trianglesByMaterial_.size()) {
                trianglesByMaterial_.resize(material + 1);
            }
            std::vector<std::uint32_t>& triangles = trianglesByMaterial_[material];
            const std::uint32_t* corners = &mesh.corners[mesh.faceStarts[f]];
            const std::uint32_t first = mesh.firstVertex;
            for (std::uint32_t k = 2; k < mesh.cornerCount(f); ++k) {
                triangles.insert(triangles.end(), {first + corners[0], first + corners[k - 1], first + corners[k]});
            }
        }
    }

    // A frame's own transform applies first, then its parent's.
    bool placeVertices()
    {
        std::vector<D3DXMATRIX> worlds(frames_.size());
        for (std::size_t f = 0; f < frames_.size(); ++f) {
            const Frame& frame = frames_[f];
            worlds[f] = frame.parent < 0 ? frame.transform : D3DXMatrixMultiply(frame.transform, worlds[frame.parent]);
        }
        for (const PlacedMesh& placed : placedMeshes_) {
            for (std::uint32_t v = placed.firstVertex; v < placed.firstVertex + placed.vertexCount; ++v) {
                D3DXVECTOR3& position = mesh_.vertices[v].position;
                position = D3DXVec3TransformCoord(position, worlds[placed.frame]);
                if (!std::isfinite(position.x) || !std::isfinite(position.y) || !std::isfinite(position.z)) {
                    return fail(placed.line, "the frame transforms move a vertex of this mesh out of range");
                }
            }
        }
        return true;
    }

    bool assemble(XModel& model)
    {
        if (triangleCount_ == 0) {
            return fail("the model has no faces");
        }
        if (!placeVertices()) {
            return false;
        }
        // Meshes without a material list draw with the first material.
        if (materials_.empty()) {
            materials_.push_back(classicGrey());
        }
        trianglesByMaterial_.resize(materials_.size());
        mesh_.indices.reserve(triangleCount_ * 3);
        for (const std::vector<std::uint32_t>& triangles : trianglesByMaterial_) {
            const auto firstIndex = static_cast<std::uint32_t>(mesh_.indices.size());
            mesh_.indices.insert(mesh_.indices.end(), triangles.begin(), triangles.end());
            mesh_.subsets.push_back({firstIndex, static_cast<std::uint32_t>(triangles.size())});
        }
        mesh_.hasNormals = everyMeshHasNormals_;
        model.mesh = std::move(mesh_);
        model.materials = std::move(materials_);
        return true;
    }

    std::string_view text_;
    std::size_t position_ = 0;
    int line_ = 1;
    std::string problem_;

    MeshData mesh_;
    std::vector<XMaterial> materials_;
    std::map<std::string, std::uint32_t, std::less<>> namedMaterials_;
    std::vector<Frame> frames_;
    std::vector<PlacedMesh> placedMeshes_;
    std::vector<std::vector<std::uint32_t>> trianglesByMaterial_;
    std::size_t triangleCount_ = 0;
    bool everyMeshHasNormals_ = true;
};

}  // namespace

bool parseXModel(std::string_view text, XModel& model, std::string& problem)
{
    model = {};
    problem.clear();
    if (!XTextReader(text).read(model, problem)) {
        model = {};
        return false;
    }
    return true;
}

bool readXModel(const std::string& path, XModel& model, std::string& problem)
{
    model = {};
    std::vector<std::uint8_t> bytes;
    if (!readDataFile(path, kMaxModelFileBytes, bytes, problem)) {
        return false;
    }
    return parseXModel(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), model, problem);
}
