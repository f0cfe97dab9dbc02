#pragma once

#include <QString>
#include <QUrl>
#include <QWidget>

class CopyButton;
class QPushButton;
class Workspace;

// The Help & Feedback pane: the support mail address, the Telegram channel and the website, each
// shown with a copy button; "Report a Bug…", which opens a new mail with the system information
// filled in; and a button that copies that information.
class HelpSettingsView : public QWidget {
    Q_OBJECT
public:
    explicit HelpSettingsView(QWidget* parent = nullptr);
    explicit HelpSettingsView(Workspace& workspace, QWidget* parent = nullptr);

    // The bug-report mail for this computer.
    static QUrl reportURL();
    // One contact row: the title with its symbol, then the value (selectable) and its copy button.
    static QWidget* contactRow(const QString& title, const QString& value, const QString& symbol);

    QPushButton* reportButton() const { return report_; }
    CopyButton* systemInfoButton() const { return systemInfo_; }

private:
    Workspace& workspace_;
    QPushButton* report_ = nullptr;
    CopyButton* systemInfo_ = nullptr;
};
