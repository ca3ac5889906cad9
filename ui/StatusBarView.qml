import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Lumbrel

// The bar along the bottom of the window: the totals of the current selection,
// an activity indicator while they are being estimated, why the latest
// estimate failed (with a way to try again), and what was refused when
// items were added. The window's announcer speaks the changes; the bar's own
// texts are there to be read.
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
    // What was refused when items were added ("not found: …"); empty when nothing was.
    property string statusMessage
    // Whether there are totals to show at all (the list is not empty).
    property bool hasTotals: true
    signal retry()

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

    Text {
        id: refused
        objectName: "statusMessageText"
        Layout.fillWidth: true
        Layout.topMargin: 5
        Layout.leftMargin: Theme.standardSpacing
        Layout.rightMargin: Theme.standardSpacing
        visible: bar.statusMessage.length > 0
        text: bar.statusMessage
        textFormat: Text.PlainText
        color: Theme.warning
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.Wrap
        maximumLineCount: 2
        elide: Text.ElideMiddle
        Accessible.role: Accessible.StaticText
        Accessible.name: text
        Accessible.ignored: !visible || !bar.visible
    }

    Item {
        id: status
        Layout.fillWidth: true
        visible: bar.hasTotals
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
                running: bar.isEstimating && bar.visible
                anchors.verticalCenter: parent.verticalCenter
                Accessible.ignored: true
            }
            Text {
                objectName: "estimatingText"
                text: bar.progressText.length > 0 ? bar.progressText : qsTr("Estimating…")
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

        RowLayout {
            id: failure
            anchors.centerIn: parent
            width: Math.min(implicitWidth, status.width - 2 * Theme.standardSpacing)
            visible: !bar.isEstimating && bar.errorMessage.length > 0
            spacing: Theme.standardSpacing

            Text {
                id: failureText
                objectName: "estimateFailedText"
                Layout.fillWidth: true
                Layout.maximumWidth: implicitWidth
                color: Theme.text
                wrapMode: Text.Wrap
                maximumLineCount: 2
                elide: Text.ElideRight
                textFormat: Text.PlainText
                text: qsTr("Estimate failed: %1").arg(bar.errorMessage)
                HoverHandler { id: failureHover }
                ToolTip.text: bar.errorMessage
                ToolTip.visible: failureHover.hovered && failureText.truncated
                Accessible.role: Accessible.StaticText
                Accessible.name: text
                Accessible.ignored: !failure.visible || !bar.visible
            }
            PushButton {
                objectName: "retryButton"
                text: qsTr("Retry")
                onClicked: bar.retry()
            }
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
                // A line breaks only between the totals, never inside one.
                text: qsTr("Files:\u00A0%1 • Chars:\u00A0%2 • Tokens:\u00A0%3")
                      .arg(Format.number(bar.totalFiles))
                      .arg(Format.number(bar.totalChars))
                      .arg(Format.number(bar.estimatedTokens))
                // Read as words. The three totals arrive one after another; the
                // name changes once, when all have.
                readonly property string spoken: [Format.count(bar.totalFiles, qsTr("file"), qsTr("files")),
                                                  Format.count(bar.totalChars, qsTr("character"), qsTr("characters")),
                                                  Format.count(bar.estimatedTokens, qsTr("token"), qsTr("tokens"))].join(", ")
                property string settled: spoken
                onSpokenChanged: settle.restart()
                Timer {
                    id: settle
                    interval: 0
                    onTriggered: totals.settled = totals.spoken
                }
                Accessible.role: Accessible.StaticText
                Accessible.name: settled
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
