#include "HeroModel.h"

#include "model/PadRole.h"

#include <QDir>
#include <QFileInfo>

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <cmath>

namespace tamborel::ui::hero {

namespace {

constexpr float framedSize = 2.2f;

QVector3D diffuseOf(const aiScene& scene, unsigned materialIndex) {
    aiColor4D colour(0.8f, 0.8f, 0.8f, 1.0f);
    if (materialIndex < scene.mNumMaterials)
        scene.mMaterials[materialIndex]->Get(AI_MATKEY_COLOR_DIFFUSE, colour);
    return {colour.r, colour.g, colour.b};
}

bool isFinite(const aiVector3D& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// A corner out of range or off at infinity would smear the whole model; skip the triangle.
bool validFace(const aiMesh& mesh, const aiFace& face) {
    for (unsigned k = 0; k < face.mNumIndices; ++k) {
        const unsigned i = face.mIndices[k];
        if (i >= mesh.mNumVertices || !isFinite(mesh.mVertices[i]))
            return false;
    }
    return true;
}

} // namespace

QString modelNameFor(const QString& role) {
    const auto parsed = padRoleFromRawValue(role.toStdString());
    if (!parsed)
        return {};
    // The first six roles are the drums, the rest hi-hats and cymbals.
    return indexOf(*parsed) < 6 ? QStringLiteral("drum") : QStringLiteral("cymbal");
}

QString findModelFile(const QString& resourcesFolder, const QString& modelName) {
    if (resourcesFolder.isEmpty() || modelName.isEmpty())
        return {};
    const QDir resources(resourcesFolder);
    const QString fileName = modelName + QStringLiteral(".dae");
    for (const QString& candidate :
         {resources.filePath(QStringLiteral("models/") + fileName), resources.filePath(fileName)}) {
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return {};
}

std::optional<Mesh> loadMesh(const QString& file) {
    if (file.isEmpty() || !QFileInfo(file).isFile())
        return std::nullopt;

    // Without a logger of its own assimp stays silent: a model that fails to load leaves
    // the card empty without a word in the log.
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(
        QFile::encodeName(file).toStdString(),
        aiProcess_Triangulate | aiProcess_PreTransformVertices | aiProcess_GenSmoothNormals |
            aiProcess_SortByPType | aiProcess_FindInvalidData);
    if (scene == nullptr || (scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE) != 0)
        return std::nullopt;

    Mesh out;
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
        const aiMesh& mesh = *scene->mMeshes[m];
        if ((mesh.mPrimitiveTypes & aiPrimitiveType_TRIANGLE) == 0 || mesh.mNormals == nullptr)
            continue;
        const QVector3D colour = diffuseOf(*scene, mesh.mMaterialIndex);
        for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
            const aiFace& face = mesh.mFaces[f];
            if (face.mNumIndices != 3 || !validFace(mesh, face))
                continue;
            for (unsigned k = 0; k < 3; ++k) {
                const aiVector3D& p = mesh.mVertices[face.mIndices[k]];
                const aiVector3D& n = mesh.mNormals[face.mIndices[k]];
                out.vertices.push_back(
                    {p.x, p.y, p.z, n.x, n.y, n.z, colour.x(), colour.y(), colour.z(), 1.0f});
                const QVector3D point(p.x, p.y, p.z);
                if (out.vertices.size() == 1) {
                    out.boundsMin = out.boundsMax = point;
                } else {
                    out.boundsMin = QVector3D(std::min(out.boundsMin.x(), p.x),
                                              std::min(out.boundsMin.y(), p.y),
                                              std::min(out.boundsMin.z(), p.z));
                    out.boundsMax = QVector3D(std::max(out.boundsMax.x(), p.x),
                                              std::max(out.boundsMax.y(), p.y),
                                              std::max(out.boundsMax.z(), p.z));
                }
            }
        }
    }
    if (out.vertices.empty())
        return std::nullopt;
    return out;
}

Framing frame(const QVector3D& boundsMin, const QVector3D& boundsMax) {
    const QVector3D size = boundsMax - boundsMin;
    const float extent = std::max({size.x(), size.y(), size.z()});
    Framing framing;
    framing.centre = (boundsMin + boundsMax) / 2.0f;
    if (std::isfinite(extent) && extent > 0.0f)
        framing.scale = framedSize / extent;
    return framing;
}

} // namespace tamborel::ui::hero
