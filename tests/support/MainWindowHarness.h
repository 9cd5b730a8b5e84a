#pragma once
// The real main window over a real bridge, for tests in a virtual X server: loads the shell's
// QML as the application does, finds items by object name, and clicks them with synthetic
// mouse input.

#include "ui/AppBridge.h"
#include "ui/ImageProviders.h"

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTest>

#include <gtest/gtest.h>

// QtTest's QTRY_ macros report to QtTest's own log, which gtest never reads: a wait that timed
// out would end the test early and silently, as a pass. These fail the test.
#define WAIT_UNTIL_FOR(condition, milliseconds)                                                    \
    ASSERT_TRUE(QTest::qWaitFor([&] { return bool(condition); }, milliseconds)) << #condition
#define WAIT_UNTIL(condition) WAIT_UNTIL_FOR(condition, 5000)

#include <memory>

namespace tamborel::testing {

// The one application object of a window test binary.
inline QGuiApplication& windowTestApp() {
    static int argc = 1;
    static char name[] = "tamborel-window-tests";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* instance = [] {
        auto* a = new QGuiApplication(argc, argv);
        QQuickStyle::setStyle(QStringLiteral("Basic"));
        ui::useIconTheme();
        return a;
    }();
    return *instance;
}

class MainWindowHarness {
public:
    // Shows the window over the bridge and waits until it is on screen; null on failure,
    // with a test failure recorded.
    QQuickWindow* show(ui::AppBridge& bridge) {
        windowTestApp();
        engine_ = std::make_unique<QQmlApplicationEngine>();
        engine_->addImportPath(QStringLiteral("qrc:/qt/qml"));
        ui::installImageProviders(*engine_);
        engine_->setInitialProperties({{QStringLiteral("appState"), QVariant::fromValue(&bridge)}});
        engine_->load(QUrl(QStringLiteral("qrc:/qt/qml/Tamborel/qml/shell/MainWindow.qml")));
        if (engine_->rootObjects().isEmpty()) {
            ADD_FAILURE() << "the main window did not load";
            return nullptr;
        }
        window_ = qobject_cast<QQuickWindow*>(engine_->rootObjects().constFirst());
        if (window_ == nullptr) {
            ADD_FAILURE() << "the main window is not a window";
            return nullptr;
        }
        window_->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window_, 20000));
        // Keys (Ctrl+S, Return in a popup, Escape) go only to the active window.
        window_->requestActivate();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window_, 5000));
        return window_;
    }
    void close() {
        engine_.reset();
        window_ = nullptr;
    }

    QQuickWindow* window() const { return window_; }
    QObject* object(const char* name) const {
        return find(window_->contentItem(), QString::fromLatin1(name));
    }
    QQuickItem* item(const char* name) const { return qobject_cast<QQuickItem*>(object(name)); }
    // The item's text, or a marker that says it is missing.
    QString text(const char* name) const {
        QQuickItem* found = item(name);
        return found == nullptr ? QStringLiteral("<missing %1>").arg(QLatin1String(name))
                                : found->property("text").toString();
    }
    void click(QQuickItem* target, QPointF at) const {
        QTest::mouseClick(window_, Qt::LeftButton, {}, target->mapToScene(at).toPoint());
    }
    // Clicks the middle of a named item, no lower than 50 pixels from its top (where a pad
    // card has its face).
    void click(const char* name) const {
        QQuickItem* target = item(name);
        ASSERT_NE(target, nullptr) << name;
        click(target, {target->width() / 2, std::min(target->height() / 2, 50.0)});
    }
    // Whether the item's left edge lies inside the window, as on the page being shown.
    bool onScreen(const QQuickItem* target) const {
        const qreal x = target->mapToScene({0, 0}).x();
        return x >= 0 && x < window_->width();
    }
    // Waits until the item is on screen and its page has stopped sliding, so that a click
    // lands where the item is.
    bool settled(const QQuickItem* target) const {
        QPointF last = target->mapToScene({0, 0});
        for (int step = 0; step < 50; ++step) {
            QTest::qWait(100);
            const QPointF now = target->mapToScene({0, 0});
            if (now == last && onScreen(target))
                return true;
            last = now;
        }
        return false;
    }

private:
    // Delegates made by repeaters are visual children without a QObject parent, so the
    // search walks both trees.
    static QObject* find(QObject* from, const QString& name) {
        if (from == nullptr)
            return nullptr;
        if (from->objectName() == name)
            return from;
        for (QObject* child : from->children())
            if (QObject* found = find(child, name))
                return found;
        if (auto* asItem = qobject_cast<QQuickItem*>(from))
            for (QQuickItem* child : asItem->childItems())
                if (QObject* found = find(child, name))
                    return found;
        return nullptr;
    }

    std::unique_ptr<QQmlApplicationEngine> engine_;
    QQuickWindow* window_ = nullptr;
};

} // namespace tamborel::testing
