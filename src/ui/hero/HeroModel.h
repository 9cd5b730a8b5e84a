#pragma once
// The hero card's two models: which one a role shows, where its file lives, and reading it
// with assimp into one interleaved triangle list the 3-D view can draw. Main thread only.

#include <QString>
#include <QVector3D>

#include <optional>
#include <vector>

namespace tamborel::ui::hero {

// "drum" for the six drum roles, "cymbal" for the eight hi-hat and cymbal roles, "" for text
// that names no role.
QString modelNameFor(const QString& role);

// The model's file, "<name>.dae", in the resources' "models" folder or else at the top of
// the resources; empty when neither exists.
QString findModelFile(const QString& resourcesFolder, const QString& modelName);

// One vertex as the geometry buffer holds it.
struct Vertex {
    float x, y, z;
    float nx, ny, nz;
    float r, g, b, a;
};

struct Mesh {
    std::vector<Vertex> vertices; // triangles, three vertices each
    QVector3D boundsMin;
    QVector3D boundsMax;
};

// Every mesh of the file, with node transforms applied and each vertex coloured by its
// material's diffuse colour. Empty when the file is missing, unreadable or holds no
// triangles.
std::optional<Mesh> loadMesh(const QString& file);

// How the model is framed: scaled so its largest dimension is 2.2 units and centred on the
// origin. A model with no extent keeps its own size.
struct Framing {
    float scale = 1.0f;
    QVector3D centre;
};
Framing frame(const QVector3D& boundsMin, const QVector3D& boundsMax);

} // namespace tamborel::ui::hero
