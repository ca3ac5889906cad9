import QtQuick
import QtQuick.Layouts
import Lumbrel

// Where files and folders are dropped: the waving invitation (with buttons to
// choose items without dragging) while the list is empty, the list of rows
// otherwise. A drag it would accept lights the area up; others show nothing.
DropArea {
    id: area

    required property ContentViewModel view
    // The list is shown only with the normal content and at least one entry.
    property bool listShown: false
    readonly property bool accepting: containsDrag && dragAccepted
    property bool dragAccepted: false

    // Gives the keyboard focus to the first thing here: the list with its
    // current row, or "Add Files…".
    function takeFocus() {
        if (list.visible)
            list.forceActiveFocus(Qt.TabFocusReason)
        else
            addFilesButton.forceActiveFocus(Qt.TabFocusReason)
    }

    keys: ["text/uri-list"]
    onEntered: function (drag) {
        area.dragAccepted = drag.hasUrls && drag.urls.some(url => String(url).startsWith("file:"))
        drag.accepted = area.dragAccepted
    }
    onExited: area.dragAccepted = false
    onDropped: function (drop) {
        area.dragAccepted = false
        if (drop.hasUrls && area.view.handleDrop(drop.urls))
            drop.accept(Qt.CopyAction)
    }

    Rectangle {
        id: frame
        anchors.fill: parent
        radius: Theme.cornerRadius
        clip: true
        color: "transparent"

        WavingBackground {
            anchors.fill: parent
            visible: area.view.files.count === 0
        }

        RowLayout {
            id: addButtons
            objectName: "addButtons"
            visible: area.view.files.count === 0
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.bottom: parent.bottom
            anchors.bottomMargin: Theme.standardPadding
            spacing: Theme.standardSpacing
            PushButton {
                id: addFilesButton
                objectName: "addFilesButton"
                text: qsTr("Add Files…")
                flat: true
                onClicked: area.view.chooseFiles()
            }
            PushButton {
                objectName: "addFolderButton"
                text: qsTr("Add Folder…")
                flat: true
                onClicked: area.view.chooseFolder()
            }
        }

        FileList {
            id: list
            anchors.fill: parent
            visible: area.listShown
            view: area.view
        }

        // Over the bottom of the list, or above the buttons of the empty area.
        UndoNotice {
            view: area.view
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.bottom: parent.bottom
            anchors.bottomMargin: addButtons.visible ? addButtons.height + Theme.standardPadding + Theme.standardSpacing
                                                     : Theme.standardSpacing
            width: Math.min(implicitWidth, parent.width - 2 * Theme.standardSpacing)
            z: 1
        }

        // Lights up while a drag that would be accepted hovers.
        Rectangle {
            objectName: "dropHighlight"
            anchors.fill: parent
            radius: Theme.cornerRadius
            visible: area.accepting
            color: Theme.selection
            border.width: 2
            border.color: Theme.focusRing
        }
    }

}
