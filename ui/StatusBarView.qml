import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Lumbrel

// The bar along the bottom of the window: the totals of the current selection,
// or an activity indicator while they are being estimated. For assistive
// technology it is a status bar whose text renames itself with each estimate.
ColumnLayout {
    id: bar

    property real totalFiles: 0
    property real totalChars: 0
    property real estimatedTokens: 0
    property bool isEstimating: false
    // How far the estimate is; empty before the packer says.
    property string progressText
    // Why the latest estimate failed; empty when it did not.
    property string errorMessage

    // The stop button of a running estimate was pressed.
    signal stopRequested()

    spacing: 0
    Accessible.role: Accessible.StatusBar
    Accessible.name: qsTr("Totals")
    Accessible.ignored: !visible

    Rectangle {
        Layout.fillWidth: true
        implicitHeight: 1
        color: Theme.separator
        Accessible.ignored: true
    }

    Item {
        id: status
        Layout.fillWidth: true
        // 36 high with 5 above and below; more when a large font wraps the totals.
        implicitHeight: Math.max(36, bar.isEstimating ? estimating.implicitHeight
                                   : bar.errorMessage.length > 0 ? failure.implicitHeight
                                   : totalsRow.implicitHeight) + 2 * 5

        Row {
            id: estimating
            anchors.centerIn: parent
            spacing: Theme.standardSpacing
            visible: bar.isEstimating

            BusyIndicator {
                implicitWidth: 32
                implicitHeight: 32
                scale: 0.7
                running: bar.isEstimating
                anchors.verticalCenter: parent.verticalCenter
                Accessible.ignored: true
            }
            Text {
                objectName: "estimatingText"
                text: bar.progressText.length > 0 ? bar.progressText : qsTr("Estimating...")
                color: Theme.secondaryText
                elide: Text.ElideRight
                width: Math.min(implicitWidth, status.width - 4 * Theme.standardSpacing - 64)
                anchors.verticalCenter: parent.verticalCenter
                Accessible.role: Accessible.StaticText
                Accessible.name: text
                Accessible.ignored: !bar.isEstimating || !bar.visible
            }
            IconButton {
                objectName: "stopEstimateButton"
                symbol: "xmark"
                text: qsTr("Stop the estimate (Escape)")
                color: Theme.secondaryText
                anchors.verticalCenter: parent.verticalCenter
                Accessible.ignored: !bar.isEstimating || !bar.visible
                onClicked: bar.stopRequested()
            }
        }

        Text {
            id: failure
            objectName: "estimateFailedText"
            anchors.centerIn: parent
            width: Math.min(implicitWidth, status.width - 2 * Theme.standardSpacing)
            visible: !bar.isEstimating && bar.errorMessage.length > 0
            color: Theme.text
            wrapMode: Text.Wrap
            maximumLineCount: 2
            elide: Text.ElideRight
            horizontalAlignment: Text.AlignHCenter
            textFormat: Text.PlainText
            text: qsTr("Estimate failed: %1").arg(bar.errorMessage)
            HoverHandler { id: failureHover }
            ToolTip.text: bar.errorMessage
            ToolTip.visible: failureHover.hovered && failure.truncated
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            Accessible.ignored: !visible || !bar.visible
        }

        RowLayout {
            id: totalsRow
            anchors.centerIn: parent
            visible: !bar.isEstimating && bar.errorMessage.length === 0
            spacing: 6

        Text {
            id: totals
            objectName: "totalsText"
            // One line where it fits beside the context note; wrapped where a large font needs it.
            Layout.preferredWidth: implicitWidth
            Layout.maximumWidth: status.width - 2 * Theme.standardSpacing - totalsRow.spacing - contextFit.implicitWidth
            leftPadding: 12
            color: Theme.secondaryText
            wrapMode: Text.Wrap
            horizontalAlignment: Text.AlignHCenter
            text: qsTr("Files: %1 • Chars: %2 • Tokens: %3")
                  .arg(Format.number(bar.totalFiles))
                  .arg(Format.number(bar.totalChars))
                  .arg(Format.number(bar.estimatedTokens))

            // Read as words. The name changes once per estimate (the three
            // totals arrive one after another), which tells the screen reader.
            readonly property string spoken: [Format.count(bar.totalFiles, qsTr("file"), qsTr("files")),
                                              Format.count(bar.totalChars, qsTr("character"), qsTr("characters")),
                                              Format.count(bar.estimatedTokens, qsTr("token"), qsTr("tokens"))].join(", ")
            property string announced: spoken
            function announce() { announced = spoken }
            onSpokenChanged: Qt.callLater(announce)
            Accessible.role: Accessible.StaticText
            Accessible.name: announced
            Accessible.ignored: !totalsRow.visible || !bar.visible
        }

        ContextFit {
            id: contextFit
            tokens: bar.estimatedTokens
            Accessible.ignored: !totalsRow.visible || !bar.visible || !visible
        }
        }
    }
}
