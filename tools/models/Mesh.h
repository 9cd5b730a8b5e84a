#pragma once
// Triangle meshes for the hero models, built from surfaces of revolution and boxes.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tamborel::tools {

using Vec3 = std::array<double, 3>;

struct Mesh {
    std::string name;     // also the node's name in the scene
    std::string material; // id of a material in the document
    std::vector<Vec3> positions;
    std::vector<Vec3> normals; // one per position, unit length
    std::vector<std::uint32_t> indices;

    // Appends another mesh's triangles (its name and material are ignored).
    void append(const Mesh& other);
};

// One point of a profile in the (radius, height) half-plane, with the surface normal in
// that plane.
struct ProfilePoint {
    double r, y;
    double nr, ny;
};

// Normals for an open profile from its neighbours, pointing to the left of the direction of
// travel when outwardLeft is true, else to the right.
std::vector<ProfilePoint> profileWithNormals(const std::vector<std::array<double, 2>>& points,
                                             bool outwardLeft);

// Sweeps the profile a full turn around the Y axis. Triangles are wound counter-clockwise
// seen from the side the normals point to.
Mesh revolve(const std::string& name, const std::string& material,
             const std::vector<ProfilePoint>& profile, int segments);

// A ring of round section: major radius around Y at height y.
Mesh torus(const std::string& name, const std::string& material, double majorRadius,
           double minorRadius, double y, int segments, int sides);

// An axis-aligned box of the given size centred on the origin, then turned by angle radians
// about Y and moved to centre.
Mesh box(const std::string& name, const std::string& material, Vec3 size, double angle,
         Vec3 centre);

} // namespace tamborel::tools
