#pragma once
// A header of the link that names a POSIX header: the compiler finds it for every layer, the include check
// refuses it above the driver layer.

#include <unistd.h>
