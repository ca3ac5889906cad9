import QtQuick
import QtQuick.Controls
import QtQuick.Window
import Lumbrel
import LumbrelApp

// The one main window: its content is exactly 400 x 500 and cannot be
// resized; closing it only hides it, and the application runs until Quit.
ApplicationWindow {
    id: window

    required property MainApp app

    // macOS has a menu bar of its own; elsewhere the menus sit in the window.
    readonly property bool nativeMenus: Qt.platform.os === "osx"
    readonly property int contentWidth: 400
    readonly property int contentHeight: 500

    title: "Lumbrel"
    flags: Qt.Window | Qt.WindowTitleHint | Qt.WindowSystemMenuHint | Qt.WindowCloseButtonHint
           | Qt.WindowMinimizeButtonHint
    width: contentWidth
    height: contentHeight + (menuBar ? menuBar.implicitHeight : 0)
    minimumWidth: width
    maximumWidth: width
    minimumHeight: height
    maximumHeight: height
    // Centred in the screen's free area, its top (with the menus) on screen.
    x: WindowPlacement.centred(window, width, height).x
    y: WindowPlacement.centred(window, width, height).y
    color: Theme.window
    palette: Theme.palette
    visible: true

    onClosing: function (close) {
        close.accepted = false
        window.hide()
        window.app.windowClosed()
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

    Loader {
        id: updateDialog
        active: window.app.showsUpdateResults
        source: "qrc:/lumbrel/updates/UpdateDialogView.qml"
        onLoaded: {
            item.parent = Overlay.overlay
            item.anchors.centerIn = Overlay.overlay
            item.updater = window.app.updater
            item.width = Qt.binding(() => window.contentWidth - 24)
        }
        Connections {
            target: window.app.showsUpdateResults ? window.app.updater : null
            ignoreUnknownSignals: true
            function onStateChanged() {
                if (updateDialog.item && !updateDialog.item.opened)
                    updateDialog.item.open()
            }
        }
    }
}
