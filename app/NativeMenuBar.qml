import QtQuick
import Qt.labs.platform as Platform

// The same menus in the system's own menu bar, where the platform has one
// (macOS), showing the shared actions.
Platform.MenuBar {
    id: bar

    property AppActions actions

    component ActionItem: Platform.MenuItem {
        property var action
        text: action ? action.text : ""
        enabled: action ? action.enabled : false
        shortcut: action ? action.shortcut : undefined
        onTriggered: action.trigger()
    }

    Platform.Menu {
        title: "Lumbrel"
        ActionItem { action: bar.actions.about; role: Platform.MenuItem.AboutRole }
        Platform.MenuSeparator {}
        ActionItem { action: bar.actions.checkForUpdates; role: Platform.MenuItem.ApplicationSpecificRole }
        ActionItem { action: bar.actions.quit; role: Platform.MenuItem.QuitRole }
    }
    Platform.Menu {
        title: "File"
        ActionItem { action: bar.actions.addFiles }
        ActionItem { action: bar.actions.addFolder }
        Platform.MenuSeparator {}
        ActionItem { action: bar.actions.closeWindow }
    }
    Platform.Menu {
        title: "Help"
        ActionItem { action: bar.actions.contactSupport }
    }
}
