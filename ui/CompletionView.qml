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

    // Nothing reaches past the window's edges: long texts wrap or elide.
    readonly property real textWidth: width - 2 * Theme.standardPadding

    component Entrance: SequentialAnimation {
        PauseAnimation { duration: 300 }
        NumberAnimation { duration: 800; easing.type: Easing.BezierSpline; easing.bezierCurve: Theme.easeOut }
    }

    component TotalRow: RowLayout {
        property alias symbol: icon.symbol
        property alias text: label.text
        spacing: 12
        SymbolIcon { id: icon; Layout.preferredWidth: 20; size: 14; color: Theme.secondaryText }
        Text {
            id: label
            font.pointSize: Theme.points(14)
            color: Theme.secondaryText
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
    }

    component PillButton: T.Button {
        id: pill
        property bool filled: false
        property bool shown: false
        implicitWidth: Math.max(200, implicitContentWidth + leftPadding + rightPadding)
        implicitHeight: implicitContentHeight + topPadding + bottomPadding
        horizontalPadding: Theme.standardPadding
        scale: shown ? 1.0 : 0.8
        opacity: shown ? 1 : 0
        Behavior on scale { Entrance {} }
        Behavior on opacity { Entrance {} }
        font.weight: Font.Medium
        contentItem: Text {
            text: pill.text
            font: pill.font
            color: pill.filled ? Theme.accentText : Theme.accentOnWindow
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            opacity: pill.down ? 0.7 : 1
            Accessible.ignored: true
        }
        background: Rectangle {
            radius: 25
            color: pill.filled ? Theme.accent : "transparent"
            border.width: pill.filled ? 0 : 1
            border.color: Theme.accentOnWindow
        }
        FocusRing {
            control: pill
            radius: 25 + gap
            gap: 3
        }
        Keys.onReturnPressed: clicked()
        Keys.onEnterPressed: clicked()
    }

    ColumnLayout {
        anchors.centerIn: parent
        spacing: 16

        SymbolIcon {
            Layout.alignment: Qt.AlignHCenter
            symbol: "checkmark.seal.fill"
            size: 48
            color: Theme.success
            scale: view.showDetails ? 1.0 : 0.1
            // A spring of half a second's period, damped to 0.6 of critical.
            Behavior on scale { SpringAnimation { spring: 2.53; damping: 0.24; epsilon: 0.005 } }
        }

        Text {
            objectName: "titleText"
            Layout.alignment: Qt.AlignHCenter
            Layout.maximumWidth: view.textWidth
            text: qsTr("Bundling completed!")
            font.pointSize: Theme.titleSize
            font.bold: true
            color: Theme.text
            wrapMode: Text.Wrap
            horizontalAlignment: Text.AlignHCenter
            opacity: view.showDetails ? 1 : 0
            Behavior on opacity { Entrance {} }
            transform: Translate {
                y: view.showDetails ? 0 : 20
                Behavior on y { Entrance {} }
            }
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }

        ColumnLayout {
            objectName: "totals"
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 8
            Layout.bottomMargin: 8
            spacing: 12
            opacity: view.showDetails ? 1 : 0
            Behavior on opacity { Entrance {} }

            TotalRow { symbol: "doc.on.doc"; text: Format.count(view.totalFiles, qsTr("file"), qsTr("files")) }
            TotalRow { symbol: "number"; text: Format.count(view.totalChars, qsTr("character"), qsTr("characters")) }
            TotalRow { symbol: "textformat"; text: Format.count(view.estimatedTokens, qsTr("token"), qsTr("tokens")) }
        }

        PillButton {
            objectName: "bundleMoreButton"
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 24
            filled: true
            shown: view.showDetails
            text: qsTr("Bundle More Files")
            font.pointSize: Theme.points(16)
            verticalPadding: 12
            onClicked: view.reset()
        }

        PillButton {
            objectName: "revealButton"
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 8
            shown: view.showDetails
            text: FileManager.revealText
            font.pointSize: Theme.points(14)
            verticalPadding: 8
            onClicked: FileManager.reveal(view.outputFile)
        }

        Text {
            objectName: "fileNameText"
            Layout.alignment: Qt.AlignHCenter
            Layout.maximumWidth: view.textWidth
            text: Format.fileName(view.outputFile)
            textFormat: Text.PlainText
            font.pointSize: Theme.captionSize
            color: Theme.secondaryText
            elide: Text.ElideMiddle
            opacity: view.showDetails ? 1 : 0
            Behavior on opacity { Entrance {} }
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            Accessible.description: Format.path(view.outputFile)
        }
    }
}
