#pragma once

#include <QDBusVariant>
#include <QObject>

#include <optional>

// The desktop's Reduce Motion and Reduce Transparency options, read from the settings portal
// (org.freedesktop.portal.Settings) and followed as they change. Tests may override them.
class AccessibilityDisplayOptions : public QObject {
    Q_OBJECT
public:
    static AccessibilityDisplayOptions& shared();

    static bool reduceMotion() { return shared().reduceMotionValue(); }
    static bool reduceTransparency() { return shared().reduceTransparencyValue(); }

    bool reduceMotionValue() const;
    bool reduceTransparencyValue() const;

    void setOverride(std::optional<bool> reduceMotion, std::optional<bool> reduceTransparency);

signals:
    void changed();

private:
    AccessibilityDisplayOptions();
    void readPortal();
    Q_SLOT void portalSettingChanged(const QString& ns, const QString& key, const QDBusVariant& value);

    bool portalReduceMotion_ = false;
    bool portalReduceTransparency_ = false;
    std::optional<bool> overrideMotion_;
    std::optional<bool> overrideTransparency_;
};
