#include "Platform/System/DetachedProcess.h"

#include "Platform/Files/NativePath.h"

#include <QByteArray>

#include <cerrno>
#include <csignal>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace DetachedProcess {

bool start(const QString& program, const QStringList& arguments) {
    // Everything the child needs is made before the fork: between fork and exec only
    // async-signal-safe calls.
    std::vector<QByteArray> bytes{NativePath::encode(program)};
    for (const QString& argument : arguments) bytes.push_back(NativePath::encode(argument));
    std::vector<char*> argv;
    for (QByteArray& b : bytes) argv.push_back(b.data());
    argv.push_back(nullptr);

    int report[2];  // the exec's errno, if it fails; closed by a successful exec
    if (::pipe2(report, O_CLOEXEC) != 0) return false;
    const pid_t child = ::fork();
    if (child < 0) {
        const int code = errno;
        ::close(report[0]);
        ::close(report[1]);
        errno = code;
        return false;
    }
    if (child == 0) {
        ::close(report[0]);
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild != 0) {
            const int code = errno;
            if (grandchild < 0) (void)!::write(report[1], &code, sizeof code);
            ::_exit(0);
        }
        const int null = ::open("/dev/null", O_RDONLY);
        if (null > 0) {
            ::dup2(null, 0);
            ::close(null);
        }
        sigset_t none;
        ::sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::signal(SIGPIPE, SIG_DFL);
        ::execv(argv[0], argv.data());
        const int code = errno;
        (void)!::write(report[1], &code, sizeof code);
        ::_exit(127);
    }
    ::close(report[1]);
    while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {}
    int code = 0;
    ssize_t n;
    do {
        n = ::read(report[0], &code, sizeof code);
    } while (n < 0 && errno == EINTR);
    ::close(report[0]);
    if (n == ssize_t(sizeof code)) {
        errno = code;
        return false;
    }
    return true;
}

}  // namespace DetachedProcess
