// The hero card's models (the factory ones included) and its pop bookkeeping, without
// rendering anything. The JACK window tests see both models drawn in their own colours.

#include "QtTestApp.h"
#include "ui/hero/HeroCoordinator.h"
#include "ui/hero/HeroGeometry.h"
#include "ui/hero/HeroModel.h"
#include "ui/hero/HeroPanelModel.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

using namespace tamborel::ui;

namespace {

const QString factoryResources = QStringLiteral(TAMBOREL_RESOURCES_DIR);

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

} // namespace

TEST(HeroModel, FactoryModelsLoadFramedToTheSameSizeAndLitFromOutside) {
    for (const QString& name : {QStringLiteral("drum"), QStringLiteral("cymbal")}) {
        SCOPED_TRACE(name.toStdString());
        const auto mesh = hero::loadMesh(hero::findModelFile(factoryResources, name));
        ASSERT_TRUE(mesh.has_value());
        EXPECT_EQ(mesh->vertices.size() % 3, 0u);
        const hero::Framing framing = hero::frame(mesh->boundsMin, mesh->boundsMax);
        const QVector3D low = (mesh->boundsMin - framing.centre) * framing.scale;
        const QVector3D high = (mesh->boundsMax - framing.centre) * framing.scale;
        const QVector3D size = high - low;
        EXPECT_NEAR(std::max({size.x(), size.y(), size.z()}), 2.2f, 1e-4f);
        EXPECT_NEAR((low + high).length(), 0.0f, 1e-4f) << "not centred";
        EXPECT_EQ(facesTurnedInsideOut(*mesh), 0);
    }
}

TEST(HeroGeometry, BuildsOnceForItsModelAndEmptiesWhenTheModelGoes) {
    tamborel::test::qtApp();
    HeroGeometry geometry;
    geometry.setResourcesFolder(factoryResources);
    QSignalSpy built(&geometry, &HeroGeometry::geometryBuilt);
    geometry.setModelName("drum");
    geometry.setModelName("drum");
    EXPECT_EQ(built.count(), 1) << "a repeated strike must not rebuild the model";
    EXPECT_TRUE(geometry.loaded());
    EXPECT_FALSE(geometry.vertexData().isEmpty());

    // Losing the model after a good load empties the scene rather than keeping stale data.
    QTemporaryDir empty;
    geometry.setResourcesFolder(empty.path());
    EXPECT_FALSE(geometry.loaded());
    EXPECT_TRUE(geometry.vertexData().isEmpty());
    EXPECT_EQ(geometry.framingScale(), 1.0f);
}

TEST(HeroCoordinator, PopsOncePerNewPulseAndOnlyWithAModel) {
    // A view made after two hits pops once as it appears, and not before it is complete.
    HeroCoordinator late;
    late.classBegin();
    late.setHasModel(true);
    late.setPulse(2);
    EXPECT_EQ(late.pops(), 0);
    late.componentComplete();
    EXPECT_EQ(late.pops(), 1);
    late.setPulse(2);
    late.setPulse(3);
    EXPECT_EQ(late.pops(), 2);

    // Without a model the pulse is still taken in, so a model appearing later does not
    // replay old hits.
    HeroCoordinator empty;
    empty.classBegin();
    empty.setPulse(4);
    empty.componentComplete();
    empty.setHasModel(true);
    EXPECT_EQ(empty.pops(), 0);
}

TEST(HeroPanelModel, AGrooveKeepsOneModelAndEveryStrikePops) {
    tamborel::test::qtApp();
    HeroPanelModel panel;
    panel.setHeroRole(QStringLiteral("kick"));
    EXPECT_EQ(panel.modelName(), "drum");
    QSignalSpy swaps(&panel, &HeroPanelModel::modelNameChanged);
    const int pulses = panel.pulse();
    // Hat and snare alternating, as at 150 bpm: one model, a pop each.
    for (int i = 0; i < 12; ++i)
        panel.setHeroRole(i % 2 == 0 ? QStringLiteral("hhClosed") : QStringLiteral("snare"));
    EXPECT_EQ(swaps.count(), 0);
    EXPECT_EQ(panel.modelName(), "drum");
    EXPECT_EQ(panel.pulse(), pulses + 12);

    // A crash among them: the drum stays on show, and so does its name.
    panel.setHeroRole(QStringLiteral("crash1"));
    panel.setHeroRole(QStringLiteral("kick"));
    panel.setHeroRole(QStringLiteral("ride"));
    EXPECT_EQ(panel.modelName(), "drum");
    EXPECT_EQ(panel.displayName(), "Kick");

    // Cymbals alone for a moment: the model follows, and the name with it.
    EXPECT_TRUE(QTest::qWaitFor([&] { return panel.modelName() == "cymbal"; }, 5000));
    EXPECT_EQ(panel.displayName(), "Ride");
    EXPECT_EQ(swaps.count(), 1);
}
