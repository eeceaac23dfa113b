pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Parvix

// Edits the phrase categories and their phrases; the store saves every change.
PXDialog {
    id: root

    required property CommonPhraseManager phraseManager
    property CommonPhrase selectedPhrase: null
    property PhraseCategory selectedCategory: null
    property bool isEditingPhrase: false
    property bool isEditingCategory: false
    // The selected category's phrases, refreshed when the store's phrases change.
    property var phrases: []

    readonly property var categories: phraseManager.categories

    function refreshPhrases() {
        phrases = selectedCategory ? phraseManager.getPhrasesByCategory(selectedCategory.id) : []
    }

    function selectCategory(category: PhraseCategory) {
        selectedCategory = category
        categoryChooser.currentIndex = indexOfCategory(category)
        refreshPhrases()
    }

    function indexOfCategory(category: PhraseCategory): int {
        for (let i = 0; i < categories.length; ++i)
            if (categories[i] === category)
                return i
        return -1
    }

    function firstCategory(): PhraseCategory {
        return categories.length > 0 ? categories[0] : null
    }

    function openPhraseBox(phrase: CommonPhrase) {
        selectedPhrase = phrase
        isEditingPhrase = phrase !== null
        phraseField.text = phrase ? phrase.text : ""
        phraseBox.open()
    }

    function savePhrase() {
        const text = phraseField.text.trim()
        if (text === "" || !selectedCategory)
            return
        if (isEditingPhrase && selectedPhrase)
            phraseManager.updatePhrase(selectedPhrase.id, text, selectedCategory.id, "")
        else
            phraseManager.addPhrase(text, selectedCategory.id, "")
        phraseBox.close()
    }

    function openCategoryBox(editing: bool) {
        isEditingCategory = editing && selectedCategory !== null
        categoryField.text = isEditingCategory ? selectedCategory.name : ""
        categoryEditBox.open()
    }

    function saveCategory() {
        const name = categoryField.text.trim()
        if (name === "")
            return
        const edited = isEditingCategory ? selectedCategory : null
        if (edited)
            phraseManager.updateCategory(edited.id, name, "")
        else
            phraseManager.addCategory(name, "")
        categoryEditBox.close()
        selectCategory(edited ? edited : categories[categories.length - 1])
    }

    function deleteCategory() {
        if (selectedCategory)
            phraseManager.removeCategory(selectedCategory.id)
        selectCategory(firstCategory())
    }

    function deletePhrase() {
        if (selectedPhrase)
            phraseManager.removePhrase(selectedPhrase.id)
        selectedPhrase = null
    }

    onAboutToShow: {
        isEditingPhrase = false
        isEditingCategory = false
        selectedPhrase = null
        phraseField.text = ""
        categoryField.text = ""
        selectCategory(firstCategory())
    }

    Connections {
        target: root.phraseManager
        function onPhrasesChanged() {
            root.refreshPhrases()
        }
        function onCategoriesChanged() {
            // The combo box follows the list; the selection stays while its category does.
            categoryChooser.currentIndex = root.indexOfCategory(root.selectedCategory)
        }
    }

    title: qsTr("Common Phrases Manager")
    width: 500
    height: 600
    showCloseButton: false

    footerButtons: [
        PXButton {
            text: qsTr("Close")
            onClicked: root.close()
        }
    ]

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 4
        spacing: 10

        RowLayout {
            Layout.fillWidth: true
            spacing: 6

            Text {
                text: qsTr("Category:")
                color: Theme.textWhite
                font.pixelSize: Theme.contentFont
            }

            DialogComboBox {
                id: categoryChooser
                objectName: "categoryBox"
                Layout.fillWidth: true
                model: root.categories
                textRole: "name"
                displayText: currentIndex >= 0 ? currentText : ""
                onActivated: index => root.selectCategory(root.categories[index])
            }

            PXButton {
                objectName: "newCategoryButton"
                text: qsTr("New")
                minWidth: 56
                onClicked: root.openCategoryBox(false)
            }
            PXButton {
                objectName: "editCategoryButton"
                text: qsTr("Edit")
                minWidth: 56
                textColor: Theme.textYellow
                enabled: root.selectedCategory !== null
                onClicked: root.openCategoryBox(true)
            }
            PXButton {
                objectName: "deleteCategoryButton"
                text: qsTr("Delete")
                minWidth: 56
                textColor: Theme.textRed
                enabled: root.selectedCategory !== null
                onClicked: deleteCategoryBox.open()
            }
        }

        RowLayout {
            Layout.fillWidth: true

            Text {
                Layout.fillWidth: true
                text: qsTr("Phrases:")
                color: Theme.textWhite
                font.pixelSize: Theme.contentFont
            }

            PXButton {
                objectName: "newPhraseButton"
                text: qsTr("New")
                minWidth: 56
                enabled: root.selectedCategory !== null
                onClicked: root.openPhraseBox(null)
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
                text: root.categories.length === 0 ? qsTr("No categories yet: click \"New\" beside Category to add one.")
                                                : qsTr("No phrases in this category: click \"New\" beside Phrases to add one.")
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
                height: Math.max(phraseText.implicitHeight + 16, 40)
                radius: 4
                color: Theme.backgroundDarkGray

                RowLayout {
                    anchors.fill: parent
                    anchors.leftMargin: 10
                    anchors.rightMargin: 6
                    spacing: 6

                    Text {
                        id: phraseText
                        Layout.fillWidth: true
                        text: phraseRow.modelData.text
                        color: Theme.textWhite
                        font.pixelSize: Theme.contentFont
                        wrapMode: Text.Wrap
                        maximumLineCount: 3
                        elide: Text.ElideRight
                    }

                    PXButton {
                        objectName: "editPhraseButton"
                        text: qsTr("Edit")
                        minWidth: 56
                        textColor: Theme.textYellow
                        onClicked: root.openPhraseBox(phraseRow.modelData)
                    }

                    PXButton {
                        objectName: "deletePhraseButton"
                        text: qsTr("Delete")
                        minWidth: 56
                        textColor: Theme.textRed
                        onClicked: {
                            root.selectedPhrase = phraseRow.modelData
                            deletePhraseBox.open()
                        }
                    }
                }
            }
        }
    }

    PXDialog {
        id: phraseBox
        objectName: "phraseBox"
        width: 400
        height: 250
        showHeader: false
        contentFramed: false
        onOpened: phraseField.forceActiveFocus()

        footerButtons: [
            PXButton {
                text: qsTr("Cancel")
                onClicked: phraseBox.close()
            },
            PXButton {
                objectName: "savePhraseButton"
                text: root.isEditingPhrase ? qsTr("Update") : qsTr("Add")
                enabled: phraseField.text.trim() !== "" && root.selectedCategory !== null
                onClicked: root.savePhrase()
            }
        ]

        ScrollView {
            anchors.fill: parent
            contentWidth: availableWidth

            TextArea {
                id: phraseField
                objectName: "phraseField"
                wrapMode: TextEdit.Wrap
                placeholderText: qsTr("Enter phrase text...")
                placeholderTextColor: Theme.textGray
                color: Theme.textWhite
                selectionColor: Theme.primaryDark
                font.pixelSize: Theme.contentFont
                background: Rectangle {
                    color: Theme.backgroundDarkGray
                    radius: 4
                    border.width: 1
                    border.color: phraseField.activeFocus ? Theme.borderDarkGreen : Theme.borderDarkGray
                }
            }
        }
    }

    PXDialog {
        id: categoryEditBox
        objectName: "categoryEditBox"
        title: qsTr("New Category")
        width: 350
        height: 150
        showCloseButton: false
        contentFramed: false
        onOpened: categoryField.forceActiveFocus()

        footerButtons: [
            PXButton {
                text: qsTr("Cancel")
                onClicked: categoryEditBox.close()
            },
            PXButton {
                objectName: "saveCategoryButton"
                text: qsTr("Save")
                enabled: categoryField.text.trim() !== ""
                onClicked: root.saveCategory()
            }
        ]

        PXTextField {
            id: categoryField
            objectName: "categoryField"
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.verticalCenter: parent.verticalCenter
            placeholderTextValue: qsTr("Enter category name...")
            onAccepted: root.saveCategory()
        }
    }

    Confirmation {
        id: deleteCategoryBox
        objectName: "deleteCategoryBox"
        question: qsTr("Are you sure you want to delete category?")
        onConfirmed: root.deleteCategory()
    }

    Confirmation {
        id: deletePhraseBox
        objectName: "deletePhraseBox"
        question: qsTr("Are you sure you want to delete the phrase?")
        onConfirmed: root.deletePhrase()
    }

    component Confirmation: PXDialog {
        id: confirmation

        property string question
        signal confirmed

        width: 350
        height: 150
        showHeader: false
        contentFramed: false

        footerButtons: [
            PXButton {
                text: qsTr("Cancel")
                onClicked: confirmation.close()
            },
            PXButton {
                objectName: "confirmButton"
                text: qsTr("Delete")
                textColor: Theme.textWhite
                backgroundColor: Theme.danger
                onClicked: {
                    confirmation.close()
                    confirmation.confirmed()
                }
            }
        ]

        Text {
            anchors.fill: parent
            text: confirmation.question
            color: Theme.textWhite
            font.pixelSize: Theme.titleFont
            wrapMode: Text.Wrap
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
        }
    }
}
