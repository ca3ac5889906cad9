pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Lumbrel

// The output options, one row each as the option table declares them, in
// sections. Every control writes its option the moment it changes; there is
// nothing to apply or cancel. The form scrolls when a large font makes it
// taller than its frame, and follows the keyboard focus.
Item {
    id: panel

    // The options the panel edits, one row each.
    required property BundleOptions options

    implicitWidth: column.implicitWidth
    implicitHeight: column.implicitHeight
    palette: Theme.palette
    Accessible.role: Accessible.Dialog
    Accessible.name: qsTr("Settings")

    function isWithin(item, ancestor) {
        for (; item; item = item.parent) {
            if (item === ancestor)
                return true
        }
        return false
    }

    // Drawn by the panel itself, so that it matches its text in any palette.
    Rectangle {
        anchors.fill: parent
        color: Theme.window
        border.color: Theme.frame
        Accessible.ignored: true
    }

    ColumnLayout {
        id: column
        anchors.fill: parent
        spacing: 0

        ScrollView {
            id: scroller
            objectName: "settingsScroller"
            implicitWidth: Theme.settingsWidth
            implicitHeight: Theme.settingsHeight
            Layout.preferredWidth: Theme.settingsWidth
            Layout.preferredHeight: Theme.settingsHeight
            Layout.fillWidth: true
            // A host short of room may give less; the form scrolls then.
            Layout.fillHeight: true
            Layout.minimumHeight: 120
            ScrollBar.vertical.policy: contentHeight > availableHeight ? ScrollBar.AlwaysOn : ScrollBar.AsNeeded
            ScrollBar.horizontal.policy: ScrollBar.AlwaysOff
            contentWidth: availableWidth
            contentHeight: Math.max(availableHeight, form.implicitHeight + 2 * Theme.standardPadding)
            clip: true
            Accessible.ignored: true

            // Brings the control that takes the keyboard focus into view.
            readonly property Item focused: panel.Window.activeFocusItem
            onFocusedChanged: {
                const flickable = contentItem
                if (!panel.isWithin(focused, form))
                    return
                const top = focused.mapToItem(flickable.contentItem, 0, 0).y - Theme.standardSpacing
                const bottom = top + focused.height + 2 * Theme.standardSpacing
                if (top < flickable.contentY)
                    flickable.contentY = Math.max(0, top)
                else if (bottom > flickable.contentY + flickable.height)
                    flickable.contentY = Math.min(flickable.contentHeight - flickable.height, bottom - flickable.height)
            }

            ColumnLayout {
                id: form
                // The standard padding, then 40 more on the left and right; centred
                // in the frame while it fits.
                x: Theme.standardPadding + 40
                y: Math.max(Theme.standardPadding, (scroller.availableHeight - implicitHeight) / 2)
                width: scroller.availableWidth - 2 * x
                spacing: Theme.standardSpacing

                Repeater {
                    model: panel.options
                    delegate: OptionRow { options: panel.options }
                }
            }
        }

        Rectangle {
            Layout.fillWidth: true
            implicitHeight: 1
            color: Theme.separator
            Accessible.ignored: true
        }

        Button {
            id: resetButton
            objectName: "resetButton"
            Layout.alignment: Qt.AlignHCenter
            Layout.margins: Theme.standardPadding
            text: qsTr("Reset to Defaults")
            onClicked: panel.options.resetToDefaults()
            Keys.onReturnPressed: clicked()
            Keys.onEnterPressed: clicked()
            FocusRing { control: resetButton; radius: 4 }
        }
    }
}
