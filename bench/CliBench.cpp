// The command-line tool's figures, in a process with no more than the tool has: the history
// command's download of 500 blocks with its CSV, and the MQTT bridge's processor time and resident
// memory over 10,000 polls against a broker started here, with commands taken, and the time a
// command from the broker takes to reach the heater. Each is printed beside a plain baseline
// of the same run (the same exchanges through hidapi and libmosquitto with nothing around them).

#include "bridge/MqttBridge.h"
#include "bridge/StatusJson.h"
#include "cli/Cli.h"
#include "ProcessMemory.h"
#include "heatersim.h"
#include "StoredHistory.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QThread>

#include <mosquitto.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

const char *const HeaterPath = "/dev/hidraw-bench";
constexpr int Polls = 10000;
constexpr int Commands = 100;
constexpr int HistoryRuns = 9;
constexpr double PollPeriodMs = 1001;

double MedianMs(int Runs, const std::function<void()> &Work)
{
    std::vector<double> times;
    for (int i = 0; i < Runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        Work();
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Processor time of every thread of the process, in milliseconds.
double CpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval &Time) { return Time.tv_sec * 1e3 + Time.tv_usec / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

void PrintLine(const char *Figure, double Value, const char *Target, bool Holds)
{
    std::printf("%-58s %10.3f   %-26s %s\n", Figure, Value, Target, Holds ? "holds" : "MISSED");
}

void PrintInfo(const char *Figure, double Value)
{
    std::printf("%-58s %10.3f\n", Figure, Value);
}

// The same 500 blocks read with hidapi and their bytes written to a file, nothing decoded.
double PlainHistoryMs(const QString &File)
{
    return MedianMs(HistoryRuns, [&] {
        hid_device *device = hid_open_path(HeaterPath);
        std::vector<unsigned char> request(65, 0);
        request[1] = 0x02;
        hid_write(device, request.data(), request.size());
        hid_read_timeout(device, request.data() + 1, 64, 2);
        std::fill(request.begin(), request.end(), 0);
        request[1] = 0x10;
        QByteArray bytes;
        for (int block = 0; block < 500;) {
            unsigned char reply[64];
            hid_write(device, request.data(), request.size());
            const int size = hid_read(device, reply, sizeof reply);
            if (size > 0) {
                bytes.append(reinterpret_cast<const char *>(reply), size);
                ++block;
            }
        }
        hid_close(device);
        QFile file(File);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
    });
}

double CliHistoryMs(const QString &File, const QStringList &Extra)
{
    return MedianMs(HistoryRuns, [&] {
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        TCliContext context = DefaultCliContext(outStream, errStream);
        context.ProgressShown = false;
        context.HidLibraryFile = QStringLiteral(HEATERSIM_FILE);
        if (RunCli(QStringList{QStringLiteral("history"), QStringLiteral("--csv"), File} + Extra, context) != 0)
            std::abort();
    });
}

// A port of 127.0.0.1 that nothing listens on just now.
int FreePort()
{
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(probe, reinterpret_cast<sockaddr *>(&address), sizeof address);
    socklen_t size = sizeof address;
    ::getsockname(probe, reinterpret_cast<sockaddr *>(&address), &size);
    ::close(probe);
    return ntohs(address.sin_port);
}

class TBenchBroker {
public:
    TBenchBroker()
    {
        FConfig.open();
        // Run as root, the broker would turn into the user mosquitto, who may not read the file.
        FConfig.write(QStringLiteral("user root\nlistener %1 127.0.0.1\nallow_anonymous true\n").arg(Port).toUtf8());
        FConfig.flush();
        FProcess.start(QStringLiteral(MOSQUITTO_FILE), QStringList{QStringLiteral("-c"), FConfig.fileName()});
        FProcess.waitForStarted();
        QThread::msleep(300);
    }
    ~TBenchBroker()
    {
        FProcess.kill();
        FProcess.waitForFinished();
    }
    const int Port = FreePort();

private:
    QTemporaryFile FConfig;
    QProcess FProcess;
};

void WaitFor(const std::function<bool()> &Condition)
{
    QElapsedTimer timer;
    timer.start();
    while (!Condition() && timer.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// A client of libmosquitto alone, connected to the broker while it lives.
class TPlainClient {
public:
    explicit TPlainClient(int Port)
    {
        mosquitto_lib_init();
        FClient = mosquitto_new(nullptr, true, nullptr);
        mosquitto_connect(FClient, "127.0.0.1", Port, 30);
        mosquitto_loop_start(FClient);
    }
    ~TPlainClient()
    {
        mosquitto_disconnect(FClient);
        mosquitto_loop_stop(FClient, false);
        mosquitto_destroy(FClient);
    }
    TPlainClient(const TPlainClient &) = delete;
    TPlainClient &operator=(const TPlainClient &) = delete;

    void Publish(const char *Topic, const QByteArray &Payload, int Qos, bool Retain)
    {
        mosquitto_publish(FClient, nullptr, Topic, static_cast<int>(Payload.size()), Payload.constData(), Qos, Retain);
    }

private:
    mosquitto *FClient = nullptr;
};

// Per poll: the status read as the bridge opens and closes the device, and one publish of a
// state-sized message.
double PlainPollCpuMs(int Port)
{
    TPlainClient client(Port);
    const QByteArray payload(620, 'x');
    const double start = CpuMs();
    for (int i = 0; i < Polls; ++i) {
        hid_device *device = hid_open_path(HeaterPath);
        unsigned char report[65] = {0};
        hid_get_feature_report(device, report, sizeof report);
        hid_close(device);
        client.Publish("plain/state", payload, 0, true);
        QCoreApplication::processEvents();
    }
    return (CpuMs() - start) / Polls;
}

struct TBridgeFigures {
    double CpuPerPollMs = 0;
    double ResidentMb = 0;
    double PeakMb = 0;
};

// The bridge as the tool runs it, against the heater model and the broker at Port.
struct TBenchBridge {
    explicit TBenchBridge(int Port) : Bridge(Options(Port), Hid, LogStream) {}
    static TBridgeOptions Options(int Port)
    {
        TBridgeOptions options;
        options.Broker = {QStringLiteral("127.0.0.1"), Port};
        return options;
    }
    QString Log;
    QTextStream LogStream{&Log};
    TFHid Hid{QStringLiteral(HEATERSIM_FILE), nullptr};
    TMqttBridge Bridge;
};

TBridgeFigures BridgeFigures(int Port)
{
    TBenchBridge bench(Port);
    TMqttBridge &bridge = bench.Bridge;
    bridge.Poll();
    WaitFor([&] { return bridge.BrokerConnected(); });
    TBridgeFigures figures;
    const double start = CpuMs();
    for (int i = 0; i < Polls; ++i) {
        bridge.Poll();
        QCoreApplication::processEvents();
    }
    figures.CpuPerPollMs = (CpuMs() - start) / Polls;
    // What is still queued for the broker goes out before the memory is read.
    QThread::msleep(200);
    QCoreApplication::processEvents();
    figures.ResidentMb = StatusMegabytes("VmRSS:");
    figures.PeakMb = StatusMegabytes("VmHWM:");
    bridge.Stop();
    return figures;
}

struct TCommandLatency {
    double MedianMs = 0;
    double WorstMs = 0;
};

// Setpoints published one after another, each at another moment of the bridge's poll period,
// and the time until the heater has the request. They are a second apart, the pace at which the
// bridge writes a control, and each differs from the one before, which the heater reports.
TCommandLatency CommandLatency(int Port)
{
    TBenchBridge bench(Port);
    TMqttBridge &bridge = bench.Bridge;
    bridge.Start();
    WaitFor([&] { return bridge.BrokerConnected(); });
    heatersim_status status{};
    heatersim_get_status(&status);
    const QByteArray topic = QStringLiteral("helvane/%1/set/setpoint").arg(SerialNumberId(status.serial_number)).toUtf8();
    TPlainClient client(Port);
    const auto send = [&](int Setpoint) {
        const QByteArray payload = QByteArray::number(Setpoint);
        const int before = heatersim_written_count();
        QElapsedTimer timer;
        timer.start();
        client.Publish(topic.constData(), payload, 1, false);
        while (heatersim_written_count() == before && timer.elapsed() < 3000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        return static_cast<double>(timer.nsecsElapsed()) / 1e6;
    };
    // Once one arrives, the bridge has subscribed.
    WaitFor([&] { return send(61) < 3000; });
    std::vector<double> times;
    for (int i = 0; i < Commands; ++i) {
        const QDeadlineTimer pace(TCommandPace::Spacing + std::chrono::milliseconds(37));
        while (!pace.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        times.push_back(send(62 - i % 2));
    }
    bridge.Stop();
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.back()};
}

}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    heatersim_reset();
    heatersim_plug_heater(HeaterPath, L"V1.10");
    Store(Hourly(2000));
    const QTemporaryDir dir;

    const double plainHistory = PlainHistoryMs(QDir(dir.path()).filePath(QStringLiteral("plain.bin")));
    const double onePage = CliHistoryMs(QDir(dir.path()).filePath(QStringLiteral("one.csv")), {QStringLiteral("--pages"), QStringLiteral("1")});
    const double untilEnd = CliHistoryMs(QDir(dir.path()).filePath(QStringLiteral("all.csv")), {});

    const TBenchBroker broker;
    const double plainPoll = PlainPollCpuMs(broker.Port);
    const TBridgeFigures bridge = BridgeFigures(broker.Port);
    const double share = bridge.CpuPerPollMs / PollPeriodMs * 100;
    const TCommandLatency command = CommandLatency(broker.Port);

    std::printf("%-58s %10s   %-26s\n", "figure", "value", "target");
    PrintLine("history of 500 blocks with the CSV (--pages 1), ms", onePage, "<= 200", onePage <= 200);
    PrintInfo("  the same until no older sample comes, ms", untilEnd);
    PrintInfo("  plain baseline: 500 blocks read and written raw, ms", plainHistory);
    PrintInfo("  history / plain baseline", onePage / plainHistory);
    PrintLine("bridge, commands on: core share at a poll each 1001 ms, %", share, "< 1", share < 1);
    PrintInfo("  bridge processor time per poll, ms", bridge.CpuPerPollMs);
    PrintInfo("  plain baseline: status read and one publish, ms", plainPoll);
    PrintInfo("  bridge / plain baseline", plainPoll > 0 ? bridge.CpuPerPollMs / plainPoll : -1);
    PrintLine("bridge resident memory after 10,000 polls, MB", bridge.ResidentMb, "< 30", bridge.ResidentMb < 30);
    PrintInfo("  its peak, MB", bridge.PeakMb);
    PrintLine("bridge: command from the broker to the heater, median, ms", command.MedianMs, "< 1001 (a poll period)",
              command.MedianMs < PollPeriodMs);
    PrintLine("  worst of 100, ms", command.WorstMs, "< 1001", command.WorstMs < PollPeriodMs);
    return 0;
}
