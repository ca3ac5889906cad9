import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Lumbrel

// One entry of the list of chosen files and folders. Clicking the row selects
// it; the selected row offers to reveal the item or remove it. Long names
// keep both ends; the full path shows as a tool tip.
Item {
    id: row

    required property url file
    // Shared by all rows; its `selectedFile` is the highlighted location.
    required property QtObject selectionState
    // This entry's part of the latest estimate ("9 files, 3,456 tokens"),
    // empty while unknown; `nothingPacked` when the estimate took nothing of it.
    property string shareText
    property bool nothingPacked: false
    signal remove()

    readonly property bool selected: selectionState !== null
                                     && String(selectionState.selectedFile) === String(file)
    readonly property string name: Format.fileName(file)
    readonly property string itemCountText: Format.count(itemCount.count, qsTr("item"), qsTr("items"))
    // The second line: a folder's item count, then the entry's share.
    readonly property string detailText: {
        const parts = []
        if (itemCount.isFolder && itemCount.ready)
            parts.push(itemCountText)
        if (shareText.length > 0)
            parts.push(shareText)
        return parts.join(" \u00B7 ")
    }

    implicitWidth: content.implicitWidth + 2 * 8
    implicitHeight: content.implicitHeight + 2 * 6

    Accessible.role: Accessible.ListItem
    Accessible.name: (itemCount.isFolder ? qsTr("%1, folder").arg(name) : qsTr("%1, file").arg(name))
                     + (detailText.length > 0 ? ", " + detailText : "")
    Accessible.description: Format.path(file)
    Accessible.selectable: true
    Accessible.selected: selected

    FolderItemCount {
        id: itemCount
        url: row.file
    }

    Rectangle {
        anchors.fill: parent
        radius: 4
        color: row.selected ? Theme.selection : "transparent"
        Accessible.ignored: true
    }

    MouseArea {
        objectName: "rowArea"
        anchors.fill: parent
        onClicked: row.selectionState.selectedFile = row.file
    }

    HoverHandler { id: hover }
    ToolTip.text: Format.path(file)
    ToolTip.visible: hover.hovered && !revealButton.hovered && !removeButton.hovered
    ToolTip.delay: 600

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
            size: 14
            color: itemCount.isFolder ? Theme.folder : Theme.document
        }

        ColumnLayout {
            Layout.fillWidth: true
            spacing: 2

            Text {
                objectName: "nameText"
                Layout.fillWidth: true
                text: row.name
                textFormat: Text.PlainText
                font.pointSize: Theme.points(13)
                color: Theme.listText
                elide: Text.ElideMiddle
                Accessible.ignored: true
            }
            Text {
                objectName: "itemCountText"
                Layout.fillWidth: true
                visible: itemCount.isFolder || row.shareText.length > 0
                // Keeps its line while counting, so rows do not jump.
                opacity: row.detailText.length > 0 ? 1 : 0
                text: row.detailText
                font.pointSize: Theme.points(11)
                color: Theme.listSecondaryText
                font.italic: row.nothingPacked
                elide: Text.ElideRight
                Accessible.ignored: true
            }
        }

        IconButton {
            id: revealButton
            objectName: "revealButton"
            text: FileManager.revealText
            Accessible.name: Format.revealItem(row.name)
            symbol: "magnifyingglass"
            color: Theme.reveal
            opacity: row.selected ? 1 : 0
            enabled: row.selected
            Accessible.ignored: !row.selected
            onClicked: FileManager.reveal(row.file)
        }
        IconButton {
            id: removeButton
            objectName: "removeButton"
            text: qsTr("Remove")
            Accessible.name: qsTr("Remove %1").arg(row.name)
            symbol: "xmark"
            color: Theme.remove
            opacity: row.selected ? 1 : 0
            enabled: row.selected
            Accessible.ignored: !row.selected
            onClicked: row.remove()
        }
    }
}
