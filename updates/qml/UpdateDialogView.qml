import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// Shows the outcome of an update check. Give it the AppcastUpdater as
// `updater`, put it in the window (anchors.centerIn: Overlay.overlay) and
// open() it when the updater reports checkFinished.
Dialog {
    id: dialog

    property var updater

    // The values of AppcastUpdater::State, which QML cannot name.
    readonly property int stateChecking: 1
    readonly property int stateUpToDate: 2
    readonly property int stateUpdateAvailable: 3
    readonly property int stateFailed: 4

    readonly property int updateState: updater ? updater.state : 0

    title: qsTr("Software Update")
    modal: true
    width: 460

    ColumnLayout {
        anchors.fill: parent
        spacing: 12

        RowLayout {
            visible: dialog.updateState === dialog.stateChecking
            BusyIndicator { running: parent.visible }
            Label { text: qsTr("Checking for updates…") }
        }

        ColumnLayout {
            visible: dialog.updateState === dialog.stateUpToDate
            Layout.fillWidth: true
            Label {
                text: qsTr("You're up to date!")
                font.bold: true
            }
            Label {
                Layout.fillWidth: true
                wrapMode: Text.Wrap
                text: qsTr("Lumbrel %1 is currently the newest version available.")
                      .arg(dialog.updater ? dialog.updater.currentVersion : "")
            }
        }

        ColumnLayout {
            visible: dialog.updateState === dialog.stateUpdateAvailable
            Layout.fillWidth: true
            Label {
                text: qsTr("A new version of Lumbrel is available!")
                font.bold: true
            }
            Label {
                Layout.fillWidth: true
                wrapMode: Text.Wrap
                text: qsTr("Lumbrel %1 is now available—you have %2.")
                      .arg(dialog.updater ? dialog.updater.latestVersion : "")
                      .arg(dialog.updater ? dialog.updater.currentVersion : "")
            }
            ScrollView {
                visible: notes.text !== ""
                Layout.fillWidth: true
                Layout.preferredHeight: 200
                TextArea {
                    id: notes
                    readOnly: true
                    textFormat: TextEdit.PlainText
                    wrapMode: TextEdit.Wrap
                    text: dialog.updater ? dialog.updater.releaseNotes : ""
                }
            }
            Label {
                visible: notes.text === "" && !!dialog.updater
                         && dialog.updater.releaseNotesUrl.toString() !== ""
                textFormat: Text.StyledText
                text: "<a href=\"notes\">" + qsTr("Release Notes") + "</a>"
                onLinkActivated: dialog.updater.openReleaseNotes()
            }
        }

        ColumnLayout {
            visible: dialog.updateState === dialog.stateFailed
            Layout.fillWidth: true
            Label {
                text: qsTr("Update Error!")
                font.bold: true
            }
            Label {
                Layout.fillWidth: true
                wrapMode: Text.Wrap
                text: dialog.updater ? dialog.updater.errorMessage : ""
            }
        }
    }

    footer: DialogButtonBox {
        Button {
            text: qsTr("Download")
            visible: dialog.updateState === dialog.stateUpdateAvailable
            enabled: !!dialog.updater && dialog.updater.downloadUrl.toString() !== ""
            DialogButtonBox.buttonRole: DialogButtonBox.AcceptRole
        }
        Button {
            text: qsTr("Close")
            DialogButtonBox.buttonRole: DialogButtonBox.RejectRole
        }
    }

    onAccepted: updater.openDownloadPage()
}
