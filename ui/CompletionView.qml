import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T
import Lumbrel

// Shown once a bundle file has been written: an animated announcement, the
// totals of the bundle, and the ways on from here.
Item {
    id: view

    required property url outputFile
    property real totalFiles: 0
    property real totalChars: 0
    property real estimatedTokens: 0
    // The user wants to bundle more files; the host decides what that means.
    signal reset()

    // Turned on once when the view appears, which runs the entrance.
    property bool showDetails: false
    Component.onCompleted: showDetails = true

    component Entrance: SequentialAnimation {
        PauseAnimation { duration: 300 }
        NumberAnimation { duration: 800; easing.type: Easing.BezierSpline; easing.bezierCurve: Theme.easeOut }
    }

    component TotalRow: RowLayout {
        property alias symbol: icon.symbol
        property alias text: label.text
        spacing: 12
        SymbolIcon { id: icon; Layout.preferredWidth: 20; pixelSize: 14; color: Theme.secondary(palette.windowText) }
        Text { id: label; font.pixelSize: 14; color: Theme.secondary(palette.windowText) }
    }

    component PillButton: T.Button {
        id: pill
        property bool filled: false
        property bool shown: false
        implicitWidth: 200
        implicitHeight: implicitContentHeight + topPadding + bottomPadding
        scale: shown ? 1.0 : 0.8
        opacity: shown ? 1 : 0
        Behavior on scale { Entrance {} }
        Behavior on opacity { Entrance {} }
        font.weight: Font.Medium
        contentItem: Text {
            text: pill.text
            font: pill.font
            color: pill.filled ? "white" : palette.highlight
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            opacity: pill.down ? 0.7 : 1
        }
        background: Rectangle {
            radius: 25
            color: pill.filled ? palette.highlight : "transparent"
            border.width: pill.filled ? 0 : 1
            border.color: palette.highlight
        }
    }

    ColumnLayout {
        anchors.centerIn: parent
        spacing: 16

        SymbolIcon {
            Layout.alignment: Qt.AlignHCenter
            symbol: "checkmark.seal.fill"
            pixelSize: 48
            color: Theme.green
            scale: view.showDetails ? 1.0 : 0.1
            // A spring of half a second's period, damped to 0.6 of critical.
            Behavior on scale { SpringAnimation { spring: 2.53; damping: 0.24; epsilon: 0.005 } }
        }

        Text {
            Layout.alignment: Qt.AlignHCenter
            text: qsTr("Bundling completed!")
            font.pixelSize: 28
            font.bold: true
            color: palette.windowText
            opacity: view.showDetails ? 1 : 0
            Behavior on opacity { Entrance {} }
            transform: Translate {
                y: view.showDetails ? 0 : 20
                Behavior on y { Entrance {} }
            }
        }

        ColumnLayout {
            objectName: "totals"
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 8
            Layout.bottomMargin: 8
            spacing: 12
            opacity: view.showDetails ? 1 : 0
            Behavior on opacity { Entrance {} }

            TotalRow { symbol: "doc.on.doc"; text: qsTr("%1 files").arg(Format.number(view.totalFiles)) }
            TotalRow { symbol: "number"; text: qsTr("%1 characters").arg(Format.number(view.totalChars)) }
            TotalRow { symbol: "textformat"; text: qsTr("%1 tokens").arg(Format.number(view.estimatedTokens)) }
        }

        PillButton {
            objectName: "bundleMoreButton"
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 24
            filled: true
            shown: view.showDetails
            text: qsTr("Bundle More Files")
            font.pixelSize: 16
            verticalPadding: 12
            onClicked: view.reset()
        }

        PillButton {
            objectName: "revealButton"
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 8
            shown: view.showDetails
            text: FileManager.revealText
            font.pixelSize: 14
            verticalPadding: 8
            onClicked: FileManager.reveal(view.outputFile)
        }

        Text {
            objectName: "fileNameText"
            Layout.alignment: Qt.AlignHCenter
            text: Format.fileName(view.outputFile)
            textFormat: Text.PlainText
            font.pixelSize: Theme.captionSize
            color: Theme.secondary(palette.windowText)
            opacity: view.showDetails ? 1 : 0
            Behavior on opacity { Entrance {} }
        }
    }
}
