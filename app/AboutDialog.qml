pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Lumbrel
import "ThirdPartyNotices.js" as ThirdPartyNotices

// The version, Lumbrel's licence and the licences of the runtime and the
// packer it ships, generated from the installed packages (the same text as
// the package's copyright file). They run to thousands of lines.
Dialog {
    id: dialog

    property string version

    objectName: "aboutDialog"
    title: "About Lumbrel"
    modal: true
    focus: true // Escape closes it at once
    standardButtons: Dialog.Ok
    // Inside the window, with a margin on every side.
    width: Math.min(Theme.dialogWidth, (parent ? parent.width : Theme.windowWidth) - 2 * Theme.dialogMargin)
    height: Math.min(460, (parent ? parent.height : Theme.windowHeight) - 2 * Theme.dialogMargin)

    ColumnLayout {
        anchors.fill: parent
        spacing: 6

        Label {
            text: "Lumbrel"
            font.bold: true
            font.pointSize: Theme.points(18)
        }
        Label { text: "Version " + dialog.version }
        Label {
            Layout.fillWidth: true
            text: "Bundles files and folders into one text file for AI assistants."
            wrapMode: Text.Wrap
        }
        Label {
            objectName: "license"
            Layout.fillWidth: true
            text: ThirdPartyNotices.license // qmllint disable unqualified
            wrapMode: Text.Wrap
            font.pointSize: dialog.font.pointSize - 1
        }
        Label {
            Layout.topMargin: 6
            text: "Third-party notices"
            font.bold: true
        }

        // Colours come from the palette, so light and dark themes both read well.
        Rectangle {
            Layout.fillWidth: true
            Layout.fillHeight: true
            color: dialog.palette.base
            border.color: dialog.palette.mid

            // One paragraph a row: only the rows in sight are laid out, so the
            // dialog opens at once however long the notices are.
            ListView {
                id: notices
                objectName: "notices"
                anchors.fill: parent
                anchors.margins: 1
                clip: true
                model: dialog.visible ? ThirdPartyNotices.notices.split("\n\n") : [] // qmllint disable unqualified
                boundsBehavior: Flickable.StopAtBounds
                ScrollBar.vertical: ScrollBar {
                    policy: ScrollBar.AlwaysOn // there is much more below
                }
                delegate: TextArea {
                    required property string modelData
                    width: notices.width - notices.ScrollBar.vertical.width
                    // Prose flows to the width; lines that open a list item, an
                    // indented block, a copyright line or a rule stay lines.
                    text: modelData.replace(/\n(?![\s\-*•=("©]|\d|Copyright|COPYRIGHT|Licence:)/g, " ")
                    readOnly: true
                    selectByMouse: true
                    wrapMode: TextEdit.Wrap
                    font.pointSize: dialog.font.pointSize - 1
                    topPadding: 3
                    bottomPadding: 3
                    background: null
                    color: palette.text
                    // Text to read, not a field to edit.
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                    selectedTextColor: palette.highlightedText
                    selectionColor: palette.highlight
                }
            }
        }
    }
}
