import QtQuick
import QtTest
import Parvix

// The phrase picker and the common-phrases editor with its boxes.
DialogTestCase {
    id: testCase
    name: "Phrases"

    function clearPhrases() {
        for (const category of CommonPhraseManager.getCategoriesList())
            CommonPhraseManager.removeCategory(category.id)
        for (const phrase of CommonPhraseManager.getAllPhrases())
            CommonPhraseManager.removePhrase(phrase.id)
    }

    function savedFile() {
        return JSON.parse(helper.readFile(AppConfig.getCommonPhraseSavePath() + "/common_phrases.json"))
    }

    function box(dialog, name) {
        const found = findChild(dialog, name)
        tryVerify(() => found.opened, 3000, name + " opens")
        return found
    }

    // The phrase reaching the phone through a tile: the journeys.
    function test_categoriesAndChoice() {
        clearPhrases()
        CommonPhraseManager.addCategory("Greetings", "")
        CommonPhraseManager.addCategory("Orders", "")
        const greetings = CommonPhraseManager.getCategoriesList()[0].id
        const orders = CommonPhraseManager.getCategoriesList()[1].id
        CommonPhraseManager.addPhrase("Hello there", greetings, "")
        CommonPhraseManager.addPhrase("Line one\nline two\nline three\nline four\nline five", greetings, "")
        CommonPhraseManager.addPhrase("Ship today, 你好", orders, "")
        const picker = make("PhraseSelectionDialog", { phraseManager: CommonPhraseManager })
        let chosen = []
        picker.phraseSelected.connect(text => chosen.push(text))
        openDialog(picker)
        compare(picker.selectedCategoryId, greetings, "the first category is selected")
        const tabs = visibleAll(picker, "categoryTab")
        compare(tabs.length, 2)
        let rows = visibleAll(picker, "phraseRow")
        compare(rows.length, 2)
        // A long phrase shows four lines at most.
        verify(rows[1].height < rows[0].height * 5)

        click(tabs[1])
        compare(picker.selectedCategoryId, orders)
        rows = visibleAll(picker, "phraseRow")
        compare(rows.length, 1)
        click(rows[0])
        tryVerify(() => !picker.visible)
        compare(chosen, ["Ship today, 你好"])
    }

    function test_editor() {
        clearPhrases()
        const editor = openDialog(make("CommonPhrasesDialog", { phraseManager: CommonPhraseManager }))
        verify(!find(editor, "newPhraseButton").enabled)
        verify(!find(editor, "deleteCategoryButton").enabled)

        // Categories: add (the new one is selected), rename keeps it selected.
        click(find(editor, "newCategoryButton"))
        let categoryBox = box(editor, "categoryEditBox")
        const save = find(categoryBox, "saveCategoryButton")
        typeText(find(categoryBox, "categoryField"), " Greetings ")
        click(save)
        tryVerify(() => !categoryBox.visible)
        click(find(editor, "newCategoryButton"))
        categoryBox = box(editor, "categoryEditBox")
        compare(find(categoryBox, "categoryField").text, "")
        typeText(find(categoryBox, "categoryField"), "Orders")
        click(find(categoryBox, "saveCategoryButton"))
        tryVerify(() => !categoryBox.visible)
        compare(find(editor, "categoryBox").currentText, "Orders")

        click(find(editor, "editCategoryButton"))
        categoryBox = box(editor, "categoryEditBox")
        compare(find(categoryBox, "categoryField").text, "Orders")
        typeText(find(categoryBox, "categoryField"), "Shipping")
        click(find(categoryBox, "saveCategoryButton"))
        tryVerify(() => !categoryBox.visible)
        compare(CommonPhraseManager.getCategoriesList().map(c => c.name), ["Greetings", "Shipping"])

        // Phrases of the selected category: add, update, delete after the question.
        click(find(editor, "newPhraseButton"))
        let phraseBox = box(editor, "phraseBox")
        typeText(find(phraseBox, "phraseField"), "  Sent today  ")
        click(find(phraseBox, "savePhraseButton"))
        tryVerify(() => !phraseBox.visible)
        let rows = visibleAll(editor, "phraseRow")
        const shipping = editor.selectedCategory.id
        compare(savedFile().phrases, [{ id: savedFile().phrases[0].id, text: "Sent today",
                                        category: shipping, description: "" }])

        click(find(rows[0], "editPhraseButton"))
        phraseBox = box(editor, "phraseBox")
        compare(find(phraseBox, "phraseField").text, "Sent today")
        typeText(find(phraseBox, "phraseField"), "Sent tomorrow")
        click(find(phraseBox, "savePhraseButton"))
        tryVerify(() => !phraseBox.visible)
        compare(CommonPhraseManager.getPhrasesByCategory(shipping).map(p => p.text), ["Sent tomorrow"])

        rows = visibleAll(editor, "phraseRow")
        click(find(rows[0], "deletePhraseButton"))
        let confirm = box(editor, "deletePhraseBox")
        click(find(confirm, "confirmButton"))
        tryVerify(() => !confirm.visible)
        compare(CommonPhraseManager.getAllPhrases().length, 0)
        tryCompare(editor.phrases, "length", 0)

        // Deleting the category (the journeys) selects the first remaining one.
        editor.deleteCategory()
        compare(editor.selectedCategory.name, "Greetings")
    }
}
