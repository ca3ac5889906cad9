import QtQuick
import QtQuick.Controls

// The menus inside the window (Linux, Windows): the application menu, File
// (no New item) and Help, with mnemonics; F10 or a lone Alt opens the first.
MenuBar {
    id: bar

    required property AppActions actions

    // Titles are read without their mnemonic marks.
    delegate: MenuBarItem {
        Accessible.name: text.replace("&", "")
    }

    // Opens the first menu for the keyboard.
    function openFirstMenu() {
        const menu = bar.menuAt(0)
        if (menu && !menu.visible)
            menu.open()
    }

    Menu {
        title: "&Lumbrel"
        MenuItem { action: bar.actions.about }
        MenuSeparator {}
        MenuItem {
            objectName: "checkForUpdatesItem"
            action: bar.actions.checkForUpdates
        }
        MenuSeparator {}
        MenuItem { action: bar.actions.quit }
    }
    Menu {
        title: "&File"
        MenuItem { objectName: "addFilesItem"; action: bar.actions.addFiles }
        MenuItem { action: bar.actions.addFolder }
        MenuSeparator {}
        MenuItem { action: bar.actions.closeWindow }
    }
    Menu {
        title: "&Help"
        MenuItem {
            objectName: "contactSupportItem"
            action: bar.actions.contactSupport
        }
    }
}
