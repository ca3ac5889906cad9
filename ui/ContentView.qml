import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Lumbrel

// The main screen: the normal content (drop area or list, ignore patterns,
// start button, status bar), the processing overlay, or the completion
// screen, with the settings popover, the error alert and the save dialog.
// Everything it shows and does comes from `view`, the C++ view model.
FocusScope {
    id: root

    required property ContentViewModel view

    readonly property bool hasFiles: view.files.count > 0
    readonly property int screen: view.job.screen
    readonly property bool showsNormal: screen === BundleJob.Normal

    implicitWidth: 400
    implicitHeight: 500

    // The list's keys work when the list, or nothing in particular, has the
    // focus; every other control keeps its own keys.
    Keys.onPressed: function (event) {
        if (root.showsNormal && root.Window.activeFocusItem === root && !event.modifiers)
            event.accepted = root.view.handleListKey(event.key)
    }

    // The screen that comes up takes the focus, so keys never act on a hidden one.
    onScreenChanged: if (screen === BundleJob.Normal) root.forceActiveFocus()

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
        visible: opacity > 0
        enabled: root.showsNormal
        Fade on opacity {}

        ColumnLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.margins: Theme.standardPadding
            spacing: 20

            RowLayout {
                objectName: "header"
                visible: root.hasFiles
                Layout.fillWidth: true
                PushButton {
                    objectName: "clearAllButton"
                    text: "Clear All"
                    Layout.leftMargin: 8
                    onClicked: root.view.clearAll()
                }
                Item { Layout.fillWidth: true }
                IconButton {
                    id: settingsButton
                    objectName: "settingsButton"
                    symbol: "gear"
                    size: 20
                    text: "Settings"
                    color: Theme.secondaryText
                    Accessible.ignored: !visible
                    Layout.rightMargin: 8
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
                Layout.fillWidth: true
                Layout.fillHeight: true
                view: root.view
                listShown: root.showsNormal && root.hasFiles
            }

            IgnorePatternsGroup {
                objectName: "ignorePatterns"
                visible: root.hasFiles
                Layout.fillWidth: true
                view: root.view
            }

            GrowingButton {
                objectName: "startButton"
                visible: root.hasFiles
                text: "Start bundling"
                enabled: root.hasFiles && !root.view.estimatesManager.isEstimating
                Accessible.ignored: !visible
                Layout.fillWidth: true
                Layout.leftMargin: Theme.standardPadding
                Layout.rightMargin: Theme.standardPadding
                onClicked: root.view.startBundling()
            }
        }

        StatusBarView {
            objectName: "statusBar"
            visible: root.hasFiles
            Layout.fillWidth: true
            totalFiles: root.view.totalFiles
            totalChars: root.view.totalChars
            estimatedTokens: root.view.estimatedTokens
            isEstimating: root.view.estimatesManager.isEstimating
            progressText: root.view.estimatesManager.progressText
            errorMessage: root.view.estimatesManager.errorMessage
            onStopRequested: root.view.estimatesManager.stop()
        }
    }

    // --- Processing overlay ------------------------------------------------
    ProcessingView {
        objectName: "processingOverlay"
        anchors.fill: parent
        job: root.view.job
        opacity: root.screen === BundleJob.Processing ? 1 : 0
        visible: opacity > 0
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
        sourceComponent: CompletionView {
            focus: true
            outputFile: root.view.outputFile
            totalFiles: root.view.totalFiles
            totalChars: root.view.totalChars
            estimatedTokens: root.view.estimatedTokens
            leftOut: root.view.job.leftOut
            clipboard: root.view.clipboard
            onReset: root.view.resetState()
            onBackToList: root.view.backToList()
        }
        // Its first button takes the focus, with its ring: the keys now act here.
        onLoaded: item.forceActiveFocus(Qt.TabFocusReason)
    }

    // --- Popover, alert and save dialog ------------------------------------
    Popup {
        id: settingsPopup
        objectName: "settingsPopup"
        // True from the moment it starts to close until the event that
        // closed it has been handled.
        property bool closingNow: false
        // Below the header where it fits, always inside the content.
        x: Math.round((root.width - width) / 2)
        y: Math.max(4, Math.min(Theme.standardPadding + 36, root.height - implicitHeight - 4))
        height: Math.min(implicitHeight, root.height - y - 4)
        padding: 0
        modal: false
        focus: true
        visible: root.view.showSettings
        closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside
        onAboutToHide: {
            closingNow = true
            Qt.callLater(() => closingNow = false)
            root.view.showSettings = false
        }
        contentItem: SettingsView { options: root.view.options }
    }

    Dialog {
        id: alert
        objectName: "alert"
        parent: Overlay.overlay
        anchors.centerIn: parent
        width: Math.min(360, root.width - 40)
        modal: true
        title: "Error"
        visible: root.view.showAlert
        onClosed: root.view.showAlert = false
        onOpened: okButton.forceActiveFocus()
        footer: DialogButtonBox {
            PushButton {
                id: okButton
                text: "OK"
                DialogButtonBox.buttonRole: DialogButtonBox.AcceptRole
            }
        }
        Label {
            width: parent.width
            wrapMode: Text.Wrap
            textFormat: Text.PlainText
            text: root.view.alertMessage
        }
    }

    SaveDialog {
        job: root.view.job
    }

    AddItemsDialogs {
        view: root.view
    }
}
