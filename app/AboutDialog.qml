import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

Dialog {
    property string version

    title: "About Lumbrel"
    modal: true
    standardButtons: Dialog.Ok

    ColumnLayout {
        spacing: 6
        Label {
            text: "Lumbrel"
            font.bold: true
            font.pixelSize: 18
        }
        Label { text: "Version " + version }
        Label { text: "Bundles files and folders into one text file for AI assistants." }
    }
}
