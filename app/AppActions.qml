import QtQuick
import QtQuick.Controls
import Lumbrel
import LumbrelApp

// The application's commands, defined once: the in-window menu bar and the
// system's own menu bar both show these, with the same texts, shortcuts and
// enabled states.
QtObject {
    id: actions

    required property MainApp app

    signal aboutRequested()
    signal closeRequested()

    readonly property ContentViewModel view: actions.app.contentView
    readonly property bool normalScreen: actions.view.job.screen === BundleJob.Normal

    readonly property Action about: Action {
        text: qsTr("About Lumbrel")
        onTriggered: actions.aboutRequested()
    }
    readonly property Action checkForUpdates: Action {
        text: qsTr("Check for Updates…")
        enabled: actions.app.checkForUpdatesViewModel.canCheckForUpdates
        onTriggered: actions.app.checkForUpdatesViewModel.checkForUpdates()
    }
    readonly property Action quit: Action {
        text: qsTr("Quit Lumbrel")
        shortcut: StandardKey.Quit // qmllint disable unqualified
        onTriggered: actions.app.quit()
    }
    // Folders are what people bundle most, so they get the open shortcut.
    readonly property Action addFiles: Action {
        text: qsTr("Add Files…")
        shortcut: "Ctrl+Shift+O"
        enabled: actions.normalScreen
        onTriggered: actions.view.chooseFiles()
    }
    readonly property Action addFolder: Action {
        text: qsTr("Add Folder…")
        shortcut: StandardKey.Open // qmllint disable unqualified
        enabled: actions.normalScreen
        onTriggered: actions.view.chooseFolder()
    }
    readonly property Action clearRecent: Action {
        text: qsTr("Clear Menu")
        enabled: actions.view.recent.count > 0
        onTriggered: actions.view.recent.clear()
    }
    readonly property Action closeWindow: Action {
        text: qsTr("Close Window")
        shortcut: "Ctrl+W" // Command-W on macOS
        onTriggered: actions.closeRequested()
    }
    readonly property Action undo: Action {
        text: qsTr("Undo")
        shortcut: StandardKey.Undo // qmllint disable unqualified
        enabled: actions.normalScreen && actions.view.history.canUndo
        onTriggered: actions.view.undo()
    }
    readonly property Action contactSupport: Action {
        text: qsTr("Contact Support")
        onTriggered: actions.app.contactSupport()
    }
}
