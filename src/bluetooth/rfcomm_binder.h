#pragma once
#include "bluetooth/bluetooth_api.h"

// Gives a paired device's serial-port service a serial device of the system, and takes
// it away again. BluezApi uses the kernel's RFCOMM binding; tests put in their own.
class SerialPortBinder
{
public:
    virtual ~SerialPortBinder() = default;
    // Binds a serial device (rfcommN) to the remote device's channel; a binding that
    // exists already for that device and channel counts as success.
    virtual BluetoothResult bind(const BluetoothAddress &local, const BluetoothAddress &remote, int channel) = 0;
    // Releases every binding of the remote device; none is success.
    virtual BluetoothResult release(const BluetoothAddress &remote) = 0;
};

// The Linux kernel's RFCOMM TTY bindings (/dev/rfcommN), made on a raw RFCOMM socket.
// Needs the network-administration capability; without it, or without RFCOMM support
// in the kernel, the calls fail with the system's errno and text. Elsewhere every call
// fails with "operation not supported".
class RfcommBinder : public SerialPortBinder
{
public:
    BluetoothResult bind(const BluetoothAddress &local, const BluetoothAddress &remote, int channel) override;
    BluetoothResult release(const BluetoothAddress &remote) override;
};
