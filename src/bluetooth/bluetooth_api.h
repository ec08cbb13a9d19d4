// SPDX-FileCopyrightText: 2026 The Aqualumora developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QDateTime>
#include <QString>
#include <QUuid>

#include <array>
#include <cstdint>
#include <memory>

// What the installation and removal runs need of the operating system's Bluetooth
// stack, shaped after the calls they make: a device search with a handle, a refresh of
// one device's record, pairing, switching a service on and removing a device. The
// program uses BluezApi (BlueZ over D-Bus); tests use FakeBluetoothApi.

// Six address bytes, most significant first (00:11:22:AA:BB:CC is {0x00, …, 0xCC}).
using BluetoothAddress = std::array<uint8_t, 6>;

// "00:11:22:AA:BB:CC": two upper-case hexadecimal digits per byte, most significant first.
QString BluetoothAddressText(const BluetoothAddress &address);
// Parses "00:11:22:aa:bb:cc" (either letter case); false for anything else.
bool ParseBluetoothAddress(const QString &text, BluetoothAddress &address);

// A device as the search returns it and as a refresh updates it.
struct BluetoothDeviceInfo
{
    BluetoothAddress address{};
    bool connected = false;
    bool authenticated = false;   // paired
    QDateTime lastUsed;           // invalid when the stack does not know it
    QString name;                 // empty while the device has not sent its name
};

// The outcome of one call. Success, "nothing (more) found", or a failure with the
// system's own code (an errno value in decimal, or a D-Bus error name) and text.
struct BluetoothResult
{
    enum class Kind { Ok, NoMoreItems, Failed };
    Kind kind = Kind::Ok;
    QString code;
    QString text;

    bool ok() const { return kind == Kind::Ok; }
    static BluetoothResult success() { return {}; }
    static BluetoothResult noMoreItems() { return {Kind::NoMoreItems, {}, {}}; }
    static BluetoothResult failure(const QString &code, const QString &text) { return {Kind::Failed, code, text}; }
    // errno value with its strerror text.
    static BluetoothResult fromErrno(int error);
};

// How a search lists devices.
struct BluetoothSearchParams
{
    bool returnAuthenticated = true;
    bool returnRemembered = true;
    bool returnUnknown = true;
    bool returnConnected = true;
    // Whether to ask the radios for devices in range first; otherwise only devices the
    // system already knows are listed.
    bool issueInquiry = false;
    // Inquiry length in units of 1.28 s.
    int timeoutMultiplier = 0;

    static BluetoothSearchParams inquiry() { return {true, true, true, true, true, 5}; }
    static BluetoothSearchParams knownDevices() { return {}; }
};

// The Serial Port profile's service class, and its text as BlueZ spells it.
inline constexpr const char *SerialPortProfileUuid = "00001101-0000-1000-8000-00805f9b34fb";
inline const QUuid SerialPortServiceClass{QLatin1String(SerialPortProfileUuid)};
// The controller's name and its fixed pairing code.
inline constexpr const char *ControllerBluetoothName = "Aqualumora";
inline constexpr const char *ControllerPairingCode = "7391";

class BluetoothApi
{
public:
    using SearchHandle = quintptr;   // 0 = no search
    virtual ~BluetoothApi() = default;

    // Starts a search on every radio and returns the first device in info, or 0 with the
    // reason in result (NoMoreItems when nothing was found).
    virtual SearchHandle findFirstDevice(const BluetoothSearchParams &params, BluetoothDeviceInfo &info,
                                         BluetoothResult &result) = 0;
    // The next device of the search; false when there is none.
    virtual bool findNextDevice(SearchHandle search, BluetoothDeviceInfo &info) = 0;
    virtual void findDeviceClose(SearchHandle search) = 0;

    // Refreshes the record of the device whose address info holds, name included.
    virtual BluetoothResult getDeviceInfo(BluetoothDeviceInfo &info) = 0;
    // How many services the device offers.
    virtual int enumerateInstalledServices(const BluetoothDeviceInfo &info) = 0;
    // Pairs the device, answering its request with the passkey.
    virtual BluetoothResult authenticateDevice(const BluetoothDeviceInfo &info, const QString &passkey) = 0;
    // Switches a service of the device on or off. For the Serial Port profile, on means the
    // device is paired, trusted and offers the service, so that it is listed as a port.
    virtual BluetoothResult setServiceState(const BluetoothDeviceInfo &info, const QUuid &service, bool enable) = 0;
    // Unpairs the device and forgets it, with its serial port.
    virtual BluetoothResult removeDevice(const BluetoothAddress &address) = 0;
};
