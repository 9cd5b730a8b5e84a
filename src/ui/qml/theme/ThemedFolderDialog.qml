import QtQuick
import QtQuick.Dialogs
import Tamborel

// A folder dialog that starts in the user's home folder and, after the first use, in the
// folder last used; the desktop's own where there is one, else Qt's fallback in the app's look
// with places, a path field and Enter to choose (see FallbackDialogStyle).
FolderDialog {
    currentFolder: PageText.homeFolder()
    onVisibleChanged: if (visible) Qt.callLater(restyle)
    function restyle() {
        FallbackDialogStyle.styleFallbackDialogs(parentWindow, "folder");
    }
}
