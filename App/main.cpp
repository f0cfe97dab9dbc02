#include "App/AppDelegate.h"
#include "App/MerovaneApp.h"
#include "Platform/Desktop/SingleInstance.h"
#include "Platform/Files/UserFolders.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/System/OwnMemory.h"

#include <QApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int g_signalFds[2] = {-1, -1};

void onTerminationSignal(int) {
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(g_signalFds[0], &byte, 1);
}

// SIGINT and SIGTERM end the event loop normally, so quitting releases what the program holds.
void installSignalHandlers(QApplication& app) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalFds) != 0) return;
    auto* notifier = new QSocketNotifier(g_signalFds[1], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
        char byte;
        [[maybe_unused]] ssize_t n = ::read(g_signalFds[1], &byte, 1);
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}
}  // namespace

int main(int argc, char** argv) {
    OwnMemory::keepResidentSmall();
    // Our windows repaint small parts often (a blinking caret, a figure that changes). Through X
    // shared memory each repaint of a part drawn before first waits for a round trip to the
    // server; the few pixels sent over the connection need none. Measured window by window (menu
    // panel, monitor popup, clipboard popup), shared memory saved no processor time in the program
    // and its X server together and woke the program half as often again or more, so no window
    // gains by it; Qt decides it for the connection, not per window. A setting of the user's stays.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");
    // A relative runtime folder is none; left set, Qt would make it in the folder we were started in.
    if (qEnvironmentVariableIsSet("XDG_RUNTIME_DIR") && UserFolders::runtimeHome().isEmpty())
        qunsetenv("XDG_RUNTIME_DIR");
    QApplication::setApplicationName(QStringLiteral("Quorvin"));
    QApplication::setOrganizationDomain(QStringLiteral("pelwick.com"));
    QApplication::setDesktopFileName(QStringLiteral("com.pelwick.Quorvin"));
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    SystemColors::followApplicationPalette();
    installSignalHandlers(app);

    // One instance per user and display: a second start opens the running one's menu panel.
    SingleInstance instance(SingleInstance::defaultPath(), SingleInstance::fallbackFolder());
    switch (instance.claim()) {
    case SingleInstance::Claim::activatedRunning:
        return 0;
    case SingleInstance::Claim::runningButSilent:
        fprintf(stderr, "Quorvin is already running\n");
        return 1;
    case SingleInstance::Claim::primary:
    case SingleInstance::Claim::unavailable:
        break;
    }
    QObject::connect(&instance, &SingleInstance::activationRequested, [] { AppDelegate::shared().openMenuPanel(); });

    MerovaneApp::setUpIcons();
    MerovaneApp merovane;
    return merovane.run();
}
