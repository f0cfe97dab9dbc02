#include "Platform/Core/NotificationCenter.h"

#include "Platform/Core/Dispatch.h"

NotificationCenter& NotificationCenter::defaultCenter() {
    static auto* center = new NotificationCenter;
    return *center;
}

void NotificationCenter::post(const QString& name, const QVariant& object) {
    if (Dispatch::isMainThread()) {
        emit posted(name, object);
        return;
    }
    Dispatch::main([this, name, object] { emit posted(name, object); });
}

QMetaObject::Connection NotificationCenter::observe(const QString& name, QObject* context,
                                                    std::function<void(const QVariant&)> handler) {
    return connect(this, &NotificationCenter::posted, context,
                   [name, handler = std::move(handler)](const QString& posted, const QVariant& object) {
                       if (posted == name) handler(object);
                   });
}
