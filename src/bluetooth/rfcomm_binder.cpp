#include "bluetooth/rfcomm_binder.h"

#include <cerrno>

#ifdef __linux__
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

namespace {

// Kernel ABI of the RFCOMM TTY ioctls (include/net/bluetooth/rfcomm.h). Addresses are
// stored least significant byte first.
constexpr int AddressFamilyBluetooth = 31;
constexpr int ProtocolRfcomm = 3;
constexpr uint32_t HangupNowFlag = 1u << 2;
constexpr int MaxBindings = 256;

struct RfcommDevReq
{
    int16_t devId;
    uint32_t flags;
    uint8_t src[6];
    uint8_t dst[6];
    uint8_t channel;
};

struct RfcommDevInfo
{
    int16_t id;
    uint32_t flags;
    uint16_t state;
    uint8_t src[6];
    uint8_t dst[6];
    uint8_t channel;
};

struct RfcommDevListReq
{
    uint16_t devNum;
    RfcommDevInfo devInfo[1];   // devNum entries follow in the caller's buffer
};

static_assert(sizeof(RfcommDevReq) == 24 && offsetof(RfcommDevReq, channel) == 20);
static_assert(sizeof(RfcommDevInfo) == 24 && offsetof(RfcommDevInfo, channel) == 22);
static_assert(offsetof(RfcommDevListReq, devInfo) == 4);

const unsigned long CreateDevice = _IOW('R', 200, int);
const unsigned long ReleaseDevice = _IOW('R', 201, int);
const unsigned long GetDeviceList = _IOR('R', 210, int);

void toKernel(const BluetoothAddress &address, uint8_t out[6]) { std::reverse_copy(address.begin(), address.end(), out); }

class Socket
{
public:
    Socket() : fd(::socket(AddressFamilyBluetooth, SOCK_RAW | SOCK_CLOEXEC, ProtocolRfcomm)) {}
    ~Socket()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Socket(const Socket &) = delete;
    Socket &operator=(const Socket &) = delete;
    const int fd;
};

// The bindings of the system; false with errno set when they cannot be listed.
bool listBindings(int fd, std::vector<RfcommDevInfo> &bindings)
{
    std::vector<uint8_t> buffer(offsetof(RfcommDevListReq, devInfo) + MaxBindings * sizeof(RfcommDevInfo));
    auto *request = reinterpret_cast<RfcommDevListReq *>(buffer.data());
    request->devNum = MaxBindings;
    if (::ioctl(fd, GetDeviceList, request) < 0)
        return false;
    const int count = std::min<int>(request->devNum, MaxBindings);
    bindings.assign(request->devInfo, request->devInfo + count);
    return true;
}

bool sameAddress(const uint8_t a[6], const uint8_t b[6]) { return std::memcmp(a, b, 6) == 0; }

} // namespace

BluetoothResult RfcommBinder::bind(const BluetoothAddress &local, const BluetoothAddress &remote, int channel)
{
    if (channel < 1 || channel > 30)
        return BluetoothResult::fromErrno(EINVAL);
    Socket socket;
    if (socket.fd < 0)
        return BluetoothResult::fromErrno(errno);
    RfcommDevReq request{};
    request.devId = -1;   // the kernel picks the first free rfcommN
    toKernel(local, request.src);
    toKernel(remote, request.dst);
    request.channel = uint8_t(channel);

    std::vector<RfcommDevInfo> bindings;
    if (listBindings(socket.fd, bindings)) {
        for (const RfcommDevInfo &binding : bindings) {
            if (sameAddress(binding.dst, request.dst) && binding.channel == request.channel)
                return BluetoothResult::success();
        }
    }
    if (::ioctl(socket.fd, CreateDevice, &request) < 0)
        return BluetoothResult::fromErrno(errno);
    return BluetoothResult::success();
}

BluetoothResult RfcommBinder::release(const BluetoothAddress &remote)
{
    Socket socket;
    if (socket.fd < 0)
        return BluetoothResult::fromErrno(errno);
    std::vector<RfcommDevInfo> bindings;
    if (!listBindings(socket.fd, bindings))
        return BluetoothResult::fromErrno(errno);
    uint8_t dst[6];
    toKernel(remote, dst);
    BluetoothResult result = BluetoothResult::success();
    for (const RfcommDevInfo &binding : bindings) {
        if (!sameAddress(binding.dst, dst))
            continue;
        RfcommDevReq request{};
        request.devId = binding.id;
        request.flags = HangupNowFlag;
        if (::ioctl(socket.fd, ReleaseDevice, &request) < 0 && result.ok())
            result = BluetoothResult::fromErrno(errno);
    }
    return result;
}

#else

BluetoothResult RfcommBinder::bind(const BluetoothAddress &, const BluetoothAddress &, int)
{
    return BluetoothResult::fromErrno(ENOTSUP);
}

BluetoothResult RfcommBinder::release(const BluetoothAddress &) { return BluetoothResult::fromErrno(ENOTSUP); }

#endif
