import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Lumbrel

// One file or folder of an opened folder's tree: indented by its depth, with
// a disclosure arrow for a folder, a check box (partly checked for a folder
// some of whose files are ticked) and its share of the latest estimate.
Item {
    id: row

    required property int index
    required property string name
    required property string path
    required property int depth
    required property bool folder
    required property bool expanded
    required property int checkState
    required property string share
    required property real characters
    // The highlighted row of the tree.
    property bool current: false

    signal toggle()
    signal expand(bool open)
    signal select()

    implicitHeight: Math.max(28, content.implicitHeight + 8)

    readonly property string checkText: checkState === Qt.Checked ? qsTr("included")
                                        : checkState === Qt.PartiallyChecked ? qsTr("partly included")
                                        : qsTr("left out")

    // The tree's states that an accessible name is the only way to give from
    // here (level, expanded) are said in the name, with the check state.
    Accessible.role: Accessible.TreeItem
    Accessible.name: name + ", " + (folder ? qsTr("folder") : qsTr("file"))
                     + (folder ? ", " + (expanded ? qsTr("expanded") : qsTr("collapsed")) : "")
                     + ", " + checkText
                     + (share.length > 0 ? ", " + share : "")
    Accessible.description: qsTr("level %1; Space includes or leaves out").arg(depth + 1)
    Accessible.checkable: true
    Accessible.checked: checkState === Qt.Checked
    Accessible.checkStateMixed: checkState === Qt.PartiallyChecked
    Accessible.selectable: true
    Accessible.selected: current
    Accessible.focusable: true

    Rectangle {
        anchors.fill: parent
        radius: Theme.cornerRadius
        color: row.current ? Theme.selection : "transparent"
        Accessible.ignored: true
    }
    MouseArea {
        anchors.fill: parent
        onClicked: row.select()
        onDoubleClicked: if (row.folder) row.expand(!row.expanded)
    }
    HoverHandler { id: hover }
    ToolTip.text: row.characters >= 0 ? qsTr("%1 characters").arg(Number(row.characters).toLocaleString(Qt.locale(), "f", 0)) : ""
    ToolTip.visible: hover.hovered && row.characters >= 0
    ToolTip.delay: Theme.toolTipDelay

    RowLayout {
        id: content
        anchors.fill: parent
        anchors.leftMargin: Theme.standardSpacing + row.depth * 16
        anchors.rightMargin: Theme.standardSpacing
        spacing: 4

        // The disclosure arrow, where there is something to open.
        IconButton {
            symbol: row.expanded ? "chevron.down" : "chevron.right"
            size: 16
            text: row.expanded ? qsTr("Collapse %1").arg(row.name) : qsTr("Expand %1").arg(row.name)
            color: Theme.secondaryText
            opacity: row.folder ? 1 : 0
            enabled: row.folder
            focusPolicy: Qt.NoFocus
            Accessible.ignored: true
            onClicked: row.expand(!row.expanded)
        }
        CheckBox {
            id: tick
            objectName: "tick"
            tristate: true
            // Drawn in the window's colours, so that it reads in a dark palette as in a light one.
            indicator: Rectangle {
                implicitWidth: 16
                implicitHeight: 16
                x: tick.leftPadding
                y: (tick.height - height) / 2
                radius: 3
                color: tick.checkState === Qt.Unchecked ? Theme.base : Theme.accent
                border.width: tick.checkState === Qt.Unchecked ? 1 : 0
                border.color: Theme.secondaryText
                SymbolIcon {
                    anchors.centerIn: parent
                    visible: tick.checkState !== Qt.Unchecked
                    symbol: tick.checkState === Qt.Checked ? "checkmark" : "minus"
                    size: 12
                    color: Theme.accentText
                }
            }
            checkState: row.checkState
            focusPolicy: Qt.NoFocus // the tree's keys tick: Space
            Accessible.name: qsTr("Include %1").arg(row.name)
            // Said from the model's state: the box's own lags behind a change the model makes.
            Accessible.checked: row.checkState === Qt.Checked
            Accessible.checkStateMixed: row.checkState === Qt.PartiallyChecked
            // The model decides the new state; the box only shows it.
            nextCheckState: function () { row.toggle(); return row.checkState }
        }
        SymbolIcon {
            symbol: row.folder ? "folder.fill" : "doc.fill"
            size: 16
            color: row.folder ? Theme.folder : Theme.document
        }
        Label {
            text: row.name
            elide: Text.ElideMiddle
            color: row.checkState === Qt.Unchecked ? Theme.listSecondaryText : Theme.listText
            Layout.fillWidth: true
            Accessible.ignored: true
        }
        Label {
            text: row.share
            color: Theme.listSecondaryText
            font.pointSize: Theme.captionSize
            Accessible.ignored: true
        }
    }
}
