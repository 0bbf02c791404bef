#pragma once

// OrderedWorkers lives in the threading unit; this name stays for the files that include it so.
#include "base/threads.h"
