#include "Mesh.h"

#include <cmath>
#include <numbers>

namespace tamborel::tools {

namespace {

Vec3 sub(const Vec3& a, const Vec3& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double dot(const Vec3& a, const Vec3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// Adds a triangle, flipping it if its face points away from its vertices' normals: easier
// and less error-prone than reasoning out every sweep direction by hand.
void addTriangle(Mesh& mesh, std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    const Vec3 face =
        cross(sub(mesh.positions[b], mesh.positions[a]), sub(mesh.positions[c], mesh.positions[a]));
    const Vec3& n0 = mesh.normals[a];
    const Vec3& n1 = mesh.normals[b];
    const Vec3& n2 = mesh.normals[c];
    const Vec3 normal{n0[0] + n1[0] + n2[0], n0[1] + n1[1] + n2[1], n0[2] + n1[2] + n2[2]};
    if (dot(face, normal) >= 0.0)
        mesh.indices.insert(mesh.indices.end(), {a, b, c});
    else
        mesh.indices.insert(mesh.indices.end(), {a, c, b});
}

} // namespace

void Mesh::append(const Mesh& other) {
    const auto offset = static_cast<std::uint32_t>(positions.size());
    positions.insert(positions.end(), other.positions.begin(), other.positions.end());
    normals.insert(normals.end(), other.normals.begin(), other.normals.end());
    for (std::uint32_t i : other.indices)
        indices.push_back(i + offset);
}

std::vector<ProfilePoint> profileWithNormals(const std::vector<std::array<double, 2>>& points,
                                             bool outwardLeft) {
    std::vector<ProfilePoint> profile;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const auto& before = points[i == 0 ? 0 : i - 1];
        const auto& after = points[i + 1 == points.size() ? i : i + 1];
        const double dr = after[0] - before[0];
        const double dy = after[1] - before[1];
        const double length = std::hypot(dr, dy);
        const double sign = outwardLeft ? 1.0 : -1.0;
        profile.push_back({points[i][0], points[i][1], sign * -dy / length, sign * dr / length});
    }
    return profile;
}

Mesh revolve(const std::string& name, const std::string& material,
             const std::vector<ProfilePoint>& profile, int segments) {
    Mesh mesh{name, material, {}, {}, {}};
    const auto rows = static_cast<std::uint32_t>(profile.size());
    for (int s = 0; s <= segments; ++s) {
        const double angle = 2.0 * std::numbers::pi * s / segments;
        const double c = std::cos(angle);
        const double sn = std::sin(angle);
        for (const ProfilePoint& p : profile) {
            mesh.positions.push_back({p.r * c, p.y, p.r * sn});
            const double length = std::hypot(p.nr, p.ny);
            mesh.normals.push_back({p.nr * c / length, p.ny / length, p.nr * sn / length});
        }
    }
    for (std::uint32_t s = 0; s < static_cast<std::uint32_t>(segments); ++s) {
        for (std::uint32_t i = 0; i + 1 < rows; ++i) {
            const std::uint32_t a = s * rows + i;
            const std::uint32_t b = (s + 1) * rows + i;
            // Points on the axis make degenerate quads; skip their zero-area half.
            if (profile[i].r > 0.0)
                addTriangle(mesh, a, b, a + 1);
            if (profile[i + 1].r > 0.0)
                addTriangle(mesh, a + 1, b, b + 1);
        }
    }
    return mesh;
}

Mesh torus(const std::string& name, const std::string& material, double majorRadius,
           double minorRadius, double y, int segments, int sides) {
    std::vector<ProfilePoint> circle;
    for (int k = 0; k <= sides; ++k) {
        const double a = 2.0 * std::numbers::pi * k / sides;
        circle.push_back({majorRadius + minorRadius * std::cos(a), y + minorRadius * std::sin(a),
                          std::cos(a), std::sin(a)});
    }
    return revolve(name, material, circle, segments);
}

Mesh box(const std::string& name, const std::string& material, Vec3 size, double angle,
         Vec3 centre) {
    Mesh mesh{name, material, {}, {}, {}};
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    auto turn = [&](const Vec3& v) { return Vec3{v[0] * c - v[2] * s, v[1], v[0] * s + v[2] * c}; };
    for (int axis = 0; axis < 3; ++axis) {
        for (double side : {-1.0, 1.0}) {
            Vec3 normal{0, 0, 0};
            normal[axis] = side;
            const int u = (axis + 1) % 3;
            const int v = (axis + 2) % 3;
            const auto base = static_cast<std::uint32_t>(mesh.positions.size());
            constexpr std::array<std::array<double, 2>, 4> corners{
                {{-1.0, -1.0}, {1.0, -1.0}, {1.0, 1.0}, {-1.0, 1.0}}};
            for (auto [du, dv] : corners) {
                Vec3 corner{0, 0, 0};
                corner[axis] = side * size[axis] / 2;
                corner[u] = du * size[u] / 2;
                corner[v] = dv * size[v] / 2;
                const Vec3 turned = turn(corner);
                mesh.positions.push_back(
                    {turned[0] + centre[0], turned[1] + centre[1], turned[2] + centre[2]});
                mesh.normals.push_back(turn(normal));
            }
            addTriangle(mesh, base, base + 1, base + 2);
            addTriangle(mesh, base, base + 2, base + 3);
        }
    }
    return mesh;
}

} // namespace tamborel::tools
