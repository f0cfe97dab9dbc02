#pragma once

#include "Views/Toolbox/PaneScrollArea.h"

#include <QFontMetrics>
#include <QHash>
#include <QString>
#include <QStringList>

#include <vector>

class InkLabel;
class PlaceholderField;

// The rows of the snippet fill-in form in their scroll view: the placeholder's name, trailing, then
// its field. A body may hold a thousand placeholders, so a row's widgets are made only once the row
// comes into view, and an edit that changes the names keeps the rows of the names that stay (their
// fields and what is typed in them) and adds or drops only the others.
class PlaceholderForm : public PaneScrollArea {
    Q_OBJECT
public:
    static constexpr int columnSpacing = 10;
    static constexpr int rowSpacing = 8;
    static constexpr int maximumViewHeight = 116;
    static constexpr int nameWidthLimit = 220;

    explicit PlaceholderForm(QWidget* parent = nullptr);

    // The names in row order; the rows of names that stay are kept. False when nothing changed.
    bool setNames(const QStringList& names);
    // Drops every row (another snippet, whose fields start empty).
    void clear();
    const QStringList& names() const { return names_; }
    // What the fields show, by name (a field made later shows its entry too).
    void setValues(const QHash<QString, QString>& values);

    // The row's field; nullptr while the row has not come into view.
    PlaceholderField* field(const QString& name) const;
    // The fields made so far, in row order.
    QList<PlaceholderField*> fields() const;
    // Makes the row's widgets if need be and scrolls it into view.
    PlaceholderField* showRow(qsizetype row);

signals:
    void valueEdited(const QString& name, const QString& value);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct Row {
        InkLabel* label = nullptr;
        PlaceholderField* field = nullptr;
    };

    QSize nameSize(const QString& name);
    Row& makeRow(const QString& name);
    void dropRow(const QString& name);
    // The rows' heights, tops and the name column's width, after the names changed.
    void measure();
    // Places the rows in and near the view, making those that are new; hides the others.
    void placeRows();

    QWidget* canvas_;
    QStringList names_;
    QHash<QString, QString> values_;
    QHash<QString, Row> rows_;  // made rows, by name
    QFontMetrics nameMetrics_;
    QHash<QString, QSize> nameSizes_;  // the name labels' natural sizes
    std::vector<int> tops_;  // each row's top, then the height of them all
    int nameWidth_ = 0;
    QStringList placed_;  // the names whose rows are shown
};
