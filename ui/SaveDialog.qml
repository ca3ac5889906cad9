import QtQuick
import QtQuick.Controls
import QtQuick.Dialogs

// The save dialog of a bundle job: opened when the view asks for it,
// proposing "bundled-output." with the style's extension; the answer goes
// back to the view (an empty location when cancelled). Replacing an existing
// file is confirmed here, the same way on every platform.
Item {
    id: saveDialog

    required property QtObject view

    FileDialog {
        id: fileDialog
        objectName: "saveDialog"
        title: "Save Bundle"
        acceptLabel: "Save"
        fileMode: FileDialog.SaveFile
        options: FileDialog.DontConfirmOverwrite
        onAccepted: saveDialog.view.saveDialogFinished(selectedFile)
        onRejected: saveDialog.view.saveDialogFinished("")
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
            Button {
                text: "Replace"
                DialogButtonBox.buttonRole: DialogButtonBox.AcceptRole
            }
            Button {
                text: "Cancel"
                DialogButtonBox.buttonRole: DialogButtonBox.RejectRole
            }
        }
        onAccepted: saveDialog.view.confirmReplace(true)
        onRejected: saveDialog.view.confirmReplace(false)
    }

    Connections {
        target: saveDialog.view
        function onSaveDialogRequested(proposedName, nameFilters) {
            fileDialog.nameFilters = nameFilters
            fileDialog.selectedFile = saveDialog.view.proposedSaveLocation()
            fileDialog.open()
        }
        function onReplaceConfirmationRequested(fileName) {
            replaceDialog.fileName = fileName
            replaceDialog.open()
        }
    }
}
