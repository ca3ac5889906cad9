import QtQuick
import QtQuick.Controls
import QtQuick.Templates as T
import Lumbrel

// A borderless button that shows only a symbol. `text` names the action for
// assistive technology and in the tool tip. Space, Return and Enter press it.
T.AbstractButton {
    id: button

    property string symbol
    // In points of a 13-point body text.
    property real size: 12
    property color color: Theme.text

    // A target of at least 24 pixels, whatever the symbol's size.
    implicitWidth: Math.max(Theme.actionTarget, implicitContentWidth + leftPadding + rightPadding)
    implicitHeight: Math.max(Theme.actionTarget, implicitContentHeight + topPadding + bottomPadding)
    padding: 2
    hoverEnabled: true

    contentItem: SymbolIcon {
        symbol: button.symbol
        size: button.size
        minimumPixels: 16
        color: button.color
        opacity: button.down ? 0.6 : 1.0
    }

    FocusRing {
        control: button
        radius: Theme.cornerRadius
    }

    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()

    Accessible.role: Accessible.Button
    Accessible.name: text
    Accessible.onPressAction: clicked()
    ToolTip.text: text
    ToolTip.visible: hovered && text.length > 0
    ToolTip.delay: 600
}
