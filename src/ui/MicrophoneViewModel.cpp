#include "ui/MicrophoneViewModel.h"

#include "ui/AppViewModel.h"

namespace tamborel::ui {

MicrophoneViewModel::MicrophoneViewModel(int index, AppViewModel& owner)
    : ViewModelBase(&owner), index_(index), owner_(owner) {}

bool MicrophoneViewModel::store(const QString& name, const QVariant& value) {
    if (name == u"name")
        return storeValue(name_, value);
    if (name == u"volume")
        return storeValue(volume_, value);
    if (name == u"pan")
        return storeValue(pan_, value);
    if (name == u"muted")
        return storeValue(muted_, value);
    if (name == u"soloed")
        return storeValue(soloed_, value);
    if (name == u"inverted")
        return storeValue(inverted_, value);
    if (name == u"output")
        return storeValue(output_, value);
    if (name == u"outputChoices")
        return storeValue(outputChoices_, value);
    if (name == u"outputIndex")
        return storeValue(outputIndex_, value);
    if (name == u"silenced")
        return storeValue(silenced_, value);
    return false;
}

void MicrophoneViewModel::setVolume(double volume) {
    owner_.setMicrophoneVolume(index_, volume);
}

void MicrophoneViewModel::setPan(double pan) {
    owner_.setMicrophonePan(index_, pan);
}

void MicrophoneViewModel::setMuted(bool muted) {
    if (muted != muted_)
        owner_.toggleMicrophoneMute(index_);
}

void MicrophoneViewModel::setSoloed(bool soloed) {
    if (soloed != soloed_)
        owner_.toggleMicrophoneSolo(index_);
}

void MicrophoneViewModel::setInverted(bool inverted) {
    if (inverted != inverted_)
        owner_.toggleMicrophonePolarity(index_);
}

void MicrophoneViewModel::setOutput(int output) {
    if (output != output_)
        owner_.setMicrophoneOutput(index_, output);
}

} // namespace tamborel::ui
