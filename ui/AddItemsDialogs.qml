import QtQuick
import QtQuick.Dialogs
import Lumbrel

// Choosing files or a folder without dragging ("Add Files…", "Add Folder…"):
// what is chosen joins the list exactly like a drop.
Item {
    id: dialogs

    required property ContentViewModel view

    FileDialog {
        id: filesDialog
        objectName: "addFilesDialog"
        title: "Add Files"
        fileMode: FileDialog.OpenFiles
        onAccepted: dialogs.view.handleDrop(selectedFiles)
    }

    FolderDialog {
        id: folderDialog
        objectName: "addFolderDialog"
        title: "Add Folder"
        onAccepted: dialogs.view.handleDrop([selectedFolder])
    }

    Connections {
        target: dialogs.view
        function onAddItemsRequested(folder) {
            if (folder)
                folderDialog.open()
            else
                filesDialog.open()
        }
    }
}
