#include "Source/Features/Preferences/ShortcutManager.h"

#include "Source/Features/Preferences/ShortcutSettings.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

ShortcutManager& ShortcutManager::shared() {
    static ShortcutManager* manager = new ShortcutManager(UserDefaults::standard());
    return *manager;
}

ShortcutManager::ShortcutManager(UserDefaults& defaults, QObject* parent)
    : QObject(parent), settings_(std::make_unique<ShortcutSettings>(defaults)), bindings_(settings_->bindings.value()) {
    connect(&settings_->bindings, &SettingBase::changed, this, [this] { setBindings(settings_->bindings.value()); });
}

ShortcutManager::~ShortcutManager() = default;

const std::vector<HotkeyBinding>& ShortcutManager::defaults() {
    static const std::vector<HotkeyBinding> list{
        {QStringLiteral("clipboardHistory"), QStringLiteral("Clipboard History"), 9, 0x120000, true},
        {QStringLiteral("resetBrightness"), QStringLiteral("Reset Brightness"), 15, 0x1A0000, true},
    };
    return list;
}

std::optional<std::vector<HotkeyBinding>> ShortcutManager::decode(const QByteArray& data) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray()) return std::nullopt;
    std::vector<HotkeyBinding> list;
    for (const QJsonValue& element : document.array()) {
        if (!element.isObject()) return std::nullopt;
        auto binding = HotkeyBinding::fromJson(element.toObject());
        if (!binding) return std::nullopt;
        list.push_back(*binding);
    }
    return list;
}

QByteArray ShortcutManager::encode(const std::vector<HotkeyBinding>& bindings) {
    QJsonArray array;
    for (const HotkeyBinding& binding : bindings) array.append(binding.toJson());
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

void ShortcutManager::setBindings(std::vector<HotkeyBinding> bindings) {
    if (bindings == bindings_) return;
    bindings_ = std::move(bindings);
    emit bindingsChanged();
}

void ShortcutManager::save() {
    settings_->bindings.set(bindings_);
}

void ShortcutManager::updateBinding(const QString& id, int keyCode, uint64_t modifiers) {
    for (HotkeyBinding& binding : bindings_) {
        if (binding.id != id) continue;
        binding.keyCode = keyCode;
        binding.modifiers = modifiers;
        binding.isEnabled = true;
        save();
        emit bindingsChanged();
        return;
    }
}

void ShortcutManager::disableBinding(const QString& id) {
    for (HotkeyBinding& binding : bindings_) {
        if (binding.id != id) continue;
        binding.isEnabled = false;
        save();
        emit bindingsChanged();
        return;
    }
}

QString ShortcutManager::keyName(int keyCode) {
    static const QHash<int, QString> names{
        {0, "A"},   {1, "S"},   {2, "D"},   {3, "F"},   {4, "H"},    {5, "G"},     {6, "Z"},
        {7, "X"},   {8, "C"},   {9, "V"},   {11, "B"},  {12, "Q"},   {13, "W"},    {14, "E"},
        {15, "R"},  {16, "Y"},  {17, "T"},  {18, "1"},  {19, "2"},   {20, "3"},    {21, "4"},
        {22, "6"},  {23, "5"},  {24, "="},  {25, "9"},  {26, "7"},   {27, "-"},    {28, "8"},
        {29, "0"},  {30, "]"},  {31, "O"},  {32, "U"},  {33, "["},   {34, "I"},    {35, "P"},
        {36, "↩"},  {37, "L"},  {38, "J"},  {39, "'"},  {40, "K"},   {41, ";"},    {42, "\\"},
        {43, ","},  {44, "/"},  {45, "N"},  {46, "M"},  {47, "."},   {48, "⇥"},    {49, "Space"},
        {50, "`"},  {51, "⌫"},  {53, "⎋"},  {122, "F1"}, {120, "F2"}, {99, "F3"},  {118, "F4"},
        {96, "F5"}, {97, "F6"}, {98, "F7"}, {100, "F8"}, {101, "F9"}, {109, "F10"}, {103, "F11"},
        {111, "F12"}, {105, "F13"}, {107, "F14"}, {113, "F15"}, {123, "←"}, {124, "→"}, {125, "↓"},
        {126, "↑"},
    };
    auto it = names.constFind(keyCode);
    if (it != names.constEnd()) return *it;
    return QStringLiteral("Key") + QString::number(keyCode);
}
