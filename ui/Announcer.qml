import QtQuick
import Lumbrel

// Speaks what the view announces (each step of a bundle, its completion, new
// totals, a refused item, a change that can be undone): an alert that shows
// itself anew with each text, which screen readers read out as it appears.
// It draws nothing.
Item {
    id: announcer

    required property ContentViewModel view
    property string text

    objectName: "announcer"
    width: 1
    height: 1
    visible: false
    Accessible.role: Accessible.AlertMessage
    Accessible.name: announcer.text

    Connections {
        target: announcer.view
        // Renamed while it shows (a reader hears of renamed objects it can
        // see), then shown anew, so that the same text twice is heard twice.
        function onAnnounced(text) {
            announcer.visible = true
            announcer.text = text
            announcer.visible = false
            announcer.visible = true
        }
    }
}
