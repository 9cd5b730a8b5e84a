#pragma once
// Stateless helpers the QML binds to, so that the pages only bind and every
// decision stays in C++ where it is tested. Roles are passed as their stored
// text ("hhOpen"); unknown text gets an empty answer.

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace tamborel::ui {

class QmlIcons : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(Icons)
    QML_SINGLETON
public:
    using QObject::QObject;
    // The theme icon for a system icon name; empty when it is one of our drawings
    // or unknown.
    Q_INVOKABLE QString themeName(const QString& symbol) const;
    // Our drawing for a system icon name; empty when the theme has it or it is
    // unknown.
    Q_INVOKABLE QString drawing(const QString& symbol) const;
};

class QmlDrumArt : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(DrumArt)
    QML_SINGLETON
public:
    using QObject::QObject;
    Q_INVOKABLE QString imageName(const QString& role) const;
    Q_INVOKABLE QString fallbackSymbol(const QString& role) const;
    // An image URL when the role's picture loads, else empty (show the fallback
    // symbol).
    Q_INVOKABLE QString imageSource(const QString& role) const;
};

class QmlStatusText : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(StatusText)
    QML_SINGLETON
public:
    using QObject::QObject;
    Q_INVOKABLE QString midiLight(bool td17Detected, const QStringList& sources) const;
    Q_INVOKABLE QString midiText(bool td17Detected, const QStringList& sources) const;
    Q_INVOKABLE QString kitTitle(const QString& name, bool dirty) const;
    Q_INVOKABLE QString latencyText(double latencyMs) const;
    Q_INVOKABLE QString engineLight(bool running, bool starting = false) const;
    Q_INVOKABLE QString engineText(bool running, bool starting = false) const;
    Q_INVOKABLE QString engineState(bool running, bool starting = false) const;
};

class QmlSections : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(Sections)
    QML_SINGLETON
    // [{ title, icon }] in tab order.
    Q_PROPERTY(QVariantList all READ all CONSTANT)
public:
    using QObject::QObject;
    QVariantList all() const;
    // Position of a page by its title; -1 when there is no such page.
    Q_INVOKABLE int indexOf(const QString& title) const;
};

} // namespace tamborel::ui
