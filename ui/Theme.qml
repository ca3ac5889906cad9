pragma Singleton
import QtQuick

// Colours, type and timing shared by the views. Colours the desktop decides
// are read by each view from its own `palette`, which follows the style and
// the system theme; the helpers here derive the muted variants from them.
QtObject {
    function secondary(color) { return Qt.rgba(color.r, color.g, color.b, 0.6) }
    function faint(color) { return Qt.rgba(color.r, color.g, color.b, 0.15) }
    function tint(color) { return Qt.rgba(color.r, color.g, color.b, 0.1) }

    // Fixed hues, mid-tones that stay legible on light and dark backgrounds.
    readonly property color blue: "#1a82fb"
    readonly property color red: "#f0443a"
    readonly property color green: "#30c158"
    readonly property color gray: "#8e8e93"
    readonly property color ring: Qt.rgba(68 / 255, 128 / 255, 187 / 255, 0.4)

    readonly property int standardPadding: 16
    readonly property int standardSpacing: 8
    readonly property int headlineSize: 13
    readonly property int captionSize: 10

    // Cubic Bézier timing curves (control points, then the end point).
    readonly property var easeOut: [0.0, 0.0, 0.58, 1.0, 1.0, 1.0]
    readonly property var easeInOut: [0.42, 0.0, 0.58, 1.0, 1.0, 1.0]
}
