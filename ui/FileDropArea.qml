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

    // Gives the keyboard focus to the first thing here: the list with its
    // current row, or "Add Files…".
    function takeFocus() {
        if (listLoader.item)
            listLoader.item.forceActiveFocus(Qt.TabFocusReason)
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

        Loader {
            id: listLoader
            anchors.fill: parent
            active: area.listShown
            sourceComponent: fileList
            // The list goes (its last row removed) while it has the focus:
            // "Add Files…" takes it.
            onActiveChanged: if (!active && listLoader.activeFocus && area.view.files.count === 0)
                                 Qt.callLater(area.takeFocus)
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
            // The highlighted row is the current one, and has the focus
            // within the list.
            currentIndex: area.view.files.highlightedRow
            highlightFollowsCurrentItem: false
            ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded }

            Accessible.role: Accessible.List
            Accessible.name: qsTr("Files")
            Accessible.description: qsTr("Delete removes the current item; Return shows it in the file manager.")

            // Taking the focus shows the current row.
            onActiveFocusChanged: if (activeFocus) area.view.selection.showCurrent()

            Keys.onPressed: function (event) {
                if (event.modifiers)
                    return
                if ((event.key === Qt.Key_Return || event.key === Qt.Key_Enter) && list.currentIndex >= 0) {
                    FileManager.reveal(area.view.files.at(list.currentIndex))
                    event.accepted = true
                    return
                }
                event.accepted = area.view.selection.handleKey(event.key)
            }

            delegate: FileRow {
                required property url url
                required property bool highlighted
                required property real packedFiles
                required property real packedTokens
                objectName: "fileRow"
                width: ListView.view.width - 2
                // A row waiting in the pool for reuse keeps its last values: it is nobody's.
                property bool pooled: false
                ListView.onPooled: pooled = true
                ListView.onReused: pooled = false
                focus: highlighted && !pooled
                file: url
                selected: highlighted && !pooled
                filesInEstimate: packedFiles
                tokensInEstimate: packedTokens
                onSelect: area.view.selection.select(url)
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
