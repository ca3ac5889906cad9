import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Lumbrel

// The bar along the bottom of the window: the totals of the current selection,
// or an activity indicator while they are being estimated.
ColumnLayout {
    id: bar

    property real totalFiles: 0
    property real totalChars: 0
    property real estimatedTokens: 0
    property bool isEstimating: false

    spacing: 0

    Rectangle {
        Layout.fillWidth: true
        implicitHeight: 1
        color: Theme.faint(palette.windowText)
    }

    Item {
        Layout.fillWidth: true
        implicitHeight: 36 + 2 * 5

        Row {
            anchors.centerIn: parent
            spacing: Theme.standardSpacing
            visible: bar.isEstimating

            BusyIndicator {
                implicitWidth: 32
                implicitHeight: 32
                scale: 0.7
                running: bar.isEstimating
                anchors.verticalCenter: parent.verticalCenter
            }
            Text {
                objectName: "estimatingText"
                text: qsTr("Estimating...")
                color: Theme.secondary(palette.windowText)
                anchors.verticalCenter: parent.verticalCenter
            }
        }

        Text {
            objectName: "totalsText"
            anchors.centerIn: parent
            visible: !bar.isEstimating
            leftPadding: 12
            color: Theme.secondary(palette.windowText)
            text: qsTr("Files: %1 • Chars: %2 • Tokens: %3")
                  .arg(Format.number(bar.totalFiles))
                  .arg(Format.number(bar.totalChars))
                  .arg(Format.number(bar.estimatedTokens))
        }
    }
}
