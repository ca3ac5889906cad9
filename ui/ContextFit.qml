import QtQuick
import QtQuick.Controls
import Lumbrel

// A note of the common AI context sizes a token count fits ("fits 128K"),
// with the details in its tool tip; over the largest ("over 1M") it stands
// in the warning colour. Shows nothing for no tokens.
Text {
    id: fit

    property real tokens: 0
    readonly property bool over: Format.contextOver(tokens)

    objectName: "contextFit"
    visible: text.length > 0
    text: Format.contextFit(tokens)
    font.pointSize: fit.over ? Theme.bodySize : Theme.captionSize
    font.weight: fit.over ? Font.DemiBold : Font.Normal
    color: fit.over ? Theme.warning : Theme.secondaryText
    textFormat: Text.PlainText
    Accessible.role: Accessible.StaticText
    Accessible.name: Format.contextFitDetail(tokens)

    HoverHandler { id: hover }
    ToolTip.text: Format.contextFitDetail(tokens)
    ToolTip.visible: hover.hovered
    ToolTip.delay: 400
}
