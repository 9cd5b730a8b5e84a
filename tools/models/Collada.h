#pragma once
// Writes meshes as a COLLADA 1.4.1 document: one geometry and one node per mesh, grouped
// under a single root node, with Phong materials.

#include "Mesh.h"

#include <string>
#include <vector>

namespace tamborel::tools {

struct Material {
    std::string id;
    std::array<double, 3> diffuse;
    std::array<double, 3> specular;
    double shininess;
};

struct Model {
    std::string name; // the root node
    std::vector<Material> materials;
    std::vector<Mesh> meshes;
};

std::string colladaDocument(const Model& model);

} // namespace tamborel::tools
