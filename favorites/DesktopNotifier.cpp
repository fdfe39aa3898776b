#include "favorites/DesktopNotifier.h"

#include "store/PlainText.h"
#include "store/Report.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include <utility>

namespace kova {
QString NotificationBody(const QString& text, bool serverReadsMarkup)
{
    const QString plain = StripBidiControls(text);
    if (!serverReadsMarkup)
        return plain;
    QString escaped;
    escaped.reserve(plain.size() + plain.size() / 8);
    for (const QChar c : plain) {
        if (c == QLatin1Char('&'))
            escaped += QLatin1String("&amp;");
        else if (c == QLatin1Char('<'))
            escaped += QLatin1String("&lt;");
        else if (c == QLatin1Char('>'))
            escaped += QLatin1String("&gt;");
        else
            escaped += c;
    }
    return escaped;
}

DesktopNotifier::DesktopNotifier(const QDBusConnection& bus, QObject* parent) : QObject(parent), m_bus(bus)
{
    // Any sender: the service's unique name changes when it restarts.
    m_bus.connect(QString(), Path, Service, QStringLiteral("ActionInvoked"), this,
                  SLOT(onActionInvoked(uint, QString)));
    if (m_bus.isConnected())
        askCapabilities();
}

void DesktopNotifier::askCapabilities()
{
    m_asking = true;
    const QDBusMessage call =
        QDBusMessage::createMethodCall(Service, Path, Service, QStringLiteral("GetCapabilities"));
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        m_asking = false;
        const QDBusPendingReply<QStringList> reply = *w;
        const std::vector<Notice> waiting = std::exchange(m_waiting, {});
        // No service on the bus: the notices could not go out either; said at once, as a
        // refused notice would be.
        if (reply.isError() && (reply.error().type() == QDBusError::ServiceUnknown ||
                                reply.error().type() == QDBusError::Disconnected)) {
            for (size_t i = 0; i < waiting.size(); ++i)
                emit unavailable(reply.error().message());
            return;
        }
        // Without an answer the markup stays unknown, and is asked again before the next
        // notice: the service may start later.
        if (!reply.isError())
            m_markup = reply.value().contains(QStringLiteral("body-markup")) ? BodyMarkup::Read
                                                                             : BodyMarkup::NotRead;
        for (const Notice& notice : waiting)
            send(notice);
    });
}

void DesktopNotifier::notify(const QString& summary, const QString& body)
{
    if (!m_bus.isConnected()) {
        emit unavailable(QStringLiteral("no session bus"));
        return;
    }
    if (m_markup == BodyMarkup::Unknown) {
        m_waiting.push_back({summary, body});
        if (!m_asking)
            askCapabilities();
        return;
    }
    send({summary, body});
}

void DesktopNotifier::send(const Notice& notice)
{
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Service, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("kova"));
    // The summary is plain text to every server.
    call << ApplicationTitle << uint(0) << QStringLiteral("kova") << NotificationBody(notice.summary, false)
         << NotificationBody(notice.body, m_markup != BodyMarkup::NotRead)
         << QStringList{QStringLiteral("default"), QStringLiteral("查看")} << hints << int(-1);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<uint> reply = *w;
        if (reply.isError()) {
            emit unavailable(reply.error().message());
            return;
        }
        m_lastId = reply.value();
        emit sent(m_lastId);
    });
}

void DesktopNotifier::onActionInvoked(uint id, const QString& action)
{
    if (id != 0 && id == m_lastId && action == QStringLiteral("default"))
        emit activated();
}

} // namespace kova
