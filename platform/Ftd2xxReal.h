#pragma once
#include "Ftd2xx.h"

// The driver table over libftdi1: the first FTDI USB-serial device is device 0.
std::unique_ptr<TFtd2xx> MakeRealFtd2xx();
