import QtQuick
import QtQuick.Controls
import Lumbrel

// A modal message over the window with one or two answers: `rejectText`
// ("OK" by default) always, `acceptText` where there is something to do.
// The safe answer has the focus unless `acceptIsDefault`; Escape rejects.
Dialog {
    id: box

    property string text
    property string acceptText
    property string rejectText: qsTr("OK")
    property bool acceptIsDefault: false

    parent: Overlay.overlay
    anchors.centerIn: parent
    // The window is never narrower than this and its margins.
    width: Theme.dialogWidth
    modal: true
    closePolicy: Popup.CloseOnEscape
    onOpened: (box.acceptIsDefault && acceptButton.visible ? acceptButton : rejectButton).forceActiveFocus(Qt.TabFocusReason)

    Label {
        objectName: "messageText"
        width: box.availableWidth
        text: box.text
        textFormat: Text.PlainText
        wrapMode: Text.Wrap
        Accessible.role: Accessible.StaticText
        Accessible.name: text
    }

    footer: Item {
        implicitWidth: buttons.width + 2 * Theme.standardPadding
        implicitHeight: buttons.height + Theme.standardPadding
        Row {
            id: buttons
            x: parent.width - width - Theme.standardPadding
            spacing: Theme.standardSpacing
            PushButton {
                id: acceptButton
                objectName: "acceptButton"
                visible: box.acceptText.length > 0
                text: box.acceptText
                onClicked: box.accept()
            }
            PushButton {
                id: rejectButton
                objectName: "rejectButton"
                text: box.rejectText
                onClicked: box.reject()
            }
        }
    }
}
