#pragma once

#include "brisanta_version.h"

// The built client carries its version in its bytes as this text followed by the version and a NUL,
// so that whoever signs a release file can read which version the file is without running it.
// Plain C++: the signing tool includes it without Qt.
#define BRISANTA_RELEASE_MARKER_PREFIX "brisanta-release-version="

// The marker of this build, for the client's executable (brisanta_version.h comes from the build).
#define BRISANTA_RELEASE_MARKER BRISANTA_RELEASE_MARKER_PREFIX BRISANTA_VERSION
