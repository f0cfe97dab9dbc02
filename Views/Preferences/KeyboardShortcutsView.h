#pragma once

#include <QString>
#include <QWidget>

#include <map>
#include <optional>

class QGridLayout;
class QKeyEvent;
class QLabel;
class QPushButton;
class ShortcutManager;
class ShortcutRecorderButton;
class SymbolButton;

// The Shortcuts pane: one row per hot-key binding with its recorder and a remove button, and
// "Reset to Defaults". A click on a recorder records a new combination: the global hot keys are
// released and every key-down that reaches the program goes to the recording (an application
// event filter) until Escape, a combination with ⌘, ⌥, ⇧ or ⌃, a second click, or the pane leaving
// the screen ends it; then the hot keys are grabbed again. A binding another program holds is
// reported on its row.
class KeyboardShortcutsView : public QWidget {
    Q_OBJECT
public:
    explicit KeyboardShortcutsView(ShortcutManager& manager, QWidget* parent = nullptr);
    ~KeyboardShortcutsView() override;

    // The id of the binding being recorded.
    const std::optional<QString>& recordingID() const { return recordingID_; }
    bool isMonitoringKeys() const { return eventMonitor_; }

    void startRecording(const QString& id);
    void stopRecording(bool resumeHotkeys);

    // The row pieces of a binding; null for an unknown id.
    ShortcutRecorderButton* recorder(const QString& id) const;
    SymbolButton* removeButton(const QString& id) const;
    // The line under a row that says why the hot key is not working; hidden when it is.
    QLabel* problemLabel(const QString& id) const;
    QPushButton* resetButton() const { return reset_; }

    // What the row of a binding says when its combination could not be registered.
    static QString problemText(const QString& id);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    struct Row {
        QLabel* name = nullptr;
        ShortcutRecorderButton* recorder = nullptr;
        SymbolButton* remove = nullptr;
        QLabel* problem = nullptr;
    };

    void rebuildRows();
    void refresh();
    void recorderClicked(const QString& id);
    void remove(const QString& id);
    void resetToDefaults();
    void keyDown(const QKeyEvent& event);

    ShortcutManager& manager_;
    std::optional<QString> recordingID_;
    bool eventMonitor_ = false;
    QGridLayout* rows_ = nullptr;
    std::map<QString, Row> rowByID_;
    QStringList shownIDs_;
    QPushButton* reset_ = nullptr;
};
