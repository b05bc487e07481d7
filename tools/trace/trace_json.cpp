#include "tools/trace/trace_json.h"

#include <cstdio>
#include <type_traits>

namespace {

// Each append function adds one JSON value to the end of `out`.

// Starts the next member of the object being written: a comma unless it is the
// object's first member, then the key.
std::string& member(std::string& out, std::string_view key)
{
    if (out.back() != '{') {
        out += ',';
    }
    out += '"';
    out += key;
    out += "\":";
    return out;
}

void appendInteger(std::string& out, std::uint32_t value)
{
    out += std::to_string(value);
}

void appendBool(std::string& out, bool value)
{
    out += value ? "true" : "false";
}

void appendFloat(std::string& out, double value)
{
    out += jsonFloat(value);
}

void appendFloats(std::string& out, const float* values, int count)
{
    out += '[';
    for (int i = 0; i < count; ++i) {
        if (i) {
            out += ',';
        }
        appendFloat(out, values[i]);
    }
    out += ']';
}

void appendColorValue(std::string& out, const D3DCOLORVALUE& c)
{
    const float values[] = {c.r, c.g, c.b, c.a};
    appendFloats(out, values, 4);
}

void appendVector(std::string& out, const D3DXVECTOR3& v)
{
    const float values[] = {v.x, v.y, v.z};
    appendFloats(out, values, 3);
}

void appendMatrix(std::string& out, const D3DXMATRIX& m)
{
    appendFloats(out, &m.m[0][0], 16);
}

void appendColor(std::string& out, D3DCOLOR color)
{
    char text[16];
    std::snprintf(text, sizeof text, "\"0x%08X\"", static_cast<unsigned>(color));
    out += text;
}

void appendString(std::string& out, std::string_view text)
{
    out += '"';
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte >= 0x80) {
            // File names are narrow strings; a byte outside ASCII is written as its Latin-1 code point.
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    out += '"';
}

std::string_view renderStateName(D3DRENDERSTATETYPE state)
{
    switch (state) {
    case D3DRS_ZENABLE: return "ZENABLE";
    case D3DRS_SRCBLEND: return "SRCBLEND";
    case D3DRS_DESTBLEND: return "DESTBLEND";
    case D3DRS_ALPHABLENDENABLE: return "ALPHABLENDENABLE";
    case D3DRS_SPECULARENABLE: return "SPECULARENABLE";
    case D3DRS_NORMALIZENORMALS: return "NORMALIZENORMALS";
    case D3DRS_SPECULARMATERIALSOURCE: return "SPECULARMATERIALSOURCE";
    }
    return "UNKNOWN";
}

std::string_view transformStateName(D3DTRANSFORMSTATETYPE state)
{
    switch (state) {
    case D3DTS_WORLD: return "WORLD";
    case D3DTS_VIEW: return "VIEW";
    case D3DTS_PROJECTION: return "PROJECTION";
    }
    return "UNKNOWN";
}

// The members after "call", one overload per kind of call.

template <class Call>
requires std::is_empty_v<Call>
void appendArguments(std::string&, const Call&) {}

void appendArguments(std::string& out, const ClearCall& call)
{
    appendInteger(member(out, "flags"), call.flags);
    appendColor(member(out, "color"), call.color);
    appendFloat(member(out, "z"), call.z);
    appendInteger(member(out, "stencil"), call.stencil);
}

void appendArguments(std::string& out, const SetRenderStateCall& call)
{
    appendString(member(out, "state"), renderStateName(call.state));
    appendInteger(member(out, "value"), call.value);
}

void appendArguments(std::string& out, const SetTransformCall& call)
{
    appendString(member(out, "state"), transformStateName(call.state));
    appendMatrix(member(out, "matrix"), call.matrix);
}

void appendArguments(std::string& out, const SetLightCall& call)
{
    const D3DLIGHT9& light = call.light;
    appendInteger(member(out, "index"), call.index);
    member(out, "light") += '{';
    appendInteger(member(out, "Type"), light.Type);
    appendColorValue(member(out, "Diffuse"), light.Diffuse);
    appendColorValue(member(out, "Specular"), light.Specular);
    appendColorValue(member(out, "Ambient"), light.Ambient);
    appendVector(member(out, "Position"), light.Position);
    appendVector(member(out, "Direction"), light.Direction);
    appendFloat(member(out, "Range"), light.Range);
    appendFloat(member(out, "Falloff"), light.Falloff);
    appendFloat(member(out, "Attenuation0"), light.Attenuation0);
    appendFloat(member(out, "Attenuation1"), light.Attenuation1);
    appendFloat(member(out, "Attenuation2"), light.Attenuation2);
    appendFloat(member(out, "Theta"), light.Theta);
    appendFloat(member(out, "Phi"), light.Phi);
    out += '}';
}

void appendArguments(std::string& out, const LightEnableCall& call)
{
    appendInteger(member(out, "index"), call.index);
    appendBool(member(out, "enable"), call.enable);
}

void appendArguments(std::string& out, const SetMaterialCall& call)
{
    const D3DMATERIAL9& material = call.material;
    member(out, "material") += '{';
    appendColorValue(member(out, "Diffuse"), material.Diffuse);
    appendColorValue(member(out, "Ambient"), material.Ambient);
    appendColorValue(member(out, "Specular"), material.Specular);
    appendColorValue(member(out, "Emissive"), material.Emissive);
    appendFloat(member(out, "Power"), material.Power);
    out += '}';
}

void appendArguments(std::string& out, const SpriteBeginCall& call)
{
    appendInteger(member(out, "flags"), call.flags);
}

void appendArguments(std::string& out, const SpriteSetTransformCall& call)
{
    appendMatrix(member(out, "matrix"), call.matrix);
}

void appendArguments(std::string& out, const SpriteDrawCall& call)
{
    appendString(member(out, "texture"), call.texture);
    appendVector(member(out, "center"), call.centre);
    appendColor(member(out, "color"), call.color);
}

void appendArguments(std::string& out, const DrawSubsetCall& call)
{
    appendString(member(out, "mesh"), call.mesh);
    appendInteger(member(out, "subset"), call.subset);
}

}  // namespace

std::string jsonFloat(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

std::string callJson(const DeviceCall& call, bool atStartUp)
{
    std::string out = "{";
    appendString(member(out, "call"), callName(call));
    std::visit([&out](const auto& typed) { appendArguments(out, typed); }, call);
    if (atStartUp) {
        appendBool(member(out, "startup"), true);
    }
    out += '}';
    return out;
}
