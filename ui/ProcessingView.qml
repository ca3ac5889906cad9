import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Lumbrel

// Shown while a bundle job runs: what it is doing, and a way to stop it.
// Escape stops it too.
FocusScope {
    id: overlay

    required property BundleJob job


    Keys.onEscapePressed: overlay.job.cancel()

    ColumnLayout {
        anchors.centerIn: parent
        spacing: Theme.standardSpacing

        BusyIndicator {
            running: overlay.visible
            Accessible.ignored: true
            scale: 1.5
            Layout.alignment: Qt.AlignHCenter
            Layout.margins: Theme.standardPadding
        }
        Label {
            text: "Bundling files..."
            font.pointSize: Theme.headlineSize
            font.weight: Font.DemiBold
            color: Theme.text
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            Accessible.ignored: !overlay.visible
            Layout.alignment: Qt.AlignHCenter
        }
        ProgressBar {
            objectName: "progressBar"
            Layout.alignment: Qt.AlignHCenter
            Layout.preferredWidth: 240
            visible: overlay.job.stage === Job.Packing && overlay.job.progress >= 0
            value: Math.max(0, overlay.job.progress)
            Accessible.name: overlay.job.progressText
            Accessible.ignored: !visible || !overlay.visible
        }
        Label {
            objectName: "stageText"
            text: overlay.job.stage === Job.Packing && overlay.job.progressText.length > 0
                  ? overlay.job.progressText : overlay.job.stageText
            Layout.maximumWidth: overlay.width - 2 * Theme.standardPadding
            elide: Text.ElideRight
            color: Theme.secondaryText
            Layout.alignment: Qt.AlignHCenter
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            Accessible.ignored: !overlay.visible
        }
        PushButton {
            objectName: "cancelButton"
            text: "Cancel"
            focus: true
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: Theme.standardPadding
            onClicked: overlay.job.cancel()
        }
    }
}
