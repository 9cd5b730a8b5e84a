#pragma once
// One QGuiApplication for a GoogleTest binary, on the offscreen platform, made on first use.

#include <QGuiApplication>

#include <cstdlib>

namespace tamborel::test {

inline QGuiApplication& qtApp() {
    static int argc = 1;
    static char name[] = "ui_tests";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        return new QGuiApplication(argc, argv);
    }();
    return *app;
}

} // namespace tamborel::test
