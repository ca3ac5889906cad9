import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Lumbrel

// A disclosure group "Ignore Patterns" holding the pattern fields: what to
// leave out, and what alone to take in. Each edit goes to the view, which
// debounces the estimate it triggers.
ColumnLayout {
    id: group

    required property ContentViewModel view

    spacing: 4

    AbstractButton {
        id: disclosure
        objectName: "ignorePatternsToggle"
        Layout.fillWidth: true
        text: "Ignore Patterns"
        checkable: true
        checked: group.view.showIgnorePatterns
        focusPolicy: Qt.StrongFocus
        onToggled: group.view.showIgnorePatterns = checked
        Keys.onReturnPressed: { toggle(); toggled() }
        Keys.onEnterPressed: { toggle(); toggled() }
        Accessible.role: Accessible.Button
        Accessible.name: text
        Accessible.checkable: true
        Accessible.checked: checked
        Accessible.ignored: !visible
        contentItem: Row {
            spacing: 4
            Label {
                text: "\u203A"
                color: Theme.text
                Accessible.ignored: true
                rotation: disclosure.checked ? 90 : 0
                Behavior on rotation { NumberAnimation { duration: 150 } }
            }
            Label { text: disclosure.text; color: Theme.text; Accessible.ignored: true }
        }
        FocusRing {
            control: disclosure
            radius: 4
        }
    }

    TextField {
        objectName: "ignorePatternsField"
        visible: group.view.showIgnorePatterns
        Layout.fillWidth: true
        Layout.margins: Theme.standardSpacing
        placeholderText: "Enter patterns to ignore (comma-separated)"
        text: group.view.ignorePatterns
        onTextEdited: group.view.ignorePatterns = text
        Accessible.name: "Ignore patterns"
        Accessible.description: placeholderText
        Accessible.ignored: !visible
    }

    TextField {
        objectName: "includePatternsField"
        visible: group.view.showIgnorePatterns
        Layout.fillWidth: true
        Layout.leftMargin: Theme.standardSpacing
        Layout.rightMargin: Theme.standardSpacing
        Layout.bottomMargin: Theme.standardSpacing
        placeholderText: "Include only these patterns (comma-separated)"
        placeholderTextColor: Theme.listSecondaryText
        text: group.view.includePatterns
        onTextEdited: group.view.includePatterns = text
        Accessible.name: "Include Only"
        Accessible.description: placeholderText
        Accessible.ignored: !visible
    }
}
