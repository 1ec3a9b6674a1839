// Stands in for ssh in the refresh benchmark: waits 200 ms, then prints one valid report.
// Only libc and a static link, so that starting it costs as little as a process can.

#include <ctime>
#include <unistd.h>

int main()
{
    static const char report[] =
        R"({"schema":1,"overall":"ok","counts":{"ok":1,"warn":0,"fail":0},"groups":[],)"
        R"("checks":[{"name":"Load","status":"ok","detail":"0.1","section":"System"}]})"
        "\n";
    timespec wait{0, 200 * 1000 * 1000};
    while (nanosleep(&wait, &wait) != 0) {
    }
    const char* at = report;
    ssize_t left = sizeof report - 1;
    while (left > 0) {
        const ssize_t written = write(STDOUT_FILENO, at, static_cast<size_t>(left));
        if (written <= 0)
            return 1;
        at += written;
        left -= written;
    }
    return 0;
}
