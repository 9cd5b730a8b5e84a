#pragma once
// The click's meter, subdivision, level and output, the tempo tapped, and the song to play
// along with, as the Click and Play Along cards see them: the bridge's `practice`. Values
// are published into it by name (ViewModelBase); AppBridge's PracticeBridge implements the
// operations over the real state, the QML tests a recording stand-in. Main thread only.

#include "ui/PadViewModel.h"

#include <QString>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

namespace tamborel::ui {

class PracticeViewModel : public ViewModelBase {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The bridge makes the one practice model.")

    // The click's meter (beats per bar 1..16 of a note value 1, 2, 4, 8 or 16), its
    // subdivision ("none", "eighths", "triplets", "sixteenths"), level (0..1), output
    // ("master", or "own": the click's own pair of ports with JACK) and the bars counted in
    // before a play-along (0..2).
    Q_PROPERTY(int beatsPerBar READ beatsPerBar NOTIFY clickChanged)
    Q_PROPERTY(int noteValue READ noteValue NOTIFY clickChanged)
    Q_PROPERTY(QString subdivision READ subdivision NOTIFY clickChanged)
    Q_PROPERTY(double clickLevel READ clickLevel NOTIFY clickChanged)
    Q_PROPERTY(QString clickOutput READ clickOutput NOTIFY clickChanged)
    Q_PROPERTY(int countInBars READ countInBars NOTIFY clickChanged)
    // The song: its file name (empty for none), whether it is being decoded, counts in or
    // plays, its level (0..1), and why the last file chosen could not be played.
    Q_PROPERTY(QString songName READ songName NOTIFY songChanged)
    Q_PROPERTY(bool songLoading READ songLoading NOTIFY songChanged)
    Q_PROPERTY(bool songWaiting READ songWaiting NOTIFY songChanged)
    Q_PROPERTY(bool songPlaying READ songPlaying NOTIFY songChanged)
    Q_PROPERTY(double songLevel READ songLevel NOTIFY songChanged)
    Q_PROPERTY(QString songError READ songError NOTIFY songChanged)

public:
    using ViewModelBase::ViewModelBase;

    int beatsPerBar() const { return beatsPerBar_; }
    int noteValue() const { return noteValue_; }
    QString subdivision() const { return subdivision_; }
    double clickLevel() const { return clickLevel_; }
    QString clickOutput() const { return clickOutput_; }
    int countInBars() const { return countInBars_; }
    QString songName() const { return songName_; }
    bool songLoading() const { return songLoading_; }
    bool songWaiting() const { return songWaiting_; }
    bool songPlaying() const { return songPlaying_; }
    double songLevel() const { return songLevel_; }
    QString songError() const { return songError_; }

    // Values out of range and unknown names are ignored.
    Q_INVOKABLE virtual void setMeter(int beatsPerBar, int noteValue) = 0;
    Q_INVOKABLE virtual void setSubdivision(const QString& subdivision) = 0;
    Q_INVOKABLE virtual void setClickLevel(double level) = 0;
    Q_INVOKABLE virtual void setClickOutput(const QString& output) = 0;
    Q_INVOKABLE virtual void setCountInBars(int bars) = 0;
    // A tap of the tempo: from the second tap after a pause the click takes the taps' tempo.
    Q_INVOKABLE virtual void tapTempo() = 0;
    Q_INVOKABLE virtual void chooseSong(const QUrl& file) = 0;
    // Starts the song after the count-in, on the click's bar line, or stops it.
    Q_INVOKABLE virtual void playAlong(bool on) = 0;
    Q_INVOKABLE virtual void setSongLevel(double level) = 0;

signals:
    void clickChanged();
    void songChanged();

protected:
    bool store(const QString& name, const QVariant& value) override;

private:
    int beatsPerBar_ = 4;
    int noteValue_ = 4;
    QString subdivision_ = QStringLiteral("none");
    double clickLevel_ = 0.7;
    QString clickOutput_ = QStringLiteral("master");
    int countInBars_ = 1;
    QString songName_;
    bool songLoading_ = false;
    bool songWaiting_ = false;
    bool songPlaying_ = false;
    double songLevel_ = 0.8;
    QString songError_;
};

} // namespace tamborel::ui
