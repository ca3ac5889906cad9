import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Lumbrel

// The output options. Every control writes its option the moment it changes;
// there is nothing to apply or cancel. The form scrolls when a large font
// makes it taller than its frame, and follows the keyboard focus.
Item {
    id: panel

    // The option set (BundleOptions) that the panel edits.
    required property QtObject options

    readonly property var formats: [
        { text: qsTr("Plain Text"), value: "plain" },
        { text: qsTr("XML"), value: "xml" },
        { text: qsTr("Markdown"), value: "markdown" }
    ]

    implicitWidth: column.implicitWidth
    implicitHeight: column.implicitHeight
    palette: Theme.palette
    Accessible.role: Accessible.Dialog
    Accessible.name: qsTr("Settings")

    component Header: Text {
        Layout.fillWidth: true
        font.pointSize: Theme.headlineSize
        font.weight: Font.DemiBold
        color: Theme.text
        wrapMode: Text.Wrap
        Accessible.role: Accessible.StaticText
        Accessible.name: text
    }

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

                Header { text: qsTr("Output Style") }
                RowLayout {
                    Layout.fillWidth: true
                    Layout.bottomMargin: 12
                    spacing: Theme.standardSpacing
                    Label {
                        text: qsTr("Format")
                        color: Theme.text
                        Layout.fillWidth: true
                        wrapMode: Text.Wrap
                        Accessible.ignored: true
                    }
                    ComboBox {
                        id: picker
                        objectName: "formatPicker"
                        model: panel.formats
                        textRole: "text"
                        valueRole: "value"
                        implicitContentWidthPolicy: ComboBox.WidestTextWhenCompleted
                        currentIndex: panel.formats.findIndex(format => format.value === panel.options.style)
                        Accessible.name: qsTr("Format")
                        Accessible.description: currentText
                        // The box shows its choice in a read-only text field: not an editable text to a reader.
                        Component.onCompleted: picker.contentItem.Accessible.ignored = true
                        onActivated: index => panel.options.style = panel.formats[index].value
                        // Return and Enter open the list as they are let go (the
                        // picker closes an open list then); in the open list they choose.
                        function isReturn(event) { return event.key === Qt.Key_Return || event.key === Qt.Key_Enter }
                        Keys.onPressed: event => event.accepted = isReturn(event) && !popup.visible
                        Keys.onReleased: event => {
                            if (isReturn(event) && !popup.visible) {
                                popup.open()
                                event.accepted = true
                            }
                        }
                        FocusRing { control: picker; radius: 4 }
                    }
                }

                Header { text: qsTr("Structure") }
                OptionSwitch {
                    objectName: "addSummary"
                    text: qsTr("Add Summary")
                    checked: panel.options.addSummary
                    onToggled: on => panel.options.addSummary = on
                }
                OptionSwitch {
                    objectName: "addFileStructure"
                    Layout.bottomMargin: 12
                    text: qsTr("Add File Structure")
                    checked: panel.options.addFileStructure
                    onToggled: on => panel.options.addFileStructure = on
                }

                Header { text: qsTr("Content") }
                OptionSwitch {
                    objectName: "removeEmptyLines"
                    text: qsTr("Remove Empty Lines")
                    checked: panel.options.removeEmptyLines
                    onToggled: on => panel.options.removeEmptyLines = on
                }
                OptionSwitch {
                    objectName: "removeComments"
                    text: qsTr("Remove Comments")
                    checked: panel.options.removeComments
                    onToggled: on => panel.options.removeComments = on
                }
                OptionSwitch {
                    objectName: "showLineNumbers"
                    text: qsTr("Show Line Numbers")
                    checked: panel.options.showLineNumbers
                    onToggled: on => panel.options.showLineNumbers = on
                }
                OptionSwitch {
                    objectName: "securityCheck"
                    text: qsTr("Security Check")
                    checked: panel.options.securityCheck
                    onToggled: on => panel.options.securityCheck = on
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
