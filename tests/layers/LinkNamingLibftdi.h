#pragma once
// A header of the link that names libftdi by its folder, which the compiler finds for every layer: the include
// check refuses it above the driver layer.

#include <libftdi1/ftdi.h>
