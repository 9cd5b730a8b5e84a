#pragma once
// One per hero card's 3-D view: remembers the last `pulse` it acted on and asks
// for a pop when the panel's count moves on. The view starts from 0, so when it is made
// at the first hit it pops once as it appears. Nothing pops while it has no model to show.

#include <QObject>
#include <QQmlParserStatus>
#include <QtQml/qqmlregistration.h>

namespace tamborel::ui {

class HeroCoordinator : public QObject, public QQmlParserStatus {
    Q_OBJECT
    QML_ELEMENT
    Q_INTERFACES(QQmlParserStatus)
    Q_PROPERTY(int pulse READ pulse WRITE setPulse NOTIFY pulseChanged)
    Q_PROPERTY(int lastPulse READ lastPulse NOTIFY lastPulseChanged)
    // Whether the view has a model to pop, set by the view once its scene is built.
    Q_PROPERTY(bool hasModel READ hasModel WRITE setHasModel NOTIFY hasModelChanged)
    Q_PROPERTY(int pops READ pops NOTIFY popRequested)

public:
    using QObject::QObject;

    int pulse() const { return pulse_; }
    void setPulse(int pulse);
    int lastPulse() const { return lastPulse_; }
    bool hasModel() const { return hasModel_; }
    void setHasModel(bool hasModel);
    int pops() const { return pops_; }

    void classBegin() override {}
    void componentComplete() override;

signals:
    void pulseChanged();
    void lastPulseChanged();
    void hasModelChanged();
    void popRequested();

private:
    void update();

    bool complete_ = false;
    int pulse_ = 0;
    int lastPulse_ = 0;
    bool hasModel_ = false;
    int pops_ = 0;
};

} // namespace tamborel::ui
