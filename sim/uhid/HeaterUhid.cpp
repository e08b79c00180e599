// heatersim-uhid: the heater model as a real HID device. It creates the heater through the
// kernel's /dev/uhid and serves it from the model: output reports go to the model's write,
// GET_REPORT of the feature report to its status, and whatever the model's reads return goes
// back as input reports. SIGUSR1 unplugs the heater, SIGUSR2 plugs it in again.

#include "heatersim.h"

#include <linux/uhid.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <string_view>
#include <sys/signalfd.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kReportBytes = 64;
constexpr const char *kModelPath = "/dev/hidraw-heatersim";
constexpr const wchar_t *kDefaultFirmware = L"V1.10";
// How long after the last output report replies may still come: the longest latency times the
// two requests the heater holds, with room to spare.
constexpr auto kRepliesDueWithin = std::chrono::seconds(2);

// Vendor-defined page, one application collection with 64-byte input, output and feature
// reports and no report ids: the heater's own layout.
constexpr unsigned char kReportDescriptor[] = {
    0x06, 0x00, 0xFF,       // Usage Page (vendor defined 0xFF00)
    0x09, 0x01,             // Usage (1)
    0xA1, 0x01,             // Collection (Application)
    0x15, 0x00,             //   Logical Minimum (0)
    0x26, 0xFF, 0x00,       //   Logical Maximum (255)
    0x75, 0x08,             //   Report Size (8)
    0x95, kReportBytes,     //   Report Count (64)
    0x09, 0x01,             //   Usage (1)
    0x81, 0x02,             //   Input (Data, Variable, Absolute)
    0x95, kReportBytes,     //   Report Count (64)
    0x09, 0x01,             //   Usage (1)
    0x91, 0x02,             //   Output (Data, Variable, Absolute)
    0x95, kReportBytes,     //   Report Count (64)
    0x09, 0x01,             //   Usage (1)
    0xB1, 0x02,             //   Feature (Data, Variable, Absolute)
    0xC0,                   // End Collection
};

struct Options {
    std::string scenario;
    std::wstring firmware = kDefaultFirmware;
    int latencyMs = 0;
    bool silent = false;
    std::optional<int> statusLength;
    std::optional<int> inputLength;
    std::string record;
};

[[noreturn]] void Usage(const std::string &problem)
{
    std::fprintf(stderr,
                 "heatersim-uhid: %s\n"
                 "usage: heatersim-uhid [--scenario FILE] [--firmware TEXT] [--latency MS] [--silent]\n"
                 "                      [--status-length N] [--input-length N] [--record FILE]\n",
                 problem.c_str());
    std::exit(2);
}

int IntegerOption(std::string_view name, const char *text, int low, int high)
{
    char *end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < low || value > high) {
        Usage(std::string(name) + " takes a whole number from " + std::to_string(low) + " to " + std::to_string(high));
    }
    return static_cast<int>(value);
}

std::wstring Widened(const char *text)
{
    return std::wstring(text, text + std::strlen(text));
}

Options ParseOptions(int argc, char **argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view name = argv[i];
        if (name == "--silent") {
            options.silent = true;
            continue;
        }
        if (i + 1 >= argc) {
            Usage(std::string("unknown option or missing value: ") + argv[i]);
        }
        const char *value = argv[++i];
        if (name == "--scenario") {
            options.scenario = value;
        } else if (name == "--firmware") {
            options.firmware = Widened(value);
        } else if (name == "--latency") {
            options.latencyMs = IntegerOption(name, value, 0, 60000);
        } else if (name == "--status-length") {
            options.statusLength = IntegerOption(name, value, 0, kReportBytes);
        } else if (name == "--input-length") {
            options.inputLength = IntegerOption(name, value, 1, kReportBytes);
        } else if (name == "--record") {
            options.record = value;
        } else {
            Usage(std::string("unknown option: ") + argv[i]);
        }
    }
    return options;
}

std::string Narrowed(const wchar_t *text)
{
    std::string narrow;
    for (; text != nullptr && *text != L'\0'; ++text) {
        narrow += *text < 0x80 ? static_cast<char>(*text) : '?';
    }
    return narrow;
}

// What the device shows the kernel: the heater the model holds.
struct Identity {
    std::string path;
    std::string name;
    std::string firmware;
};

Identity SetUpModel(const Options &options)
{
    if (!options.scenario.empty() && heatersim_load_scenario(options.scenario.c_str()) != 0) {
        throw std::runtime_error("cannot load the scenario " + options.scenario);
    }
    hid_device_info *found = hid_enumerate(HEATERSIM_VENDOR, HEATERSIM_PRODUCT);
    if (found == nullptr) {
        heatersim_plug_heater(kModelPath, options.firmware.c_str());
        found = hid_enumerate(HEATERSIM_VENDOR, HEATERSIM_PRODUCT);
    }
    const Identity identity{found->path, Narrowed(found->product_string), Narrowed(found->serial_number)};
    hid_free_enumeration(found);
    heatersim_set_reply_latency(options.latencyMs);
    heatersim_set_silent(options.silent ? 1 : 0);
    if (options.statusLength) {
        heatersim_set_status_length(*options.statusLength);
    }
    return identity;
}

void Send(int uhid, const uhid_event &event)
{
    if (write(uhid, &event, sizeof event) != static_cast<ssize_t>(sizeof event)) {
        throw std::runtime_error(std::string("writing to /dev/uhid failed: ") + std::strerror(errno));
    }
}

void CopyText(char *target, std::size_t size, const std::string &text)
{
    std::strncpy(target, text.c_str(), size - 1);
}

void Create(int uhid, const Identity &identity)
{
    uhid_event event{};
    event.type = UHID_CREATE2;
    auto &create = event.u.create2;
    CopyText(reinterpret_cast<char *>(create.name), sizeof create.name, identity.name);
    CopyText(reinterpret_cast<char *>(create.phys), sizeof create.phys, "heatersim-uhid");
    CopyText(reinterpret_cast<char *>(create.uniq), sizeof create.uniq, identity.firmware);
    create.rd_size = sizeof kReportDescriptor;
    std::memcpy(create.rd_data, kReportDescriptor, sizeof kReportDescriptor);
    create.bus = 0x03; // BUS_USB
    create.vendor = HEATERSIM_VENDOR;
    create.product = HEATERSIM_PRODUCT;
    create.version = 0x0100;
    Send(uhid, event);
}

void Destroy(int uhid)
{
    uhid_event event{};
    event.type = UHID_DESTROY;
    Send(uhid, event);
}

std::string Hex(const unsigned char *data, int size)
{
    std::string text;
    char byte[4];
    for (int i = 0; i < size; ++i) {
        std::snprintf(byte, sizeof byte, i == 0 ? "%02X" : " %02X", data[i]);
        text += byte;
    }
    return text;
}

// One plugged heater: the kernel's device and the model's handle behind it.
class Forwarder {
public:
    Forwarder(int uhid, Identity identity, const Options &options)
        : FUhid(uhid), FIdentity(std::move(identity)), FInputLength(options.inputLength)
    {
        if (!options.record.empty()) {
            // Emptied at start; appended to, so that a reader may empty it again between checks.
            const int file = open(options.record.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
            FRecord = file >= 0 ? fdopen(file, "a") : nullptr;
            if (FRecord == nullptr) {
                throw std::runtime_error("cannot open " + options.record + ": " + std::strerror(errno));
            }
        }
    }
    ~Forwarder()
    {
        if (FRecord != nullptr) {
            std::fclose(FRecord);
        }
    }
    Forwarder(const Forwarder &) = delete;
    Forwarder &operator=(const Forwarder &) = delete;

    void Plug()
    {
        if (FModel != nullptr) {
            return;
        }
        FModel = hid_open_path(FIdentity.path.c_str());
        if (FModel == nullptr) {
            throw std::runtime_error("the heater model refused to open");
        }
        Create(FUhid, FIdentity);
        std::fprintf(stderr, "heatersim-uhid: heater %s plugged\n", FIdentity.firmware.c_str());
    }

    // Replies on their way die with the heater, as on a real unplug.
    void Unplug()
    {
        if (FModel == nullptr) {
            return;
        }
        Destroy(FUhid);
        hid_close(FModel);
        FModel = nullptr;
        std::fprintf(stderr, "heatersim-uhid: heater unplugged\n");
    }

    void Handle(const uhid_event &event)
    {
        switch (event.type) {
        case UHID_OUTPUT:
            Output(event.u.output);
            break;
        case UHID_GET_REPORT:
            GetReport(event.u.get_report);
            break;
        case UHID_SET_REPORT:
            SetReport(event.u.set_report);
            break;
        default:
            break;
        }
    }

    // Moves every reply the model has ready into the kernel as input reports.
    void PassReplies()
    {
        if (FModel == nullptr) {
            return;
        }
        unsigned char data[kReportBytes];
        int size = 0;
        while ((size = hid_read(FModel, data, sizeof data)) > 0) {
            uhid_event event{};
            event.type = UHID_INPUT2;
            event.u.input2.size = static_cast<__u16>(std::min(size, FInputLength.value_or(size)));
            std::memcpy(event.u.input2.data, data, event.u.input2.size);
            Send(FUhid, event);
        }
    }

    // Poll timeout: replies may be on their way for a while after each output report.
    int WaitMs() const
    {
        if (FModel == nullptr || std::chrono::steady_clock::now() - FLastOutput > kRepliesDueWithin) {
            return -1;
        }
        return 1;
    }

private:
    void Output(const uhid_output_req &output)
    {
        if (FModel == nullptr || output.size == 0 || output.size > sizeof output.data) {
            return;
        }
        if (hid_write(FModel, output.data, output.size) < 0) {
            std::fprintf(stderr, "heatersim-uhid: the model refused an output report of %u bytes\n", output.size);
        }
        FLastOutput = std::chrono::steady_clock::now();
        Record();
    }

    // The model's record of what the host wrote, one report a line.
    void Record()
    {
        const int count = heatersim_written_count();
        for (; FRecord != nullptr && FRecorded < count; ++FRecorded) {
            unsigned char data[1 + kReportBytes];
            const int size = heatersim_written(FRecorded, data, sizeof data);
            std::fprintf(FRecord, "%s\n", Hex(data, std::min<int>(size, sizeof data)).c_str());
        }
        if (FRecord != nullptr) {
            std::fflush(FRecord);
        }
    }

    void GetReport(const uhid_get_report_req &request)
    {
        uhid_event reply{};
        reply.type = UHID_GET_REPORT_REPLY;
        reply.u.get_report_reply.id = request.id;
        reply.u.get_report_reply.err = EIO;
        if (FModel != nullptr && request.rtype == UHID_FEATURE_REPORT) {
            unsigned char data[1 + kReportBytes] = {request.rnum};
            const int size = hid_get_feature_report(FModel, data, sizeof data);
            if (size >= 0) {
                reply.u.get_report_reply.err = 0;
                reply.u.get_report_reply.size = static_cast<__u16>(size);
                std::memcpy(reply.u.get_report_reply.data, data, static_cast<std::size_t>(size));
            }
        }
        Send(FUhid, reply);
    }

    void SetReport(const uhid_set_report_req &request)
    {
        uhid_event reply{};
        reply.type = UHID_SET_REPORT_REPLY;
        reply.u.set_report_reply.id = request.id;
        const bool taken = FModel != nullptr && request.rtype == UHID_FEATURE_REPORT && request.size > 0
                           && request.size <= sizeof request.data
                           && hid_send_feature_report(FModel, request.data, request.size) >= 0;
        reply.u.set_report_reply.err = taken ? 0 : EIO;
        Send(FUhid, reply);
    }

    int FUhid;
    Identity FIdentity;
    std::optional<int> FInputLength;
    std::FILE *FRecord = nullptr;
    int FRecorded = 0;
    hid_device *FModel = nullptr;
    std::chrono::steady_clock::time_point FLastOutput{};
};

int SignalDescriptor()
{
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal : {SIGUSR1, SIGUSR2, SIGTERM, SIGINT}) {
        sigaddset(&signals, signal);
    }
    if (sigprocmask(SIG_BLOCK, &signals, nullptr) != 0) {
        throw std::runtime_error("cannot block the signals");
    }
    const int descriptor = signalfd(-1, &signals, SFD_CLOEXEC);
    if (descriptor < 0) {
        throw std::runtime_error(std::string("signalfd failed: ") + std::strerror(errno));
    }
    return descriptor;
}

// False once the forwarder is asked to end.
bool TakeSignal(int descriptor, Forwarder &forwarder)
{
    signalfd_siginfo info{};
    if (read(descriptor, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) {
        return true;
    }
    switch (info.ssi_signo) {
    case SIGUSR1:
        forwarder.Unplug();
        return true;
    case SIGUSR2:
        forwarder.Plug();
        return true;
    default:
        return false;
    }
}

void TakeEvent(int uhid, Forwarder &forwarder)
{
    uhid_event event{};
    const ssize_t size = read(uhid, &event, sizeof event);
    if (size < 0) {
        throw std::runtime_error(std::string("reading /dev/uhid failed: ") + std::strerror(errno));
    }
    // Every event carries at least its type.
    if (static_cast<std::size_t>(size) >= sizeof event.type) {
        forwarder.Handle(event);
    }
}

void Serve(int uhid, int signals, Forwarder &forwarder)
{
    forwarder.Plug();
    for (;;) {
        pollfd watched[] = {{uhid, POLLIN, 0}, {signals, POLLIN, 0}};
        if (poll(watched, 2, forwarder.WaitMs()) < 0 && errno != EINTR) {
            throw std::runtime_error(std::string("poll failed: ") + std::strerror(errno));
        }
        if ((watched[1].revents & POLLIN) != 0 && !TakeSignal(signals, forwarder)) {
            break;
        }
        if ((watched[0].revents & POLLIN) != 0) {
            TakeEvent(uhid, forwarder);
        }
        forwarder.PassReplies();
    }
    forwarder.Unplug();
}

} // namespace

int main(int argc, char **argv)
{
    const Options options = ParseOptions(argc, argv);
    try {
        const int signals = SignalDescriptor();
        const Identity identity = SetUpModel(options);
        const int uhid = open("/dev/uhid", O_RDWR | O_CLOEXEC);
        if (uhid < 0) {
            throw std::runtime_error(std::string("cannot open /dev/uhid: ") + std::strerror(errno));
        }
        Forwarder forwarder(uhid, identity, options);
        Serve(uhid, signals, forwarder);
        close(uhid);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "heatersim-uhid: %s\n", error.what());
        return 1;
    }
    return 0;
}
