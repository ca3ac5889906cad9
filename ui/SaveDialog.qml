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
        onAccepted: saveDialog.job.saveDialogFinished(selectedFile, saveDialog.typedName)
        onRejected: saveDialog.job.saveDialogFinished("", "")
    }

    Dialog {
        id: replaceDialog
        objectName: "replaceDialog"
        property string message
        property string acceptLabel: "Replace"
        parent: Overlay.overlay
        anchors.centerIn: parent
        width: Math.min(360, parent ? parent.width - 40 : 360)
        modal: true
        Label {
            width: parent.width
            wrapMode: Text.Wrap
            text: replaceDialog.message
        }
        footer: DialogButtonBox {
            PushButton {
                objectName: "replaceButton"
                text: replaceDialog.acceptLabel
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

    // Qt's own dialog (used where the desktop offers none) opens with its
    // file list focused; the name is what people type, so it gets the focus.
    // A native dialog has no such item in the window.
    function focusNameField() {
        const find = function (item, matches) {
            if (matches(item))
                return item
            for (let i = 0; i < item.children.length; ++i) {
                const found = find(item.children[i], matches)
                if (found)
                    return found
            }
            return null
        }
        const overlay = saveDialog.Overlay.overlay
        const field = overlay ? find(overlay, item => item.objectName === "fileNameTextField") : null
        if (!field || !field.visible)
            return
        field.forceActiveFocus(Qt.TabFocusReason)
        field.selectAll()
        if (saveDialog.nameField !== field) {
            // Return in the name field saves, as it does in the desktop's dialogs.
            saveDialog.nameField = field
            field.textEdited.connect(() => saveDialog.typedName = field.text)
            field.accepted.connect(function () {
                const save = find(field.parent, item => item.text === fileDialog.acceptLabel && item.clicked !== undefined)
                if (save)
                    save.clicked()
            })
        }
    }
    property Item nameField: null
    // What was typed into Qt's own dialog, which it may rewrite on accepting.
    property string typedName

    Connections {
        target: saveDialog.job
        function onSaveDialogRequested(proposedLocation, nameFilters, selectedNameFilter) {
            fileDialog.nameFilters = nameFilters
            fileDialog.selectedNameFilter.index = selectedNameFilter
            fileDialog.selectedFile = proposedLocation
            saveDialog.typedName = ""
            fileDialog.open()
            Qt.callLater(saveDialog.focusNameField)
        }
        function onConfirmationRequested(title, message, acceptLabel) {
            replaceDialog.title = title
            replaceDialog.message = message
            replaceDialog.acceptLabel = acceptLabel
            replaceDialog.open()
        }
    }
}
