// "/u": the sample screen saver removes itself.
#pragma once

#include "standins/samplesaver/SaverContent.h"

// First undoes a dead, unfinished installation of this saver from its journal
// (nothing more happens while an installation of it still runs: 1). Then removes the data folder, the uninstall entry under both roots, the
// system.ini entry when it names this program, and the program file itself
// (deleted at the next restart when it cannot be deleted now). 0 when
// everything went or is scheduled to go, 1 otherwise.
int UninstallSaver(const SaverContent& content);
