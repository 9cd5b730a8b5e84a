#pragma once
// One microphone of a kit recorded on several, as the Mixer page sees it: typed properties the
// owning view model publishes, and writes it hands to that view model, which applies them to
// the application state. Main thread only.

#include "ui/PadViewModel.h"

#include <QString>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace tamborel::ui {

class AppViewModel;

class MicrophoneViewModel : public ViewModelBase {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Microphones come from the bridge's `microphones` list.")

    // Its place in the kit's list, from 0; its own output is number index + 1.
    Q_PROPERTY(int index READ index CONSTANT)
    Q_PROPERTY(QString name READ name NOTIFY nameChanged)
    Q_PROPERTY(double volume READ volume WRITE setVolume NOTIFY volumeChanged)
    Q_PROPERTY(double pan READ pan WRITE setPan NOTIFY panChanged)
    Q_PROPERTY(bool muted READ muted WRITE setMuted NOTIFY mutedChanged)
    Q_PROPERTY(bool soloed READ soloed WRITE setSoloed NOTIFY soloedChanged)
    // Polarity.
    Q_PROPERTY(bool inverted READ inverted WRITE setInverted NOTIFY invertedChanged)
    // Where it is heard when outputs go by microphone: 0 its own, else the output (from 1) it
    // shares.
    Q_PROPERTY(int output READ output WRITE setOutput NOTIFY outputChanged)
    // What the output picker offers, as [{ text, value }]: "Own" (0) first, then the others.
    Q_PROPERTY(QVariantList outputChoices READ outputChoices NOTIFY outputChoicesChanged)
    // Which of them `output` is.
    Q_PROPERTY(int outputIndex READ outputIndex NOTIFY outputChoicesChanged)
    // Other microphones are soloed and this one is not: the mixer dims it.
    Q_PROPERTY(bool silenced READ silenced NOTIFY silencedChanged)

public:
    MicrophoneViewModel(int index, AppViewModel& owner);

    int index() const { return index_; }
    QString name() const { return name_; }
    double volume() const { return volume_; }
    double pan() const { return pan_; }
    bool muted() const { return muted_; }
    bool soloed() const { return soloed_; }
    bool inverted() const { return inverted_; }
    int output() const { return output_; }
    QVariantList outputChoices() const { return outputChoices_; }
    int outputIndex() const { return outputIndex_; }
    bool silenced() const { return silenced_; }

    void setVolume(double volume);
    void setPan(double pan);
    void setMuted(bool muted);
    void setSoloed(bool soloed);
    void setInverted(bool inverted);
    void setOutput(int output);

signals:
    void nameChanged();
    void volumeChanged();
    void panChanged();
    void mutedChanged();
    void soloedChanged();
    void invertedChanged();
    void outputChanged();
    void outputChoicesChanged();
    void silencedChanged();

protected:
    bool store(const QString& name, const QVariant& value) override;

private:
    int index_;
    AppViewModel& owner_;
    QString name_;
    double volume_ = 1;
    double pan_ = 0;
    bool muted_ = false;
    bool soloed_ = false;
    bool inverted_ = false;
    int output_ = 0;
    QVariantList outputChoices_;
    int outputIndex_ = 0;
    bool silenced_ = false;
};

} // namespace tamborel::ui
