// The support library needs one source of its own.
#include "support/Bytes.h"
#include "support/CurrentFolder.h"
#include "support/TimeScale.h"
