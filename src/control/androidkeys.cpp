#include "androidkeys.h"

#include <Qt>

namespace {
// Android meta-state "on" bits.
constexpr int kMetaShiftOn = 0x1;
constexpr int kMetaAltOn = 0x2;
constexpr int kMetaCtrlOn = 0x1000;
constexpr int kMetaMetaOn = 0x10000;
} // namespace

int AndroidKeys::forSpecialKey(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Escape:
        return 111;
    case Qt::Key_Tab:
        return 61;
    case Qt::Key_Backspace:
        return 67;
    case Qt::Key_Return:
        return 66;
    case Qt::Key_Enter:
        return 160;
    case Qt::Key_Delete:
        return 112;
    case Qt::Key_Home:
        return 122;
    case Qt::Key_End:
        return 123;
    case Qt::Key_Left:
        return 21;
    case Qt::Key_Up:
        return 19;
    case Qt::Key_Right:
        return 22;
    case Qt::Key_Down:
        return 20;
    case Qt::Key_PageUp:
        return 92;
    case Qt::Key_PageDown:
        return 93;
    default:
        return -1;
    }
}

int AndroidKeys::forPrintableKey(int qtKey)
{
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return 7 + (qtKey - Qt::Key_0);
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return 29 + (qtKey - Qt::Key_A);
    switch (qtKey) {
    case Qt::Key_Space:
        return 62;
    case Qt::Key_Exclam:
        return 8;
    case Qt::Key_At:
        return 77;
    case Qt::Key_NumberSign:
        return 18;
    case Qt::Key_Dollar:
        return 11;
    case Qt::Key_Percent:
        return 12;
    case Qt::Key_AsciiCircum:
        return 13;
    case Qt::Key_Ampersand:
        return 14;
    case Qt::Key_Asterisk:
        return 17;
    case Qt::Key_ParenLeft:
        return 162;
    case Qt::Key_ParenRight:
        return 163;
    case Qt::Key_Minus:
    case Qt::Key_Underscore:
        return 69;
    case Qt::Key_Equal:
        return 70;
    case Qt::Key_Plus:
        return 81;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft:
        return 71;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight:
        return 72;
    case Qt::Key_Backslash:
    case Qt::Key_Bar:
        return 73;
    case Qt::Key_Semicolon:
    case Qt::Key_Colon:
        return 74;
    case Qt::Key_Apostrophe:
    case Qt::Key_QuoteDbl:
        return 75;
    case Qt::Key_Comma:
    case Qt::Key_Less:
        return 55;
    case Qt::Key_Period:
    case Qt::Key_Greater:
        return 56;
    case Qt::Key_Slash:
    case Qt::Key_Question:
        return 76;
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde:
        return 68;
    default:
        return -1;
    }
}

int AndroidKeys::metaState(int qtModifiers)
{
    int meta = 0;
    if (qtModifiers & Qt::ShiftModifier)
        meta |= kMetaShiftOn;
    if (qtModifiers & Qt::ControlModifier)
        meta |= kMetaCtrlOn;
    if (qtModifiers & Qt::AltModifier)
        meta |= kMetaAltOn;
    if (qtModifiers & Qt::MetaModifier)
        meta |= kMetaMetaOn;
    return meta;
}
