#include "Views/Preferences/DeveloperSettingsView.h"

#include "Platform/Desktop/Workspace.h"
#include "Platform/Files/FileWriter.h"
#include "Platform/Files/SafeFile.h"
#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Platform/Ui/FileDialogs.h"
#include "Source/Extensions/ApplicationSupport.h"
#include "Source/Features/Preferences/Support.h"
#include "Source/Features/Preferences/UserIdentity.h"
#include "Views/Preferences/SettingsForm.h"
#include "Views/Shared/CopyButton.h"
#include "Views/Shared/UnshownNote.h"

#include <QDebug>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QIcon symbolIcon(const QString& name) {
    return QIcon(QPixmap::fromImage(Symbols::image(name, 16, SystemColors::accent(), Symbols::Weight::regular, 2.0)));
}
}  // namespace

DeveloperSettingsView::DeveloperSettingsView(QWidget* parent)
    : DeveloperSettingsView(Workspace::shared(), FileDialogs::shared(), FileWriter::shared(), parent) {}

DeveloperSettingsView::DeveloperSettingsView(Workspace& workspace, FileDialogs& dialogs, FileWriter& writer,
                                             QWidget* parent)
    : QWidget(parent), workspace_(workspace), dialogs_(dialogs), writer_(writer) {
    QVBoxLayout* page = SettingsForm::page(this);

    auto* idRow = new QHBoxLayout(SettingsForm::section(
        page, QString(),
        QStringLiteral("An anonymous identifier for this install — quote it in a support request. It contains no "
                       "personal information.")));
    idRow->setSpacing(6);
    idRow->addWidget(SettingsForm::symbolLabel(QStringLiteral("person.text.rectangle"), QStringLiteral("Install ID")));
    idRow->addStretch(1);
    const QString id = UserIdentity::id();
    identifier_ = SettingsForm::secondaryLabel(id);
    identifier_->setFont(SystemFont::monospaced(12));
    identifier_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    idRow->addWidget(identifier_, 0, Qt::AlignVCenter);
    copy_ = new CopyButton(id, QStringLiteral("install identifier"));
    idRow->addWidget(copy_, 0, Qt::AlignVCenter);

    auto* troubleshooting = new QVBoxLayout(SettingsForm::section(
        page, QStringLiteral("Troubleshooting"),
        QStringLiteral("Diagnostics is a plain text file with the app version, the system version and the computer "
                       "model. Nothing is sent anywhere — you choose where it goes.")));
    auto* buttons = new QHBoxLayout;
    showData_ = new QPushButton(symbolIcon(QStringLiteral("folder")), QStringLiteral("Show App Data in Finder"));
    export_ = new QPushButton(symbolIcon(QStringLiteral("doc.text.magnifyingglass")),
                              QStringLiteral("Export Diagnostics…"));
    buttons->addWidget(showData_);
    buttons->addWidget(export_);
    buttons->addStretch(1);
    troubleshooting->addLayout(buttons);
    status_ = SettingsForm::secondaryLabel(QString(), 0.9);
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    status_->hide();
    troubleshooting->addWidget(status_);
    connect(showData_, &QPushButton::clicked, this, &DeveloperSettingsView::showAppData);
    connect(export_, &QPushButton::clicked, this, &DeveloperSettingsView::exportDiagnostics);

    page->addStretch(1);
}

QStringList DeveloperSettingsView::appDataFolders() {
    const QString base = URL::applicationSupportBase();
    QStringList folders;
    for (const char* name : {"ClipboardHistory", "DaveRovaz", "Updates"}) {
        const QString path = base + QLatin1Char('/') + QLatin1String(name);
        if (SafeFile::exists(path)) folders << path;
    }
    return folders;
}

void DeveloperSettingsView::setStatus(const QString& text, bool problem) {
    QPalette palette = status_->palette();
    palette.setColor(QPalette::PlaceholderText, problem ? SystemColors::red(SystemColors::isDark(this->palette()))
                                                        : this->palette().color(QPalette::PlaceholderText));
    status_->setPalette(palette);
    status_->setText(text);
    status_->setVisible(!text.isEmpty());
}

void DeveloperSettingsView::showAppData() {
    const QStringList folders = appDataFolders();
    setStatus(folders.isEmpty() ? QStringLiteral("Quorvin has no data folders yet.") : QString());
    if (folders.isEmpty()) return;
    QPointer<DeveloperSettingsView> self(this);
    workspace_.revealFiles(folders, [self, folders](bool shown) {
        if (self && !shown)
            UnshownNote::show(self, QStringLiteral("Show App Data in Finder"),
                              QStringLiteral("No file manager could show the data folders. This is where they are:"),
                              folders.join(QLatin1Char('\n')),
                              folders.size() == 1 ? QStringLiteral("Copy Path") : QStringLiteral("Copy Paths"));
    });
}

void DeveloperSettingsView::exportDiagnostics() {
    FileDialogs::Request request;
    request.title = QStringLiteral("Export Diagnostics");
    request.acceptLabel = QStringLiteral("Save");
    request.defaultName = QString::fromLatin1(diagnosticsFileName);
    request.nameFilters = {QStringLiteral("Plain text (*.txt)")};
    // The writer and the workspace outlive the pane: a file chosen after the pane went away is
    // still written and shown.
    QPointer<DeveloperSettingsView> self(this);
    FileWriter& writer = writer_;
    Workspace& workspace = workspace_;
    dialogs_.chooseSaveFile(window(), request, [self, &writer, &workspace](const QString& path) {
        if (path.isEmpty()) return;  // cancelled
        const FileWriter::Result failed = writer.write(path, Support::systemInfo().toUtf8(), 0644);
        if (failed) {
            qWarning().noquote() << "Diagnostics not saved:" << failed->message();
            if (self)
                self->setStatus(QStringLiteral("Couldn’t save the diagnostics: ") + failed->reason + QLatin1Char('.'),
                                true);
            return;
        }
        if (self) self->setStatus(QString());
        workspace.revealFile(path, [self, path](bool shown) {
            if (self && !shown)
                UnshownNote::show(self, QStringLiteral("Export Diagnostics"),
                                  QStringLiteral("The diagnostics were saved, but no file manager could show them. "
                                                 "This is where they are:"),
                                  path);
        });
    });
}
