#include "translationloader.h"

#include <QCoreApplication>
#include <QTranslator>

bool installLocaleTranslator(QCoreApplication *app, QTranslator *translator, const QString &locale)
{
    bool attempted = false;
    bool loaded = false;
    if (locale.contains(QLatin1String("CN"), Qt::CaseSensitive)) {
        attempted = true;
        loaded = translator->load(QStringLiteral(":/translations/Parvix_CN.qm"));
    }
    if (locale.contains(QLatin1String("TW"), Qt::CaseSensitive)) {
        attempted = true;
        loaded = translator->load(QStringLiteral(":/translations/Parvix_TW.qm"));
    }
    if (!attempted || !loaded)
        return false;
    return app->installTranslator(translator);
}
