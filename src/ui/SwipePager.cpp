#include "ui/SwipePager.h"

#include <QMouseEvent>
#include <QPointingDevice>
#include <QQuickWindow>

#include <algorithm>

namespace tamborel::ui {

SwipePager::SwipePager(QQuickItem* parent) : QQuickItem(parent) {
    setAcceptedMouseButtons(Qt::LeftButton);
    setFiltersChildMouseEvents(true);
    setClip(true);
}

void SwipePager::setCount(int count) {
    count = std::max(count, 1);
    if (count == count_)
        return;
    count_ = count;
    emit countChanged();
    setCurrentIndex(currentIndex_);
}

void SwipePager::setCurrentIndex(int index) {
    index = std::clamp(index, 0, count_ - 1);
    if (index == currentIndex_)
        return;
    currentIndex_ = index;
    emit currentIndexChanged();
}

void SwipePager::selectPage(int index) {
    if (phase_ == Phase::dragging || phase_ == Phase::pressed)
        phase_ = Phase::ignoring;
    if (keepMouseGrab())
        setKeepMouseGrab(false);
    setTracking(false);
    setDrag(0);
    setCurrentIndex(index);
}

void SwipePager::setDrag(double drag) {
    if (drag == drag_)
        return;
    drag_ = drag;
    emit dragChanged();
}

void SwipePager::setTracking(bool tracking) {
    if (tracking == tracking_)
        return;
    tracking_ = tracking;
    emit trackingChanged();
}

QPointF SwipePager::translationOf(const QMouseEvent& event) const {
    return event.scenePosition() - pressScenePos_;
}

bool SwipePager::someoneElseKeepsPointer() const {
    const QQuickWindow* w = window();
    if (w == nullptr)
        return false;
    const QQuickItem* grabber = w->mouseGrabberItem();
    return grabber != nullptr && grabber != this && grabber->keepMouseGrab();
}

void SwipePager::press(const QMouseEvent& event) {
    pressScenePos_ = event.scenePosition();
    velocity_.reset();
    velocity_.add(static_cast<std::int64_t>(event.timestamp()), event.scenePosition().x());
    phase_ = Phase::pressed;
}

bool SwipePager::move(const QMouseEvent& event) {
    if (phase_ == Phase::idle || phase_ == Phase::ignoring)
        return false;
    velocity_.add(static_cast<std::int64_t>(event.timestamp()), event.scenePosition().x());
    const QPointF t = translationOf(event);
    if (phase_ == Phase::pressed) {
        if (!pager::isPastStart(t.x(), t.y()))
            return false;
        phase_ = Phase::dragging;
        setTracking(true);
    }
    const auto offset = pager::dragOffset(t.x(), t.y(), currentIndex_, count_);
    if (!offset)
        return false;
    if (someoneElseKeepsPointer()) {
        // A slider or a scroll view got there first: this drag is theirs.
        phase_ = Phase::ignoring;
        setDrag(0);
        setTracking(false);
        return false;
    }
    setDrag(*offset);
    if (!keepMouseGrab()) {
        grabMouse();
        setKeepMouseGrab(true);
    }
    return true;
}

void SwipePager::release(const QMouseEvent& event) {
    const Phase phase = phase_;
    phase_ = Phase::idle;
    if (keepMouseGrab())
        setKeepMouseGrab(false);
    if (phase != Phase::dragging)
        return;
    velocity_.add(static_cast<std::int64_t>(event.timestamp()), event.scenePosition().x());
    const QPointF t = translationOf(event);
    const double predicted = pager::predictedEndTranslation(t.x(), velocity_.velocity());
    const auto land = pager::landing(t.x(), t.y(), predicted, width(), currentIndex_, count_);
    if (!land.animated) {
        setDrag(0); // still tracking, so the strip jumps back instead of springing
        setTracking(false);
        return;
    }
    setTracking(false);
    setCurrentIndex(land.page);
    setDrag(0);
}

bool SwipePager::childMouseEventFilter(QQuickItem*, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() == Qt::LeftButton)
            press(*me);
        return false;
    }
    case QEvent::MouseMove:
        return move(*static_cast<QMouseEvent*>(event));
    case QEvent::MouseButtonRelease: {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() == Qt::LeftButton)
            release(*me);
        return false;
    }
    default:
        return false;
    }
}

void SwipePager::mousePressEvent(QMouseEvent* event) {
    press(*event);
    event->accept();
}

void SwipePager::mouseMoveEvent(QMouseEvent* event) {
    move(*event);
    event->accept();
}

void SwipePager::mouseReleaseEvent(QMouseEvent* event) {
    release(*event);
    event->accept();
}

void SwipePager::mouseUngrabEvent() {
    // Someone else took the pointer mid-drag (a popup, a window change): spring back.
    if (phase_ == Phase::dragging) {
        phase_ = Phase::idle;
        setTracking(false);
        setDrag(0);
    }
}

} // namespace tamborel::ui
