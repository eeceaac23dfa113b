import QtQuick
import QtTest
import Parvix

// The application settings (written only on Save, folders checked) and the about box; Cancel,
// Save and the folder picker by mouse: the journeys.
DialogTestCase {
    id: testCase
    name: "AppDialogs"

    function settings() {
        return [AppConfig.getLocale(), AppConfig.getVideoSavePath(), AppConfig.getScreenshotSavePath(),
                AppConfig.getKeyMappingSavePath(), AppConfig.getCommonPhraseSavePath(),
                AppConfig.getDeviceNicknameSavePath(), AppConfig.getDeviceGroupSavePath()]
    }

    function restore(before) {
        AppConfig.setLocale(before[0])
        AppConfig.setVideoSavePath(before[1])
        AppConfig.setScreenshotSavePath(before[2])
        AppConfig.setKeyMappingSavePath(before[3])
    }

    // The typed folders (by field) and the language, then Save.
    function save(dialog, folders, language) {
        const fields = visibleAll(dialog, "pathField")
        for (const index in folders)
            typeText(fields[index], folders[index])
        const button = find(dialog, "languageButton")
        click(button)
        click(visibleAll(button.menuColumn, "menuEntry").find(e => e.modelData.label === language))
        click(find(dialog, "saveButton"))
    }

    function test_saveWritesAndAsksForRestart() {
        const before = settings()
        const dialog = openDialog(make("AppSettingsDialog"))
        const videos = helper.temporaryFolder() + "/videos/new"
        const shots = helper.temporaryFolder() + "/shots"
        save(dialog, { 0: videos, 1: shots }, "English")
        tryVerify(() => !dialog.visible)
        const alert = findChild(dialog, "restartAlert")
        tryVerify(() => alert.opened)
        compare([alert.alertTitle, alert.alertMessage], ["Success", "Please restart the application to apply the changes."])
        alert.close()
        compare(settings(), ["en_US", videos, shots].concat(before.slice(3)))
        verify(AppConfig.folderProblem(videos) === "", "the new folder exists and takes files")
        compare(["zh_CN", "zh_TW", "en_US", "C", "de_DE"].map(dialog.languageLabel),
                ["简体中文", "繁體中文", "English", "English", "English"])
        restore(before)
    }

    function test_unusableFolderIsReportedNotStored() {
        const before = settings()
        const dialog = openDialog(make("AppSettingsDialog"))
        save(dialog, { 2: "/proc/parvix-keymaps", 4: "" }, "简体中文")
        const alert = findChild(dialog, "folderErrorAlert")
        tryVerify(() => alert.opened)
        compare(alert.alertTitle, "Error")
        compare(alert.alertMessage.split("<br/>"),
                ["KeyMapping save path: " + AppConfig.folderProblem("/proc/parvix-keymaps"),
                 "Device Nickname save path: " + AppConfig.folderProblem("")])
        alert.close()
        verify(dialog.opened, "the dialog stays for a correction")
        compare(settings(), before)
        // Unchanged folders are not checked again; fixed fields let Save through.
        const keymaps = helper.temporaryFolder() + "/keymaps"
        typeText(visibleAll(dialog, "pathField")[2], keymaps)
        typeText(visibleAll(dialog, "pathField")[4], before[5])
        click(find(dialog, "saveButton"))
        tryVerify(() => !dialog.visible)
        compare([AppConfig.getLocale(), AppConfig.getKeyMappingSavePath()], ["zh_CN", keymaps])
        findChild(dialog, "restartAlert").close()
        restore(before)
    }

    // A missing module of Qt's own dialog is told instead of taking the process down.
    function test_browseWithoutTheModule() {
        const dialog = openDialog(make("AppSettingsDialog"))
        const chooser = find(dialog, "folderChooser")
        chooser.implementationImports += "import Parvix.Missing; "
        click(visibleAll(dialog, "browseButton")[1])
        tryVerify(() => chooser.shownFailure && chooser.shownFailure.opened)
        verify(dialog.opened)
        chooser.shownFailure.close()
    }

    function test_about() {
        const dialog = openDialog(make("AboutDialog"))
        compare(find(dialog, "versionText").text, "Version " + AppConfig.currentVersion)
        verify(find(dialog, "websiteRow").visible)
        // Escape closes it: the journeys.
        mouseClick(testCase, 5, 5)
        tryVerify(() => !dialog.visible, 3000, "a click outside closes it")
    }
}
