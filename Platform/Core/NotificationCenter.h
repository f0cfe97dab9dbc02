#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>

// The program's notification names.
namespace Notification {
inline const QString dismissPopover = QStringLiteral("dismissPopover");
inline const QString statusIconDidChange = QStringLiteral("statusIconDidChange");
inline const QString menuPanelWillShow = QStringLiteral("menuPanelWillShow");
inline const QString menuPanelDidHide = QStringLiteral("menuPanelDidHide");
inline const QString cleaningModeDidEnd = QStringLiteral("cleaningModeDidEnd");
inline const QString screenDimmerDidReset = QStringLiteral("ScreenDimmerDidReset");
inline const QString updateIntervalDidChange = QStringLiteral("updateIntervalDidChange");
}  // namespace Notification

// Named notifications, always delivered on the GUI thread: synchronously when posted there,
// queued when posted from another thread.
class NotificationCenter : public QObject {
    Q_OBJECT
public:
    static NotificationCenter& defaultCenter();

    void post(const QString& name, const QVariant& object = {});
    // Calls handler for each notification of that name until context is destroyed
    // (or the returned connection is disconnected).
    QMetaObject::Connection observe(const QString& name, QObject* context,
                                    std::function<void(const QVariant& object)> handler);

signals:
    void posted(const QString& name, const QVariant& object);
};
