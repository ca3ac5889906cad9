pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QtQuick.Templates as T
import Lumbrel

// Shown once a bundle file has been written: an animated announcement, the
// totals of the bundle with the context sizes it fits, what was left out, and
// the ways on from here. Copying the text for a chat is what most people do
// next, so "Copy" is the first button and has the focus (Ctrl+C does it
// too); the file can also be shown in the file manager or dragged out by its
// seal or its name. Escape goes back to the list.
FocusScope {
    id: view

    required property url outputFile
    // Every file of the bundle: its parts, where it was split.
    property list<url> outputFiles
    property real totalFiles: 0
    property real totalChars: 0
    property real estimatedTokens: 0
    // The context limit the user chose, a size's name ("200K").
    property string contextLimit: "1M"
    // What the bundle left out that the user may not expect, a line each.
    property list<string> leftOut
    // Copies the bundle's text to the clipboard; none: no copy.
    property BundleClipboard clipboard: null
    // The user wants to bundle more files; the host decides what that means.
    signal reset()
    // The user wants the list back as it was, to change something and bundle again.
    signal backToList()

    // Turned on once when the view appears, which runs the entrance.
    property bool showDetails: false
    Component.onCompleted: showDetails = true

    // Nothing reaches past the window's edges: long texts wrap or elide.
    readonly property real textWidth: width - 2 * Theme.standardPadding

    // Puts the keyboard focus, with its ring, on the default button: Copy,
    // or Show in File Manager where there is nothing to copy.
    function takeFocus() {
        (copyButton.visible ? copyButton : revealButton).forceActiveFocus(Qt.TabFocusReason)
    }

    Keys.onEscapePressed: view.backToList()

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

    // A text button under the main ones, in the body size.
    component LinkButton: T.Button {
        id: link
        property bool shown: false
        implicitWidth: implicitContentWidth + leftPadding + rightPadding
        implicitHeight: implicitContentHeight + topPadding + bottomPadding
        padding: 4
        opacity: shown ? 1 : 0
        Behavior on opacity { Entrance {} }
        font.pointSize: Theme.bodySize
        contentItem: Text {
            text: link.text
            font: link.font
            color: Theme.accentOnWindow
            horizontalAlignment: Text.AlignHCenter
            opacity: link.down ? 0.7 : 1
            Accessible.ignored: true
        }
        background: null
        FocusRing { control: link; radius: Theme.cornerRadius }
        Keys.onReturnPressed: clicked()
        Keys.onEnterPressed: clicked()
        Accessible.name: text
    }

    // Drags the bundle file out as a file, for a browser's upload or a file manager.
    component FileDrag: Item {
        id: source
        required property url file
        property bool dragging: dragHandler.active
        Drag.active: dragHandler.active
        Drag.dragType: Drag.Automatic
        Drag.supportedActions: Qt.CopyAction
        Drag.mimeData: { "text/uri-list": String(source.file) + "\r\n" }
        DragHandler { id: dragHandler; target: null }
        HoverHandler { cursorShape: Qt.OpenHandCursor }
    }

    Shortcut {
        sequences: [StandardKey.Copy] // qmllint disable unqualified
        enabled: view.visible && view.clipboard !== null
        onActivated: view.clipboard.copy()
    }

    component PillButton: T.Button {
        id: pill
        property bool filled: false
        property bool shown: false
        implicitWidth: Math.max(Theme.pillWidth, implicitContentWidth + leftPadding + rightPadding)
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
            radius: Theme.pillRadius
            color: pill.filled ? Theme.accent : "transparent"
            border.width: pill.filled ? 0 : 1
            border.color: Theme.accentOnWindow
        }
        FocusRing {
            control: pill
            radius: Theme.pillRadius + gap
            gap: 3
        }
        Keys.onReturnPressed: clicked()
        Keys.onEnterPressed: clicked()
        Accessible.name: text
    }

    // Centred where it fits; scrolls where a large font makes it taller than the window.
    Flickable {
        id: scroller
        anchors.fill: parent
        contentWidth: width
        contentHeight: Math.max(height, content.implicitHeight + 2 * Theme.standardPadding)
        boundsBehavior: Flickable.StopAtBounds
        clip: true
        ScrollBar.vertical: ScrollBar { policy: scroller.contentHeight > scroller.height ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff }

        ColumnLayout {
            id: content
            anchors.centerIn: parent
            spacing: 12

            SymbolIcon {
                Layout.alignment: Qt.AlignHCenter
                symbol: "checkmark.seal.fill"
                size: 48
                color: Theme.success
                scale: view.showDetails ? 1.0 : 0.1
                // A spring of half a second's period, damped to 0.6 of critical.
                Behavior on scale { SpringAnimation { spring: 2.53; damping: 0.24; epsilon: 0.005 } }
                FileDrag { objectName: "sealDrag"; anchors.fill: parent; file: view.outputFile }
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
                Layout.topMargin: Theme.standardSpacing
                Layout.bottomMargin: Theme.standardSpacing
                spacing: 12
                opacity: view.showDetails ? 1 : 0
                Behavior on opacity { Entrance {} }

                TotalRow { symbol: "doc.on.doc"; text: Format.count(view.totalFiles, qsTr("file"), qsTr("files")) }
                TotalRow { symbol: "number"; text: Format.count(view.totalChars, qsTr("character"), qsTr("characters")) }
                RowLayout {
                    spacing: Theme.standardSpacing
                    TotalRow { symbol: "textformat"; text: Format.count(view.estimatedTokens, qsTr("token"), qsTr("tokens")) }
                    ContextFit { tokens: view.estimatedTokens; limit: view.contextLimit }
                }
            }

            // What was left out: a short line, with the list behind it.
            LinkButton {
                id: leftOutButton
                objectName: "leftOutButton"
                Layout.alignment: Qt.AlignHCenter
                visible: view.leftOut.length > 0
                Accessible.ignored: !visible
                shown: view.showDetails
                text: view.totalFiles === 0 ? qsTr("Nothing was packed: see why")
                                            : Format.count(view.leftOut.length, qsTr("item left out"), qsTr("items left out"))
                onClicked: leftOutList.open()
            }

            // Never disabled, so that the focus stays on it while it copies;
            // a copy that cannot be made says why on the button itself.
            PillButton {
                id: copyButton
                objectName: "copyButton"
                Layout.alignment: Qt.AlignHCenter
                Layout.topMargin: Theme.standardSpacing
                visible: view.clipboard !== null
                filled: true
                shown: view.showDetails
                text: view.clipboard ? view.clipboard.label : ""
                font.pointSize: Theme.points(16)
                verticalPadding: 12
                ToolTip.text: qsTr("Copy the bundle's text, to paste it into a chat (Ctrl+C)")
                ToolTip.visible: hovered
                ToolTip.delay: 600
                Accessible.description: view.clipboard ? view.clipboard.message : ""
                onClicked: view.clipboard.copy()
            }

            PillButton {
                id: revealButton
                objectName: "revealButton"
                Layout.alignment: Qt.AlignHCenter
                shown: view.showDetails
                text: FileManager.revealText
                font.pointSize: Theme.points(14)
                verticalPadding: Theme.standardSpacing
                onClicked: FileManager.reveal(view.outputFile)
            }

            RowLayout {
                Layout.alignment: Qt.AlignHCenter
                spacing: Theme.standardPadding
                LinkButton {
                    objectName: "bundleMoreButton"
                    shown: view.showDetails
                    text: qsTr("Bundle More Files")
                    ToolTip.text: qsTr("Empty the list and start again (Ctrl+Z brings it back)")
                    ToolTip.visible: hovered
                    ToolTip.delay: 600
                    onClicked: view.reset()
                }
                LinkButton {
                    objectName: "backToListButton"
                    shown: view.showDetails
                    text: qsTr("Back to List")
                    onClicked: view.backToList()
                }
            }

            // The file's name, or each part's where the bundle was split.
            Text {
                objectName: "partsText"
                Layout.alignment: Qt.AlignHCenter
                Layout.maximumWidth: view.textWidth
                visible: view.outputFiles.length > 1
                text: qsTr("Split into %1 parts:").arg(view.outputFiles.length)
                font.pointSize: Theme.captionSize
                color: Theme.secondaryText
                wrapMode: Text.Wrap
                opacity: view.showDetails ? 1 : 0
                Behavior on opacity { Entrance {} }
                Accessible.role: Accessible.StaticText
                Accessible.name: text
                Accessible.ignored: !visible
            }
            Repeater {
                model: view.outputFiles.length > 1 ? view.outputFiles : [view.outputFile]
                delegate: Text {
                    id: partName
                    required property url modelData
                    objectName: "fileNameText"
                    Layout.alignment: Qt.AlignHCenter
                    Layout.maximumWidth: view.textWidth
                    text: Format.fileName(modelData)
                    textFormat: Text.PlainText
                    font.pointSize: Theme.captionSize
                    color: Theme.secondaryText
                    elide: Text.ElideMiddle
                    opacity: view.showDetails ? 1 : 0
                    Behavior on opacity { Entrance {} }
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                    Accessible.description: Format.path(modelData)
                    FileDrag { objectName: "nameDrag"; anchors.fill: parent; file: partName.modelData }
                }
            }
        }
    }

    Popup {
        id: leftOutList
        objectName: "leftOutList"
        parent: Overlay.overlay
        anchors.centerIn: parent
        width: Math.min(Theme.dialogWidth, view.width - 2 * Theme.dialogMargin)
        height: Math.min(implicitHeight, view.height - 3 * Theme.dialogMargin)
        modal: true
        focus: true
        padding: Theme.standardPadding
        background: Rectangle { color: Theme.window; border.color: Theme.frame; radius: Theme.cornerRadius }
        contentItem: ColumnLayout {
            spacing: Theme.standardSpacing
            Text {
                text: qsTr("Left out of the bundle")
                font.pointSize: Theme.headlineSize
                font.bold: true
                color: Theme.text
                Accessible.role: Accessible.StaticText
                Accessible.name: text
            }
            ListView {
                Layout.fillWidth: true
                Layout.fillHeight: true
                Layout.preferredHeight: contentHeight
                clip: true
                spacing: 4
                model: view.leftOut
                activeFocusOnTab: true
                ScrollBar.vertical: ScrollBar {}
                Accessible.role: Accessible.List
                Accessible.name: qsTr("Left out of the bundle")
                delegate: Text {
                    required property string modelData
                    width: ListView.view.width
                    text: modelData
                    textFormat: Text.PlainText
                    // Between words; a path too long for a line breaks where it must.
                    wrapMode: Text.WrapAtWordBoundaryOrAnywhere
                    color: Theme.secondaryText
                    font.pointSize: Theme.points(12)
                    Accessible.role: Accessible.ListItem
                    Accessible.name: text
                }
            }
            PushButton {
                Layout.alignment: Qt.AlignRight
                text: qsTr("Close")
                focus: true
                onClicked: leftOutList.close()
            }
        }
    }
}
