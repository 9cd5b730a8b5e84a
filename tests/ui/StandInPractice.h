#pragma once
// Stands in for the practice model in the QML tests: values set through `set`, and a log of
// the operations the cards call, as [name, arguments...].

#include "ui/PracticeViewModel.h"

#include <QVariantList>

namespace tamborel::testing {

class StandInPractice : public ui::PracticeViewModel {
    Q_OBJECT
    Q_PROPERTY(QVariantList calls MEMBER calls_)

public:
    using PracticeViewModel::PracticeViewModel;

    Q_INVOKABLE void set(const QVariantMap& fields) { publish(fields); }

    void setMeter(int beats, int value) override { record("setMeter", {beats, value}); }
    void setSubdivision(const QString& s) override { record("setSubdivision", {s}); }
    void setClickLevel(double level) override { record("setClickLevel", {level}); }
    void setClickOutput(const QString& output) override { record("setClickOutput", {output}); }
    void setCountInBars(int bars) override { record("setCountInBars", {bars}); }
    void tapTempo() override { record("tapTempo"); }
    void chooseSong(const QUrl& file) override { record("chooseSong", {file.toString()}); }
    void playAlong(bool on) override { record("playAlong", {on}); }
    void setSongLevel(double level) override { record("setSongLevel", {level}); }

private:
    void record(const QString& operation, QVariantList arguments = {}) {
        arguments.prepend(operation);
        calls_.append(QVariant(arguments));
    }

    QVariantList calls_;
};

} // namespace tamborel::testing
