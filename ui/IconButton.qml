import QtQuick
import QtQuick.Controls
import QtQuick.Templates as T
import Lumbrel

// A borderless button that shows only a symbol. `text` names the action for
// assistive technology and in the tool tip.
T.AbstractButton {
    id: control

    property string symbol
    property int pixelSize: 12
    property color color: palette.windowText

    implicitWidth: implicitContentWidth + leftPadding + rightPadding
    implicitHeight: implicitContentHeight + topPadding + bottomPadding
    padding: 2
    hoverEnabled: true

    contentItem: SymbolIcon {
        symbol: control.symbol
        pixelSize: control.pixelSize
        color: control.color
        opacity: control.down ? 0.6 : 1.0
    }

    Accessible.role: Accessible.Button
    Accessible.name: text
    ToolTip.text: text
    ToolTip.visible: hovered && text.length > 0
    ToolTip.delay: 600
}
