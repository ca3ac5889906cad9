import QtQuick
import Lumbrel

// One of the app's symbols ("gear", "doc.fill", ...) drawn from the icon font,
// `size` in points of a 13-point body text, so symbols grow with the desktop's font.
Text {
    property string symbol
    property real size: 14

    text: Icons.glyph(symbol)
    font.family: Icons.fontFamily
    font.pointSize: Theme.points(size)
    horizontalAlignment: Text.AlignHCenter
    verticalAlignment: Text.AlignVCenter
    Accessible.ignored: true
}
