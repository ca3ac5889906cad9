pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import Lumbrel

// The list of chosen files and folders, a row each. Its highlighted row is
// its current one and has the keyboard focus within it, so that a screen
// reader follows the highlight; taking the focus shows the current row. The
// selection's keys move the highlight and remove; Return reveals.
ListView {
    id: list

    required property ContentViewModel view

    objectName: "fileList"
    clip: true
    spacing: 2
    topMargin: 1
    bottomMargin: 1
    leftMargin: 1
    rightMargin: 1
    boundsBehavior: Flickable.StopAtBounds
    model: view.files
    reuseItems: true
    activeFocusOnTab: visible
    keyNavigationEnabled: false // the selection's own keys move the highlight
    currentIndex: view.files.highlightedRow
    highlightFollowsCurrentItem: false
    ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded }

    Accessible.role: Accessible.List
    Accessible.name: qsTr("Files")
    Accessible.description: qsTr("Right or Return opens a folder's files; Return shows a file in the file manager; Delete removes the current item.")
    Accessible.ignored: !visible

    onActiveFocusChanged: if (activeFocus) list.view.selection.showCurrent()

    Keys.onPressed: function (event) {
        if (event.modifiers)
            return
        const opens = event.key === Qt.Key_Right || event.key === Qt.Key_Return || event.key === Qt.Key_Enter
        if (opens && list.currentIndex >= 0 && list.view.tree.open(list.view.files.at(list.currentIndex))) {
            event.accepted = true
            return
        }
        if ((event.key === Qt.Key_Return || event.key === Qt.Key_Enter) && list.currentIndex >= 0) {
            FileManager.reveal(list.view.files.at(list.currentIndex))
            event.accepted = true
            return
        }
        event.accepted = list.view.selection.handleKey(event.key)
    }

    delegate: FileRow {
        id: row
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
        onSelect: list.view.selection.select(row.url)
        onRemove: list.view.removeFile(row.url)
        onOpen: {
            list.view.selection.select(row.url)
            list.view.tree.open(row.url)
        }
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
        target: list.view.selection
        function onScrollToRequested(file) {
            list.positionViewAtIndex(list.view.files.indexOf(file), ListView.Center)
        }
    }
}
