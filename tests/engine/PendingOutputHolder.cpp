// Another copy of the program in the middle of writing an output: creates the
// pending output named on the command line, prints its temporary's path and
// holds it until it is killed. Killed with SIGKILL, it leaves the temporary
// behind as a power cut would.
#include "engine/PendingOutput.h"
#include "platform/Error.h"

#include <cstdio>
#include <unistd.h>

int main(int argc, char* argv[]) {
    if (argc != 2)
        return 2;
    PendingOutput pending;
    try {
        pending.create(QString::fromLocal8Bit(argv[1]));
    } catch (const Error& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
    std::printf("%s\n", qPrintable(pending.path()));
    std::fflush(stdout);
    for (;;)
        ::pause();
}
