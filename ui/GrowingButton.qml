import QtQuick
import QtQuick.Templates as T
import Lumbrel

// The look of the main action: its label on an accent-coloured capsule that
// grows while pressed (or, not filled, an outlined capsule for the action
// beside it). Space, Return and Enter press it.
T.Button {
    id: button

    property bool filled: true

    implicitWidth: Math.max(implicitBackgroundWidth + leftInset + rightInset,
                            implicitContentWidth + leftPadding + rightPadding)
    implicitHeight: Math.max(implicitBackgroundHeight + topInset + bottomInset,
                             implicitContentHeight + topPadding + bottomPadding)
    verticalPadding: 10
    horizontalPadding: Theme.standardPadding
    opacity: enabled ? 1.0 : 0.5

    scale: down ? 1.2 : 1.0
    Behavior on scale {
        NumberAnimation {
            duration: 200
            easing.type: Easing.BezierSpline
            easing.bezierCurve: Theme.easeOut
        }
    }

    contentItem: Text {
        text: button.text
        font: button.font
        color: button.filled ? Theme.accentText : Theme.accentOnWindow
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
        Accessible.ignored: true
    }

    background: Rectangle {
        radius: height / 2
        color: button.filled ? Theme.accent : "transparent"
        border.width: button.filled ? 0 : 1
        border.color: Theme.accentOnWindow
    }

    FocusRing {
        control: button
        radius: height / 2
        gap: 3
    }

    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()
}
