import QtQuick
import QtTest
import Parvix

// The phrase picker and the common-phrases editor with its boxes; a category and a phrase
// created and deleted by mouse, and a phrase sent to a phone: the journeys.
DialogTestCase {
    id: testCase
    name: "Phrases"

    function clearPhrases() {
        CommonPhraseManager.getCategoriesList().forEach(category => CommonPhraseManager.removeCategory(category.id))
        CommonPhraseManager.getAllPhrases().forEach(phrase => CommonPhraseManager.removePhrase(phrase.id))
    }

    function box(dialog, name) {
        const found = findChild(dialog, name)
        tryVerify(() => found.opened, 3000, name + " opens")
        return found
    }

    function test_categoriesAndChoice() {
        clearPhrases()
        CommonPhraseManager.addCategory("Greetings", "")
        CommonPhraseManager.addCategory("Orders", "")
        const [greetings, orders] = CommonPhraseManager.getCategoriesList().map(c => c.id)
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
        verify(rows[1].height < rows[0].height * 5, "a long phrase shows four lines at most")
        click(tabs[1])
        compare(picker.selectedCategoryId, orders)
        rows = visibleAll(picker, "phraseRow")
        compare(rows.length, 1)
        click(rows[0])
        tryVerify(() => !picker.visible)
        compare(chosen, ["Ship today, 你好"])
    }

    // Types into the box's field (after checking what it starts with) and saves.
    function edit(editor, button, boxName, field, before, text, save) {
        click(button)
        const shown = box(editor, boxName)
        compare(find(shown, field).text, before)
        typeText(find(shown, field), text)
        click(find(shown, save))
        tryVerify(() => !shown.visible)
    }

    function test_editor() {
        clearPhrases()
        const editor = openDialog(make("CommonPhrasesDialog", { phraseManager: CommonPhraseManager }))
        verify(!find(editor, "newPhraseButton").enabled && !find(editor, "deleteCategoryButton").enabled)
        const category = (button, before, text) => edit(editor, find(editor, button), "categoryEditBox",
                                                        "categoryField", before, text, "saveCategoryButton")
        category("newCategoryButton", "", " Greetings ")
        category("newCategoryButton", "", "Orders")
        compare(find(editor, "categoryBox").currentText, "Orders", "the new one is selected")
        category("editCategoryButton", "Orders", "Shipping")
        compare(CommonPhraseManager.getCategoriesList().map(c => c.name), ["Greetings", "Shipping"])

        const phrase = (button, before, text) => edit(editor, button, "phraseBox", "phraseField", before, text,
                                                      "savePhraseButton")
        phrase(find(editor, "newPhraseButton"), "", "  Sent today  ")
        const shipping = editor.selectedCategory.id
        const saved = JSON.parse(helper.readFile(AppConfig.getCommonPhraseSavePath() + "/common_phrases.json"))
        compare(saved.phrases, [{ id: saved.phrases[0].id, text: "Sent today", category: shipping, description: "" }])
        phrase(find(visibleAll(editor, "phraseRow")[0], "editPhraseButton"), "Sent today", "Sent tomorrow")
        compare(CommonPhraseManager.getPhrasesByCategory(shipping).map(p => p.text), ["Sent tomorrow"])
        click(find(visibleAll(editor, "phraseRow")[0], "deletePhraseButton"))
        const confirm = box(editor, "deletePhraseBox")
        click(find(confirm, "confirmButton"))
        tryVerify(() => !confirm.visible)
        compare(CommonPhraseManager.getAllPhrases().length, 0)
        tryCompare(editor.phrases, "length", 0)
        editor.deleteCategory()
        compare(editor.selectedCategory.name, "Greetings", "the first remaining category is selected")
    }
}
