#pragma once

#include <QMutex>
#include <QMutexLocker>
#include <QStringList>
#include <QtGlobal>

// Records every message of Qt's log while it exists (one at a time), still passing them on.
class ApiClientLogCapture
{
public:
    ApiClientLogCapture()
    {
        s_current = this;
        m_previous = qInstallMessageHandler(&ApiClientLogCapture::handle);
    }
    ~ApiClientLogCapture()
    {
        qInstallMessageHandler(m_previous);
        s_current = nullptr;
    }
    ApiClientLogCapture(const ApiClientLogCapture &) = delete;
    ApiClientLogCapture &operator=(const ApiClientLogCapture &) = delete;

    QStringList messages() const
    {
        QMutexLocker lock(&m_mutex);
        return m_messages;
    }
    // Messages that begin with prefix.
    QStringList startingWith(const QString &prefix) const
    {
        QStringList found;
        const QStringList all = messages();
        for (const QString &m : all) {
            if (m.startsWith(prefix))
                found << m;
        }
        return found;
    }
    void clear()
    {
        QMutexLocker lock(&m_mutex);
        m_messages.clear();
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        if (ApiClientLogCapture *self = s_current) {
            {
                QMutexLocker lock(&self->m_mutex);
                self->m_messages << message;
            }
            if (self->m_previous)
                self->m_previous(type, context, message);
        }
    }

    inline static ApiClientLogCapture *s_current = nullptr;
    QtMessageHandler m_previous = nullptr;
    mutable QMutex m_mutex;
    QStringList m_messages;
};
