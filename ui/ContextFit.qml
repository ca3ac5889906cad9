import QtQuick
import QtQuick.Controls
import Lumbrel

// A note of the common AI context sizes a token count fits ("fits 128K"),
// with the details in its tool tip; over the context limit the user chose
// ("over 200K") it stands in the warning colour and says by how much. Shows
// nothing for no tokens.
Text {
    id: fit

    property real tokens: 0
    // The chosen context limit, a size's name ("200K").
    property string limit: "1M"
    readonly property bool over: Format.contextOver(tokens, limit)

    objectName: "contextFit"
    visible: text.length > 0
    text: Format.contextFit(tokens, limit)
    font.pointSize: fit.over ? Theme.bodySize : Theme.captionSize
    font.weight: fit.over ? Font.DemiBold : Font.Normal
    color: fit.over ? Theme.warning : Theme.secondaryText
    textFormat: Text.PlainText
    Accessible.role: Accessible.StaticText
    Accessible.name: Format.contextFitDetail(tokens, limit)

    HoverHandler { id: hover }
    ToolTip.text: Format.contextFitDetail(tokens, limit)
    ToolTip.visible: hover.hovered
    ToolTip.delay: 400
}
