pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Lumbrel

// The ten files with the most tokens in the selection as it is ticked, each
// with its share of the total and a way to leave it out (undone as any
// removal is). The keyboard goes from one "Leave Out" to the next; after
// one, the focus stays at its place in the list, on the file that moved up.
Popup {
    id: popup

    required property SelectionTree tree

    modal: true
    focus: true
    padding: Theme.standardPadding
    palette: Theme.palette

    // The place in the list whose button has, or is to get, the focus.
    property int focusedLine: 0
    // Each line takes it when it is the one (see focusRequested).
    signal focusRequested(int line)
    function focusLine() {
        if (lines.count > 0)
            popup.focusRequested(Math.min(popup.focusedLine, lines.count - 1))
        else
            closeButton.forceActiveFocus(Qt.TabFocusReason)
    }
    onOpened: {
        popup.focusedLine = 0
        focusLine()
    }
    // The list is made anew after each change: the focus finds its place once it is.
    Timer {
        id: refocus
        interval: 0
        onTriggered: popup.focusLine()
    }

    component HeavyLine: RowLayout {
        id: line
        required property var modelData
        required property int index
        signal leaveOutRequested()
        signal focused()
        function takeFocus() { leaveOut.forceActiveFocus(Qt.TabFocusReason) }
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
            id: leaveOut
            objectName: "leaveOutButton"
            text: qsTr("Leave Out")
            Accessible.name: qsTr("Leave out %1, %2").arg(line.modelData.name).arg(line.modelData.share)
            onActiveFocusChanged: if (activeFocus) line.focused()
            onClicked: line.leaveOutRequested()
        }
    }

    background: Rectangle {
        color: Theme.window
        border.color: Theme.frame
        radius: Theme.cornerRadius
    }

    // The popup's only child, so that it takes its size.
    ColumnLayout {
        anchors.fill: parent
        spacing: Theme.standardSpacing
        Accessible.role: Accessible.Dialog
        Accessible.name: qsTr("Heaviest files")
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
        // Ten lines at most, all made at once; where a large font makes
        // them taller than the window, they scroll.
        Flickable {
            id: scroller
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.preferredHeight: column.implicitHeight
            contentWidth: width
            contentHeight: column.implicitHeight
            boundsBehavior: Flickable.StopAtBounds
            clip: true
            ScrollBar.vertical: ScrollBar { policy: scroller.contentHeight > scroller.height ? ScrollBar.AlwaysOn : ScrollBar.AsNeeded }
            Accessible.role: Accessible.List
            Accessible.name: qsTr("Heaviest files")

            ColumnLayout {
                id: column
                width: scroller.width
                spacing: 4
                Repeater {
                    id: lines
                    // Made only while shown: nothing hidden follows every tick.
                    model: popup.visible ? popup.tree.heaviestFiles : []
                    delegate: HeavyLine {
                        id: heavyLine
                        Layout.fillWidth: true
                        Layout.rightMargin: scroller.ScrollBar.vertical.visible ? scroller.ScrollBar.vertical.width : 0
                        onLeaveOutRequested: {
                            popup.focusedLine = heavyLine.index
                            popup.tree.leaveOut(heavyLine.modelData.item, heavyLine.modelData.path)
                            refocus.restart()
                        }
                        Connections {
                            target: popup
                            function onFocusRequested(line) {
                                if (line === heavyLine.index)
                                    heavyLine.takeFocus()
                            }
                        }
                        // Tab may reach a line below the visible part: it scrolls into sight.
                        onFocused: {
                            if (heavyLine.y < scroller.contentY)
                                scroller.contentY = heavyLine.y
                            else if (heavyLine.y + heavyLine.height > scroller.contentY + scroller.height)
                                scroller.contentY = heavyLine.y + heavyLine.height - scroller.height
                        }
                    }
                }
            }
        }
        PushButton {
            id: closeButton
            objectName: "closeHeaviestButton"
            text: qsTr("Close")
            Layout.alignment: Qt.AlignRight
            onClicked: popup.close()
        }
    }
}
