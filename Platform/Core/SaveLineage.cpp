#include "Platform/Core/SaveLineage.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

SaveLineage SaveLineage::of(const std::optional<QString>& saves, const QByteArray& stamp) {
    SaveLineage lineage;
    if (saves) {
        for (const QString& save : saves->split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (lineage.saves.size() == length) break;
            if (save.size() <= 32) lineage.saves.append(save.toLatin1());
        }
    }
    lineage.named = !lineage.saves.isEmpty();
    // Every instance that reads this version of the file names it alike.
    if (!lineage.named && !stamp.isEmpty())
        lineage.saves.append('~' + QCryptographicHash::hash(stamp, QCryptographicHash::Sha256).toHex().left(16));
    return lineage;
}

SaveLineage SaveLineage::next() const {
    SaveLineage lineage;
    lineage.named = true;
    lineage.saves.append(QByteArray::number(QRandomGenerator::system()->generate64(), 16).rightJustified(16, '0'));
    for (const QByteArray& save : saves) {
        if (lineage.saves.size() == length) break;
        lineage.saves.append(save);
    }
    return lineage;
}

SaveLineage SaveLineage::ofEmpty(const QByteArray& stamp, const SaveLineage& before) {
    SaveLineage lineage = of(std::nullopt, stamp);
    for (const QByteArray& save : before.saves)
        if (lineage.saves.size() < length) lineage.saves.append(save);
    return lineage;
}

bool SaveLineage::descendsFrom(const SaveLineage& base) const {
    return !named || (!base.saves.isEmpty() && saves.contains(base.saves.first()));
}

QString SaveLineage::text() const { return QString::fromLatin1(saves.join(' ')); }
