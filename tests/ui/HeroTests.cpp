// The hero card's model loading (the factory models included) and its pop bookkeeping,
// without rendering anything.

#include "QtTestApp.h"
#include "ui/hero/HeroCoordinator.h"
#include "ui/hero/HeroGeometry.h"
#include "ui/hero/HeroModel.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <set>
#include <tuple>

using namespace tamborel::ui;

namespace {

const QString factoryResources = QStringLiteral(TAMBOREL_RESOURCES_DIR);

float largestDimension(const hero::Mesh& mesh, float scale) {
    const QVector3D size = (mesh.boundsMax - mesh.boundsMin) * scale;
    return std::max({size.x(), size.y(), size.z()});
}

std::set<std::tuple<int, int, int>> coloursOf(const hero::Mesh& mesh) {
    std::set<std::tuple<int, int, int>> colours;
    for (const hero::Vertex& v : mesh.vertices)
        colours.insert({int(v.r * 100 + 0.5f), int(v.g * 100 + 0.5f), int(v.b * 100 + 0.5f)});
    return colours;
}

QVector3D position(const hero::Vertex& v) {
    return {v.x, v.y, v.z};
}
QVector3D normal(const hero::Vertex& v) {
    return {v.nx, v.ny, v.nz};
}

// A face whose winding disagrees with its normals vanishes under back-face culling and is
// lit from the wrong side.
int facesTurnedInsideOut(const hero::Mesh& mesh) {
    int wrong = 0;
    for (std::size_t i = 0; i + 2 < mesh.vertices.size(); i += 3) {
        const auto& [a, b, c] =
            std::tie(mesh.vertices[i], mesh.vertices[i + 1], mesh.vertices[i + 2]);
        const QVector3D winding =
            QVector3D::crossProduct(position(b) - position(a), position(c) - position(a));
        if (QVector3D::dotProduct(winding, normal(a) + normal(b) + normal(c)) < 0.0f)
            ++wrong;
    }
    return wrong;
}

// At the outermost points of a model, in every direction, the surface must face outwards;
// normals turned inwards light the model from inside and make it look hollow.
int directionsFacingInwards(const hero::Mesh& mesh) {
    int wrong = 0;
    for (const QVector3D d : {QVector3D(1, 0, 0), QVector3D(-1, 0, 0), QVector3D(0, 1, 0),
                              QVector3D(0, -1, 0), QVector3D(0, 0, 1), QVector3D(0, 0, -1)}) {
        float extreme = std::numeric_limits<float>::lowest();
        for (const hero::Vertex& v : mesh.vertices)
            extreme = std::max(extreme, QVector3D::dotProduct(position(v), d));
        QVector3D normals;
        for (const hero::Vertex& v : mesh.vertices)
            if (QVector3D::dotProduct(position(v), d) > extreme - 1e-4f)
                normals += normal(v);
        if (QVector3D::dotProduct(normals, d) <= 0.0f)
            ++wrong;
    }
    return wrong;
}

void write(const QString& path, const QByteArray& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

} // namespace

TEST(HeroModel, FactoryModelsLoadFramedToTheSameSizeLitFromOutsideWithTheirColours) {
    for (const QString& name : {QStringLiteral("drum"), QStringLiteral("cymbal")}) {
        SCOPED_TRACE(name.toStdString());
        const QString file = hero::findModelFile(factoryResources, name);
        ASSERT_FALSE(file.isEmpty());
        const auto mesh = hero::loadMesh(file);
        ASSERT_TRUE(mesh.has_value());
        EXPECT_EQ(mesh->vertices.size() % 3, 0u);
        const hero::Framing framing = hero::frame(mesh->boundsMin, mesh->boundsMax);
        EXPECT_GT(largestDimension(*mesh, 1.0f), 0.0f);
        EXPECT_NEAR(largestDimension(*mesh, framing.scale), 2.2f, 1e-4f);
        // Centred: the framed box reaches as far either side of the origin.
        const QVector3D low = (mesh->boundsMin - framing.centre) * framing.scale;
        const QVector3D high = (mesh->boundsMax - framing.centre) * framing.scale;
        EXPECT_NEAR((low + high).length(), 0.0f, 1e-4f);
        EXPECT_EQ(facesTurnedInsideOut(*mesh), 0);
        EXPECT_EQ(directionsFacingInwards(*mesh), 0);
    }
    // The drum is round seen from above and wider than deep, like a tom or snare, with a
    // shell, heads and chrome; the cymbal is a thin disc, all bronze.
    const auto drum = hero::loadMesh(hero::findModelFile(factoryResources, "drum"));
    const auto cymbal = hero::loadMesh(hero::findModelFile(factoryResources, "cymbal"));
    ASSERT_TRUE(drum && cymbal);
    const QVector3D drumSize = drum->boundsMax - drum->boundsMin;
    EXPECT_NEAR(drumSize.x(), drumSize.z(), 0.01f * drumSize.x());
    EXPECT_GT(drumSize.x(), drumSize.y());
    EXPECT_LT(drumSize.x(), 3.0f * drumSize.y());
    EXPECT_EQ(coloursOf(*drum).size(), 3u);
    const QVector3D cymbalSize = cymbal->boundsMax - cymbal->boundsMin;
    EXPECT_NEAR(cymbalSize.x(), cymbalSize.z(), 0.01f * cymbalSize.x());
    EXPECT_GT(cymbalSize.y(), 0.0f);
    EXPECT_LT(cymbalSize.y(), 0.25f * cymbalSize.x());
    EXPECT_EQ(coloursOf(*cymbal), (std::set<std::tuple<int, int, int>>{{78, 55, 24}}));
}

TEST(HeroModel, TextThatNamesNoRoleHasNoModelAndFilesAreFoundInModelsThenAtTheTop) {
    EXPECT_EQ(hero::modelNameFor(""), "");
    EXPECT_EQ(hero::modelNameFor("cowbell"), "");

    QTemporaryDir dir;
    const QDir root(dir.path());
    root.mkpath("models");
    write(root.filePath("drum.dae"), "top");
    write(root.filePath("cymbal.dae"), "top");
    write(root.filePath("models/cymbal.dae"), "models");
    EXPECT_EQ(hero::findModelFile(dir.path(), "cymbal"), root.filePath("models/cymbal.dae"));
    EXPECT_EQ(hero::findModelFile(dir.path(), "drum"), root.filePath("drum.dae"));
    root.mkpath("models/gong.dae"); // a folder is not a model
    EXPECT_EQ(hero::findModelFile(dir.path(), "gong"), "");
    EXPECT_EQ(hero::findModelFile("", "drum"), "");
}

TEST(HeroModel, FlatEmptyAndBrokenModelsNeitherCrashNorRescale) {
    QTemporaryDir dir;
    const QDir root(dir.path());

    // Every corner on one point: nothing to measure, so the model keeps its own size.
    write(root.filePath("point.obj"), "v 1 2 3\nv 1 2 3\nv 1 2 3\nf 1 2 3\n");
    const auto point = hero::loadMesh(root.filePath("point.obj"));
    if (point) {
        const hero::Framing framing = hero::frame(point->boundsMin, point->boundsMax);
        EXPECT_EQ(framing.scale, 1.0f);
        EXPECT_EQ(framing.centre, QVector3D(1, 2, 3));
    }
    EXPECT_EQ(hero::frame({}, {}).scale, 1.0f);

    // Flat in one axis only still has an extent to frame.
    EXPECT_NEAR(hero::frame({0, 0, 0}, {4, 0, 1}).scale, 0.55f, 1e-6f);

    write(root.filePath("empty.dae"), "");
    write(root.filePath("garbage.dae"), "<COLLADA><library_geometries><geometry>");
    write(root.filePath("vertices-only.obj"), "v 0 0 0\nv 1 0 0\n");
    for (const char* name : {"empty.dae", "garbage.dae", "vertices-only.obj", "missing.dae"})
        EXPECT_FALSE(hero::loadMesh(root.filePath(name)).has_value()) << name;
    EXPECT_FALSE(hero::loadMesh("").has_value());
}

TEST(HeroGeometry, BuildsOnceForItsModelAndStaysEmptyWhenTheModelIsMissing) {
    tamborel::test::qtApp();
    HeroGeometry geometry;
    geometry.setResourcesFolder(factoryResources);
    QSignalSpy built(&geometry, &HeroGeometry::geometryBuilt);

    geometry.setModelName("drum");
    EXPECT_TRUE(geometry.loaded());
    EXPECT_FALSE(geometry.vertexData().isEmpty());
    EXPECT_NE(geometry.framingScale(), 1.0f);
    geometry.setModelName("drum");
    EXPECT_EQ(built.count(), 1);

    QTemporaryDir empty;
    HeroGeometry missing;
    missing.setResourcesFolder(empty.path());
    missing.setModelName("drum");
    EXPECT_FALSE(missing.loaded());
    EXPECT_TRUE(missing.vertexData().isEmpty());
    EXPECT_EQ(missing.framingScale(), 1.0f);

    // Losing the model after a good load empties the scene rather than keeping stale data.
    geometry.setResourcesFolder(empty.path());
    EXPECT_FALSE(geometry.loaded());
    EXPECT_TRUE(geometry.vertexData().isEmpty());
}

TEST(HeroCoordinator, PopsOncePerNewPulseAndOnlyWithAModel) {
    // A view made after two hits pops once as it appears.
    HeroCoordinator late;
    late.classBegin();
    late.setHasModel(true);
    late.setPulse(2);
    EXPECT_EQ(late.pops(), 0) << "nothing pops before the view is complete";
    late.componentComplete();
    EXPECT_EQ(late.pops(), 1);
    EXPECT_EQ(late.lastPulse(), 2);
    late.setPulse(2);
    late.setPulse(3);
    EXPECT_EQ(late.pops(), 2);

    // A view made before any hit does not pop until one arrives.
    HeroCoordinator early;
    early.classBegin();
    early.setHasModel(true);
    early.componentComplete();
    EXPECT_EQ(early.pops(), 0);

    // Without a model the pulse is still taken in, so a model appearing later does not
    // replay old hits.
    HeroCoordinator empty;
    empty.classBegin();
    empty.setPulse(4);
    empty.componentComplete();
    EXPECT_EQ(empty.pops(), 0);
    EXPECT_EQ(empty.lastPulse(), 4);
    empty.setHasModel(true);
    EXPECT_EQ(empty.pops(), 0);
}
