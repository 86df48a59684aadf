#include <cstring>

#include <unistd.h>

#ifdef BRISANTA_FAKE_CONFIRMS
#include "brand/start_marker.h"

#include <QCoreApplication>
#endif

#ifdef BRISANTA_FAKE_VERSION
#include "brand/release_marker.h"

namespace {
// As the real client carries its version, so that sign-release signs it for that version only.
[[gnu::used]] constexpr char kReleaseMarker[] = BRISANTA_RELEASE_MARKER_PREFIX BRISANTA_FAKE_VERSION;
} // namespace
#endif

// Stand-ins for new clients, each built for one way of behaving:
// - one that ends at once with the code it was built with, the way a program whose shared libraries
//   are missing ends with 127 before its own code is reached;
// - one that never comes up and never ends;
// - one that passes its self-check and then fails every real start (BRISANTA_FAKE_SELF_CHECK_PASSES);
// - one that runs like a real client: passes its self-check and, started for real, says its window is
//   up the way the client does, then ends normally (BRISANTA_FAKE_CONFIRMS).
int main(int argc, char *argv[])
{
#ifdef BRISANTA_FAKE_HANG
    for (;;)
        ::pause();
#else
    const bool selfCheck = argc == 2 && std::strcmp(argv[1], "--self-check") == 0;
#if defined(BRISANTA_FAKE_SELF_CHECK_PASSES) || defined(BRISANTA_FAKE_CONFIRMS)
    if (selfCheck)
        return 0;
#endif
#ifdef BRISANTA_FAKE_CONFIRMS
    QCoreApplication app(argc, argv);
    brand::confirmStarted(QCoreApplication::applicationFilePath());
    brand::confirmEndedNormally(QCoreApplication::applicationFilePath());
    return 0;
#else
    (void)selfCheck;
    (void)argv;
    return BRISANTA_FAKE_EXIT_CODE;
#endif
#endif
}
