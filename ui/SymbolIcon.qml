import QtQuick
import Lumbrel

// One of the app's symbols ("gear", "doc.fill", ...) drawn from the icon font.
Text {
    property string symbol
    property int pixelSize: 14

    text: Icons.glyph(symbol)
    font.family: Icons.fontFamily
    font.pixelSize: pixelSize
    horizontalAlignment: Text.AlignHCenter
    verticalAlignment: Text.AlignVCenter
    Accessible.ignored: true
}
