pragma ComponentBehavior: Bound
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
        title: qsTr("File")
        onAboutToShow: bar.actions.view.recent.refresh()
        ActionItem { action: bar.actions.addFiles }
        ActionItem { action: bar.actions.addFolder }
        Platform.Menu {
            id: recentMenu
            title: qsTr("Open Recent")
            enabled: bar.actions.normalScreen
            Instantiator {
                model: bar.actions.view.recent
                delegate: Platform.MenuItem {
                    required property int index
                    required property string label
                    required property bool available
                    text: label
                    enabled: available
                    onTriggered: bar.actions.view.openRecent(index)
                }
                onObjectAdded: (index, object) => recentMenu.insertItem(index, object)
                onObjectRemoved: (index, object) => recentMenu.removeItem(object)
            }
            Platform.MenuSeparator {}
            ActionItem { action: bar.actions.clearRecent }
        }
        Platform.MenuSeparator {}
        ActionItem { action: bar.actions.closeWindow }
    }
    Platform.Menu {
        title: qsTr("Edit")
        ActionItem { action: bar.actions.undo }
    }
    Platform.Menu {
        title: qsTr("Help")
        ActionItem { action: bar.actions.contactSupport }
    }
}
