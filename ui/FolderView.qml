pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Lumbrel

// An opened folder of the list, in place of the list: its tree with a check
// box for each file and folder and each one's share of the latest estimate,
// sorted by name or heaviest first, narrowed by a filter, and "Only changed
// files" where git can tell. Keys: Up and Down move, Right opens a folder
// (or goes into it), Left closes it (or goes to its folder, or at the top
// back to the list), Space ticks or unticks, Return opens or closes a
// folder, Escape goes back to the list.
FocusScope {
    id: folderView

    required property SelectionTree tree
    readonly property FileTreeModel model: tree.model

    function takeFocus() { list.forceActiveFocus(Qt.TabFocusReason) }

    // The current row's path, so that the highlight stays on it while the
    // model lays its rows out anew (a folder opened, a new sort, an estimate's counts).
    property string currentPath
    property string keptPath
    Connections {
        target: list.model
        function onModelAboutToBeReset() { folderView.keptPath = folderView.currentPath }
        function onModelReset() {
            const row = folderView.keptPath.length > 0 ? folderView.model.shownRow(folderView.keptPath) : -1
            list.currentIndex = row >= 0 ? row : Math.min(0, folderView.model.count - 1)
        }
    }

    Keys.onEscapePressed: folderView.tree.close()

    ColumnLayout {
        anchors.fill: parent
        spacing: Theme.standardSpacing

        RowLayout {
            Layout.fillWidth: true
            spacing: 4
            IconButton {
                objectName: "backToListButton"
                symbol: "chevron.left"
                size: 20
                text: qsTr("Back to the list")
                color: Theme.text
                onClicked: folderView.tree.close()
            }
            Label {
                text: folderView.model.rootName
                font.weight: Font.DemiBold
                elide: Text.ElideMiddle
                color: Theme.text
                Layout.fillWidth: true
                Accessible.role: Accessible.Heading
                Accessible.name: text
            }
            PushButton {
                objectName: "sortButton"
                text: folderView.model.byTokens ? qsTr("Heaviest First") : qsTr("By Name")
                Accessible.name: qsTr("Sort: %1").arg(text)
                onClicked: folderView.model.byTokens = !folderView.model.byTokens
            }
        }

        TextField {
            objectName: "treeFilter"
            Layout.fillWidth: true
            placeholderText: qsTr("Filter by name")
            placeholderTextColor: Theme.listSecondaryText
            text: folderView.model.filter
            onTextEdited: folderView.model.filter = text
            Accessible.name: qsTr("Filter by name")
            Keys.onDownPressed: list.forceActiveFocus(Qt.TabFocusReason)
        }

        // "Only Changed Files" where git can tell; where it cannot, the
        // button stays, disabled, and the reason stands beside it (a
        // disabled button shows no tool tip and takes no focus).
        RowLayout {
            Layout.fillWidth: true
            spacing: Theme.standardSpacing
            readonly property string unavailable: folderView.tree.changesUnavailable === "\u2026"
                                                  ? qsTr("Asking git\u2026") : folderView.tree.changesUnavailable
            PushButton {
                objectName: "onlyChangedButton"
                text: qsTr("Only Changed Files")
                enabled: folderView.tree.changesUnavailable.length === 0 && !folderView.tree.onlyChanged
                Accessible.description: parent.unavailable
                onClicked: folderView.tree.takeOnlyChanged()
            }
            PushButton {
                objectName: "allFilesButton"
                text: qsTr("All Files")
                enabled: folderView.tree.onlyChanged || folderView.model.count > 0
                onClicked: folderView.tree.takeAll()
            }
            Label {
                objectName: "changesUnavailableText"
                Layout.fillWidth: true
                text: parent.unavailable
                color: Theme.secondaryText
                font.pointSize: Theme.captionSize
                elide: Text.ElideRight
                wrapMode: Text.Wrap
                maximumLineCount: 2
                Accessible.role: Accessible.StaticText
                Accessible.name: text
                Accessible.ignored: text.length === 0
                HoverHandler { id: reasonHover }
                ToolTip.text: text
                ToolTip.visible: reasonHover.hovered && truncated
                ToolTip.delay: Theme.toolTipDelay
            }
        }

        Rectangle {
            Layout.fillWidth: true
            Layout.fillHeight: true
            color: Theme.base
            radius: Theme.cornerRadius
            border.color: list.activeFocus ? Theme.focusRing : Theme.separator
            border.width: list.activeFocus ? 2 : 1

            ListView {
                id: list
                objectName: "folderTree"
                anchors.fill: parent
                anchors.margins: 2
                clip: true
                model: folderView.model
                currentIndex: count > 0 ? 0 : -1
                keyNavigationEnabled: true
                highlightMoveDuration: 0
                activeFocusOnTab: true
                ScrollBar.vertical: ScrollBar {}
                Accessible.role: Accessible.Tree
                Accessible.name: qsTr("Files of %1").arg(folderView.model.rootName)

                function expandCurrent(open) {
                    if (currentItem && (currentItem as TreeRow).folder)
                        folderView.model.setExpanded(currentIndex, open)
                }
                Keys.onSpacePressed: folderView.model.toggle(currentIndex)
                Keys.onReturnPressed: expandCurrent(!(currentItem as TreeRow).expanded)
                Keys.onEnterPressed: expandCurrent(!(currentItem as TreeRow).expanded)
                Keys.onRightPressed: {
                    const row = currentItem as TreeRow
                    if (row && row.folder && !row.expanded)
                        folderView.model.setExpanded(currentIndex, true)
                    else if (row && row.folder)
                        incrementCurrentIndex()
                }
                Keys.onLeftPressed: {
                    const row = currentItem as TreeRow
                    if (row && row.folder && row.expanded)
                        folderView.model.setExpanded(currentIndex, false)
                    else if (folderView.model.parentRow(currentIndex) >= 0)
                        currentIndex = folderView.model.parentRow(currentIndex)
                    else
                        folderView.tree.close() // at the top: back to the list
                }
                onCurrentItemChanged: if (currentItem) folderView.currentPath = (currentItem as TreeRow).path

                delegate: TreeRow {
                    objectName: "treeRow"
                    width: ListView.view.width
                    // The current row has the focus in the tree, so that a screen reader follows it.
                    focus: ListView.isCurrentItem
                    current: ListView.isCurrentItem && list.activeFocus
                    onSelect: { list.currentIndex = index; list.forceActiveFocus() }
                    onToggle: folderView.model.toggle(index)
                    onExpand: open => folderView.model.setExpanded(index, open)
                }

                Label {
                    anchors.centerIn: parent
                    width: parent.width - 2 * Theme.standardPadding
                    visible: list.count === 0
                    Accessible.ignored: !visible
                    wrapMode: Text.Wrap
                    horizontalAlignment: Text.AlignHCenter
                    color: Theme.listSecondaryText
                    text: folderView.model.filter.length > 0 ? qsTr("No name matches the filter.")
                                                             : qsTr("The estimate has not counted this folder yet.")
                }
            }
        }
    }
}
