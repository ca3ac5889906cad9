import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import LumbrelUpdates

// Shows the outcome of an update check. Give it the AppcastUpdater as
// `updater`, put it in the window (anchors.centerIn: Overlay.overlay) and
// open() it when the updater's state changes. Closing it during a check only
// hides it; "Cancel" stops the check.
Dialog {
    id: dialog

    property AppcastUpdater updater

    readonly property int updateState: updater ? updater.state : AppcastUpdater.Idle
    readonly property bool busy: updateState === AppcastUpdater.Checking || updateState === AppcastUpdater.Downloading

    title: qsTr("Software Update")
    modal: true
    width: 460

    ColumnLayout {
        anchors.fill: parent
        spacing: 12

        RowLayout {
            visible: dialog.updateState === AppcastUpdater.Checking
            BusyIndicator { running: parent.visible }
            Label { text: qsTr("Checking for updates…") }
        }

        ColumnLayout {
            visible: dialog.updateState === AppcastUpdater.Downloading
            Layout.fillWidth: true
            Label {
                Layout.fillWidth: true
                wrapMode: Text.Wrap
                text: qsTr("Downloading Lumbrel %1…").arg(dialog.updater ? dialog.updater.latestVersion : "")
            }
            ProgressBar {
                objectName: "downloadProgress"
                Layout.fillWidth: true
                from: 0
                to: dialog.updater ? Math.max(1, dialog.updater.bytesTotal) : 1 // qmllint disable type
                value: dialog.updater ? dialog.updater.bytesReceived : 0 // qmllint disable type
            }
        }

        ColumnLayout {
            visible: dialog.updateState === AppcastUpdater.UpToDate
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
            visible: dialog.updateState === AppcastUpdater.UpdateAvailable
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
            Label {
                Layout.fillWidth: true
                wrapMode: Text.Wrap
                text: qsTr("Downloaded and verified: %1")
                      .arg(dialog.updater ? dialog.updater.downloadedFileName : "")
            }
            Label {
                textFormat: Text.StyledText
                text: "<a href=\"reveal\">" + (dialog.updater ? dialog.updater.revealText : "") + "</a>"
                onLinkActivated: dialog.updater.revealDownloadedFile()
            }
            ScrollView {
                visible: notes.text !== ""
                Layout.fillWidth: true
                Layout.preferredHeight: 200
                // The notes wrap to the dialog's width instead of widening it.
                contentWidth: availableWidth
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
                         && String(dialog.updater.releaseNotesUrl) !== ""
                textFormat: Text.StyledText
                text: "<a href=\"notes\">" + qsTr("Release Notes") + "</a>"
                onLinkActivated: dialog.updater.openReleaseNotes()
            }
        }

        ColumnLayout {
            visible: dialog.updateState === AppcastUpdater.Failed
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

        Label {
            objectName: "noFeedMessage"
            visible: dialog.updateState === AppcastUpdater.NoFeed
            Layout.fillWidth: true
            wrapMode: Text.Wrap
            text: qsTr("Updates for this copy of Lumbrel come from your package manager.")
        }
    }

    // The roles DialogButtonBox takes from its extension are hidden from the
    // linter of Qt 6.4, hence the "disable type" notes.
    footer: DialogButtonBox {
        Button {
            text: qsTr("Cancel")
            visible: dialog.busy
            DialogButtonBox.buttonRole: DialogButtonBox.ActionRole // qmllint disable type
            // Stopped while the dialog is still open, so that the state's
            // change does not open it again.
            onClicked: {
                dialog.updater.cancel()
                dialog.close()
            }
        }
        Button {
            text: qsTr("Open")
            visible: dialog.updateState === AppcastUpdater.UpdateAvailable
            enabled: !!dialog.updater && dialog.updater.downloadedFile !== ""
            DialogButtonBox.buttonRole: DialogButtonBox.AcceptRole // qmllint disable type
        }
        Button {
            text: qsTr("Close")
            visible: !dialog.busy
            DialogButtonBox.buttonRole: DialogButtonBox.RejectRole // qmllint disable type
        }
    }

    onAccepted: updater.openDownloadedFile()
}
