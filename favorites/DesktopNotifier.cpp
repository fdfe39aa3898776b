#include "favorites/DesktopNotifier.h"

#include "store/Report.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace kova {

DesktopNotifier::DesktopNotifier(const QDBusConnection& bus, QObject* parent) : QObject(parent), m_bus(bus)
{
    // Any sender: the service's unique name changes when it restarts.
    m_bus.connect(QString(), Path, Service, QStringLiteral("ActionInvoked"), this,
                  SLOT(onActionInvoked(uint, QString)));
}

void DesktopNotifier::notify(const QString& summary, const QString& body)
{
    if (!m_bus.isConnected()) {
        emit unavailable(QStringLiteral("no session bus"));
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Service, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("kova"));
    call << ApplicationTitle << uint(0) << QStringLiteral("kova") << summary << body
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
