#include "Source/Features/MenuBarPet/PetSpecies.h"

#include <QHash>

#include <algorithm>
#include <map>

namespace {

using Ears = PetSpecies::Ears;
using Tail = PetSpecies::Tail;
using Markings = PetSpecies::Markings;
using BodyPlan = PetSpecies::BodyPlan;

constexpr QRgb hex(unsigned rgb) { return 0xff000000u | rgb; }

struct Row {
    const char* id;
    const char* name;
    unsigned fur, belly, marking, nose, eye;
    Ears ears;
    Tail tail;
    Markings markings;
    bool mask, snout, darkLegs;
    int tailColor, tailTip, faceColor;  // -1: none
    BodyPlan bodyPlan;
    bool bigEyes;
};

// clang-format off
const Row speciesRows[] = {
    {"ginger", "Ginger Cat", 0xF0A04B, 0xFBE3C0, 0xC56F2A, 0xE8798A, 0x1A1A1A,
     Ears::pointy, Tail::long_, Markings::stripes, false, false, false, -1, -1, -1, BodyPlan::quadruped, false},
    {"tabby", "Grey Tabby", 0xA9ABB3, 0xE4E5E9, 0x6C6E76, 0xE8798A, 0x3F7A2E,
     Ears::pointy, Tail::long_, Markings::stripes, false, false, false, -1, -1, -1, BodyPlan::quadruped, false},
    {"black-cat", "Black Cat", 0x45454D, 0x5A5A63, 0x33333A, 0xD87A8A, 0xF5D33B,
     Ears::pointy, Tail::long_, Markings::none, false, false, false, -1, -1, -1, BodyPlan::quadruped, false},
    {"calico", "Calico", 0xF6F1E8, 0xFFFFFF, 0xE38B3C, 0xE8798A, 0x1A1A1A,
     Ears::pointy, Tail::long_, Markings::patches, false, false, false, -1, -1, -1, BodyPlan::quadruped, false},
    {"tiger", "Tiger", 0xF08A24, 0xFFF4E2, 0x2B1D14, 0xD8746A, 0x6B4A12,
     Ears::round, Tail::ringed, Markings::stripes, false, false, false, -1, -1, -1, BodyPlan::quadruped, false},
    {"shiba", "Shiba Inu", 0xD9893B, 0xFFF3E3, 0xB86A24, 0x2B1D14, 0x1A1A1A,
     Ears::pointy, Tail::curly, Markings::none, false, true, false, -1, -1, -1, BodyPlan::quadruped, false},
    {"corgi", "Corgi", 0xE39A4C, 0xFFFFFF, 0xC27A30, 0x2B1D14, 0x1A1A1A,
     Ears::pointy, Tail::stub, Markings::none, false, true, false, -1, -1, -1, BodyPlan::quadruped, false},
    {"dalmatian", "Dalmatian", 0xF7F7F5, 0xFFFFFF, 0x2B2B2E, 0x2B1D14, 0x1A1A1A,
     Ears::floppy, Tail::thin, Markings::spots, false, true, false, -1, -1, -1, BodyPlan::quadruped, false},
    {"pug", "Pug", 0xD9C29C, 0xEADBC0, 0x3A2E26, 0x2B1D14, 0x1A1A1A,
     Ears::floppy, Tail::curly, Markings::none, true, false, false, -1, -1, -1, BodyPlan::quadruped, false},
    {"fox", "Fox", 0xE8743B, 0xFFF6EE, 0x2B1D14, 0x2B1D14, 0x1A1A1A,
     Ears::pointy, Tail::bushy, Markings::none, false, true, false, -1, 0xFFF6EE, -1, BodyPlan::quadruped, false},
    {"raccoon", "Raccoon", 0x8F9199, 0xD6D7DB, 0x34343A, 0x2B1D14, 0x1A1A1A,
     Ears::round, Tail::ringed, Markings::none, true, false, false, -1, -1, -1, BodyPlan::quadruped, false},
    {"red-panda", "Red Panda", 0xC8552B, 0x5A2A1A, 0x7A2E16, 0x2B1D14, 0x1A1A1A,
     Ears::round, Tail::ringed, Markings::none, false, false, false, -1, -1, -1, BodyPlan::quadruped, false},
    {"panda", "Panda", 0xF7F7F5, 0xFFFFFF, 0x2B2B2E, 0x2B2B2E, 0x1A1A1A,
     Ears::round, Tail::stub, Markings::none, true, false, true, -1, -1, -1, BodyPlan::quadruped, false},
    {"bunny", "Bunny", 0xD8CFC4, 0xF6F2EC, 0xB7AB9C, 0xE8798A, 0x1A1A1A,
     Ears::long_, Tail::stub, Markings::none, false, false, false, 0xFFFFFF, -1, -1, BodyPlan::quadruped, false},
    {"hamster", "Hamster", 0xE7B06A, 0xFFF4E0, 0xC98E45, 0xE8798A, 0x1A1A1A,
     Ears::tiny, Tail::stub, Markings::none, false, false, false, -1, -1, -1, BodyPlan::quadruped, false},
    {"mouse", "Mouse", 0xB9B3AD, 0xE8E3DE, 0x8F8882, 0xE8798A, 0x1A1A1A,
     Ears::round, Tail::thin, Markings::none, false, false, false, 0xF0A8B4, -1, -1, BodyPlan::quadruped, false},
    {"pig", "Piglet", 0xF4A9BA, 0xFBD0DA, 0xE07F96, 0xE07F96, 0x1A1A1A,
     Ears::tiny, Tail::curly, Markings::none, false, true, false, -1, -1, -1, BodyPlan::quadruped, false},
    {"cow", "Cow", 0xF7F7F5, 0xFBE3E3, 0x2B2B2E, 0xF0A8B4, 0x1A1A1A,
     Ears::horns, Tail::thin, Markings::spots, false, true, false, -1, -1, -1, BodyPlan::quadruped, false},
    {"husky", "Husky", 0x7D8492, 0xF4F5F7, 0x4D535E, 0x2B1D14, 0x4AA3FF,
     Ears::pointy, Tail::bushy, Markings::none, false, true, false, -1, 0xF4F5F7, -1, BodyPlan::quadruped, false},
    {"bear", "Bear", 0x8A5A36, 0xC69A6E, 0x5E3A20, 0x2B1D14, 0x1A1A1A,
     Ears::round, Tail::stub, Markings::none, false, true, false, -1, -1, -1, BodyPlan::quadruped, false},
    {"sheep", "Sheep", 0xF3EFE6, 0xFFFFFF, 0x3A3236, 0xE8A0AA, 0x1A1A1A,
     Ears::floppy, Tail::stub, Markings::none, false, false, true, -1, -1, 0x3A3236, BodyPlan::quadruped, false},
    {"koala", "Koala", 0x9EA3AB, 0xE6E8EB, 0x6E737B, 0x2B2B2E, 0x1A1A1A,
     Ears::round, Tail::none, Markings::none, false, false, false, -1, -1, -1, BodyPlan::quadruped, false},
    {"frog", "Frog", 0x58C26A, 0xD8F2B8, 0x3A9A4C, 0x3A9A4C, 0x1A1A1A,
     Ears::tiny, Tail::none, Markings::spots, false, false, false, -1, -1, -1, BodyPlan::quadruped, false},
    {"penguin", "Penguin", 0x2E3440, 0xF7F8FA, 0xFFA630, 0xFFA630, 0x111111,
     Ears::pointy, Tail::none, Markings::none, false, false, false, -1, -1, -1, BodyPlan::bird, false},
    {"duck", "Duckling", 0xFFD84A, 0xFFE98F, 0xFF8C1A, 0xFF8C1A, 0x111111,
     Ears::pointy, Tail::none, Markings::none, false, false, false, -1, -1, -1, BodyPlan::bird, false},
    {"owl", "Owl", 0x9A6B45, 0xE9D2B0, 0x6A4428, 0xF2B13A, 0x111111,
     Ears::pointy, Tail::none, Markings::none, false, false, false, -1, -1, -1, BodyPlan::bird, true},
};
// clang-format on

const std::map<QString, PetSpecies::Build>& builds() {
    static const std::map<QString, PetSpecies::Build> table = {
        {"tiger", {16, 6, 4}}, {"shiba", {14, 6, 5}}, {"corgi", {16, 6, 2}},   {"dalmatian", {15, 6, 6}},
        {"pug", {11, 6, 3}},   {"fox", {15, 5, 4}},   {"raccoon", {14, 7, 3}}, {"red-panda", {14, 7, 3}},
        {"panda", {15, 7, 4}}, {"bunny", {10, 6, 2}}, {"hamster", {9, 6, 1}},  {"mouse", {8, 4, 1}},
        {"pig", {13, 7, 2}},   {"cow", {17, 7, 5}},   {"husky", {14, 6, 5}},   {"bear", {16, 8, 3}},
        {"sheep", {13, 7, 2}}, {"koala", {14, 7, 3}}, {"frog", {11, 5, 2}},
    };
    return table;
}

const QStringList& displayOrder() {
    static const QStringList order = {"ginger",  "corgi",     "bunny", "penguin",   "hamster", "dalmatian", "duck",
                                      "pug",     "panda",     "owl",   "fox",       "frog",    "mouse",     "sheep",
                                      "pig",     "bear",      "cow",   "koala",     "husky",   "shiba",     "tiger",
                                      "raccoon", "red-panda", "tabby", "black-cat", "calico"};
    return order;
}

std::optional<QRgb> optionalColour(int rgb) {
    if (rgb < 0) return std::nullopt;
    return hex(unsigned(rgb));
}

std::vector<PetSpecies> buildAll() {
    std::vector<PetSpecies> list;
    for (const Row& row : speciesRows) {
        PetSpecies s;
        s.id = QString::fromLatin1(row.id);
        s.name = QString::fromLatin1(row.name);
        s.fur = hex(row.fur);
        s.belly = hex(row.belly);
        s.marking = hex(row.marking);
        s.nose = hex(row.nose);
        s.eye = hex(row.eye);
        s.ears = row.ears;
        s.tail = row.tail;
        s.markings = row.markings;
        s.mask = row.mask;
        s.snout = row.snout;
        s.darkLegs = row.darkLegs;
        s.tailColor = optionalColour(row.tailColor);
        s.tailTip = optionalColour(row.tailTip);
        s.faceColor = optionalColour(row.faceColor);
        s.bodyPlan = row.bodyPlan;
        s.bigEyes = row.bigEyes;
        const auto build = builds().find(s.id);
        s.build = build == builds().end() ? PetSpecies::Build{} : build->second;
        list.push_back(s);
    }
    // Unlisted ids would go last, in table order.
    const auto position = [](const PetSpecies& s) {
        const qsizetype i = displayOrder().indexOf(s.id);
        return i < 0 ? displayOrder().size() : i;
    };
    std::stable_sort(list.begin(), list.end(),
                     [&](const PetSpecies& a, const PetSpecies& b) { return position(a) < position(b); });
    return list;
}

}  // namespace

const std::vector<PetSpecies>& PetSpecies::all() {
    static const std::vector<PetSpecies> list = buildAll();
    return list;
}

const PetSpecies& PetSpecies::named(const QString& id) {
    for (const PetSpecies& s : all()) {
        if (s.id == id) return s;
    }
    return all().front();
}

size_t qHash(const PetSpecies& species, size_t seed) noexcept { return qHash(species.id, seed); }
