import QtQuick
import Lumbrel

// The placeholder of the empty drop area: four rings pulsing outwards one after
// another, a document symbol and an invitation to drop files.
Item {
    id: background

    // Turned on once the view is shown; the attached animations carry it.
    property bool animate: false
    Component.onCompleted: animate = true

    component Swing: NumberAnimation {
        duration: 2500
        easing.type: Easing.BezierSpline
        easing.bezierCurve: Theme.easeInOut
    }

    Item {
        Accessible.ignored: true
        // The rings stand in the centre with 40 of padding around them; the host clips.
        anchors.fill: parent
        anchors.margins: 40

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
                    running: background.animate
                    PauseAnimation { duration: 300 * ring.index }
                    SequentialAnimation {
                        loops: Animation.Infinite
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

            SequentialAnimation {
                running: background.animate
                loops: Animation.Infinite
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
