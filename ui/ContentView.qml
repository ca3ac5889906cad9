import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Lumbrel

// The main screen: the normal content (drop area or list, ignore patterns,
// start button, status bar), the processing overlay, or the completion
// screen, with the settings popover, the error alert and the save dialog.
// Everything it shows and does comes from `view`, the C++ ContentView.
Item {
    id: root

    required property QtObject view

    readonly property bool hasFiles: view.files.count > 0
    readonly property bool showsCompletion: !view.isProcessing && String(view.outputFile) !== ""
    readonly property bool showsNormal: !view.isProcessing && String(view.outputFile) === ""

    implicitWidth: 400
    implicitHeight: 500

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
                Button {
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
                    pixelSize: 20
                    text: "Settings"
                    color: Theme.secondary(palette.windowText)
                    Layout.rightMargin: 8
                    onClicked: root.view.showSettings = !root.view.showSettings
                }
            }

            FileDropArea {
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
        }
    }

    // --- Processing overlay ------------------------------------------------
    ColumnLayout {
        objectName: "processingOverlay"
        anchors.centerIn: parent
        spacing: Theme.standardSpacing
        opacity: root.view.isProcessing ? 1 : 0
        visible: opacity > 0
        Fade on opacity {}

        BusyIndicator {
            running: parent.visible
            scale: 1.5
            Layout.alignment: Qt.AlignHCenter
            Layout.margins: Theme.standardPadding
        }
        Label {
            text: "Bundling files..."
            font.pixelSize: Theme.headlineSize
            font.weight: Font.DemiBold
            Layout.alignment: Qt.AlignHCenter
        }
    }

    // --- Completion screen -------------------------------------------------
    Loader {
        objectName: "completion"
        anchors.fill: parent
        active: root.showsCompletion
        opacity: root.showsCompletion ? 1 : 0
        Fade on opacity {}
        sourceComponent: CompletionView {
            outputFile: root.view.outputFile
            totalFiles: root.view.totalFiles
            totalChars: root.view.totalChars
            estimatedTokens: root.view.estimatedTokens
            onReset: root.view.resetState()
        }
    }

    // --- Popover, alert and save dialog ------------------------------------
    Popup {
        id: settingsPopup
        objectName: "settingsPopup"
        // Below the header where it fits, always inside the content.
        x: Math.round((root.width - width) / 2)
        y: Math.max(4, Math.min(Theme.standardPadding + 36, root.height - height - 4))
        padding: 0
        modal: false
        focus: true
        visible: root.view.showSettings
        closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside
        onClosed: root.view.showSettings = false
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
        standardButtons: Dialog.Ok
        visible: root.view.showAlert
        onClosed: root.view.showAlert = false
        Label {
            width: parent.width
            wrapMode: Text.Wrap
            textFormat: Text.PlainText
            text: root.view.alertMessage
        }
    }

    SaveDialog {
        view: root.view
    }
}
