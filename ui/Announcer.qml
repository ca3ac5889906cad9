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
        // Renamed, then shown anew: one showing event per text, so that the
        // same text twice is heard twice.
        function onAnnounced(text) {
            announcer.text = text
            announcer.visible = false
            announcer.visible = true
        }
    }
}
