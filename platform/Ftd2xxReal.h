#pragma once
#include "Ftd2xx.h"

#include <functional>
#include <vector>

class TFtdiReceiver;

// The driver table over libftdi1: the first FTDI USB-serial device is device 0.
std::unique_ptr<TFtd2xx> MakeRealFtd2xx();

// One read of the adapter as ftdi_read_data does it: into buffer, at most size bytes; the count
// read, or libftdi's negative error.
using LibFtdiRead = std::function<int(unsigned char* buffer, int size)>;

// The receiver's fetch over such a read: appends what came; false when the device is gone
// (unplugged), never for a read that merely timed out.
std::function<bool(std::vector<uint8_t>& out)> LibFtdiFetch(LibFtdiRead read);

// FT_GetQueueStatus of the table on the receiver of an opened device: the bytes waiting, and
// FT_IO_ERROR once the device is gone, bytes waiting or not.
FT_STATUS LibFtdiQueueStatus(TFtdiReceiver& rx, DWORD* rxBytes);
