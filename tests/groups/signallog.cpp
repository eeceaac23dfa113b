#include "signallog.h"

#include <QMetaMethod>

SignalLog::SignalLog(QObject *watched, const QString &prefix) : m_prefix(prefix)
{
    const QMetaObject *meta = watched->metaObject();
    const QMetaMethod slot = metaObject()->method(metaObject()->indexOfSlot("record()"));
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        if (method.methodType() == QMetaMethod::Signal)
            connect(watched, method, this, slot);
    }
}

void SignalLog::record()
{
    names << m_prefix +
                 QString::fromLatin1(sender()->metaObject()->method(senderSignalIndex()).name());
}
