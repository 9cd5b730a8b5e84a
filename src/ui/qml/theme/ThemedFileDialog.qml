import QtQuick
import QtQuick.Dialogs
import Tamborel

// A file dialog that starts in the user's home folder and, after the first use, in the
// folder last used. The desktop's own dialog is used where there is one; Qt's fallback,
// where it is shown, gets the app's look, and confirms with "Save" when saving (it would
// otherwise say "Open" in either mode).
FileDialog {
    currentFolder: PageText.homeFolder()
    acceptLabel: fileMode === FileDialog.SaveFile ? "Save" : ""
    onVisibleChanged: if (visible) Qt.callLater(FallbackDialogStyle.styleFallbackDialogs, parentWindow)
}
