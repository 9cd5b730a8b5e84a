import QtQuick
import QtQuick.Dialogs
import Tamborel

// A file dialog that starts in the user's home folder and, after the first use, in the
// folder last used. Where the desktop has no dialog of its own, Qt's fallback is shown and
// gets the app's colours.
FileDialog {
    id: dialog

    currentFolder: PageText.homeFolder()
    onVisibleChanged: if (visible) Qt.callLater(Theme.styleFallbackDialogs, parentWindow)
}
