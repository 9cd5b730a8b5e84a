import QtQuick
import QtQuick.Dialogs
import Tamborel

// A folder dialog that starts in the user's home folder and, after the first use, in the
// folder last used; Qt's fallback, where it is shown, gets the app's colours.
FolderDialog {
    currentFolder: PageText.homeFolder()
    onVisibleChanged: if (visible) Qt.callLater(Theme.styleFallbackDialogs, parentWindow)
}
