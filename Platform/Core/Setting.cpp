#include "Platform/Core/Setting.h"

#include "Platform/Core/NotificationCenter.h"

SettingBase::SettingBase(UserDefaults& store, const char* key, QObject* parent)
    : QObject(parent), store_(store), key_(QString::fromLatin1(key)) {
    connect(&store_, &UserDefaults::valueChanged, this, [this](const QString& changedKey) {
        if (changedKey == key_ && reread()) emit changed();
    });
}

void SettingBase::postOnChange(const QString& notificationName) {
    connect(this, &SettingBase::changed, this,
            [notificationName] { NotificationCenter::defaultCenter().post(notificationName); });
}
