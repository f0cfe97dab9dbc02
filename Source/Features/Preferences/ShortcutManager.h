#pragma once

#include "Source/Features/Preferences/HotkeyBinding.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class ShortcutSettings;
class UserDefaults;

// The hot-key bindings, in display order, kept as JSON data in their setting. A missing or
// damaged value reads as the defaults; a value stored by anyone else is taken at once. GUI
// thread only.
class ShortcutManager : public QObject {
    Q_OBJECT
public:
    static ShortcutManager& shared();
    // A manager over the settings in `defaults` (tests); shared() uses UserDefaults::standard().
    explicit ShortcutManager(UserDefaults& defaults, QObject* parent = nullptr);
    ~ShortcutManager() override;

    static const std::vector<HotkeyBinding>& defaults();

    const std::vector<HotkeyBinding>& bindings() const { return bindings_; }
    // Replaces the list (not saved: call save()).
    void setBindings(std::vector<HotkeyBinding> bindings);

    // Writes the bindings to their setting.
    void save();
    // Sets the key and modifiers of the first binding with that id, enables it and saves.
    // An unknown id changes nothing.
    void updateBinding(const QString& id, int keyCode, uint64_t modifiers);
    // Disables the first binding with that id (key and modifiers stay) and saves.
    void disableBinding(const QString& id);

    // Display name of a virtual key code; "Key<code>" for codes without a name.
    static QString keyName(int keyCode);

    // The bindings stored in data; absent when the data is not a valid list of bindings.
    static std::optional<std::vector<HotkeyBinding>> decode(const QByteArray& data);
    static QByteArray encode(const std::vector<HotkeyBinding>& bindings);

    ShortcutSettings& settings() const { return *settings_; }

signals:
    void bindingsChanged();

private:
    std::unique_ptr<ShortcutSettings> settings_;
    std::vector<HotkeyBinding> bindings_;
};
