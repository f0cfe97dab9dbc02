#pragma once

#include <QRgb>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

// One species of the companion: everything the sprite builders need that differs between animals.
// Values compare and hash by `id` alone. Colours are opaque sRGB.
struct PetSpecies {
    // `long` is a keyword, hence the trailing underscore on that case.
    enum class Ears { pointy, round, long_, floppy, tiny, horns };
    enum class Tail { long_, thin, bushy, ringed, stub, curly, none };
    enum class Markings { stripes, spots, patches, none };
    enum class BodyPlan { quadruped, bird };

    // Body proportions in canvas pixels.
    struct Build {
        int bodyW = 14;
        int bodyH = 5;
        int legH = 4;
        bool operator==(const Build&) const = default;
    };

    QString id;
    QString name;
    QRgb fur = 0;
    QRgb belly = 0;
    QRgb marking = 0;
    QRgb nose = 0;
    QRgb eye = 0;
    Ears ears = Ears::pointy;
    Tail tail = Tail::long_;
    Markings markings = Markings::none;
    bool mask = false;
    bool snout = false;
    bool darkLegs = false;
    std::optional<QRgb> tailColor;
    std::optional<QRgb> tailTip;
    std::optional<QRgb> faceColor;
    BodyPlan bodyPlan = BodyPlan::quadruped;
    bool bigEyes = false;
    Build build;

    bool operator==(const PetSpecies& other) const { return id == other.id; }

    // Every species in display order; the first is the default.
    static const std::vector<PetSpecies>& all();
    // The species with this id (case-sensitive), else the default.
    static const PetSpecies& named(const QString& id);
};

size_t qHash(const PetSpecies& species, size_t seed = 0) noexcept;

template <>
struct std::hash<PetSpecies> {
    size_t operator()(const PetSpecies& species) const noexcept { return qHash(species); }
};
