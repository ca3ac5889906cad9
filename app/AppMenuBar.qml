import QtQuick
import QtQuick.Controls

// The menus: the application menu (About, "Check for Updates…", Quit), the
// File menu (no New item) and the Help menu with "Contact Support".
MenuBar {
    id: bar

    required property var app

    signal aboutRequested()
    signal closeRequested()

    Menu {
        title: "Lumbrel"
        MenuItem {
            text: "About Lumbrel"
            onTriggered: bar.aboutRequested()
        }
        MenuSeparator {}
        MenuItem {
            objectName: "checkForUpdatesItem"
            text: "Check for Updates…"
            enabled: bar.app.checkForUpdatesViewModel.canCheckForUpdates
            onTriggered: bar.app.checkForUpdatesViewModel.checkForUpdates()
        }
        MenuSeparator {}
        Action {
            text: "Quit Lumbrel"
            shortcut: StandardKey.Quit
            onTriggered: Qt.exit(0) // Qt.quit() asks the window to close, which only hides it
        }
    }
    Menu {
        title: "File"
        Action {
            text: "Close Window"
            shortcut: StandardKey.Close
            onTriggered: bar.closeRequested()
        }
    }
    Menu {
        title: "Help"
        MenuItem {
            objectName: "contactSupportItem"
            text: "Contact Support"
            onTriggered: bar.app.contactSupport()
        }
    }
}
