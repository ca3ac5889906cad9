pragma Singleton
import QtQuick
import Lumbrel

// Colours, type and timing shared by the views. Every colour, backgrounds
// included, comes from one source: the application's palette, which follows
// the desktop (light or dark). Text colours are taken against the background
// they are drawn on and kept legible there (4.5:1 for text, 3:1 for symbols
// and large text); fixed hues are darkened or lightened as the palette needs.
QtObject {
    id: theme

    readonly property SystemPalette active: SystemPalette { colorGroup: SystemPalette.Active }
    readonly property SystemPalette inactive: SystemPalette { colorGroup: SystemPalette.Inactive }
    readonly property SystemPalette disabled: SystemPalette { colorGroup: SystemPalette.Disabled }

    // --- Backgrounds -------------------------------------------------------
    readonly property color window: active.window
    // The list of chosen files.
    readonly property color base: active.base

    // --- Text on the window ------------------------------------------------
    readonly property color text: Contrast.readable(active.windowText, window, 4.5)
    readonly property color secondaryText: Contrast.muted(active.windowText, window, 0.6, 4.5)
    // Dividers: decoration, not content.
    readonly property color separator: Contrast.muted(active.windowText, window, 0.15, 1.3)
    // The edge of a panel that stands over the window.
    readonly property color frame: Contrast.muted(active.windowText, window, 0.35, 1.5)

    // --- Text and symbols in the list ----------------------------------------
    // On the list and on its selected row alike.
    readonly property color selection: Qt.rgba(active.highlight.r, active.highlight.g, active.highlight.b, 0.1)
    readonly property color selectedBase: Contrast.over(selection, base)
    function inList(color, minimum) {
        return Contrast.readable(Contrast.readable(color, base, minimum), selectedBase, minimum)
    }
    readonly property color listText: inList(active.text, 4.5)
    readonly property color listSecondaryText: inList(Contrast.muted(active.text, base, 0.6, 4.5), 4.5)

    // --- Accent --------------------------------------------------------------
    // The desktop's highlight behind its own highlighted text, darkened or
    // lightened until that text reads on it.
    readonly property color accentText: active.highlightedText
    readonly property color accent: Contrast.readable(active.highlight, accentText, 4.5)
    // The accent as text or outline on the window.
    readonly property color accentOnWindow: Contrast.readable(active.highlight, window, 4.5)
    // The keyboard focus ring, on the window and in the list alike.
    readonly property color focusRing: inList(Contrast.readable(active.highlight, window, 3), 3)

    // --- Fixed hues, as symbols (3:1) ----------------------------------------
    readonly property color folder: inList("#1a82fb", 3)
    readonly property color document: inList("#8e8e93", 3)
    readonly property color reveal: folder
    readonly property color remove: inList("#f0443a", 3)
    readonly property color success: Contrast.readable("#30c158", window, 3)
    // A note that something is over a limit: text on the window (4.5:1).
    readonly property color warning: Contrast.readable("#c25e00", window, 4.5)
    // The rings of the empty drop area are decoration.
    readonly property color ring: Qt.rgba(68 / 255, 128 / 255, 187 / 255, 0.4)

    // The same palette for the controls (switches, pickers, push buttons):
    // `palette: Theme.palette` on a window or an item. A palette is copied
    // when assigned, so a fresh one is made whenever the desktop's changes.
    readonly property Palette palette: makePalette()

    readonly property Component paletteComponent: Component { Palette {} }

    function makePalette() {
        const made = paletteComponent.createObject(theme)
        const roles = ["alternateBase", "base", "button", "buttonText", "dark", "light", "mid",
                       "midlight", "placeholderText", "shadow", "text", "window", "windowText"]
        for (const [group, source] of [[made.active, active], [made.inactive, inactive], [made.disabled, disabled]]) {
            for (const role of roles)
                group[role] = source[role]
            group.highlight = accent
            group.highlightedText = accentText
        }
        return made
    }

    // --- Type ----------------------------------------------------------------
    // Sizes follow the desktop's font: the body text is the application font,
    // and the other sizes keep their proportion to a 13-point body.
    readonly property real bodySize: WindowPlacement.fontPoints
    function points(size) { return bodySize * size / 13 }
    readonly property real headlineSize: points(13)
    readonly property real captionSize: points(10)
    readonly property real titleSize: points(28)

    // --- Metrics and timing --------------------------------------------------
    readonly property int standardPadding: 16
    readonly property int standardSpacing: 8
    // The window's content at the design font; it grows with the font.
    readonly property int windowWidth: 400
    readonly property int windowHeight: 500
    // Rows, the drop area and small panels.
    readonly property int cornerRadius: 4
    // The capsules of the completion screen's buttons.
    readonly property int pillRadius: 25
    readonly property int pillWidth: 200
    // How much the window is grown for the desktop's font (1 at the design font).
    readonly property real scale: WindowPlacement.scale
    // The settings panel's frame, grown with the window.
    readonly property real settingsWidth: 350 * scale
    readonly property real settingsHeight: 400 * scale
    // Dialogs and popups over the window, and their least distance from its edges.
    readonly property int dialogWidth: 360
    readonly property int dialogMargin: 20
    // Symbols that act, in points of a 13-point body (17 pixels at the
    // design font), in targets of at least 24 pixels.
    readonly property real actionSymbol: 15
    readonly property int actionTarget: 24
    // How long the pointer rests on a control before its tool tip shows.
    readonly property int toolTipDelay: 600

    // Cubic Bézier timing curves (control points, then the end point).
    readonly property var easeOut: [0.0, 0.0, 0.58, 1.0, 1.0, 1.0]
    readonly property var easeInOut: [0.42, 0.0, 0.58, 1.0, 1.0, 1.0]
}
