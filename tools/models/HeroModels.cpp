#include "HeroModels.h"

#include <cmath>
#include <numbers>

namespace tamborel::tools {

namespace {

constexpr int segments = 72;

Mesh head(const std::string& name, double radius, double y, bool facingUp) {
    // A slight dome reads as a tensioned skin under the default lighting.
    std::vector<std::array<double, 2>> points;
    for (int i = 0; i <= 8; ++i) {
        const double r = radius * i / 8.0;
        const double dome = 0.004 * (1.0 - (r / radius) * (r / radius));
        points.push_back({r, facingUp ? y + dome : y - dome});
    }
    return revolve(name, "head", profileWithNormals(points, facingUp), segments);
}

} // namespace

Model drumModel() {
    constexpr double radius = 0.178; // 14 inch
    constexpr double depth = 0.254;  // 10 inch
    constexpr double top = depth / 2;

    Model model{"drum",
                {{"shell", {0.10, 0.16, 0.34}, {0.6, 0.65, 0.8}, 40.0},
                 {"head", {0.90, 0.89, 0.85}, {0.2, 0.2, 0.2}, 8.0},
                 {"chrome", {0.72, 0.74, 0.78}, {1.0, 1.0, 1.0}, 90.0}},
                {}};

    // Shell: outside and inside walls joined over the bearing edges.
    const double wall = 0.006;
    Mesh shell = revolve("shell", "shell",
                         profileWithNormals({{radius, -top}, {radius, top}}, false), segments);
    shell.append(revolve("shell", "shell",
                         profileWithNormals({{radius - wall, top}, {radius - wall, -top}}, false),
                         segments));
    shell.append(revolve("shell", "shell",
                         profileWithNormals({{radius - wall, top}, {radius, top}}, true),
                         segments));
    shell.append(revolve("shell", "shell",
                         profileWithNormals({{radius - wall, -top}, {radius, -top}}, false),
                         segments));
    model.meshes.push_back(shell);

    model.meshes.push_back(head("batter_head", radius + 0.002, top + 0.001, true));
    model.meshes.push_back(head("resonant_head", radius + 0.002, -top - 0.001, false));
    model.meshes.push_back(
        torus("top_hoop", "chrome", radius + 0.006, 0.008, top + 0.004, segments, 12));
    model.meshes.push_back(
        torus("bottom_hoop", "chrome", radius + 0.006, 0.008, -top - 0.004, segments, 12));

    Mesh lugs{"lugs", "chrome", {}, {}, {}};
    constexpr int lugCount = 8;
    for (int i = 0; i < lugCount; ++i) {
        const double angle = 2.0 * std::numbers::pi * (i + 0.5) / lugCount;
        const double at = radius + 0.012;
        lugs.append(box("lug", "chrome", {0.02, 0.075, 0.024}, angle,
                        {at * std::cos(angle), 0.0, at * std::sin(angle)}));
        // Tension rods from each lug up and down to the hoops.
        for (double end : {1.0, -1.0})
            lugs.append(box("rod", "chrome", {0.006, top - 0.035, 0.006}, angle,
                            {(radius + 0.01) * std::cos(angle), end * (0.0375 + (top - 0.035) / 2),
                             (radius + 0.01) * std::sin(angle)}));
    }
    model.meshes.push_back(lugs);
    return model;
}

Model cymbalModel() {
    constexpr double radius = 0.229; // 18 inch
    constexpr double bellRadius = 0.062;
    constexpr double hole = 0.007;
    constexpr double thickness = 0.0025;

    Model model{"cymbal", {{"bronze", {0.78, 0.55, 0.24}, {1.0, 0.85, 0.6}, 60.0}}, {}};

    // Top surface from the hole out: the domed bell, then the bow falling towards the edge.
    auto topHeight = [&](double r) {
        if (r <= bellRadius) {
            const double x = (r - hole) / (bellRadius - hole);
            return 0.034 * std::cos(x * std::numbers::pi / 2) + 0.006;
        }
        const double x = (r - bellRadius) / (radius - bellRadius);
        return 0.006 - 0.02 * std::pow(x, 1.3);
    };
    auto surface = [&](double from, double to, int steps, double offset) {
        std::vector<std::array<double, 2>> points;
        for (int i = 0; i <= steps; ++i) {
            const double r = from + (to - from) * i / steps;
            points.push_back({r, topHeight(r) + offset});
        }
        return points;
    };

    Mesh bell = revolve("bell", "bronze",
                        profileWithNormals(surface(hole, bellRadius, 16, 0.0), true), segments);
    bell.append(revolve("bell", "bronze",
                        profileWithNormals(surface(hole, bellRadius, 16, -thickness), false),
                        segments));
    bell.append(revolve(
        "bell", "bronze",
        profileWithNormals({{hole, topHeight(hole) - thickness}, {hole, topHeight(hole)}}, true),
        segments));
    model.meshes.push_back(bell);

    Mesh bow = revolve("bow", "bronze",
                       profileWithNormals(surface(bellRadius, radius, 40, 0.0), true), segments);
    bow.append(revolve("bow", "bronze",
                       profileWithNormals(surface(bellRadius, radius, 40, -thickness), false),
                       segments));
    bow.append(
        revolve("bow", "bronze",
                profileWithNormals(
                    {{radius, topHeight(radius) - thickness}, {radius, topHeight(radius)}}, false),
                segments));
    model.meshes.push_back(bow);
    return model;
}

} // namespace tamborel::tools
