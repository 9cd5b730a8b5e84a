#include "ui/PracticeViewModel.h"

namespace tamborel::ui {

bool PracticeViewModel::store(const QString& name, const QVariant& value) {
    if (name == u"beatsPerBar")
        return storeValue(beatsPerBar_, value);
    if (name == u"noteValue")
        return storeValue(noteValue_, value);
    if (name == u"subdivision")
        return storeValue(subdivision_, value);
    if (name == u"clickLevel")
        return storeValue(clickLevel_, value);
    if (name == u"clickOutput")
        return storeValue(clickOutput_, value);
    if (name == u"countInBars")
        return storeValue(countInBars_, value);
    if (name == u"songName")
        return storeValue(songName_, value);
    if (name == u"songLoading")
        return storeValue(songLoading_, value);
    if (name == u"songWaiting")
        return storeValue(songWaiting_, value);
    if (name == u"songPlaying")
        return storeValue(songPlaying_, value);
    if (name == u"songLevel")
        return storeValue(songLevel_, value);
    if (name == u"songError")
        return storeValue(songError_, value);
    return false;
}

} // namespace tamborel::ui
