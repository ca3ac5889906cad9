import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Lumbrel

// The ten files with the most tokens in the selection as it is ticked, each
// with its share of the total and a way to leave it out.
Popup {
    id: popup

    required property SelectionTree tree

    modal: true
    focus: true
    padding: Theme.standardPadding
    palette: Theme.palette
    Accessible.role: Accessible.Dialog
    Accessible.name: qsTr("Heaviest files")

    onOpened: (lines.itemAtIndex(0) as Item)?.forceActiveFocus(Qt.TabFocusReason)

    background: Rectangle {
        color: Theme.window
        border.color: Theme.frame
        radius: Theme.cornerRadius
    }

    contentItem: ColumnLayout {
        spacing: Theme.standardSpacing
        Label {
            text: qsTr("Heaviest Files")
            font.weight: Font.DemiBold
            color: Theme.text
            Accessible.role: Accessible.Heading
            Accessible.name: text
        }
        Label {
            visible: lines.count === 0
            text: qsTr("The estimate has no counts per file yet.")
            color: Theme.secondaryText
            wrapMode: Text.Wrap
            Layout.fillWidth: true
        }
        ListView {
            id: lines
            objectName: "heaviestFiles"
            Layout.fillWidth: true
            Layout.preferredHeight: Math.min(contentHeight, 320)
            clip: true
            model: popup.tree.heaviestFiles
            ScrollBar.vertical: ScrollBar {}
            delegate: RowLayout {
                id: line
                required property var modelData
                width: ListView.view.width
                spacing: Theme.standardSpacing
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 0
                    Label {
                        text: line.modelData.name
                        elide: Text.ElideMiddle
                        color: Theme.text
                        Layout.fillWidth: true
                        Accessible.ignored: true
                    }
                    Label {
                        text: line.modelData.share
                        color: Theme.secondaryText
                        font.pointSize: Theme.captionSize
                        Accessible.ignored: true
                    }
                }
                PushButton {
                    text: qsTr("Leave Out")
                    Accessible.name: qsTr("Leave out %1, %2").arg(line.modelData.name).arg(line.modelData.share)
                    onClicked: popup.tree.leaveOut(line.modelData.item, line.modelData.path)
                }
            }
        }
        PushButton {
            text: qsTr("Close")
            Layout.alignment: Qt.AlignRight
            onClicked: popup.close()
        }
    }
}
