import QtQuick
import QtQuick.Controls
import QtQuick.Dialogs
import Lumbrel

// The save dialog of a bundle job: opened when the job asks for it, proposing
// "bundled-output." with the style's extension and the style's file type; the
// answer goes back to the job (an empty location when cancelled). Replacing an
// existing file is confirmed here, the same way on every platform. The
// desktop's own file dialog is used where it offers one.
Item {
    id: saveDialog

    required property BundleJob job

    FileDialog {
        id: fileDialog
        objectName: "saveDialog"
        title: "Save Bundle"
        acceptLabel: "Save"
        fileMode: FileDialog.SaveFile
        options: FileDialog.DontConfirmOverwrite
        onAccepted: saveDialog.job.saveDialogFinished(selectedFile)
        onRejected: saveDialog.job.saveDialogFinished("")
    }

    Dialog {
        id: replaceDialog
        objectName: "replaceDialog"
        property string fileName
        parent: Overlay.overlay
        anchors.centerIn: parent
        width: Math.min(360, parent ? parent.width - 40 : 360)
        modal: true
        title: "Replace File?"
        Label {
            width: parent.width
            wrapMode: Text.Wrap
            text: "\u201C" + replaceDialog.fileName + "\u201D already exists. Do you want to replace it?"
        }
        footer: DialogButtonBox {
            PushButton {
                objectName: "replaceButton"
                text: "Replace"
                DialogButtonBox.buttonRole: DialogButtonBox.AcceptRole
            }
            PushButton {
                id: keepButton
                objectName: "keepButton"
                text: "Cancel"
                DialogButtonBox.buttonRole: DialogButtonBox.RejectRole
            }
        }
        // The safe answer is the default: Enter keeps the file, as does Escape;
        // Tab reaches "Replace".
        onOpened: keepButton.forceActiveFocus()
        onAccepted: saveDialog.job.confirmReplace(true)
        onRejected: saveDialog.job.confirmReplace(false)
    }

    Connections {
        target: saveDialog.job
        function onSaveDialogRequested(proposedLocation, nameFilters, selectedNameFilter) {
            fileDialog.nameFilters = nameFilters
            fileDialog.selectedNameFilter.index = selectedNameFilter
            fileDialog.selectedFile = proposedLocation
            fileDialog.open()
        }
        function onReplaceConfirmationRequested(fileName) {
            replaceDialog.fileName = fileName
            replaceDialog.open()
        }
    }
}
