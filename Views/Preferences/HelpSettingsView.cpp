#include "Views/Preferences/HelpSettingsView.h"

#include "Platform/Desktop/Workspace.h"
#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"
#include "Source/Features/Preferences/Support.h"
#include "Views/Preferences/SettingsForm.h"
#include "Views/Shared/CopyButton.h"
#include "Views/Shared/UnshownNote.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

HelpSettingsView::HelpSettingsView(QWidget* parent) : HelpSettingsView(Workspace::shared(), parent) {}

HelpSettingsView::HelpSettingsView(Workspace& workspace, QWidget* parent) : QWidget(parent), workspace_(workspace) {
    QVBoxLayout* page = SettingsForm::page(this);

    auto* welcome = new QVBoxLayout(SettingsForm::section(page, QString()));
    QLabel* hello = SettingsForm::secondaryLabel(
        QStringLiteral("We’d love to hear from you — questions, ideas, or something that broke."));
    hello->setWordWrap(true);
    welcome->addWidget(hello);

    auto* contacts = new QVBoxLayout(SettingsForm::section(page, QString()));
    contacts->addWidget(contactRow(QStringLiteral("Support email"), Support::email(), QStringLiteral("envelope")));
    contacts->addWidget(
        contactRow(QStringLiteral("Telegram"), Support::telegram().toString(), QStringLiteral("paperplane")));
    contacts->addWidget(contactRow(QStringLiteral("Website"), Support::website().toString(), QStringLiteral("globe")));

    auto* reportBox = new QVBoxLayout(SettingsForm::section(
        page, QString(), QStringLiteral("Report a Bug opens a new email with your system info already filled in.")));
    report_ = new QPushButton(QStringLiteral("Report a Bug…"));
    report_->setIcon(QIcon(QPixmap::fromImage(
        Symbols::image(QStringLiteral("ladybug"), 16, SystemColors::accent(), Symbols::Weight::regular, 2.0))));
    auto* reportRow = new QHBoxLayout;
    reportRow->addWidget(report_);
    reportRow->addStretch(1);
    reportBox->addLayout(reportRow);
    connect(report_, &QPushButton::clicked, this, [this] {
        QPointer<HelpSettingsView> self(this);
        workspace_.openUrl(reportURL(), [self](bool opened) {
            if (self && !opened)
                UnshownNote::show(self, QStringLiteral("Report a Bug"),
                                  QStringLiteral("No mail program could open the report. Write to this address and "
                                                 "paste the system info from this pane into your mail:"),
                                  Support::email(), QStringLiteral("Copy Address"));
        });
    });

    auto* infoRow = new QHBoxLayout;
    infoRow->setSpacing(6);
    infoRow->addWidget(SettingsForm::symbolLabel(
        QStringLiteral("info.circle"), QStringLiteral("System info"),
        QStringLiteral("Version, system version and computer model — paste it into any report.")), 1);
    systemInfo_ = new CopyButton(Support::systemInfo(), QStringLiteral("system info"));
    infoRow->addWidget(systemInfo_, 0, Qt::AlignVCenter);
    reportBox->addLayout(infoRow);

    page->addStretch(1);
}

QUrl HelpSettingsView::reportURL() { return Support::reportURL(Support::systemInfo()); }

QWidget* HelpSettingsView::contactRow(const QString& title, const QString& value, const QString& symbol) {
    auto* row = new QWidget;
    row->setObjectName(title);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 2, 0, 2);
    layout->setSpacing(6);
    layout->addWidget(SettingsForm::symbolLabel(symbol, title));
    layout->addStretch(1);
    QLabel* shown = SettingsForm::secondaryLabel(value);
    shown->setObjectName(QStringLiteral("value"));
    shown->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    layout->addWidget(shown, 0, Qt::AlignVCenter);
    layout->addWidget(new CopyButton(value, title.toLower()), 0, Qt::AlignVCenter);
    return row;
}
