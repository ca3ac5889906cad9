import QtQuick
import QtQuick.Controls
import Lumbrel

// A standard push button that Enter and keypad Enter activate as well as
// Space, with the focus ring drawn when the keyboard put the focus on it.
Button {
    id: control
    Keys.onReturnPressed: control.clicked()
    Keys.onEnterPressed: control.clicked()
    Accessible.name: text
    Accessible.ignored: !visible

    FocusRing {
        control: control
        radius: Theme.cornerRadius
    }
}
