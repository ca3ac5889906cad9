import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QtQuick.Templates as T
import Lumbrel

// The bar along the bottom of the window: the totals of the current selection,
// an activity indicator while they are being estimated, why the latest
// estimate failed (with a way to try again), what was refused when items
// were added, and what a copy without saving did. The totals are marked "≈"
// while they only follow the ticks, and open the heaviest files when
// pressed. The window's announcer speaks the changes; the bar's own texts
// are there to be read.
ColumnLayout {
    id: bar

    property real totalFiles: 0
    property real totalChars: 0
    property real estimatedTokens: 0
    // The context limit the user chose, a size's name ("200K").
    property string contextLimit: "1M"
    property bool isEstimating: false
    // How far the estimate is; empty before the packer says.
    property string progressText
    // Why the latest estimate failed; empty when it did not.
    property string errorMessage
    // What was refused when items were added ("not found: …"); empty when nothing was.
    property string statusMessage
    // What a copy without saving did ("Copied 1,234 tokens"); empty when there is nothing to say.
    property string copyMessage
    // The totals follow the ticks; the next estimate confirms them.
    property bool provisional: false
    // Whether there are totals to show at all (the list is not empty).
    property bool hasTotals: true
    signal retry()
    // The totals were pressed: the heaviest files are wanted.
    signal totalsActivated()

    // Gives the keyboard focus, with its ring, to the totals (where the heaviest files came from).
    function takeTotalsFocus() {
        if (totals.visible)
            totals.forceActiveFocus(Qt.TabFocusReason)
    }

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

    Text {
        objectName: "copyMessageText"
        Layout.fillWidth: true
        Layout.topMargin: 5
        Layout.leftMargin: Theme.standardSpacing
        Layout.rightMargin: Theme.standardSpacing
        visible: bar.copyMessage.length > 0
        text: bar.copyMessage
        textFormat: Text.PlainText
        color: Theme.secondaryText
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.Wrap
        maximumLineCount: 2
        elide: Text.ElideRight
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

            T.AbstractButton {
                id: totals
                objectName: "totalsText"
                // One line where it fits beside the context note; wrapped where a large font needs it.
                Layout.preferredWidth: implicitWidth
                Layout.maximumWidth: status.width - 2 * Theme.standardSpacing - totalsRow.spacing - contextFit.implicitWidth
                implicitWidth: implicitContentWidth + leftPadding + rightPadding
                implicitHeight: implicitContentHeight + topPadding + bottomPadding
                leftPadding: 12
                rightPadding: 4
                topPadding: 2
                bottomPadding: 2
                hoverEnabled: true
                // A line breaks only between the totals, never inside one.
                text: (bar.provisional ? "\u2248\u00A0" : "")
                      + qsTr("Files:\u00A0%1 • Chars:\u00A0%2 • Tokens:\u00A0%3")
                      .arg(Format.number(bar.totalFiles))
                      .arg(Format.number(bar.totalChars))
                      .arg(Format.number(bar.estimatedTokens))
                contentItem: Text {
                    text: totals.text
                    color: Theme.secondaryText
                    font.italic: bar.provisional
                    wrapMode: Text.Wrap
                    horizontalAlignment: Text.AlignHCenter
                    opacity: totals.down ? 0.6 : 1
                    Accessible.ignored: true
                }
                background: Rectangle {
                    radius: Theme.cornerRadius
                    color: totals.hovered ? Theme.selection : "transparent"
                }
                FocusRing { control: totals; radius: Theme.cornerRadius }
                Keys.onReturnPressed: clicked()
                Keys.onEnterPressed: clicked()
                onClicked: bar.totalsActivated()
                ToolTip.text: bar.provisional ? qsTr("About this much until the estimate confirms it. Show the heaviest files")
                                              : qsTr("Show the heaviest files")
                ToolTip.visible: hovered
                ToolTip.delay: Theme.toolTipDelay

                // Read as words. The three totals arrive one after another; the
                // name changes once, when all have.
                readonly property string spoken: (bar.provisional ? qsTr("about") + " " : "")
                                                 + [Format.count(bar.totalFiles, qsTr("file"), qsTr("files")),
                                                    Format.count(bar.totalChars, qsTr("character"), qsTr("characters")),
                                                    Format.count(bar.estimatedTokens, qsTr("token"), qsTr("tokens"))].join(", ")
                property string settled: spoken
                onSpokenChanged: settle.restart()
                Timer {
                    id: settle
                    interval: 0
                    onTriggered: totals.settled = totals.spoken
                }
                Accessible.role: Accessible.Button
                Accessible.name: settled
                Accessible.description: qsTr("Shows the heaviest files")
                Accessible.onPressAction: clicked()
                Accessible.ignored: !totalsRow.visible || !bar.visible
            }

            ContextFit {
                id: contextFit
                tokens: bar.estimatedTokens
                limit: bar.contextLimit
                Accessible.ignored: !totalsRow.visible || !bar.visible || !visible
            }
        }
    }
}
