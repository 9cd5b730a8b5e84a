#pragma once
// The page strip's drag gesture. It watches every press inside it, including presses that
// its pages handle, and takes a drag over only once it has travelled the start distance and
// is mostly horizontal; vertical drags, and controls that insist on keeping the pointer
// (sliders while sliding), are left alone. QML lays the pages out from `currentIndex` and
// `drag` and animates them while `tracking` is false.

#include "ui/PagerRules.h"

#include <QPointF>
#include <QQuickItem>
#include <QtQml/qqmlregistration.h>

class QMouseEvent;

namespace tamborel::ui {

class SwipePager : public QQuickItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(int count READ count WRITE setCount NOTIFY countChanged)
    Q_PROPERTY(int currentIndex READ currentIndex WRITE setCurrentIndex NOTIFY currentIndexChanged)
    Q_PROPERTY(double drag READ drag NOTIFY dragChanged)
    Q_PROPERTY(bool tracking READ tracking NOTIFY trackingChanged)

public:
    explicit SwipePager(QQuickItem* parent = nullptr);

    int count() const { return count_; }
    void setCount(int count);
    int currentIndex() const { return currentIndex_; }
    void setCurrentIndex(int index);
    double drag() const { return drag_; }
    bool tracking() const { return tracking_; }

    // A page change from outside the gesture (the tab bar): drops any drag in progress and
    // moves to the page with animation.
    Q_INVOKABLE void selectPage(int index);

signals:
    void countChanged();
    void currentIndexChanged();
    void dragChanged();
    void trackingChanged();

protected:
    bool childMouseEventFilter(QQuickItem* item, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseUngrabEvent() override;

private:
    enum class Phase { idle, pressed, dragging, ignoring };

    void press(const QMouseEvent& event);
    // True when the strip now owns the pointer.
    bool move(const QMouseEvent& event);
    void release(const QMouseEvent& event);
    QPointF translationOf(const QMouseEvent& event) const;
    bool someoneElseKeepsPointer() const;
    void setDrag(double drag);
    void setTracking(bool tracking);

    int count_ = 4;
    int currentIndex_ = 0;
    double drag_ = 0;
    bool tracking_ = false;
    Phase phase_ = Phase::idle;
    QPointF pressScenePos_;
    pager::VelocityTracker velocity_;
};

} // namespace tamborel::ui
