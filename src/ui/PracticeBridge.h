#pragma once
// The Click and Play Along cards' model over the one AppState (PracticeViewModel.h). Main
// thread only; files that are not local, numbers that are not finite and names that mean
// nothing are ignored.

#include "controller/AppState.h"
#include "ui/PracticeViewModel.h"

namespace tamborel::ui {

class PracticeBridge final : public PracticeViewModel {
    Q_OBJECT

public:
    PracticeBridge(controller::AppState& state, QObject* parent);

    // The click's settings and the song, as last published.
    void publishFrom(const controller::Published& published);

    void setMeter(int beatsPerBar, int noteValue) override;
    void setSubdivision(const QString& subdivision) override;
    void setClickLevel(double level) override;
    void setClickOutput(const QString& output) override;
    void setCountInBars(int bars) override;
    void tapTempo() override;
    void chooseSong(const QUrl& file) override;
    void playAlong(bool on) override;
    void setSongLevel(double level) override;

private:
    controller::AppState& state_;
};

} // namespace tamborel::ui
