#include "ui/ScrollFilter.h"

#include <QWheelEvent>

namespace tamborel::ui {

namespace {

// One notch of a wheel is 120 eighths of a degree.
constexpr double eighthsPerNotch = 120.0;

} // namespace

ScrollFilter::ScrollFilter(Handler handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler)) {}

controller::ScrollEvent ScrollFilter::toScrollEvent(const QWheelEvent& event) {
    controller::ScrollEvent out;
    const QPoint pixels = event.pixelDelta();
    out.precise = !pixels.isNull();
    // Qt reports both with positive meaning "away from the user", which scrolls up.
    out.preciseDeltaY = pixels.y();
    out.coarseDeltaY = event.angleDelta().y() / eighthsPerNotch;
    if (event.inverted()) {
        out.preciseDeltaY = -out.preciseDeltaY;
        out.coarseDeltaY = -out.coarseDeltaY;
    }
    return out;
}

bool ScrollFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel && handler_) {
        if (handler_(toScrollEvent(*static_cast<QWheelEvent*>(event)))) {
            event->accept();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace tamborel::ui
