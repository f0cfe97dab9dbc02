#pragma once

#include "Platform/Core/UserDefaults.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonValue>
#include <QObject>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <type_traits>
#include <utility>

// How a setting's value is kept in the store. decode() gives nothing for a stored value of the
// wrong type; the setting then reads as its default.
template <typename T>
struct SettingCodec;

template <>
struct SettingCodec<bool> {
    static std::optional<bool> decode(const QJsonValue& v) {
        if (!v.isBool()) return std::nullopt;
        return v.toBool();
    }
    static QJsonValue encode(bool v) { return v; }
};

// Finite numbers only.
template <>
struct SettingCodec<double> {
    static std::optional<double> decode(const QJsonValue& v) {
        if (!v.isDouble() || !std::isfinite(v.toDouble())) return std::nullopt;
        return v.toDouble();
    }
    static QJsonValue encode(double v) { return v; }
};

// Any finite number, its fraction dropped, held to the range of int.
template <>
struct SettingCodec<int> {
    static std::optional<int> decode(const QJsonValue& v) {
        const auto d = SettingCodec<double>::decode(v);
        if (!d) return std::nullopt;
        const double whole = std::trunc(*d);
        return int(std::clamp(whole, double(std::numeric_limits<int>::min()), double(std::numeric_limits<int>::max())));
    }
    static QJsonValue encode(int v) { return v; }
};

template <>
struct SettingCodec<QString> {
    static std::optional<QString> decode(const QJsonValue& v) {
        if (!v.isString()) return std::nullopt;
        return v.toString();
    }
    static QJsonValue encode(const QString& v) { return v; }
};

// A list whose elements are all texts; any other element makes the whole value unreadable.
template <>
struct SettingCodec<QStringList> {
    static std::optional<QStringList> decode(const QJsonValue& v) {
        if (!v.isArray()) return std::nullopt;
        QStringList out;
        for (const QJsonValue& item : v.toArray()) {
            if (!item.isString()) return std::nullopt;
            out << item.toString();
        }
        return out;
    }
    static QJsonValue encode(const QStringList& v) { return QJsonArray::fromStringList(v); }
};

// A list of texts that skips the elements that are not texts.
struct TextElementsCodec {
    static std::optional<QStringList> decode(const QJsonValue& v) {
        if (!v.isArray()) return std::nullopt;
        QStringList out;
        for (const QJsonValue& item : v.toArray())
            if (item.isString()) out << item.toString();
        return out;
    }
    static QJsonValue encode(const QStringList& v) { return QJsonArray::fromStringList(v); }
};

// A choice kept as its raw value: toRaw(E) gives it, fromRaw(raw) gives the choice or nothing.
// A raw value that names no choice reads as the default.
template <typename E, auto toRaw, auto fromRaw>
struct RawValueCodec {
    using Raw = std::decay_t<std::invoke_result_t<decltype(toRaw), const E&>>;
    static std::optional<E> decode(const QJsonValue& v) {
        const std::optional<Raw> raw = SettingCodec<Raw>::decode(v);
        if (!raw) return std::nullopt;
        return std::invoke(fromRaw, *raw);
    }
    static QJsonValue encode(const E& v) { return SettingCodec<Raw>::encode(std::invoke(toRaw, v)); }
};

// A structured value kept as JSON data (base64 text in the file): toData(T) gives the bytes (a
// function or a member function), fromData(bytes) the value or nothing when they are not a valid one.
template <typename T, auto toData, auto fromData>
struct JsonDataCodec {
    static std::optional<T> decode(const QJsonValue& v) {
        if (!v.isString()) return std::nullopt;
        auto bytes = QByteArray::fromBase64Encoding(v.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (!bytes) return std::nullopt;
        return std::invoke(fromData, *bytes);
    }
    static QJsonValue encode(const T& v) { return QString::fromLatin1(std::invoke(toData, v).toBase64()); }
};

// What every setting has whatever its type: its key in a store and one change signal.
class SettingBase : public QObject {
    Q_OBJECT
public:
    QString key() const { return key_; }
    UserDefaults& store() const { return store_; }
    // Whether the store holds anything under the key, of any type.
    bool isStored() const { return store_.contains(key_); }
    // Removes the stored value: the setting reads as its default.
    void reset() { store_.remove(key_); }
    // Also posts the named notification (no object) on every change, for code that observes the
    // program's notification names rather than the setting.
    void postOnChange(const QString& notificationName);

signals:
    // The value read changed, whoever wrote it; once per change, never for a write that leaves
    // the value read as it was. Emitted on the setting's thread.
    void changed();

protected:
    SettingBase(UserDefaults& store, const char* key, QObject* parent);
    // Re-reads the value; true when it differs from the one read before.
    virtual bool reread() = 0;

private:
    UserDefaults& store_;
    QString key_;
};

// One setting: key, type, default and, for numbers, a range that values are held to when read
// and when written. The value lives in the store; value() may be called from any thread.
template <typename T, typename Codec = SettingCodec<T>>
class Setting final : public SettingBase {
public:
    Setting(UserDefaults& store, const char* key, T defaultValue, QObject* parent = nullptr)
        : SettingBase(store, key, parent), default_(std::move(defaultValue)), last_(value()) {}
    Setting(UserDefaults& store, const char* key, T defaultValue, T minimum, T maximum, QObject* parent = nullptr)
        requires std::is_arithmetic_v<T>
        : SettingBase(store, key, parent), default_(defaultValue), minimum_(minimum), maximum_(maximum),
          last_(value()) {}

    const T& defaultValue() const { return default_; }
    std::optional<T> minimum() const { return minimum_; }
    std::optional<T> maximum() const { return maximum_; }

    // The stored value held to the range; the default when absent or of the wrong type.
    T value() const {
        std::optional<T> stored = Codec::decode(store().value(key()));
        return stored ? held(std::move(*stored)) : default_;
    }
    // Stores the value held to the range.
    void set(const T& v) { store().set(key(), Codec::encode(held(v))); }
    // The value brought into the range.
    T held(T v) const {
        if constexpr (std::is_arithmetic_v<T>) {
            if (minimum_ && v < *minimum_) return *minimum_;
            if (maximum_ && v > *maximum_) return *maximum_;
        }
        return v;
    }

protected:
    bool reread() override {
        T now = value();
        if (now == last_) return false;
        last_ = std::move(now);
        return true;
    }

private:
    T default_;
    std::optional<T> minimum_;
    std::optional<T> maximum_;
    T last_;
};
