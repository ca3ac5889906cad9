import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Lumbrel

// One on/off option of the settings panel: its name, wrapping when the font
// is large, and a switch at the end of the line that carries the name for
// assistive technology. Space, Return and Enter toggle it.
RowLayout {
    id: option

    property alias text: caption.text
    property string toolTip
    property bool checked
    signal toggled(bool on)

    Layout.fillWidth: true
    spacing: Theme.standardSpacing

    Label {
        id: caption
        Layout.fillWidth: true
        wrapMode: Text.Wrap
        color: Theme.text
        Accessible.ignored: true
        MouseArea {
            id: captionArea
            anchors.fill: parent
            hoverEnabled: true
            acceptedButtons: Qt.NoButton
        }
    }

    Switch {
        id: toggleSwitch
        objectName: option.objectName + "Switch"
        checked: option.checked
        Accessible.name: caption.text
        Accessible.description: option.toolTip
        ToolTip.text: option.toolTip
        ToolTip.visible: (hovered || captionArea.containsMouse) && option.toolTip.length > 0
        ToolTip.delay: Theme.toolTipDelay
        onToggled: option.toggled(checked)

        function toggleByUser() {
            toggle()
            toggled()
        }
        Keys.onReturnPressed: toggleByUser()
        Keys.onEnterPressed: toggleByUser()

        FocusRing {
            control: toggleSwitch
            radius: height / 2
        }
    }
}
