// kv-display-check: can the window start on the display of this environment?
//
// The toolkit ends a program that can't open its display (DISPLAY names no server, the
// platform plugin can't connect) with an abort. So the check starts the toolkit's GUI
// layer in a child process, exactly as the window would, and watches how that child
// ends. Exit status 0 when it started; otherwise 1, with the reason on standard output
// ("DISPLAY=:99 can't be reached"), so that `make run` can show the selection in the
// terminal instead.
#include <QGuiApplication>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string reason() {
    const std::string platform = variable("QT_QPA_PLATFORM");
    if (!platform.empty())
        return "QT_QPA_PLATFORM=" + platform + " can't be started";
    const std::string x11 = variable("DISPLAY"), wayland = variable("WAYLAND_DISPLAY");
    if (x11.empty() && wayland.empty())
        return "DISPLAY and WAYLAND_DISPLAY are unset";
    std::string set;
    if (!x11.empty())
        set = "DISPLAY=" + x11;
    if (!wayland.empty())
        set += (set.empty() ? "" : ", ") + std::string("WAYLAND_DISPLAY=") + wayland;
    return set + " can't be reached";
}

} // namespace

int main(int argc, char** argv) {
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        // The toolkit's own complaint and a core file of its abort are of no use here; a
        // display that doesn't answer within ten seconds counts as unreachable.
        const rlimit noCore{0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        if (std::freopen("/dev/null", "w", stderr) == nullptr)
            _exit(1);
        alarm(10);
        const QGuiApplication app(argc, argv);
        _exit(0);
    }
    int status = 0;
    const bool started = child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
                         WEXITSTATUS(status) == 0;
    if (started)
        return 0;
    std::printf("%s\n", reason().c_str());
    return 1;
}
