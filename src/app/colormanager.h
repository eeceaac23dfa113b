#pragma once
#include <QColor>
#include <QObject>

// The interface's fixed colour palette, shared by native code and QML.
class ColorManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QColor primaryGreen READ primaryGreen CONSTANT)
    Q_PROPERTY(QColor primaryLightGreen READ primaryLightGreen CONSTANT)
    Q_PROPERTY(QColor primaryDarkGreen READ primaryDarkGreen CONSTANT)
    Q_PROPERTY(QColor backgroundBlack READ backgroundBlack CONSTANT)
    Q_PROPERTY(QColor backgroundDarkGray READ backgroundDarkGray CONSTANT)
    Q_PROPERTY(QColor backgroundPureBlack READ backgroundPureBlack CONSTANT)
    Q_PROPERTY(QColor backgroundBlackGreen READ backgroundBlackGreen CONSTANT)
    Q_PROPERTY(QColor backgroundLightGreen READ backgroundLightGreen CONSTANT)
    Q_PROPERTY(QColor textWhite READ textWhite CONSTANT)
    Q_PROPERTY(QColor textGreen READ textGreen CONSTANT)
    Q_PROPERTY(QColor textGray READ textGray CONSTANT)
    Q_PROPERTY(QColor textRed READ textRed CONSTANT)
    Q_PROPERTY(QColor textYellow READ textYellow CONSTANT)
    Q_PROPERTY(QColor textBlack READ textBlack CONSTANT)
    Q_PROPERTY(QColor textBlackGreen READ textBlackGreen CONSTANT)
    Q_PROPERTY(QColor borderDarkGreen READ borderDarkGreen CONSTANT)
    Q_PROPERTY(QColor borderLightGreen READ borderLightGreen CONSTANT)
    Q_PROPERTY(QColor borderDarkGray READ borderDarkGray CONSTANT)
    Q_PROPERTY(QColor success READ success CONSTANT)
    Q_PROPERTY(QColor warning READ warning CONSTANT)
    Q_PROPERTY(QColor error READ error CONSTANT)
    Q_PROPERTY(QColor danger READ danger CONSTANT)
    Q_PROPERTY(QColor info READ info CONSTANT)

public:
    static ColorManager *instance();

    QColor primaryGreen() const { return QColor(0x00, 0xFF, 0x7F); }
    QColor primaryLightGreen() const { return QColor(0x39, 0xFF, 0x8F); }
    QColor primaryDarkGreen() const { return QColor(0x00, 0xCC, 0x66); }
    QColor backgroundBlack() const { return QColor(0x0A, 0x0A, 0x0A); }
    QColor backgroundDarkGray() const { return QColor(0x1A, 0x1A, 0x1A); }
    QColor backgroundPureBlack() const { return QColor(0x00, 0x00, 0x00); }
    QColor backgroundBlackGreen() const { return QColor(0x00, 0x33, 0x00); }
    QColor backgroundLightGreen() const { return QColor(0x00, 0xFF, 0x7F); }
    QColor textWhite() const { return QColor(0xF3, 0xF3, 0xF3); }
    QColor textGreen() const { return QColor(0x00, 0xFF, 0x7F); }
    QColor textGray() const { return QColor(0x66, 0x66, 0x66); }
    QColor textRed() const { return QColor(0xFF, 0x44, 0x44); }
    QColor textYellow() const { return QColor(0xFF, 0xCD, 0x44); }
    QColor textBlack() const { return QColor(0x00, 0x00, 0x00); }
    QColor textBlackGreen() const { return QColor(0x07, 0xC8, 0x0E); }
    QColor borderDarkGreen() const { return QColor(0x04, 0xAD, 0x31); }
    QColor borderLightGreen() const { return QColor(0x3E, 0xC2, 0x37); }
    QColor borderDarkGray() const { return QColor(0x33, 0x33, 0x33); }
    QColor success() const { return QColor(0x04, 0xAD, 0x31); }
    QColor warning() const { return QColor(0xFF, 0xD7, 0x00); }
    QColor error() const { return QColor(0xFF, 0x33, 0x33); }
    QColor danger() const { return QColor(0xFF, 0x33, 0x33); }
    QColor info() const { return QColor(0x33, 0x33, 0x33); }

private:
    ColorManager() = default;
};
