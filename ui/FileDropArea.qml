import QtQuick
import QtQuick.Controls
import Lumbrel

// Where files and folders are dropped: the waving invitation while the list
// is empty, the list of rows otherwise. The list installs the arrow-key
// monitor while it exists.
DropArea {
    id: area

    required property QtObject view
    // The list is shown only with the normal content and at least one entry.
    property bool listShown: false

    keys: ["text/uri-list"]
    onEntered: function (drag) { drag.accepted = drag.hasUrls }
    onDropped: function (drop) {
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

        Loader {
            anchors.fill: parent
            active: area.listShown
            sourceComponent: fileList
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
            ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded }

            delegate: FileRow {
                required property url url
                objectName: "fileRow"
                width: ListView.view.width - 2
                file: url
                selectionState: area.view.selectionState
                onRemove: area.view.removeFile(url)
            }

            Rectangle {
                z: -1
                parent: list
                anchors.fill: parent
                color: palette.base
            }

            Connections {
                target: area.view
                function onScrollToRequested(file) {
                    list.positionViewAtIndex(area.view.files.indexOf(file), ListView.Center)
                }
            }

            Component.onCompleted: area.view.setupKeyboardMonitor()
            Component.onDestruction: area.view.removeKeyboardMonitor()
        }
    }
}
