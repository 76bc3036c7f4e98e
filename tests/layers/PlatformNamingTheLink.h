#pragma once
// A header of the driver layer that names the link. No source of its layer includes it; compiled alone with the
// driver layer's flags, as every header of a library is, it does not compile.

#include "link/Link.h"
