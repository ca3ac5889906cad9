import QtQuick
import QtQuick.Window
import Lumbrel

// One of the app's symbols ("gear", "doc.fill", ...) drawn from the icon font,
// `size` in points of a 13-point body text, so symbols grow with the desktop's font.
Text {
    property string symbol
    property real size: 14
    // Never smaller than this many pixels on screen (0: no floor).
    property real minimumPixels: 0

    text: Icons.glyph(symbol)
    font.family: Icons.fontFamily
    font.pointSize: Math.max(Theme.points(size), Screen.logicalPixelDensity > 0
                             ? minimumPixels * 72 / (Screen.logicalPixelDensity * 25.4) : 0)
    horizontalAlignment: Text.AlignHCenter
    verticalAlignment: Text.AlignVCenter
    Accessible.ignored: true
}
