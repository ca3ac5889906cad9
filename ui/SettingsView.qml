import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Lumbrel

// The output options. Every control writes its option the moment it changes;
// there is nothing to apply or cancel.
ColumnLayout {
    id: panel

    // The option set (BundleOptions) that the panel edits.
    required property QtObject options

    readonly property var formats: [
        { text: qsTr("Plain Text"), value: "plain" },
        { text: qsTr("XML"), value: "xml" },
        { text: qsTr("Markdown"), value: "markdown" }
    ]

    spacing: 0

    component Header: Text {
        font.pixelSize: Theme.headlineSize
        font.weight: Font.DemiBold
        color: palette.windowText
    }

    component OptionSwitch: RowLayout {
        id: option
        property alias text: caption.text
        property bool checked
        signal toggled(bool on)

        Layout.fillWidth: true
        Label { id: caption; Layout.fillWidth: true }
        Switch {
            objectName: option.objectName + "Switch"
            checked: option.checked
            Accessible.name: caption.text
            onToggled: option.toggled(checked)
        }
    }

    Item {
        implicitWidth: 350
        implicitHeight: 400
        Layout.preferredWidth: 350
        Layout.preferredHeight: 400

        ColumnLayout {
            anchors.centerIn: parent
            width: parent.width - 2 * (Theme.standardPadding + 40)
            spacing: Theme.standardSpacing

            Header { text: qsTr("Output Style") }
            RowLayout {
                Layout.fillWidth: true
                Layout.bottomMargin: 12
                Label { text: qsTr("Format"); Layout.fillWidth: true }
                ComboBox {
                    objectName: "formatPicker"
                    model: panel.formats
                    textRole: "text"
                    valueRole: "value"
                    currentIndex: panel.formats.findIndex(format => format.value === panel.options.style)
                    Accessible.name: qsTr("Format")
                    onActivated: index => panel.options.style = panel.formats[index].value
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

    Item { Layout.fillHeight: true }

    Rectangle {
        Layout.fillWidth: true
        implicitHeight: 1
        color: Theme.faint(palette.windowText)
    }

    Button {
        objectName: "resetButton"
        Layout.alignment: Qt.AlignHCenter
        Layout.margins: Theme.standardPadding
        text: qsTr("Reset to Defaults")
        onClicked: panel.options.resetToDefaults()
    }
}
