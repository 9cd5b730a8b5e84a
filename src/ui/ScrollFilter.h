#pragma once
// Watches a window's scroll-wheel events and offers each one to the scroll-to-volume rule
// first; an event the rule uses goes no further, so the pad under the pointer changes its
// volume instead of a page scrolling.

#include "controller/ScrollRule.h"

#include <QObject>

#include <functional>

class QWheelEvent;

namespace tamborel::ui {

class ScrollFilter final : public QObject {
public:
    using Handler = std::function<bool(const controller::ScrollEvent&)>;

    explicit ScrollFilter(Handler handler, QObject* parent = nullptr);

    static controller::ScrollEvent toScrollEvent(const QWheelEvent& event);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Handler handler_;
};

} // namespace tamborel::ui
