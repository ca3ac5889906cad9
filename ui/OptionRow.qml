import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Lumbrel

// One option of the settings panel, drawn for its kind: a switch, a picker,
// a line of text or a few lines. It writes its option the moment it changes;
// the title of the option's section comes first where a section begins.
ColumnLayout {
    id: row

    required property BundleOptions options
    required property string key
    required property string kind
    required property string label
    required property string toolTip
    required property string section
    required property bool firstInSection
    required property var value
    required property var choices
    required property int choiceIndex
    required property int index

    Layout.fillWidth: true
    spacing: Theme.standardSpacing

    Text {
        visible: row.firstInSection
        Layout.fillWidth: true
        Layout.topMargin: row.index > 0 ? 12 : 0
        text: row.section
        font.pointSize: Theme.headlineSize
        font.weight: Font.DemiBold
        color: Theme.text
        wrapMode: Text.Wrap
        Accessible.role: Accessible.StaticText
        Accessible.name: text
    }

    OptionSwitch {
        visible: row.kind === "switch"
        objectName: row.key
        text: row.label
        toolTip: row.toolTip
        checked: row.kind === "switch" && row.value
        onToggled: on => row.options.setValue(row.key, on ? "true" : "false")
    }

    // A picker, a field or an area: the option's name above or beside it.
    // A picker stands beside its name where both fit on one line, and below
    // it where they do not, so that a name never breaks inside a word.
    GridLayout {
        visible: row.kind === "choice"
        Layout.fillWidth: true
        columns: pickerLabel.implicitWidth + columnSpacing + picker.implicitWidth <= row.width ? 2 : 1
        columnSpacing: Theme.standardSpacing
        rowSpacing: Theme.standardSpacing / 2
        Label {
            id: pickerLabel
            text: row.label
            color: Theme.text
            Layout.fillWidth: true
            wrapMode: Text.WordWrap
            Accessible.ignored: true
        }
        ComboBox {
            id: picker
            objectName: row.key + "Picker"
            enabled: row.kind === "choice"
            model: row.choices
            textRole: "label"
            valueRole: "value"
            currentIndex: row.choiceIndex
            // The box shows its choice in a read-only text field: not an editable text to a reader.
            Component.onCompleted: picker.contentItem.Accessible.ignored = true
            // As wide as its longest choice, whatever the font.
            implicitContentWidthPolicy: ComboBox.WidestText
            Layout.maximumWidth: Math.max(implicitWidth, row.width * 0.6)
            Accessible.name: row.label
            Accessible.description: currentText
            ToolTip.text: row.toolTip
            ToolTip.visible: hovered && row.toolTip.length > 0
            ToolTip.delay: Theme.toolTipDelay
            onActivated: index => row.options.setValue(row.key, row.choices[index].value)
            // Return and Enter open the list as they are let go (the picker
            // closes an open list then); in the open list they choose.
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

    Label {
        visible: row.kind === "text" || row.kind === "lines"
        text: row.label
        color: Theme.text
        Layout.fillWidth: true
        wrapMode: Text.Wrap
        Accessible.ignored: true
    }
    TextField {
        id: field
        objectName: row.key + "Field"
        visible: row.kind === "text"
        enabled: visible
        Layout.fillWidth: true
        text: row.kind === "text" ? row.value : ""
        placeholderText: qsTr("None")
        placeholderTextColor: Theme.listSecondaryText
        Accessible.name: row.label
        Accessible.description: row.toolTip
        ToolTip.text: row.toolTip
        ToolTip.visible: hovered && row.toolTip.length > 0
        ToolTip.delay: Theme.toolTipDelay
        onTextEdited: row.options.setValue(row.key, text)
    }
    ScrollView {
        id: areaFrame
        visible: row.kind === "lines"
        Layout.fillWidth: true
        Layout.preferredHeight: Math.max(area.implicitHeight, area.font.pixelSize * 5)
        Layout.maximumHeight: area.font.pixelSize * 10
        // Framed like the one-line fields.
        background: Rectangle {
            color: Theme.base
            border.color: area.activeFocus ? Theme.focusRing : Theme.frame
            border.width: area.activeFocus ? 2 : 1
            radius: 2
        }
        TextArea {
            id: area
            objectName: row.key + "Area"
            enabled: row.kind === "lines"
            text: row.kind === "lines" ? row.value : ""
            wrapMode: TextEdit.Wrap
            placeholderText: qsTr("None")
            placeholderTextColor: Theme.listSecondaryText
            Accessible.name: row.label
            Accessible.description: row.toolTip
            onTextChanged: if (row.kind === "lines" && text !== row.value) row.options.setValue(row.key, text)
            // Tab moves on, as in every other field; Ctrl+Tab would insert a tab.
            Keys.onTabPressed: event => nextItemInFocusChain(true).forceActiveFocus(Qt.TabFocusReason)
            Keys.onBacktabPressed: event => nextItemInFocusChain(false).forceActiveFocus(Qt.BacktabFocusReason)
        }
    }
}
