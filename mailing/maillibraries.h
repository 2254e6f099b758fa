#pragma once

// Sets up GMime for this process. Safe to call any number of times from any thread; only the first call
// does the work. Mail code calls it itself, so callers need not.
void initMailLibraries();
