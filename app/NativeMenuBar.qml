import QtQuick
import Qt.labs.platform as Platform

// The same menus in the system's own menu bar, where the platform has one
// (macOS): the application menu, File without a New item, and Help.
Platform.MenuBar {
    id: bar

    property var app

    signal aboutRequested()
    signal closeRequested()

    Platform.Menu {
        title: "Lumbrel"
        Platform.MenuItem {
            text: "About Lumbrel"
            role: Platform.MenuItem.AboutRole
            onTriggered: bar.aboutRequested()
        }
        Platform.MenuSeparator {}
        Platform.MenuItem {
            text: "Check for Updates…"
            role: Platform.MenuItem.ApplicationSpecificRole
            enabled: bar.app.checkForUpdatesViewModel.canCheckForUpdates
            onTriggered: bar.app.checkForUpdatesViewModel.checkForUpdates()
        }
        Platform.MenuItem {
            text: "Quit Lumbrel"
            role: Platform.MenuItem.QuitRole
            shortcut: StandardKey.Quit
            onTriggered: Qt.exit(0)
        }
    }
    Platform.Menu {
        title: "File"
        Platform.MenuItem {
            text: "Close Window"
            shortcut: StandardKey.Close
            onTriggered: bar.closeRequested()
        }
    }
    Platform.Menu {
        title: "Help"
        Platform.MenuItem {
            text: "Contact Support"
            onTriggered: bar.app.contactSupport()
        }
    }
}
