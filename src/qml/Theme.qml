pragma Singleton
import QtQuick
import Parvix

QtObject {
    readonly property var colorManager: ColorManager

    readonly property color primary: ColorManager.primaryGreen
    readonly property color primaryLight: ColorManager.primaryLightGreen
    readonly property color primaryDark: ColorManager.primaryDarkGreen

    readonly property color backgroundBlack: ColorManager.backgroundBlack
    readonly property color backgroundDarkGray: ColorManager.backgroundDarkGray
    readonly property color backgroundPureBlack: ColorManager.backgroundPureBlack
    readonly property color backgroundBlackGreen: ColorManager.backgroundBlackGreen
    readonly property color backgroundLightGreen: ColorManager.backgroundLightGreen

    readonly property color textWhite: ColorManager.textWhite
    readonly property color textGreen: ColorManager.textGreen
    readonly property color textGray: ColorManager.textGray
    readonly property color textRed: ColorManager.textRed
    readonly property color textYellow: ColorManager.textYellow
    readonly property color textBlack: ColorManager.textBlack
    readonly property color textBlackGreen: ColorManager.textBlackGreen

    readonly property color borderDarkGreen: ColorManager.borderDarkGreen
    readonly property color borderLightGreen: ColorManager.borderLightGreen
    readonly property color borderDarkGray: ColorManager.borderDarkGray

    readonly property color success: ColorManager.success
    readonly property color warning: ColorManager.warning
    readonly property color error: ColorManager.error
    readonly property color danger: ColorManager.danger
    readonly property color info: ColorManager.info

    // Fixed shades of the window's chrome that the colour manager does not name.
    readonly property color headerBar: "#222222"
    readonly property color hoverFill: "#555555"
    readonly property color hoverBorder: "#777777"
    readonly property color selectedBorder: "#4CAF50"
    readonly property color overlayFill: "#DD000000"
    readonly property color fpsFill: "#80000000"
    readonly property color coordinateVeil: "#a04c4b3b"
    // A battery nearly empty and not on a charger.
    readonly property color batteryLow: warning

    readonly property int controlButtonsWidth: 35
    readonly property int headerFont: 16
    readonly property int titleFont: 14
    readonly property int contentFont: 12
    readonly property int textFont: 10
    readonly property int textfieldHeight: 30
}
