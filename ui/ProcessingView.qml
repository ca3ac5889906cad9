import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Lumbrel

// Shown while a bundle job runs: what it is doing, and a way to stop it.
// Escape stops it too. One indicator at a time, in one place: the spinner
// until the packer says how far it is, then its progress bar.
FocusScope {
    id: overlay

    required property BundleJob job

    readonly property bool showsProgress: job.stage === Job.Packing && job.progress >= 0

    Keys.onEscapePressed: overlay.job.cancel()

    // Puts the keyboard focus on "Cancel".
    function takeFocus() { cancelButton.forceActiveFocus(Qt.TabFocusReason) }

    ColumnLayout {
        anchors.centerIn: parent
        width: Math.min(implicitWidth, overlay.width - 2 * Theme.standardPadding)
        spacing: Theme.standardSpacing

        Item {
            Layout.alignment: Qt.AlignHCenter
            Layout.margins: Theme.standardPadding
            implicitWidth: Math.max(spinner.implicitWidth * spinner.scale, progressBar.implicitWidth)
            implicitHeight: spinner.implicitHeight * spinner.scale

            BusyIndicator {
                id: spinner
                anchors.centerIn: parent
                visible: !overlay.showsProgress
                running: overlay.visible && visible
                scale: 1.5
                Accessible.ignored: true
            }
            ProgressBar {
                id: progressBar
                objectName: "progressBar"
                anchors.centerIn: parent
                implicitWidth: 240
                visible: overlay.showsProgress
                value: Math.max(0, overlay.job.progress)
                // The step is spoken by the window's announcer; the bar has a name that stays.
                Accessible.name: qsTr("Bundle progress")
                Accessible.ignored: !visible || !overlay.visible
            }
        }
        Label {
            Layout.alignment: Qt.AlignHCenter
            text: qsTr("Bundling files…")
            font.pointSize: Theme.headlineSize
            font.weight: Font.DemiBold
            color: Theme.text
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            Accessible.ignored: !overlay.visible
        }
        Label {
            objectName: "stageText"
            Layout.alignment: Qt.AlignHCenter
            Layout.maximumWidth: overlay.width - 2 * Theme.standardPadding
            // With the packer's count; the window's announcer reads out each
            // step once, so this changing text stays out of the reader's way.
            text: overlay.showsProgress && overlay.job.progressText.length > 0 ? overlay.job.progressText
                                                                            : overlay.job.stageText
            elide: Text.ElideRight
            color: Theme.secondaryText
            Accessible.name: ""
            Accessible.ignored: true
        }
        PushButton {
            id: cancelButton
            objectName: "cancelButton"
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: Theme.standardPadding
            text: qsTr("Cancel")
            focus: true
            onClicked: overlay.job.cancel()
        }
    }
}
