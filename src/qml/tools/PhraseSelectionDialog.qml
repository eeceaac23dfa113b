pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Parvix

// Picks a common phrase to type into the phone; the view sends the chosen text.
PXDialog {
    id: root

    required property CommonPhraseManager phraseManager
    property string selectedCategoryId: ""
    // Phrases of the selected category, refreshed when the store's phrases change.
    property var phrases: []

    signal phraseSelected(string phraseText)

    function refresh() {
        phrases = selectedCategoryId !== "" ? phraseManager.getPhrasesByCategory(selectedCategoryId)
                                            : []
    }

    function selectCategory(id: string) {
        selectedCategoryId = id
        refresh()
    }

    function choose(text: string) {
        phraseSelected(text)
        close()
    }

    onAboutToShow: {
        const categories = phraseManager.categories
        selectCategory(categories.length > 0 ? categories[0].id : "")
    }

    Connections {
        target: root.phraseManager
        function onPhrasesChanged() {
            root.refresh()
        }
        function onCategoriesChanged() {
            if (!root.phraseManager.getCategoryById(root.selectedCategoryId)) {
                const categories = root.phraseManager.categories
                root.selectCategory(categories.length > 0 ? categories[0].id : "")
            }
        }
    }

    title: qsTr("Select Phrase")
    width: 360
    height: 500
    showCloseButton: false

    footerButtons: [
        PXButton {
            text: qsTr("Close")
            onClicked: root.close()
        }
    ]

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 2
        spacing: 8

        ListView {
            id: tabs
            objectName: "categoryTabs"
            Layout.fillWidth: true
            Layout.preferredHeight: 30
            orientation: ListView.Horizontal
            spacing: 4
            clip: true
            boundsBehavior: Flickable.StopAtBounds
            model: root.phraseManager.categories
            ScrollBar.horizontal: ScrollBar {
                policy: ScrollBar.AsNeeded
            }

            delegate: Rectangle {
                id: tab
                objectName: "categoryTab"
                required property PhraseCategory modelData
                readonly property bool selected: modelData.id === root.selectedCategoryId

                width: tabText.implicitWidth + 20
                height: 28
                radius: 4
                color: selected ? Theme.backgroundBlackGreen : Theme.backgroundDarkGray
                border.width: 1
                border.color: selected ? Theme.borderLightGreen : Theme.borderDarkGray

                Text {
                    id: tabText
                    anchors.centerIn: parent
                    text: tab.modelData.name
                    color: tab.selected ? Theme.textGreen : Theme.textWhite
                    font.pixelSize: Theme.contentFont
                    font.bold: tab.selected
                }

                MouseArea {
                    Accessible.role: Accessible.PageTab
                    Accessible.name: tab.modelData.name
                    anchors.fill: parent
                    onClicked: root.selectCategory(tab.modelData.id)
                }
            }
        }

        ListView {
            objectName: "phraseList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 4
            clip: true
            boundsBehavior: Flickable.StopAtBounds
            model: root.phrases
            ScrollBar.vertical: ScrollBar {}

            // What to do when there is nothing to show.
            Text {
                objectName: "emptyHint"
                anchors.centerIn: parent
                width: parent.width - 40
                visible: parent.count === 0
                text: root.phraseManager.categories.length === 0 ? qsTr("No phrases yet: add categories and phrases under Tools, Common Phrases.")
                                                : qsTr("No phrases in this category: add them under Tools, Common Phrases.")
                color: Theme.textGray
                font.pixelSize: Theme.contentFont
                wrapMode: Text.Wrap
                horizontalAlignment: Text.AlignHCenter
            }

            delegate: Rectangle {
                id: phraseRow
                objectName: "phraseRow"
                required property CommonPhrase modelData

                width: ListView.view.width
                height: phraseText.implicitHeight + 16
                radius: 4
                color: area.containsMouse ? Theme.backgroundBlackGreen : Theme.backgroundDarkGray

                Text {
                    id: phraseText
                    anchors.left: parent.left
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    anchors.margins: 8
                    text: phraseRow.modelData.text
                    color: Theme.textWhite
                    font.pixelSize: Theme.contentFont
                    wrapMode: Text.Wrap
                    maximumLineCount: 4
                    elide: Text.ElideRight
                }

                MouseArea {
                    id: area
                    Accessible.role: Accessible.Button
                    Accessible.name: phraseRow.modelData.text
                    anchors.fill: parent
                    hoverEnabled: true
                    onClicked: root.choose(phraseRow.modelData.text)
                }
            }
        }
    }
}
