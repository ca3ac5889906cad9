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

    readonly property bool normalScreen: actions.app.contentView.job.screen === BundleJob.Normal

    readonly property Action about: Action {
        text: "About Lumbrel"
        onTriggered: actions.aboutRequested()
    }
    readonly property Action checkForUpdates: Action {
        text: "Check for Updates…"
        enabled: actions.app.checkForUpdatesViewModel.canCheckForUpdates
        onTriggered: actions.app.checkForUpdatesViewModel.checkForUpdates()
    }
    readonly property Action quit: Action {
        text: "Quit Lumbrel"
        shortcut: StandardKey.Quit
        onTriggered: Qt.exit(0) // Qt.quit() asks the window to close, which only hides it
    }
    // Folders are what people bundle most, so they get the open shortcut.
    readonly property Action addFiles: Action {
        text: "Add Files…"
        shortcut: "Ctrl+Shift+O"
        enabled: actions.normalScreen
        onTriggered: actions.app.contentView.chooseFiles()
    }
    readonly property Action addFolder: Action {
        text: "Add Folder…"
        shortcut: StandardKey.Open
        enabled: actions.normalScreen
        onTriggered: actions.app.contentView.chooseFolder()
    }
    readonly property Action closeWindow: Action {
        text: "Close Window"
        shortcut: StandardKey.Close
        onTriggered: actions.closeRequested()
    }
    readonly property Action contactSupport: Action {
        text: "Contact Support"
        onTriggered: actions.app.contactSupport()
    }
}
