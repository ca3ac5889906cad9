import QtQuick
import QtQuick.Layouts
import Lumbrel

// The short-lived notice after a change that took items away: what it did,
// and "Undo" (Ctrl+Z does the same while the notice is gone).
Rectangle {
    id: notice

    required property ContentViewModel view

    objectName: "undoNotice"
    visible: view.history.noticeShown
    implicitWidth: row.implicitWidth + 2 * Theme.standardSpacing
    implicitHeight: row.implicitHeight + Theme.standardSpacing
    radius: Theme.cornerRadius
    color: Theme.window
    border.color: Theme.frame
    Accessible.ignored: !visible

    RowLayout {
        id: row
        anchors.fill: parent
        anchors.leftMargin: Theme.standardSpacing
        anchors.rightMargin: Theme.standardSpacing / 2
        spacing: Theme.standardSpacing

        Text {
            objectName: "undoNoticeText"
            Layout.fillWidth: true
            text: notice.view.history.lastChange
            textFormat: Text.PlainText
            elide: Text.ElideMiddle
            color: Theme.text
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            Accessible.ignored: !notice.visible
        }
        PushButton {
            objectName: "undoButton"
            text: qsTr("Undo")
            flat: true
            Accessible.ignored: !notice.visible
            onClicked: notice.view.undo()
        }
        IconButton {
            objectName: "dismissUndoButton"
            text: qsTr("Dismiss")
            symbol: "xmark"
            color: Theme.secondaryText
            Accessible.ignored: !notice.visible
            onClicked: notice.view.history.dismissNotice()
        }
    }
}
