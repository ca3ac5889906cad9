import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Lumbrel

// The main screen: the normal content (drop area or list, ignore patterns,
// start button, status bar), the processing overlay, or the completion
// screen, with the settings popover, the alerts and the save dialog.
// Everything it shows and does comes from `view`, the C++ view model.
FocusScope {
    id: root

    required property ContentViewModel view

    readonly property bool hasFiles: view.files.count > 0
    readonly property int screen: view.job.screen
    readonly property bool showsNormal: screen === BundleJob.Normal
    // A listed folder's tree is shown in place of the list.
    readonly property bool treeOpen: view.tree.isOpen

    implicitWidth: Theme.windowWidth
    implicitHeight: Theme.windowHeight

    // The list's keys work when the list, or nothing in particular, has the
    // focus; every other control keeps its own keys.
    Keys.onPressed: function (event) {
        if (root.showsNormal && root.Window.activeFocusItem === root && !event.modifiers)
            event.accepted = root.view.handleListKey(event.key)
    }

    // After each change of screen the keyboard focus lands on its first
    // sensible control, so keys never act on a hidden one: the list (or
    // "Add Files…" when it is empty), "Cancel", the completion's default.
    onScreenChanged: focusLater.restart()
    Timer {
        id: focusLater
        interval: 0
        onTriggered: root.focusScreen()
    }
    function focusScreen() {
        if (root.view.showAlert)
            return // the alert has it, and gives it back as it closes
        if (root.screen === BundleJob.Normal && root.treeOpen)
            folderView.takeFocus()
        else if (root.screen === BundleJob.Normal)
            dropArea.takeFocus()
        else if (root.screen === BundleJob.Processing)
            processing.takeFocus()
    }
    // The list emptied (the last row removed, "Clear All") or filled: where
    // the focus went with the controls that left, it comes back here.
    onHasFilesChanged: refocusLater.restart()
    Timer {
        id: refocusLater
        interval: 0
        onTriggered: root.refocusIfLost()
    }
    function refocusIfLost() {
        const focused = root.Window.activeFocusItem
        const lost = !focused || focused === root || focused === root.Window.contentItem || !focused.visible
        if (root.showsNormal && !root.view.showAlert && lost)
            root.focusScreen()
    }
    // Into the opened folder's tree, and back to its row of the list.
    onTreeOpenChanged: focusLater.restart()

    component Fade: Behavior {
        NumberAnimation {
            duration: 350
            easing.type: Easing.BezierSpline
            easing.bezierCurve: Theme.easeInOut
        }
    }

    // --- Normal content ----------------------------------------------------
    ColumnLayout {
        objectName: "normalContent"
        anchors.fill: parent
        spacing: 0
        opacity: root.showsNormal ? 1 : 0
        // Shown (and able to take the focus) as soon as it fades in.
        visible: root.showsNormal || opacity > 0
        enabled: root.showsNormal
        Fade on opacity {}

        ColumnLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.margins: Theme.standardPadding
            spacing: 20

            RowLayout {
                id: header
                objectName: "header"
                visible: root.hasFiles && !root.treeOpen
                Layout.fillWidth: true
                PushButton {
                    objectName: "clearAllButton"
                    text: qsTr("Clear All")
                    Layout.leftMargin: Theme.standardSpacing
                    onClicked: root.view.clearAll()
                }
                Item { Layout.fillWidth: true }
                IconButton {
                    id: settingsButton
                    objectName: "settingsButton"
                    symbol: "gear"
                    size: 20
                    text: qsTr("Settings")
                    color: Theme.secondaryText
                    Accessible.ignored: !visible
                    Layout.rightMargin: Theme.standardSpacing
                    // A press while the popover is open closes it as a press
                    // outside; the click that follows must not open it again.
                    property bool closedByThisPress: false
                    onPressed: closedByThisPress = settingsPopup.closingNow
                    onClicked: {
                        if (!closedByThisPress)
                            root.view.showSettings = !root.view.showSettings
                        closedByThisPress = false
                    }
                }
            }

            FileDropArea {
                id: dropArea
                objectName: "dropArea"
                visible: !root.treeOpen
                Layout.fillWidth: true
                Layout.fillHeight: true
                view: root.view
                listShown: root.showsNormal && root.hasFiles && !root.treeOpen
            }

            FolderView {
                id: folderView
                objectName: "folderView"
                visible: root.treeOpen
                Layout.fillWidth: true
                Layout.fillHeight: true
                tree: root.view.tree
            }

            IgnorePatternsGroup {
                objectName: "ignorePatterns"
                visible: root.hasFiles && !root.treeOpen
                Layout.fillWidth: true
                view: root.view
            }

            RowLayout {
                visible: root.hasFiles
                spacing: Theme.standardSpacing
                Layout.fillWidth: true
                Layout.leftMargin: Theme.standardPadding
                Layout.rightMargin: Theme.standardPadding

                GrowingButton {
                    objectName: "startButton"
                    text: qsTr("Start bundling")
                    enabled: root.view.canStart
                    Accessible.ignored: !visible
                    Layout.fillWidth: true
                    onClicked: root.view.startBundling()
                }
                // The bundle straight onto the clipboard, with no file to choose.
                GrowingButton {
                    objectName: "copyBundleButton"
                    text: qsTr("Copy")
                    filled: false
                    enabled: root.view.canStart
                    Accessible.ignored: !visible
                    Accessible.description: qsTr("Copies the bundle without saving it (Ctrl+Shift+C)")
                    ToolTip.text: qsTr("Copy the bundle without saving it (Ctrl+Shift+C)")
                    ToolTip.visible: hovered
                    ToolTip.delay: Theme.toolTipDelay
                    onClicked: root.view.job.copyWithoutSaving()
                }
            }
        }

        Shortcut {
            sequence: "Ctrl+Shift+C"
            enabled: root.showsNormal && root.view.canStart
            onActivated: root.view.job.copyWithoutSaving()
        }

        StatusBarView {
            id: statusBar
            objectName: "statusBar"
            visible: root.hasFiles || root.view.statusMessage.length > 0
            hasTotals: root.hasFiles
            Layout.fillWidth: true
            totalFiles: root.view.totalFiles // qmllint disable type
            totalChars: root.view.totalChars // qmllint disable type
            estimatedTokens: root.view.estimatedTokens // qmllint disable type
            contextLimit: root.view.contextLimit
            isEstimating: root.view.estimatesManager.isEstimating
            progressText: root.view.estimatesManager.progressText
            errorMessage: root.view.estimatesManager.errorMessage
            onStopRequested: root.view.estimatesManager.stop()
            statusMessage: root.view.statusMessage
            copyMessage: root.view.copyMessage
            provisional: root.view.totalsProvisional
            onRetry: root.view.updateEstimates()
            onTotalsActivated: heaviest.open()
        }
    }

    // --- Processing overlay ------------------------------------------------
    ProcessingView {
        id: processing
        objectName: "processingOverlay"
        anchors.fill: parent
        job: root.view.job
        opacity: root.screen === BundleJob.Processing ? 1 : 0
        visible: root.screen === BundleJob.Processing || opacity > 0
        focus: root.screen === BundleJob.Processing
        Fade on opacity {}
    }

    // --- Completion screen -------------------------------------------------
    Loader {
        objectName: "completion"
        anchors.fill: parent
        active: root.screen === BundleJob.Completed
        opacity: active ? 1 : 0
        focus: active
        Fade on opacity {}
        // The Loader makes it outside this file's context: names of this file are reached from there.
        // qmllint disable unqualified
        sourceComponent: CompletionView {
            focus: true
            outputFile: root.view.outputFile
            outputFiles: root.view.job.outputFiles
            totalFiles: root.view.totalFiles // qmllint disable type
            totalChars: root.view.totalChars // qmllint disable type
            estimatedTokens: root.view.estimatedTokens // qmllint disable type
            contextLimit: root.view.contextLimit
            leftOut: root.view.job.leftOut // qmllint disable type
            clipboard: root.view.clipboard
            onReset: root.view.resetState()
            onBackToList: root.view.backToList()
        }
        // qmllint enable unqualified
        // Its default button takes the focus, with its ring: the keys now act here.
        onLoaded: (item as CompletionView).takeFocus()
    }

    // --- Popover, alerts and save dialog -----------------------------------
    Popup {
        id: settingsPopup
        objectName: "settingsPopup"
        // True from the moment it starts to close until the event that
        // closed it has been handled.
        property bool closingNow: false
        // Below the header, so that "Clear All" and the gear stay in sight;
        // where it is taller than the room left, its form scrolls.
        x: Math.round((root.width - width) / 2)
        y: Theme.standardPadding + header.height + Theme.standardSpacing
        height: Math.min(implicitHeight, root.height - y - Theme.standardSpacing)
        width: Math.min(implicitWidth, root.width - 2 * Theme.standardSpacing)
        padding: 0
        modal: false
        focus: true
        visible: root.view.showSettings
        closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside
        onAboutToHide: {
            closingNow = true
            closedNow.restart()
            root.view.showSettings = false
        }
        Timer {
            id: closedNow
            interval: 0
            onTriggered: settingsPopup.closingNow = false
        }
        onClosed: if (root.showsNormal) dropArea.takeFocus()
        contentItem: SettingsView { options: root.view.options }
    }

    HeaviestFiles {
        id: heaviest
        objectName: "heaviestFilesPopup"
        tree: root.view.tree
        anchors.centerIn: parent
        // As wide as the window lets it be: the paths are long.
        width: root.width - 2 * Theme.dialogMargin
        height: Math.min(implicitHeight, root.height - 2 * Theme.dialogMargin)
        onClosed: if (root.showsNormal) statusBar.takeTotalsFocus()
    }

    MessageBox {
        id: alert
        objectName: "alert"
        title: root.view.alertTitle
        text: root.view.alertMessage
        acceptText: root.view.alertOffersOtherLocation ? qsTr("Choose Another Location…") : ""
        acceptIsDefault: true
        visible: root.view.showAlert
        onAccepted: root.view.chooseAnotherLocation()
        onClosed: {
            root.view.showAlert = false
            if (root.showsNormal)
                dropArea.takeFocus()
        }
    }

    MessageBox {
        id: revealFailed
        objectName: "revealFailedDialog"
        property url location
        title: qsTr("Cannot show the item")
        text: qsTr("No file manager could show \u201C%1\u201D. Its place is %2.")
              .arg(Format.fileName(location)).arg(Format.path(location))
        acceptText: qsTr("Copy Path")
        acceptIsDefault: true
        onAccepted: Clipboard.setText(Format.path(location))
        Connections {
            target: FileManager
            function onRevealFailed(location) {
                revealFailed.location = location
                revealFailed.open()
            }
        }
    }

    Announcer {
        view: root.view
    }

    SaveDialog {
        job: root.view.job
    }

    AddItemsDialogs {
        view: root.view
    }
}
