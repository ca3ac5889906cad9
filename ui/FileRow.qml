import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Lumbrel

// One entry of the list of chosen files and folders. Clicking the row selects
// it; the selected row offers to reveal the item or remove it (the list's
// keys do both too: Return and Delete). Long names keep both ends; the full
// path shows as a tool tip. A folder's arrow opens its tree (the list's
// Right and Return do too). While the list has the keyboard focus the
// highlighted row has it, so that a screen reader follows the highlight.
Item {
    id: row

    required property url file
    // The highlighted entry of the list.
    property bool selected: false
    // This entry's part of the latest estimate; -1 while unknown.
    property real filesInEstimate: -1
    property real tokensInEstimate: -1
    signal remove()
    signal select()
    // The folder's tree is wanted in place of the list.
    signal open()

    readonly property string name: Format.fileName(file)
    readonly property string detailText: Format.rowDetail(itemCount.isFolder, itemCount.ready ? itemCount.count : -1, // qmllint disable type
                                                          filesInEstimate, tokensInEstimate)

    implicitWidth: content.implicitWidth + 2 * Theme.standardSpacing
    implicitHeight: content.implicitHeight + 2 * 6

    Accessible.role: Accessible.ListItem
    Accessible.name: (itemCount.isFolder ? qsTr("%1, folder").arg(name) : qsTr("%1, file").arg(name))
                     + (detailText.length > 0 ? ", " + detailText : "")
    Accessible.description: itemCount.isFolder ? qsTr("%1; Right opens its files").arg(Format.path(file))
                                               : Format.path(file)
    Accessible.focusable: true
    Accessible.selectable: true
    Accessible.selected: selected
    Accessible.ignored: !visible // while a folder's tree stands in place of the list

    FolderItemCount {
        id: itemCount
        url: row.file
    }

    Rectangle {
        anchors.fill: parent
        radius: Theme.cornerRadius
        color: row.selected ? Theme.selection : "transparent"
        Accessible.ignored: true
    }

    MouseArea {
        objectName: "rowArea"
        anchors.fill: parent
        onClicked: row.select()
    }

    HoverHandler { id: hover }
    ToolTip.text: Format.path(file)
    ToolTip.visible: hover.hovered && !revealButton.hovered && !removeButton.hovered && !openButton.hovered
    ToolTip.delay: 600

    RowLayout {
        id: content
        anchors.fill: parent
        anchors.leftMargin: Theme.standardSpacing
        anchors.rightMargin: Theme.standardSpacing / 2
        anchors.topMargin: 6
        anchors.bottomMargin: 6
        spacing: Theme.standardSpacing

        // A folder opens into its files; a file keeps the room, so names line up.
        IconButton {
            id: openButton
            objectName: "openFolderButton"
            symbol: "chevron.right"
            size: Theme.actionSymbol
            text: qsTr("Open %1").arg(row.name)
            color: Theme.secondaryText
            focusPolicy: Qt.NoFocus // the list's Right and Return open
            opacity: itemCount.isFolder ? 1 : 0
            enabled: itemCount.isFolder
            Accessible.ignored: true
            Layout.leftMargin: -Theme.standardSpacing / 2
            Layout.rightMargin: -Theme.standardSpacing / 2
            onClicked: row.open()
        }

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
                visible: itemCount.isFolder || row.filesInEstimate >= 0
                // Keeps its line while counting, so rows do not jump.
                opacity: row.detailText.length > 0 ? 1 : 0
                text: row.detailText
                font.pointSize: Theme.points(11)
                color: Theme.listSecondaryText
                font.italic: row.filesInEstimate === 0
                wrapMode: Text.Wrap
                maximumLineCount: 2
                elide: Text.ElideRight
                Accessible.ignored: true
            }
        }

        // The list's keys do what these do, so Tab passes them by.
        IconButton {
            id: revealButton
            objectName: "revealButton"
            text: FileManager.revealText
            Accessible.name: Format.revealItem(row.name)
            symbol: "magnifyingglass"
            size: Theme.actionSymbol
            color: Theme.reveal
            focusPolicy: Qt.NoFocus
            opacity: row.selected ? 1 : 0
            enabled: row.selected
            Accessible.ignored: !row.selected || !row.visible
            onClicked: FileManager.reveal(row.file)
        }
        IconButton {
            id: removeButton
            objectName: "removeButton"
            text: qsTr("Remove")
            Accessible.name: qsTr("Remove %1").arg(row.name)
            symbol: "xmark"
            size: Theme.actionSymbol
            color: Theme.remove
            focusPolicy: Qt.NoFocus
            opacity: row.selected ? 1 : 0
            enabled: row.selected
            Accessible.ignored: !row.selected || !row.visible
            onClicked: row.remove()
        }
    }
}
