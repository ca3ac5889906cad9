pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Controls.impl
import QtQuick.Layouts
import Lumbrel

// The menus inside the window (Linux, Windows): the application menu, File
// (no New item), Edit and Help, with mnemonics and their shortcuts; F10 or a
// lone Alt opens the first, and Left and Right then go from menu to menu.
MenuBar {
    id: bar

    required property AppActions actions

    // Titles are read without their mnemonic marks, as menu items: the bar's
    // own items call themselves "menu bar" and cannot be renamed, so they
    // stay out of the reader's way and their labels speak for them.
    delegate: MenuBarItem {
        id: barItem
        Accessible.ignored: true
        contentItem: IconLabel {
            spacing: barItem.spacing
            mirrored: barItem.mirrored
            display: barItem.display
            alignment: Qt.AlignLeft
            icon: barItem.icon
            text: barItem.text
            font: barItem.font
            color: barItem.down || barItem.highlighted ? barItem.palette.highlightedText : barItem.palette.text
            Accessible.role: Accessible.MenuItem
            Accessible.name: barItem.text.replace("&", "")
            Accessible.focusable: true
            Accessible.focused: barItem.highlighted
            Accessible.onPressAction: barItem.clicked()
        }
    }

    // Opens the first menu for the keyboard, as a click on its title does,
    // so that the bar knows which menu is open and Left and Right move on.
    function openFirstMenu() {
        const first = bar.itemAt(0) as MenuBarItem
        if (first && !(first.menu && first.menu.visible)) {
            bar.forceActiveFocus(Qt.MenuBarFocusReason)
            first.clicked()
        }
    }

    // A menu item that shows its action's shortcut at the end of the line.
    component ActionItem: MenuItem {
        id: item
        readonly property string shortcutText: item.action ? Format.shortcut(item.action.shortcut) : ""
        contentItem: RowLayout {
            spacing: 24
            opacity: item.enabled ? 1 : 0.5
            Label {
                Layout.fillWidth: true
                text: item.text
                color: item.highlighted ? item.palette.highlightedText : item.palette.windowText
                Accessible.ignored: true
            }
            Label {
                visible: item.shortcutText.length > 0
                text: item.shortcutText
                color: item.highlighted ? item.palette.highlightedText : item.palette.windowText
                opacity: 0.7
                Accessible.ignored: true
            }
        }
        Accessible.name: item.text
        Accessible.description: item.shortcutText
    }

    Menu {
        title: qsTr("&Lumbrel")
        ActionItem { action: bar.actions.about }
        MenuSeparator {}
        ActionItem {
            objectName: "checkForUpdatesItem"
            action: bar.actions.checkForUpdates
        }
        MenuSeparator {}
        ActionItem { action: bar.actions.quit }
    }
    Menu {
        id: fileMenu
        title: qsTr("&File")
        onAboutToShow: bar.actions.view.recent.refresh()
        ActionItem { objectName: "addFilesItem"; action: bar.actions.addFiles }
        ActionItem { action: bar.actions.addFolder }
        Menu {
            id: recentMenu
            objectName: "openRecentMenu"
            title: qsTr("Open Recent")
            enabled: bar.actions.normalScreen
            Instantiator {
                model: bar.actions.view.recent
                delegate: MenuItem {
                    required property int index
                    required property string label
                    required property string paths
                    required property bool available
                    objectName: "recentItem"
                    text: label
                    enabled: available
                    ToolTip.text: paths
                    ToolTip.visible: hovered
                    ToolTip.delay: 600
                    Accessible.description: paths
                    onTriggered: bar.actions.view.openRecent(index)
                }
                onObjectAdded: (index, object) => recentMenu.insertItem(index, object)
                onObjectRemoved: (index, object) => recentMenu.removeItem(object)
            }
            MenuSeparator {}
            ActionItem { objectName: "clearRecentItem"; action: bar.actions.clearRecent }
        }
        MenuSeparator {}
        ActionItem { action: bar.actions.closeWindow }
    }
    Menu {
        title: qsTr("&Edit")
        ActionItem { objectName: "undoItem"; action: bar.actions.undo }
    }
    Menu {
        title: qsTr("&Help")
        ActionItem {
            objectName: "contactSupportItem"
            action: bar.actions.contactSupport
        }
    }
}
