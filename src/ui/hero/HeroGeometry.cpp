#include "HeroGeometry.h"

#include "HeroModel.h"
#include "platform/Paths.h"

#include <QByteArray>

namespace tamborel::ui {

namespace {

QString defaultResourcesFolder() {
    const auto folder = platform::resourcesDirectory();
    return folder ? QString::fromStdString(folder->string()) : QString();
}

} // namespace

HeroGeometry::HeroGeometry(QQuick3DObject* parent)
    : QQuick3DGeometry(parent), resourcesFolder_(defaultResourcesFolder()) {}

void HeroGeometry::setModelName(const QString& name) {
    if (name == modelName_)
        return;
    // Remembered before building, so a model that fails is not tried again until the name
    // changes.
    modelName_ = name;
    emit modelNameChanged();
    build();
}

void HeroGeometry::setResourcesFolder(const QString& folder) {
    if (folder == resourcesFolder_)
        return;
    resourcesFolder_ = folder;
    emit resourcesFolderChanged();
    if (!modelName_.isEmpty())
        build();
}

void HeroGeometry::build() {
    clear();
    // The layout is set even when there is nothing to draw: Qt Quick 3D divides the vertex
    // data by the stride of every geometry it uploads, visible or not, and a stride of zero
    // takes the whole program down.
    constexpr int stride = sizeof(hero::Vertex);
    setStride(stride);
    setPrimitiveType(PrimitiveType::Triangles);
    addAttribute(Attribute::PositionSemantic, offsetof(hero::Vertex, x),
                 Attribute::ComponentType::F32Type);
    addAttribute(Attribute::NormalSemantic, offsetof(hero::Vertex, nx),
                 Attribute::ComponentType::F32Type);
    addAttribute(Attribute::ColorSemantic, offsetof(hero::Vertex, r),
                 Attribute::ComponentType::F32Type);

    const auto mesh = hero::loadMesh(hero::findModelFile(resourcesFolder_, modelName_));
    loaded_ = mesh.has_value();
    if (mesh) {
        const hero::Framing framing = hero::frame(mesh->boundsMin, mesh->boundsMax);
        framingScale_ = framing.scale;
        centre_ = framing.centre;
        boundsMin_ = mesh->boundsMin;
        boundsMax_ = mesh->boundsMax;
        setVertexData(QByteArray(reinterpret_cast<const char*>(mesh->vertices.data()),
                                 static_cast<qsizetype>(mesh->vertices.size() * stride)));
        setBounds(mesh->boundsMin, mesh->boundsMax);
    } else {
        framingScale_ = 1.0f;
        centre_ = boundsMin_ = boundsMax_ = QVector3D();
    }
    update();
    emit geometryBuilt();
}

} // namespace tamborel::ui
