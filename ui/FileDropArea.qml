import QtQuick
import QtQuick.Controls
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
        radius: 4
        clip: true
        color: "transparent"

        WavingBackground {
            anchors.fill: parent
            visible: area.view.files.count === 0
        }

        RowLayout {
            objectName: "addButtons"
            visible: area.view.files.count === 0
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.bottom: parent.bottom
            anchors.bottomMargin: Theme.standardPadding
            spacing: Theme.standardSpacing
            PushButton {
                objectName: "addFilesButton"
                text: "Add Files…"
                flat: true
                onClicked: area.view.chooseFiles()
            }
            PushButton {
                objectName: "addFolderButton"
                text: "Add Folder…"
                flat: true
                onClicked: area.view.chooseFolder()
            }
        }

        Loader {
            id: listLoader
            anchors.fill: parent
            active: area.listShown
            sourceComponent: fileList
        }

        // Lights up while a drag that would be accepted hovers.
        Rectangle {
            objectName: "dropHighlight"
            anchors.fill: parent
            radius: 4
            visible: area.accepting
            color: Theme.selection
            border.width: 2
            border.color: Theme.focusRing
        }
    }

    Component {
        id: fileList

        ListView {
            id: list
            objectName: "fileList"
            clip: true
            spacing: 2
            topMargin: 1
            bottomMargin: 1
            leftMargin: 1
            rightMargin: 1
            boundsBehavior: Flickable.StopAtBounds
            model: area.view.files
            reuseItems: true
            activeFocusOnTab: true
            keyNavigationEnabled: false // the selection's own keys move the highlight
            ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded }

            Accessible.role: Accessible.List
            Accessible.name: "Files"

            Keys.onPressed: function (event) {
                if (!event.modifiers)
                    event.accepted = area.view.selection.handleKey(event.key)
            }

            delegate: FileRow {
                required property url url
                required property string share
                required property bool packedNothing
                objectName: "fileRow"
                width: ListView.view.width - 2
                file: url
                shareText: share
                nothingPacked: packedNothing
                selectionState: area.view.selectionState
                onRemove: area.view.removeFile(url)
            }

            // A click on a row gives the list the focus, so the keys work on it.
            TapHandler {
                gesturePolicy: TapHandler.DragThreshold
                grabPermissions: PointerHandler.ApprovesTakeOverByAnything
                onTapped: list.forceActiveFocus(Qt.MouseFocusReason)
            }

            Rectangle {
                z: -1
                parent: list
                anchors.fill: parent
                color: Theme.base
                border.width: list.activeFocus ? 2 : 0
                border.color: Theme.focusRing
            }

            Connections {
                target: area.view.selection
                function onScrollToRequested(file) {
                    list.positionViewAtIndex(area.view.files.indexOf(file), ListView.Center)
                }
            }
        }
    }
}
