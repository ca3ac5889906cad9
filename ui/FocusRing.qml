import QtQuick
import QtQuick.Templates as T
import Lumbrel

// The keyboard focus ring around a control: drawn while the control has the
// focus from the keyboard (Tab, Backtab, a shortcut), never after a click.
// Put it inside the control; it stands `gap` outside the control's edges.
Rectangle {
    required property T.Control control
    property real gap: 2

    anchors.fill: parent
    anchors.margins: -gap
    color: "transparent"
    border.width: 2
    border.color: Theme.focusRing
    visible: control.visualFocus
    Accessible.ignored: true
}
