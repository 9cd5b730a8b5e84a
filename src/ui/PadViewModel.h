#pragma once
// One pad as the pages see it: typed properties with a change signal each, so a
// fader move notifies the bindings of one property of one pad. Writes and
// actions go to the owning bridge, which applies them to the application state;
// the state then publishes the result back here. Main thread only.
//
// Values live in typed members behind the properties; `publish` fills them by
// name, which is how the bridge and the QML tests' stand-in hand them over.

#include "model/PadRole.h"

#include <QObject>
#include <QString>
#include <QUrl>
#include <QVariantList>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

#include <utility>

namespace tamborel::ui {

class AppViewModel;

// Publishes values into a view model's typed members by property name and emits
// their change signals.
class ViewModelBase : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Sets each named property; emits the change signal of those whose value
    // differs, after all are stored, so a binding never sees half an update.
    // Names must be properties of this object.
    void publish(const QVariantMap& fields);

protected:
    // Stores one published field into its member; false when the name is no
    // field of this class or the value is the one it holds.
    virtual bool store(const QString& name, const QVariant& value) = 0;
    template <typename T> static bool storeValue(T& member, const QVariant& value) {
        T converted = value.template value<T>();
        if (converted == member)
            return false;
        member = std::move(converted);
        return true;
    }
};

class PadViewModel : public ViewModelBase {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Pads come from the bridge's `pads` list.")

    Q_PROPERTY(QString role READ role CONSTANT)
    Q_PROPERTY(QString name READ name CONSTANT)
    Q_PROPERTY(bool isHiHat READ isHiHat CONSTANT)
    // The pad has no note of its own: the hi-hat pedal's position plays it (the half-open hat).
    Q_PROPERTY(bool playedByPedal READ playedByPedal CONSTANT)

    // The kit's fields; a role the kit lacks shows a fresh pad without notes.
    Q_PROPERTY(QVariantList notes READ notes NOTIFY notesChanged)
    // "MIDI 36, 35", "via CC4" (the half-open hat without notes) or "unmapped".
    Q_PROPERTY(QString noteSummary READ noteSummary NOTIFY notesChanged)
    // The same without "MIDI ", as the mapping page lists it.
    Q_PROPERTY(QString noteList READ noteList NOTIFY notesChanged)
    // "MIDI notes 38, 40" ("MIDI note 38" for one), or empty without notes.
    Q_PROPERTY(QString captureNoteText READ captureNoteText NOTIFY notesChanged)
    Q_PROPERTY(bool hasSample READ hasSample NOTIFY hasSampleChanged)
    // The main sample's file name; empty without a sample.
    Q_PROPERTY(QString sampleName READ sampleName NOTIFY sampleNameChanged)
    // What the pad plays, in the kit's order: [{ name, url, low, high, gain, overlaps }]
    // (overlaps: the range partly covers another sample's), one entry
    // over 1..127 for a plain pad, none without a sample.
    Q_PROPERTY(QVariantList samples READ samples NOTIFY samplesChanged)
    // How many recordings the pad holds (velocity layers and takes): the entries of `samples`.
    Q_PROPERTY(int sampleCount READ sampleCount NOTIFY samplesChanged)
    Q_PROPERTY(double volume READ volume WRITE setVolume NOTIFY volumeChanged)
    Q_PROPERTY(double pan READ pan WRITE setPan NOTIFY panChanged)
    Q_PROPERTY(bool muted READ muted WRITE setMuted NOTIFY mutedChanged)
    Q_PROPERTY(bool soloed READ soloed WRITE setSoloed NOTIFY soloedChanged)

    // Derived by the bridge from the whole state.
    Q_PROPERTY(bool active READ active NOTIFY activeChanged)
    Q_PROPERTY(bool learning READ learning NOTIFY learningChanged)
    // Other pads are soloed and this one is not: the mixer dims it.
    Q_PROPERTY(bool silenced READ silenced NOTIFY silencedChanged)

public:
    PadViewModel(PadRole role, AppViewModel& owner);

    PadRole padRole() const { return role_; }
    QString role() const;
    QString name() const;
    bool isHiHat() const;
    bool playedByPedal() const { return role_ == PadRole::hhHalf; }
    QVariantList notes() const { return notes_; }
    QString noteSummary() const;
    QString noteList() const;
    QString captureNoteText() const;
    bool hasSample() const { return hasSample_; }
    QString sampleName() const { return sampleName_; }
    QVariantList samples() const { return samples_; }
    int sampleCount() const { return static_cast<int>(samples().size()); }
    double volume() const { return volume_; }
    double pan() const { return pan_; }
    bool muted() const { return muted_; }
    bool soloed() const { return soloed_; }
    bool active() const { return active_; }
    bool learning() const { return learning_; }
    bool silenced() const { return silenced_; }

    void setVolume(double volume);
    void setPan(double pan);
    void setMuted(bool muted);
    void setSoloed(bool soloed);

    Q_INVOKABLE void strike();
    Q_INVOKABLE void learn();
    // A local file URL; anything else is ignored by the bridge.
    Q_INVOKABLE void assignSample(const QUrl& file);
    Q_INVOKABLE void clearSample();
    // Several local files become the pad's samples, arranged into layers and takes.
    Q_INVOKABLE void assignSamples(const QList<QUrl>& files);
    // Edits one entry of `samples` by its index; a range outside 1..127, with low above
    // high, or an index out of reach changes nothing, nor does removing the last sample.
    Q_INVOKABLE void setSampleRange(int index, int low, int high);
    Q_INVOKABLE void removeSample(int index);
    // Plays one entry of `samples` alone.
    Q_INVOKABLE void auditionSample(int index);
    // Adds local files to the pad's samples; all are arranged into layers and takes again.
    Q_INVOKABLE void addSamples(const QList<QUrl>& files);

    // The fields of a pad the kit lacks.
    static QVariantMap freshFields();

signals:
    void notesChanged();
    void hasSampleChanged();
    void sampleNameChanged();
    void samplesChanged();
    void volumeChanged();
    void panChanged();
    void mutedChanged();
    void soloedChanged();
    void activeChanged();
    void learningChanged();
    void silencedChanged();

protected:
    bool store(const QString& name, const QVariant& value) override;

private:
    PadRole role_;
    AppViewModel& owner_;
    QVariantList notes_;
    bool hasSample_ = false;
    QString sampleName_;
    QVariantList samples_;
    double volume_ = 0;
    double pan_ = 0;
    bool muted_ = false;
    bool soloed_ = false;
    bool active_ = false;
    bool learning_ = false;
    bool silenced_ = false;
};

} // namespace tamborel::ui
