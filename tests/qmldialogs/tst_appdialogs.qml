import QtQuick
import QtTest
import Parvix

// The application settings (written only on Save, folders checked) and the about box.
DialogTestCase {
    id: testCase
    name: "AppDialogs"

    function fields(dialog) {
        return visibleAll(dialog, "pathField")
    }

    function settings() {
        return [AppConfig.getLocale(), AppConfig.getVideoSavePath(), AppConfig.getScreenshotSavePath(),
                AppConfig.getKeyMappingSavePath(), AppConfig.getCommonPhraseSavePath(),
                AppConfig.getDeviceNicknameSavePath(), AppConfig.getDeviceGroupSavePath()]
    }

    function chooseLanguage(dialog, label) {
        const button = find(dialog, "languageButton")
        click(button)
        const entry = visibleAll(button.menuColumn, "menuEntry").filter(e => e.modelData.label === label)[0]
        click(entry)
    }

    // Cancel and Save with the mouse: the journeys.
    function test_saveWritesAndAsksForRestart() {
        const before = settings()
        const dialog = openDialog(make("AppSettingsDialog"))
        const videos = helper.temporaryFolder() + "/videos/new"
        const shots = helper.temporaryFolder() + "/shots"
        typeText(fields(dialog)[0], videos)
        typeText(fields(dialog)[1], shots)
        chooseLanguage(dialog, "English")
        click(find(dialog, "saveButton"))
        tryVerify(() => !dialog.visible)
        const alert = findChild(dialog, "restartAlert")
        tryVerify(() => alert.opened)
        compare(alert.alertTitle, "Success")
        compare(alert.alertMessage, "Please restart the application to apply the changes.")
        alert.close()
        compare(settings(), ["en_US", videos, shots].concat(before.slice(3)))
        verify(AppConfig.folderProblem(videos) === "", "the new folder exists and takes files")
        compare(["zh_CN", "zh_TW", "en_US", "C", "de_DE"].map(dialog.languageLabel),
                ["简体中文", "繁體中文", "English", "English", "English"])

        AppConfig.setLocale(before[0])
        AppConfig.setVideoSavePath(before[1])
        AppConfig.setScreenshotSavePath(before[2])
    }

    function test_unusableFolderIsReportedNotStored() {
        const before = settings()
        const dialog = openDialog(make("AppSettingsDialog"))
        typeText(fields(dialog)[2], "/proc/parvix-keymaps")
        typeText(fields(dialog)[4], "")
        chooseLanguage(dialog, "简体中文")
        click(find(dialog, "saveButton"))
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
        typeText(fields(dialog)[2], keymaps)
        typeText(fields(dialog)[4], before[5])
        click(find(dialog, "saveButton"))
        tryVerify(() => !dialog.visible)
        compare(AppConfig.getLocale(), "zh_CN")
        compare(AppConfig.getKeyMappingSavePath(), keymaps)
        findChild(dialog, "restartAlert").close()
        AppConfig.setLocale(before[0])
        AppConfig.setKeyMappingSavePath(before[3])
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
        keyClick(Qt.Key_Escape)
        tryVerify(() => !dialog.visible)
        openDialog(dialog)
        mouseClick(testCase, 5, 5)
        tryVerify(() => !dialog.visible, 3000, "a click outside closes it")
    }
}
