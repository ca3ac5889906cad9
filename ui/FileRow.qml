import QtQuick
import QtQuick.Layouts
import Lumbrel

// One entry of the list of chosen files and folders. Clicking the row selects
// it; the selected row offers to reveal the item or remove it.
Item {
    id: row

    required property url file
    // Shared by all rows; its `selectedFile` is the highlighted location.
    required property QtObject selectionState
    signal remove()

    readonly property bool selected: selectionState !== null
                                     && String(selectionState.selectedFile) === String(file)

    implicitWidth: content.implicitWidth + 2 * 8
    implicitHeight: content.implicitHeight + 2 * 6

    FolderItemCount {
        id: itemCount
        url: row.file
    }

    Rectangle {
        anchors.fill: parent
        radius: 4
        color: row.selected ? Theme.tint(palette.highlight)
                            : "transparent"
    }

    MouseArea {
        objectName: "rowArea"
        anchors.fill: parent
        onClicked: row.selectionState.selectedFile = row.file
    }

    RowLayout {
        id: content
        anchors.fill: parent
        anchors.leftMargin: 8
        anchors.rightMargin: 8
        anchors.topMargin: 6
        anchors.bottomMargin: 6
        spacing: 8

        SymbolIcon {
            symbol: itemCount.isFolder ? "folder.fill" : "doc.fill"
            pixelSize: 14
            color: itemCount.isFolder ? Theme.blue : Theme.gray
        }

        ColumnLayout {
            Layout.fillWidth: true
            spacing: 2

            Text {
                Layout.fillWidth: true
                text: Format.fileName(row.file)
                textFormat: Text.PlainText
                font.pixelSize: 13
                color: palette.windowText
                elide: Text.ElideRight
            }
            Text {
                objectName: "itemCountText"
                visible: itemCount.isFolder
                // Keeps its line while counting, so rows do not jump.
                opacity: itemCount.ready ? 1 : 0
                text: qsTr("%1 items").arg(Format.number(itemCount.count))
                font.pixelSize: 11
                color: Theme.secondary(palette.windowText)
            }
        }

        IconButton {
            objectName: "revealButton"
            text: qsTr("Show in file manager")
            symbol: "magnifyingglass"
            color: Theme.blue
            opacity: row.selected ? 1 : 0
            enabled: row.selected
            onClicked: FileManager.reveal(row.file)
        }
        IconButton {
            objectName: "removeButton"
            text: qsTr("Remove")
            symbol: "xmark"
            color: Theme.red
            opacity: row.selected ? 1 : 0
            enabled: row.selected
            onClicked: row.remove()
        }
    }
}
