import QtQuick
import QtQuick.Controls
import Lumbrel

// A quiet note of the common AI context sizes a token count fits ("fits
// 128K"), with the details in its tool tip. Shows nothing for no tokens.
Text {
    id: fit

    property real tokens: 0

    objectName: "contextFit"
    visible: text.length > 0
    text: Format.contextFit(tokens)
    font.pointSize: Theme.captionSize
    color: Theme.secondaryText
    textFormat: Text.PlainText
    Accessible.role: Accessible.StaticText
    Accessible.name: Format.contextFitDetail(tokens)

    HoverHandler { id: hover }
    ToolTip.text: Format.contextFitDetail(tokens)
    ToolTip.visible: hover.hovered
    ToolTip.delay: 400
}
