#include "platform/gl/gl_mesh_renderer.h"

#include "platform/gl/gl_program.h"

#include "platform/gl/gl_api.h"

#include <cstddef>

#include "core/d3dx_math.h"

namespace {

// Matrices arrive as the row-vector records, 16 floats row by row; read by
// OpenGL as column-major they are the transposes, so `M * v` computes v × M.
// Direct3D clips depth to [0, w], OpenGL to [−w, w]. Direct3D puts pixel centres
// on whole window coordinates, OpenGL on halves: the same vertex lands half a
// pixel (of the 1280 × 720 target, whatever the render scale) further right and
// down under Direct3D, so it is moved there.
const char* const kVertexShader = R"(
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;

uniform mat4 worldView;
uniform mat4 projection;
uniform mat3 normalMatrix;
uniform bool lightEnabled;
uniform bool hasNormals;
uniform bool normalizeNormals;
uniform bool specularEnabled;
uniform vec3 towardsLight;
uniform vec4 lightDiffuse;
uniform vec4 lightSpecular;
uniform vec4 lightAmbient;
uniform vec4 materialDiffuse;
uniform vec4 materialAmbient;
uniform vec4 materialSpecular;
uniform vec4 materialEmissive;
uniform float materialPower;

out vec4 diffuseColour;
out vec3 specularColour;

void main()
{
    vec4 eyePosition = worldView * vec4(position, 1.0);
    vec4 clip = projection * eyePosition;
    gl_Position = vec4(clip.xy + vec2(1.0 / 1280.0, -1.0 / 720.0) * clip.w, 2.0 * clip.z - clip.w, clip.w);

    vec3 ambient = vec3(0.0);
    vec3 diffuse = vec3(0.0);
    vec3 specular = vec3(0.0);
    if (lightEnabled) {
        ambient = lightAmbient.rgb;
        if (hasNormals) {
            vec3 n = normalMatrix * normal;
            if (normalizeNormals) {
                n = normalize(n);
            }
            float nDotL = dot(n, towardsLight);
            if (nDotL > 0.0) {
                diffuse = nDotL * lightDiffuse.rgb;
                vec3 halfway = normalize(towardsLight - normalize(eyePosition.xyz));
                float nDotH = dot(n, halfway);
                if (nDotH > 0.0) {
                    specular = pow(nDotH, materialPower) * lightSpecular.rgb;
                }
            }
        }
    }
    vec3 lit = materialAmbient.rgb * ambient + materialDiffuse.rgb * diffuse + materialEmissive.rgb;
    diffuseColour = clamp(vec4(lit, materialDiffuse.a), 0.0, 1.0);
    specularColour = specularEnabled ? clamp(materialSpecular.rgb * specular, 0.0, 1.0) : vec3(0.0);
}
)";

const char* const kFragmentShader = R"(
in vec4 diffuseColour;
in vec3 specularColour;
out vec4 colour;

void main()
{
    colour = vec4(diffuseColour.rgb + specularColour, diffuseColour.a);
    // Depth in 16-bit steps, the precision the show is made for, whatever the
    // buffer holds: where surfaces nearly meet they are settled as a 16-bit
    // buffer settles them.
    gl_FragDepth = round(gl_FragCoord.z * 65535.0) / 65535.0;
}
)";

// Normals turn by the inverse transpose of world × view. For row vectors that
// is n × (M⁻¹)ᵀ, which as a column-vector product is M⁻¹ · n: the inverse of
// the upper 3 × 3, handed to OpenGL row by row (transpose = GL_TRUE).
void normalMatrixOf(const D3DXMATRIX& worldView, float out[9])
{
    const auto& m = worldView.m;
    const double cofactors[9] = {
        double{m[1][1]} * m[2][2] - double{m[1][2]} * m[2][1], double{m[0][2]} * m[2][1] - double{m[0][1]} * m[2][2],
        double{m[0][1]} * m[1][2] - double{m[0][2]} * m[1][1], double{m[1][2]} * m[2][0] - double{m[1][0]} * m[2][2],
        double{m[0][0]} * m[2][2] - double{m[0][2]} * m[2][0], double{m[0][2]} * m[1][0] - double{m[0][0]} * m[1][2],
        double{m[1][0]} * m[2][1] - double{m[1][1]} * m[2][0], double{m[0][1]} * m[2][0] - double{m[0][0]} * m[2][1],
        double{m[0][0]} * m[1][1] - double{m[0][1]} * m[1][0],
    };
    const double determinant = m[0][0] * cofactors[0] + m[0][1] * cofactors[3] + m[0][2] * cofactors[6];
    for (int i = 0; i < 9; ++i) {
        out[i] = determinant == 0.0 ? 0.0f : static_cast<float>(cofactors[i] / determinant);
    }
}

// The light's direction turned into camera space, negated and made unit length.
D3DXVECTOR3 towardsLightInCamera(const D3DXVECTOR3& direction, const D3DXMATRIX& view)
{
    const auto& m = view.m;
    return D3DXVec3Normalize({-(direction.x * m[0][0] + direction.y * m[1][0] + direction.z * m[2][0]),
                              -(direction.x * m[0][1] + direction.y * m[1][1] + direction.z * m[2][1]),
                              -(direction.x * m[0][2] + direction.y * m[1][2] + direction.z * m[2][2])});
}

void setColour(int location, const D3DCOLORVALUE& c)
{
    glUniform4f(location, c.r, c.g, c.b, c.a);
}

}  // namespace

GlMeshRenderer::GlMeshRenderer() : program_(buildGlProgram(kVertexShader, kFragmentShader, "no model is drawn"))
{
    if (!program_) {
        return;
    }
    const auto at = [this](const char* name) { return glGetUniformLocation(program_, name); };
    uniforms_ = {
        at("worldView"),       at("projection"),       at("normalMatrix"),     at("lightEnabled"),
        at("hasNormals"),      at("normalizeNormals"), at("specularEnabled"),  at("towardsLight"),
        at("lightDiffuse"),    at("lightSpecular"),    at("lightAmbient"),     at("materialDiffuse"),
        at("materialAmbient"), at("materialSpecular"), at("materialEmissive"), at("materialPower"),
    };
}

GlMeshRenderer::~GlMeshRenderer()
{
    for (const auto& mesh : meshes_) {
        glDeleteVertexArrays(1, &mesh->vertexArray);
        glDeleteBuffers(1, &mesh->vertexBuffer);
        glDeleteBuffers(1, &mesh->indexBuffer);
    }
    glDeleteProgram(program_);
}

const Mesh* GlMeshRenderer::create(const MeshData& data, std::string_view name)
{
    auto mesh = std::make_unique<GlMesh>();
    mesh->name = name;
    mesh->subsets = data.subsets;
    mesh->hasNormals = data.hasNormals;

    glGenVertexArrays(1, &mesh->vertexArray);
    glBindVertexArray(mesh->vertexArray);
    glGenBuffers(1, &mesh->vertexBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, mesh->vertexBuffer);
    glUploadBuffer(GL_ARRAY_BUFFER, data.vertices.size() * sizeof(MeshVertex), data.vertices.data(), GL_STATIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(MeshVertex),
                          reinterpret_cast<const void*>(offsetof(MeshVertex, position)));
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, sizeof(MeshVertex),
                          reinterpret_cast<const void*>(offsetof(MeshVertex, normal)));
    glGenBuffers(1, &mesh->indexBuffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, mesh->indexBuffer);
    glUploadBuffer(GL_ELEMENT_ARRAY_BUFFER, data.indices.size() * sizeof(std::uint32_t), data.indices.data(),
                   GL_STATIC_DRAW);
    glBindVertexArray(0);
    return meshes_.emplace_back(std::move(mesh)).get();
}

void GlMeshRenderer::draw(const FixedFunctionState& state, const Mesh& mesh, std::uint32_t subset)
{
    if (!program_ || subset >= mesh.subsets.size() || mesh.subsets[subset].indexCount == 0) {
        return;
    }
    const auto& glMesh = static_cast<const GlMesh&>(mesh);

    glUseProgram(program_);
    const D3DXMATRIX worldView = D3DXMatrixMultiply(state.world, state.view);
    glUniformMatrix4fv(uniforms_.worldView, 1, GL_FALSE, &worldView.m[0][0]);
    glUniformMatrix4fv(uniforms_.projection, 1, GL_FALSE, &state.projection.m[0][0]);
    float normalMatrix[9];
    normalMatrixOf(worldView, normalMatrix);
    glUniformMatrix3fv(uniforms_.normalMatrix, 1, GL_TRUE, normalMatrix);

    glUniform1i(uniforms_.lightEnabled, state.lightEnabled);
    glUniform1i(uniforms_.hasNormals, glMesh.hasNormals);
    glUniform1i(uniforms_.normalizeNormals, state.renderStates.normalizeNormals);
    glUniform1i(uniforms_.specularEnabled, state.renderStates.specularEnable);
    const D3DXVECTOR3 towardsLight = towardsLightInCamera(state.light.Direction, state.view);
    glUniform3f(uniforms_.towardsLight, towardsLight.x, towardsLight.y, towardsLight.z);
    setColour(uniforms_.lightDiffuse, state.light.Diffuse);
    setColour(uniforms_.lightSpecular, state.light.Specular);
    setColour(uniforms_.lightAmbient, state.light.Ambient);
    setColour(uniforms_.materialDiffuse, state.material.Diffuse);
    setColour(uniforms_.materialAmbient, state.material.Ambient);
    setColour(uniforms_.materialSpecular, state.material.Specular);
    setColour(uniforms_.materialEmissive, state.material.Emissive);
    glUniform1f(uniforms_.materialPower, state.material.Power);

    applyDepthAndBlend(state.renderStates);
    glDepthMask(GL_TRUE);
    glEnable(GL_CULL_FACE);
    // The back buffer has no alpha channel: the picture's alpha stays as cleared.
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
    glBindVertexArray(glMesh.vertexArray);
    const MeshSubset& range = mesh.subsets[subset];
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(range.indexCount), GL_UNSIGNED_INT,
                   reinterpret_cast<const void*>(std::size_t{range.firstIndex} * sizeof(std::uint32_t)));
    glBindVertexArray(0);
    glUseProgram(0);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDisable(GL_CULL_FACE);
}
