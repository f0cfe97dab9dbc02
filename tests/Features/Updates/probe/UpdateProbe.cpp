// A program that stands in for Quorvin inside a bundle in the end-to-end update test: it runs the
// real updater (trusting the test's key and certificate, named in QUORVIN_PROBE_CONFIG) and the
// real toast, and writes what happens to a log, one line per event, each with its pid.
#include "Source/Features/Updates/UpdateManager.h"
#include "Source/Features/Updates/UpdateToastController.h"

#include <QApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSslCertificate>
#include <QTimer>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QFile configFile(qEnvironmentVariable("QUORVIN_PROBE_CONFIG"));
    if (!configFile.open(QIODevice::ReadOnly)) return 2;
    const QJsonObject config = QJsonDocument::fromJson(configFile.readAll()).object();
    const QString logPath = config.value("log").toString();
    auto log = [logPath](const QString& line) {
        QFile f(logPath);
        if (f.open(QIODevice::Append)) f.write(QStringLiteral("%1 %2\n").arg(QCoreApplication::applicationPid()).arg(line).toUtf8());
    };

    UpdateManager::Environment env = UpdateManager::Environment::standard();
    env.updateKey = env.codeSigningKey = config.value("key").toString();
    env.terminate = [log] {
        log("quit");
        QCoreApplication::quit();
    };
    UpdateManager manager(env);
    QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
    ssl.addCaCertificates(QSslCertificate::fromPath(config.value("ca").toString()));
    manager.setSslConfiguration(ssl);

    QObject::connect(&manager, &UpdateManager::toastRequested, [log](const QString& version) {
        UpdateToastController::shared().show(version);
        QWidget* panel = UpdateToastController::shared().panel();
        log(QStringLiteral("toast %1 %2").arg(version, panel && panel->isVisible() ? "shown" : "missing"));
    });
    QObject::connect(&manager, &UpdateManager::stateChanged, [&manager, log] {
        using Kind = UpdateManager::State::Kind;
        static const char* names[] = {"idle", "checking", "upToDate", "available", "installing", "failed"};
        const UpdateManager::State& s = manager.state();
        log(QStringLiteral("state %1 %2").arg(names[int(s.kind())], s.text()));
        if (s.kind() == Kind::upToDate || s.kind() == Kind::failed)
            QTimer::singleShot(300, [] { QCoreApplication::quit(); });
    });
    QTimer::singleShot(30000, [log] {
        log("gave up");
        QCoreApplication::quit();
    });
    log(QStringLiteral("start %1 %2 %3").arg(UpdateManager::currentVersion(), QString::number(UpdateManager::currentBuild()),
                                            env.bundle.bundlePath()));
    manager.start();
    return app.exec();
}
