#pragma once

#include "Platform/Core/Setting.h"
#include "Platform/Desktop/DesktopEntries.h"

#include <QColor>
#include <QDialog>
#include <QString>

#include <functional>
#include <vector>

class QCheckBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QSpinBox;
class QVBoxLayout;

// The grouped-form pieces every settings pane is made of.
namespace SettingsForm {
// The pane's page: a vertical layout with the margins and spacing of every pane.
QVBoxLayout* page(QWidget* pane);
// Secondary explanation text under a section.
QLabel* footerLabel(const QString& text);
// Text in the secondary style, at the given scale of the normal size.
QLabel* secondaryLabel(const QString& text, double scale = 1.0);
// A row's label: the symbol (in the accent colour, or the colour given) before the title, the note
// under the title.
QWidget* symbolLabel(const QString& symbol, const QString& title, const QString& note = {}, const QColor& color = {});
// A row's label without a symbol: the title, the note under it.
QWidget* titleLabel(const QString& title, const QString& note = {});
// A labelled row: the label on the leading side, the content on the trailing side.
QWidget* labelledRow(QWidget* label, QWidget* content);
// A switch row: the label (with its symbol when given) and the switch at the trailing edge. The
// switch is returned through toggle; its accessible name is the title.
QWidget* toggleRow(const QString& symbol, const QString& title, const QString& note, QCheckBox** toggle);
// Gives every check box under root a square whose edge reads at 3:1 on the window: the desktop's
// style draws it, and where its edge would fade (a near-black square on a dark card, a pale grey
// one on a light card) the edge is drawn again in a colour that reads.
void makeCheckBoxesLegible(QWidget* root);
// A titled section added to the page, with its footer text under it when given.
QGroupBox* section(QVBoxLayout* page, const QString& header, const QString& footer = {});
// Gives the box the setting's range and value and keeps it at the value whoever changes it. Each
// value the box hands over goes to apply, or is stored when there is none.
void bind(QSpinBox* box, Setting<int>& setting, std::function<void(int)> apply = {});
}  // namespace SettingsForm

// A searchable list of installed applications (desktop entries) to pick one from. Hidden entries
// and the excluded ids are left out; the rest are sorted by name.
class ApplicationChooser : public QDialog {
    Q_OBJECT
public:
    ApplicationChooser(std::vector<DesktopEntry> entries, const QStringList& excludedIds, const QString& title,
                       const QString& message, QWidget* parent = nullptr);

    QString chosenID() const;
    QListWidget* list() const { return list_; }

signals:
    void chosen(const QString& id);

private:
    QListWidget* list_;
};
