#include "app/InstallerState.h"

std::uint8_t windowMode = 0;
bool licenseShown = false;
bool documentShipped = false;
bool installing = false;
bool cancelRequested = false;
