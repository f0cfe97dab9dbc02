#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class UserDefaults;

// The status item's icon choice, kept in AppSettings as its id: a symbol ("symbol:" + the
// symbol's name), a pet's silhouette ("pet:" + the species id) or the program's own icon
// ("original", the default).
class StatusIcon {
public:
    enum class Kind { symbol, pet, original };

    static constexpr const char* originalID = "original";
    // What the status item shows when the choice gives no image.
    static constexpr const char* fallbackSymbol = "gauge.medium";
    // The symbols' glyph size: a 16-pixel Material glyph matches a 14-point menu-bar symbol.
    static constexpr double symbolPixelSize = 16;
    // The logical side of the program's own icon in the bar.
    static constexpr double originalSide = 18;

    static StatusIcon symbol(const QString& name) { return StatusIcon(Kind::symbol, name); }
    static StatusIcon pet(const QString& speciesID) { return StatusIcon(Kind::pet, speciesID); }
    static StatusIcon original() { return StatusIcon(Kind::original, QString()); }

    Kind kind() const { return kind_; }
    // The symbol's name or the species id; empty for the original icon.
    const QString& name() const { return name_; }
    QString id() const;
    // The choice an id names; absent for an id of no known form.
    static std::optional<StatusIcon> fromID(const QString& id);

    // The candidate symbols in their order, and the choices: each candidate the symbol font
    // has, then the original icon (no pet choices). Computed once.
    static const QStringList& candidateSymbols();
    static const std::vector<StatusIcon>& all();

    // The icon as a template: black shapes on transparency, at the given device pixel ratio.
    // A pet is its species' walking silhouette (an unknown id draws the default species). Null
    // when the choice has no image (a symbol the font lacks, the asset missing).
    QImage image(double devicePixelRatio = 1.0) const;

    // The stored choice ("statusIcon", default "original").
    static QString storedID(UserDefaults& defaults);
    // What the status item shows for a stored id: the choice's template, or the fallback symbol
    // when the id names no choice or the choice has no image.
    static QImage statusItemImage(const QString& storedID, double devicePixelRatio = 1.0);
    // A template drawn in a colour (its alpha kept).
    static QImage tinted(const QImage& templateImage, const QColor& color);

    bool operator==(const StatusIcon&) const = default;

private:
    StatusIcon(Kind kind, QString name) : kind_(kind), name_(std::move(name)) {}
    Kind kind_;
    QString name_;
};
