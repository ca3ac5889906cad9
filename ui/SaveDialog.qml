import QtQuick
import QtQuick.Dialogs

// The save dialog of a bundle job: opened when the view asks for it,
// proposing "bundled-output." with the style's extension; the answer goes
// back to the view (an empty location when cancelled).
FileDialog {
    id: dialog

    required property QtObject view

    objectName: "saveDialog"
    title: "Save Bundle"
    fileMode: FileDialog.SaveFile

    Connections {
        target: dialog.view
        function onSaveDialogRequested(proposedName, nameFilters) {
            dialog.nameFilters = nameFilters
            dialog.selectedFile = dialog.view.proposedSaveLocation()
            dialog.open()
        }
    }

    onAccepted: view.saveDialogFinished(selectedFile)
    onRejected: view.saveDialogFinished("")
}
