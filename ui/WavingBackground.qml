pragma ComponentBehavior: Bound
import QtQuick
import Lumbrel

// The placeholder of the empty drop area: four rings pulsing outwards one after
// another, a document symbol and an invitation to drop files. The rings shrink
// to fit the area. The waving invites for a few rounds whenever the window
// comes forward or the pointer comes over the area, then rests, so that an
// idle window costs nothing; it never runs while no one can see it (the
// window hidden, minimised or in the background) nor when the desktop asks
// for reduced motion.
Item {
    id: background

    // Turned on once the view is shown; the attached animations carry it.
    property bool animate: false
    Component.onCompleted: animate = true

    // How many times the rings swing out and back (5 s each) per invitation.
    readonly property int rounds: 2
    property bool inviting: true
    readonly property bool seen: visible && Window.active && Window.visibility !== Window.Minimized
                                 && Window.visibility !== Window.Hidden
    readonly property bool moving: animate && inviting && seen && !Motion.reduced

    function invite() {
        background.inviting = true
        rest.restart()
    }
    onSeenChanged: if (seen) invite()

    // The rounds end, the last ring 0.9 s after the first; then the waving rests.
    Timer {
        id: rest
        interval: background.rounds * 5000 + 1000
        running: true
        onTriggered: background.inviting = false
    }
    HoverHandler {
        onHoveredChanged: if (hovered) background.invite()
    }
    // The widest ring at its largest: 440 across, drawn 6 wide, at 1.15.
    readonly property real ringsExtent: (320 + 40 * 3 + 6) * 1.15
    readonly property real ringsScale: Math.min(1, Math.max(0, Math.min(width, height) - 8) / ringsExtent)

    component Swing: NumberAnimation {
        duration: 2500
        easing.type: Easing.BezierSpline
        easing.bezierCurve: Theme.easeInOut
    }

    Item {
        Accessible.ignored: true
        anchors.centerIn: parent
        scale: background.ringsScale

        Repeater {
            model: 4

            Rectangle {
                id: ring

                required property int index
                readonly property real side: 320 + 40 * index
                readonly property real restScale: 1.0 + 0.05 * index
                readonly property real swungScale: 0.85 + 0.05 * index

                anchors.centerIn: parent
                // The stroke is centred on the circle, as wide inside as outside.
                width: side + 6
                height: side + 6
                radius: width / 2
                color: "transparent"
                border.width: 6
                border.color: Theme.ring
                scale: restScale
                opacity: 1

                SequentialAnimation {
                    id: swing
                    running: background.moving
                    // At rest the rings stand still at full size.
                    onStopped: {
                        ring.scale = ring.restScale
                        ring.opacity = 1
                    }
                    PauseAnimation { duration: 300 * ring.index }
                    SequentialAnimation {
                        loops: background.rounds
                        ParallelAnimation {
                            Swing { target: ring; property: "scale"; to: ring.swungScale }
                            Swing { target: ring; property: "opacity"; to: 0 }
                        }
                        ParallelAnimation {
                            Swing { target: ring; property: "scale"; to: ring.restScale }
                            Swing { target: ring; property: "opacity"; to: 1 }
                        }
                    }
                }
            }
        }
    }

    Column {
        anchors.centerIn: parent
        spacing: 24

        SymbolIcon {
            id: docSymbol
            anchors.horizontalCenter: parent.horizontalCenter
            symbol: "doc.on.doc"
            size: 48
            color: Theme.secondaryText
            scale: 0.95

            // Breathes as long as the rings swing (3 s a breath), ending where it began.
            SequentialAnimation {
                running: background.moving
                loops: Math.round(background.rounds * 5000 / 3000)
                onStopped: docSymbol.scale = 0.95
                NumberAnimation {
                    target: docSymbol; property: "scale"; to: 1.1; duration: 1500
                    easing.type: Easing.BezierSpline; easing.bezierCurve: Theme.easeInOut
                }
                NumberAnimation {
                    target: docSymbol; property: "scale"; to: 0.95; duration: 1500
                    easing.type: Easing.BezierSpline; easing.bezierCurve: Theme.easeInOut
                }
            }
        }

        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            width: Math.min(implicitWidth, background.width - 2 * Theme.standardPadding)
            text: qsTr("Drop files or folders here\nto bundle for AI use")
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            font.pointSize: Theme.points(14)
            font.weight: Font.Medium
            color: Theme.secondaryText
            Accessible.role: Accessible.StaticText
            Accessible.name: text.replace("\n", " ")
            Accessible.ignored: !visible
        }
    }
}
