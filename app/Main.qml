import QtQuick
import QtQuick.Controls
import QtQuick.Window
import Lumbrel
import LumbrelApp
import LumbrelUpdates

// The one main window. Its design size, 400 x 500 for the content, grows with
// the system font so that nothing is clipped, stays within the screen, and
// is the least the user can make it. Closing it quits, or hides the
// application where the platform keeps it running (the shell decides).
ApplicationWindow {
    id: window

    required property MainApp app

    // macOS has a menu bar of its own; elsewhere the menus sit in the window.
    readonly property bool nativeMenus: Qt.platform.os === "osx"
    readonly property int menuHeight: menuBar ? menuBar.implicitHeight : 0
    readonly property size smallest: WindowPlacement.fitted(window, Theme.windowWidth,
                                                            Theme.windowHeight + Math.ceil(menuHeight / WindowPlacement.scale),
                                                            WindowPlacement.scale)

    title: "Lumbrel"
    flags: Qt.Window | Qt.WindowTitleHint | Qt.WindowSystemMenuHint | Qt.WindowCloseButtonHint
           | Qt.WindowMinimizeButtonHint | Qt.WindowMaximizeButtonHint
    minimumWidth: smallest.width
    minimumHeight: smallest.height
    width: smallest.width
    height: smallest.height
    color: Theme.window
    palette: Theme.palette
    visible: true

    // Centred in the screen's free area once its size is known, its top
    // (with the menus) on screen.
    Component.onCompleted: {
        const at = WindowPlacement.centred(window, width, height)
        x = at.x
        y = at.y
    }
    // A larger font makes the smallest size larger; the window follows.
    onSmallestChanged: {
        width = Math.max(width, smallest.width)
        height = Math.max(height, smallest.height)
    }

    onClosing: function (close) {
        close.accepted = false
        window.app.closeWindow()
    }

    Connections {
        target: window.app
        function onHideWindowRequested() { window.hide() }
        function onQuitConfirmationRequested() { quitDialog.open() }
        function onSupportAddressRequested() { supportDialog.open() }
    }
    Connections {
        target: window.app.appDelegate
        function onActivateRequested() {
            window.show()
            window.raise()
            window.requestActivate()
        }
    }

    AppActions {
        id: actions
        app: window.app
        onAboutRequested: aboutDialog.open()
        onCloseRequested: window.close()
    }

    menuBar: window.nativeMenus ? null : inWindowMenus

    AppMenuBar {
        id: inWindowMenus
        objectName: "menuBar"
        visible: !window.nativeMenus
        actions: actions
    }

    Loader {
        active: window.nativeMenus
        source: "NativeMenuBar.qml"
        onLoaded: item.actions = actions
    }

    // F10, or Alt pressed and released alone, opens the in-window menus.
    Shortcut {
        sequence: "F10"
        enabled: !window.nativeMenus
        onActivated: inWindowMenus.openFirstMenu()
    }

    FocusScope {
        id: keys
        anchors.fill: parent
        focus: true
        property bool altAlone: false
        Keys.onPressed: function (event) { keys.altAlone = event.key === Qt.Key_Alt }
        Keys.onReleased: function (event) {
            if (event.key === Qt.Key_Alt && keys.altAlone && !window.nativeMenus)
                inWindowMenus.openFirstMenu()
            keys.altAlone = false
        }

        ContentView {
            objectName: "contentView"
            anchors.fill: parent
            focus: true
            view: window.app.contentView
        }
    }

    AboutDialog {
        id: aboutDialog
        version: window.app.version
        anchors.centerIn: Overlay.overlay
    }

    MessageBox {
        id: quitDialog
        objectName: "quitDialog"
        title: qsTr("Stop bundling and quit?")
        text: qsTr("The bundle being written is not saved; the file you chose stays as it was.")
        acceptText: qsTr("Stop and Quit")
        rejectText: qsTr("Keep Bundling")
        onAccepted: window.app.confirmQuit(true)
        onRejected: window.app.confirmQuit(false)
    }

    MessageBox {
        id: supportDialog
        objectName: "supportDialog"
        title: qsTr("Contact Support")
        text: qsTr("No mail program is set up to write the message. Write to Lumbrel support at %1.")
              .arg(window.app.supportAddress)
        acceptText: qsTr("Copy Address")
        rejectText: qsTr("Close")
        onAccepted: Clipboard.setText(window.app.supportAddress)
    }

    Loader {
        id: updateDialog
        active: window.app.showsUpdateResults
        source: "qrc:/LumbrelUpdates/UpdateDialogView.qml"
        onLoaded: {
            item.parent = Overlay.overlay
            item.anchors.centerIn = Overlay.overlay
            item.updater = window.app.updater
            item.width = Qt.binding(() => Math.min(Theme.dialogWidth, window.width - 2 * Theme.dialogMargin))
        }
        Connections {
            target: window.app.showsUpdateResults ? window.app.updater : null
            ignoreUnknownSignals: true
            function onStateChanged() {
                const dialog = updateDialog.item as UpdateDialogView
                if (dialog && !dialog.opened)
                    dialog.open()
            }
        }
    }
}
