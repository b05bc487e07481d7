#include "x_file.h"

#include <cstdio>

namespace datagen {

namespace {

// Fixed-point numbers with a '.' whatever the locale, so the text is the same everywhere.
std::string number(float value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", static_cast<double>(value));
    return text;
}

std::string vector3(Vec3 v)
{
    return number(v.x) + ";" + number(v.y) + ";" + number(v.z) + ";";
}

// List items are separated by ',' and the list ends with ';'.
const char* listEnd(std::size_t index, std::size_t count)
{
    return index + 1 < count ? "," : ";";
}

void writeVectorList(std::string& out, const std::vector<Vec3>& vectors)
{
    out += "  " + std::to_string(vectors.size()) + ";\n";
    for (std::size_t i = 0; i < vectors.size(); ++i)
        out += "  " + vector3(vectors[i]) + listEnd(i, vectors.size()) + "\n";
}

void writeFaceList(std::string& out, const std::vector<Triangle>& triangles)
{
    out += "  " + std::to_string(triangles.size()) + ";\n";
    for (std::size_t i = 0; i < triangles.size(); ++i) {
        const auto& c = triangles[i].corners;
        out += "  3;" + std::to_string(c[0]) + "," + std::to_string(c[1]) + "," + std::to_string(c[2]) + ";" +
               listEnd(i, triangles.size()) + "\n";
    }
}

void writeMaterial(std::string& out, const Material& material)
{
    const Colour& c = material.faceColour;
    out += "   Material " + material.name + " {\n";
    out += "    " + number(c.r) + ";" + number(c.g) + ";" + number(c.b) + ";" + number(c.a) + ";;\n";
    out += "    " + number(material.power) + ";\n";
    out += "    " + vector3(material.specularColour) + ";\n";
    out += "    " + vector3(material.emissiveColour) + ";\n";
    out += "   }\n";
}

}  // namespace

std::string writeXFile(const Mesh& mesh, const std::string& name)
{
    std::string out = "xof 0303txt 0032\n\n";
    out += "Frame " + name + " {\n";
    out += " FrameTransformMatrix {\n";
    out +=
        "  1.000000,0.000000,0.000000,0.000000,0.000000,1.000000,0.000000,0.000000,"
        "0.000000,0.000000,1.000000,0.000000,0.000000,0.000000,0.000000,1.000000;;\n";
    out += " }\n";
    out += " Mesh " + name + "Mesh {\n";
    writeVectorList(out, mesh.positions);
    writeFaceList(out, mesh.triangles);

    out += "  MeshNormals {\n";
    writeVectorList(out, mesh.normals);
    writeFaceList(out, mesh.triangles);  // each corner's normal has the corner's index
    out += "  }\n";

    out += "  MeshMaterialList {\n";
    out += "   " + std::to_string(mesh.materials.size()) + ";\n";
    out += "   " + std::to_string(mesh.triangles.size()) + ";\n";
    // The index list closes with a second ';', as the format's own files write it.
    for (std::size_t i = 0; i < mesh.triangles.size(); ++i) {
        const bool last = i + 1 == mesh.triangles.size();
        out += "   " + std::to_string(mesh.triangles[i].material) + (last ? ";;" : ",") + "\n";
    }
    for (const Material& material : mesh.materials)
        writeMaterial(out, material);
    out += "  }\n";
    out += " }\n";
    out += "}\n";
    return out;
}

}  // namespace datagen
