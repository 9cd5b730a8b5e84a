#pragma once
// The hero model as Qt Quick 3D custom geometry. Setting `modelName` builds the geometry
// once from the model file among the resources; a model that is missing or will not load
// leaves the geometry empty, and `loaded` false, without logging anything.

#include <QQuick3DGeometry>
#include <QVector3D>
#include <QtQml/qqmlregistration.h>

namespace tamborel::ui {

class HeroGeometry : public QQuick3DGeometry {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString modelName READ modelName WRITE setModelName NOTIFY modelNameChanged)
    // Defaults to the program's resources folder.
    Q_PROPERTY(QString resourcesFolder READ resourcesFolder WRITE setResourcesFolder NOTIFY
                   resourcesFolderChanged)
    Q_PROPERTY(bool loaded READ loaded NOTIFY geometryBuilt)
    // The uniform scale and the centre that frame the model around the origin.
    Q_PROPERTY(float framingScale READ framingScale NOTIFY geometryBuilt)
    Q_PROPERTY(QVector3D centre READ centre NOTIFY geometryBuilt)
    Q_PROPERTY(QVector3D boundsMin READ boundsMin NOTIFY geometryBuilt)
    Q_PROPERTY(QVector3D boundsMax READ boundsMax NOTIFY geometryBuilt)

public:
    explicit HeroGeometry(QQuick3DObject* parent = nullptr);

    QString modelName() const { return modelName_; }
    void setModelName(const QString& name);
    QString resourcesFolder() const { return resourcesFolder_; }
    void setResourcesFolder(const QString& folder);

    bool loaded() const { return loaded_; }
    float framingScale() const { return framingScale_; }
    QVector3D centre() const { return centre_; }
    QVector3D boundsMin() const { return boundsMin_; }
    QVector3D boundsMax() const { return boundsMax_; }

signals:
    void modelNameChanged();
    void resourcesFolderChanged();
    void geometryBuilt();

private:
    void build();

    QString modelName_;
    QString resourcesFolder_;
    bool loaded_ = false;
    float framingScale_ = 1.0f;
    QVector3D centre_;
    QVector3D boundsMin_;
    QVector3D boundsMax_;
};

} // namespace tamborel::ui
