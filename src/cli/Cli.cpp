#include "cli/Cli.h"

#include "Version.h"
#include "archive/Archive.h"
#include "bridge/HeaterLink.h"
#include "bridge/MqttBridge.h"
#include "bridge/StatusJson.h"
#include "bridge/ToolArchive.h"
#include "cli/StopSignals.h"
#include "core/DataDirectory.h"
#include "core/FileErrors.h"
#include "history/EnergyReport.h"
#include "history/HistoryCsvImport.h"
#include "history/HistoryCsv.h"
#include "i18n/Language.h"
#include "protocol/Commands.h"
#include "settings/SettingValues.h"
#include "status/DataLog.h"
#include "status/StatusView.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTimer>
#include <QUrl>

#include <cstdio>
#include <algorithm>
#include <limits>
#include <optional>
#include <span>
#include <stdexcept>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace {

const QString Program = QStringLiteral("helvane-cli");

// The command line asks for something the tool cannot do as asked.
class EUsage : public std::runtime_error {
public:
    explicit EUsage(const QString &Message) : std::runtime_error(Message.toStdString()) {}
};


const QCommandLineOption JsonOption(QStringLiteral("json"), QStringLiteral("Print the reading as JSON, each unit in its key's name."));
const QCommandLineOption CsvOption(QStringLiteral("csv"), QStringLiteral("The CSV file to write."), QStringLiteral("FILE"));
const QCommandLineOption ArchiveOption(QStringLiteral("archive"),
                                       QStringLiteral("The archive: an SQLite file or a postgresql://user@host:port/dbname URL "
                                                      "(default: HELVANE_ARCHIVE, else Archive.sqlite in the data folder)."),
                                       QStringLiteral("LOCATION"));
const QCommandLineOption NoArchiveOption(QStringLiteral("no-archive"), QStringLiteral("Do not read the heater's stored history into the archive."));
const QCommandLineOption SerialOption(QStringLiteral("serial"), QStringLiteral("The heater's serial number, as 1709-0634."),
                                      QStringLiteral("SN"));
const QCommandLineOption FromOption(QStringLiteral("from"), QStringLiteral("The first day, as 2017-03-01."), QStringLiteral("DATE"));
const QCommandLineOption ToOption(QStringLiteral("to"), QStringLiteral("The last day, as 2017-03-31."), QStringLiteral("DATE"));
const QCommandLineOption DateOrderOption(QStringLiteral("date-order"),
                                        QStringLiteral("How the CSV file's dates are written where they leave it open: "
                                                       "dmy (4/3/2017 is 4 March), mdy (April 3) or ymd."),
                                        QStringLiteral("ORDER"));
const QCommandLineOption MonthOption(QStringLiteral("month"), QStringLiteral("The month, as 2017-03."), QStringLiteral("YYYY-MM"));
const QCommandLineOption YearOption(QStringLiteral("year"), QStringLiteral("The year, as 2017."), QStringLiteral("YYYY"));
const QCommandLineOption ReportJsonOption(QStringLiteral("json"), QStringLiteral("Print the report as JSON."));
const QCommandLineOption PagesOption(QStringLiteral("pages"),
                                     QStringLiteral("At most N pages of 500 blocks (default: until no older sample comes, at most 525: all a heater can hold)."),
                                     QStringLiteral("N"));
const QCommandLineOption LogOption(QStringLiteral("log"), QStringLiteral("Append each status line to FILE as well."),
                                   QStringLiteral("FILE"));
const QCommandLineOption YesOption(QStringLiteral("yes"), QStringLiteral("Set a setpoint other than 60 °C without asking."));
const QCommandLineOption BrokerOption(QStringLiteral("broker"), QStringLiteral("The MQTT broker (port 1883 unless given)."),
                                      QStringLiteral("HOST[:PORT]"));
const QCommandLineOption UsernameOption(QStringLiteral("username"), QStringLiteral("The user name at the broker."),
                                        QStringLiteral("U"));
const QCommandLineOption PasswordFileOption(QStringLiteral("password-file"),
                                            QStringLiteral("The file whose first line is the password at the broker (empty: none)."),
                                            QStringLiteral("F"));
const QCommandLineOption CaFileOption(QStringLiteral("cafile"),
                                      QStringLiteral("Connect by TLS: the broker's certificate must verify against this CA "
                                                     "certificate (PEM) and name the broker's host."),
                                      QStringLiteral("FILE"));
const QCommandLineOption CertOption(QStringLiteral("cert"),
                                    QStringLiteral("This client's certificate (PEM), for a broker that asks for one; with --key and --cafile."),
                                    QStringLiteral("FILE"));
const QCommandLineOption KeyOption(QStringLiteral("key"), QStringLiteral("The private key of --cert (PEM, without a password)."),
                                   QStringLiteral("FILE"));
const QCommandLineOption PrefixOption(QStringLiteral("prefix"), QStringLiteral("The first level of the heater's topics."),
                                      QStringLiteral("P"), QStringLiteral("helvane"));
const QCommandLineOption DiscoveryPrefixOption(QStringLiteral("discovery-prefix"),
                                               QStringLiteral("Where Home Assistant looks for discovery configurations."),
                                               QStringLiteral("P"), QStringLiteral("homeassistant"));
const QCommandLineOption IntervalOption(QStringLiteral("interval"),
                                        QStringLiteral("Publish changed readings at most every S seconds (a changed status at once)."),
                                        QStringLiteral("S"), QStringLiteral("10"));
const QCommandLineOption ReadOnlyOption(QStringLiteral("read-only"), QStringLiteral("Take no commands from the broker."));

struct TCommand {
    const char *Name;
    const char *Summary;
    std::vector<const QCommandLineOption *> Options;
    std::vector<std::pair<const char *, const char *>> Arguments;   // name, description
    int (*Run)(const QCommandLineParser &Parser, TCliContext &Context);
};

int IntegerArgument(const QString &Text, int Lowest, int Highest, const QString &What)
{
    bool ok = false;
    const int value = Text.toInt(&ok);
    if (!ok || value < Lowest || value > Highest)
        throw EUsage(QStringLiteral("%1 must be a whole number from %2 to %3, not \"%4\".").arg(What).arg(Lowest).arg(Highest).arg(Text));
    return value;
}

// Raises std::runtime_error when what went to the stream did not arrive (a full disk, a closed
// pipe): a command whose output is lost has not done its work.
void RequireWritten(QTextStream &Out)
{
    Out.flush();
    if (Out.status() == QTextStream::Ok)
        return;
    const QString reason = Out.device() != nullptr ? Out.device()->errorString() : QStringLiteral("write failed");
    throw std::runtime_error(QStringLiteral("Cannot write to standard output: %1").arg(reason).toStdString());
}

void Say(QTextStream &Stream, const QString &Message)
{
    if (!Message.isEmpty())
        Stream << Message << Qt::endl;
}

int Status(const QCommandLineParser &Parser, TCliContext &Context)
{
    TFHid hid(Context.HidLibraryFile, nullptr);
    const TCurrentData reading = THeaterLink(hid).ReadStatus();
    if (Parser.isSet(JsonOption))
        Context.Out << QJsonDocument(StatusJson(reading)).toJson(QJsonDocument::Indented);
    else
        Context.Out << StatusLine(reading, Context.Locale) << '\n';
    Context.Out.flush();
    return ExitDone;
}

// "Page 2 [#########           ]  45 %", written over itself on a terminal.
void ShowProgress(QTextStream &Err, int Page, int Percent)
{
    const int filled = Percent / 5;
    Err << QStringLiteral("\rPage %1 [%2%3] %4 %")
               .arg(Page)
               .arg(QString(filled, QLatin1Char('#')), QString(20 - filled, QLatin1Char(' ')))
               .arg(Percent, 3)
        << Qt::flush;
}

// The archive that --archive names, else the one of the environment or the data folder. A
// password on the command line is there for every user of the machine to read.
QString ChosenArchive(const QCommandLineParser &Parser, const TCliContext &Context)
{
    if (!Parser.isSet(ArchiveOption))
        return Context.ArchiveLocation;
    const QString location = Parser.value(ArchiveOption);
    if (location.startsWith(QStringLiteral("postgresql://")) && !QUrl(location).password().isEmpty())
        throw EUsage(QStringLiteral("Keep the PostgreSQL password out of the command line, where every user sees it: "
                                    "put it into ~/.pgpass, or the file that PGPASSFILE names."));
    return location;
}

// An archive that the command cannot do without, for writing or for reading alone.
std::unique_ptr<TArchive> RequiredArchive(const QCommandLineParser &Parser, const TCliContext &Context, bool Write)
{
    const QString location = ChosenArchive(Parser, Context);
    if (location.isEmpty())
        throw EUsage(QStringLiteral("Name an archive with --archive."));
    return Write ? OpenArchive(location) : OpenArchiveForReading(location);
}

struct THistoryDownload {
    THistoryList History;
    bool StillOlder = false;   // the last page allowed brought older samples
};

// Pages of the stored history, the first from the newest sample on, each further one older,
// until a page brings no older sample or the limit is reached; sorted.
THistoryDownload DownloadHistory(THeaterLink &Link, int MaxPages, THistoryTally &Tally, TCliContext &Context,
                                 const std::function<void(std::span<const THistoryData>)> &PageDone)
{
    THistoryDownload download;
    THistoryList &history = download.History;
    std::optional<TDateTime> oldest;
    for (int page = 1; page <= MaxPages; ++page) {
        const int before = history.Count();
        int shown = -1;
        Link.DownloadPage(page == 1, BlocksPerPage, history, Tally, [&](int Percent) {
            if (Context.ProgressShown && Percent != shown) {
                shown = Percent;
                ShowProgress(Context.Err, page, Percent);
            }
        });
        if (Context.ProgressShown)
            ShowProgress(Context.Err, page, 100);
        if (history.Count() > before)
            PageDone(std::span<const THistoryData>(&history.Items(before), static_cast<std::size_t>(history.Count() - before)));
        const auto came = std::min_element(history.begin() + before, history.end(),
                                           [](const THistoryData &A, const THistoryData &B) { return A.DT < B.DT; });
        download.StillOlder = came != history.end() && (!oldest || came->DT < *oldest);
        if (!download.StillOlder)
            break;
        oldest = came->DT;
    }
    if (Context.ProgressShown)
        Context.Err << '\n' << Qt::flush;
    history.Sort();
    return download;
}

int History(const QCommandLineParser &Parser, TCliContext &Context)
{
    const QString file = Parser.value(CsvOption);
    if (file.isEmpty())
        throw EUsage(QStringLiteral("history needs --csv FILE."));
    const int maxPages = Parser.isSet(PagesOption)
                             ? IntegerArgument(Parser.value(PagesOption), 1, std::numeric_limits<int>::max(), QStringLiteral("--pages"))
                             : MaxHistoryPages;
    TFHid hid(Context.HidLibraryFile, nullptr);
    THeaterLink link(hid);
    const TCurrentData reading = link.ReadStatus();
    THistoryTally tally;
    TToolArchive archive(ChosenArchive(Parser, Context), Context.Err);
    const QString key = ArchiveKey(reading.SN);
    const THistoryDownload download = DownloadHistory(link, maxPages, tally, Context, [&](std::span<const THistoryData> Page) {
        archive.Store(key, Page);
    });
    const THistoryList &history = download.History;
    // A file that was there stays as it was rather than give way to one without a sample.
    if (history.Count() == 0)
        throw std::runtime_error(QStringLiteral("%1; \"%2\" was not written.").arg(NoSamplesMessage(tally), file).toStdString());
    const TStatusView view = MakeStatusView(reading, true, TLanguage::English, Context.Locale);
    const TCsvHeading heading{DateTimeFromQt(Context.Now()), view.SerialNumber, link.Device().SerialNumber};
    SaveWholeFile(file, HistoryCsv(history, 0, history.Count(), true, heading, Context.Locale));
    Context.Out << QStringLiteral("%1 samples written to %2").arg(history.Count()).arg(file) << Qt::endl;
    if (LegionellaWarning(history))
        Say(Context.Err, TranslateText(TLanguage::English, QStringLiteral("sMsgTempBelow60ForLongPeriod")));
    if (download.StillOlder && !Parser.isSet(PagesOption)) {
        Say(Context.Err, Program + QStringLiteral(": the heater still brought older samples after %1 pages, more than its memory "
                                                  "can hold; the download stopped there.").arg(MaxHistoryPages));
        return ExitError;
    }
    return archive.Finish() ? ExitDone : ExitError;
}

// The archive key that --serial names: a serial number as "1709-0634" (or as the window shows it,
// "1709- 634"), or a key as the archive lists it.
QString KeyOfSerial(const QString &Text)
{
    static const QRegularExpression serial(QStringLiteral("^\\s*(\\d{4})-\\s*(\\d{1,4})\\s*$"));
    const QRegularExpressionMatch match = serial.match(Text);
    if (!match.hasMatch())
        return Text.trimmed();
    return ArchiveKey(match.captured(1).toInt() * 10000 + match.captured(2).toInt());
}

// The heater that --serial names, or the archive's only one.
QString ChosenKey(const QCommandLineParser &Parser, TArchive &Archive)
{
    if (Parser.isSet(SerialOption))
        return KeyOfSerial(Parser.value(SerialOption));
    const QStringList serials = Archive.Serials();
    if (serials.size() == 1)
        return serials.first();
    if (serials.isEmpty())
        throw std::runtime_error(QStringLiteral("%1 holds no samples.").arg(Archive.Location()).toStdString());
    throw EUsage(QStringLiteral("The archive holds several heaters (%1): name one with --serial.").arg(serials.join(QStringLiteral(", "))));
}

QDate DateArgument(const QString &Text, const QString &Format, const QString &What)
{
    const QDate date = QDate::fromString(Text, Format);
    if (!date.isValid())
        throw EUsage(QStringLiteral("%1 must be a date as %2, not \"%3\".").arg(What, Format, Text));
    return date;
}

TDateTime Midnight(const QDate &Date)
{
    return DateTimeFromQt(QDateTime(Date, QTime(0, 0), Qt::UTC));
}

// From the first moment of one day to the last of another.
struct TDayRange {
    TDateTime From = FirstArchiveTime;
    TDateTime To = LastArchiveTime;
    void StartAt(const QDate &Day) { From = Midnight(Day); }
    void EndWith(const QDate &Day) { To = Midnight(Day.addDays(1)) - 1 / MSecsPerDay; }
};

QString RequiredCsv(const QCommandLineParser &Parser, const QString &Command)
{
    const QString file = Parser.value(CsvOption);
    if (file.isEmpty())
        throw EUsage(QStringLiteral("%1 needs --csv FILE.").arg(Command));
    return file;
}

int ArchiveExport(const QCommandLineParser &Parser, TCliContext &Context)
{
    const QString file = RequiredCsv(Parser, QStringLiteral("archive export"));
    TDayRange range;
    if (Parser.isSet(FromOption))
        range.StartAt(DateArgument(Parser.value(FromOption), QStringLiteral("yyyy-MM-dd"), QStringLiteral("--from")));
    if (Parser.isSet(ToOption))
        range.EndWith(DateArgument(Parser.value(ToOption), QStringLiteral("yyyy-MM-dd"), QStringLiteral("--to")));
    const std::unique_ptr<TArchive> archive = RequiredArchive(Parser, Context, false);
    const QString key = ChosenKey(Parser, *archive);
    const THistoryList samples = archive->Samples(key, range.From, range.To);
    if (samples.Count() == 0)
        throw std::runtime_error(QStringLiteral("%1 holds no samples of %2 in that time; \"%3\" was not written.")
                                     .arg(archive->Location(), key, file)
                                     .toStdString());
    const TCsvHeading heading{DateTimeFromQt(Context.Now()), key, QString()};
    SaveWholeFile(file, HistoryCsv(samples, 0, samples.Count(), true, heading, Context.Locale));
    Context.Out << QStringLiteral("%1 samples written to %2").arg(samples.Count()).arg(file) << Qt::endl;
    return ExitDone;
}

// The order that --date-order names, if given.
std::optional<TDateOrder> DateOrderArgument(const QCommandLineParser &Parser)
{
    if (!Parser.isSet(DateOrderOption))
        return std::nullopt;
    const QString order = Parser.value(DateOrderOption);
    if (order == QLatin1String("dmy"))
        return TDateOrder::DayFirst;
    if (order == QLatin1String("mdy"))
        return TDateOrder::MonthFirst;
    if (order == QLatin1String("ymd"))
        return TDateOrder::YearFirst;
    throw EUsage(QStringLiteral("--date-order must be dmy, mdy or ymd, not \"%1\".").arg(order));
}

// Every row read whole and dated as a heater's goes in, in one transaction; the rest are counted.
int ArchiveImport(const QCommandLineParser &Parser, TCliContext &Context)
{
    const QString file = RequiredCsv(Parser, QStringLiteral("archive import"));
    const THistoryCsvRules rules{Context.Now().date().year() + 1, DateOrderArgument(Parser)};
    QFile csv(file);
    if (!csv.open(QIODevice::ReadOnly))
        throw std::runtime_error(QStringLiteral("Cannot read \"%1\": %2").arg(file, csv.errorString()).toStdString());
    THistoryCsvImport import;
    try {
        // Read, not mapped: a file that another program shortens meanwhile must not end the tool.
        import = ReadHistoryCsv(csv.readAll(), rules);
    } catch (const std::exception &Error) {
        throw std::runtime_error(QStringLiteral("\"%1\": %2").arg(file, QString::fromUtf8(Error.what())).toStdString());
    }
    const QString key = KeyOfSerial(Parser.isSet(SerialOption) ? Parser.value(SerialOption) : import.SerialNumber);
    if (key.isEmpty())
        throw EUsage(QStringLiteral("\"%1\" names no serial number: give one with --serial.").arg(file));
    const std::unique_ptr<TArchive> archive = RequiredArchive(Parser, Context, true);
    const std::span<const THistoryData> samples(import.Samples.begin(), import.Samples.end());
    const std::size_t stored = archive->Store(key, samples);
    Context.Out << QStringLiteral("%1 samples of %2 imported into %3").arg(stored).arg(key, archive->Location());
    if (stored < samples.size())
        Context.Out << QStringLiteral("; %1 were archived already or stood twice in the file").arg(samples.size() - stored);
    Context.Out << Qt::endl;
    if (import.BadRows > 0)
        Say(Context.Err, QStringLiteral("%1 rows could not be read and were left out.").arg(import.BadRows));
    if (import.RefusedRows > 0)
        Say(Context.Err, QStringLiteral("%1 rows were left out as no heater's: dated before %2 or after %3, or an energy "
                                        "outside 0 to %4 Wh.")
                             .arg(import.RefusedRows)
                             .arg(FirstSampleYear)
                             .arg(rules.LatestYear)
                             .arg(LargestEnergyWh));
    return samples.empty() ? ExitError : ExitDone;
}

int Archive(const QCommandLineParser &Parser, TCliContext &Context)
{
    const QString action = Parser.positionalArguments().value(0);
    if (action == QLatin1String("export"))
        return ArchiveExport(Parser, Context);
    if (action == QLatin1String("import"))
        return ArchiveImport(Parser, Context);
    throw EUsage(QStringLiteral("archive takes export or import, not \"%1\".").arg(action));
}

void PrintReport(QTextStream &Out, const TEnergyReport &Report, bool Months)
{
    for (const TDayEnergy &day : Report.Days)
        Out << day.Day.toString(Qt::ISODate) << QStringLiteral("  %1 Wh").arg(day.EnergyWh) << '\n';
    if (Months) {
        for (const TMonthEnergy &month : Report.Months)
            Out << QStringLiteral("%1-%2  %3 Wh\n").arg(month.Year, 4, 10, QLatin1Char('0')).arg(month.Month, 2, 10, QLatin1Char('0')).arg(month.EnergyWh);
    }
    Out << QStringLiteral("Total  %1 Wh").arg(Report.TotalWh) << Qt::endl;
}

int Report(const QCommandLineParser &Parser, TCliContext &Context)
{
    if (Parser.isSet(MonthOption) == Parser.isSet(YearOption))
        throw EUsage(QStringLiteral("report needs either --month YYYY-MM or --year YYYY."));
    TDayRange range;
    const bool year = Parser.isSet(YearOption);
    if (year) {
        const QDate first = DateArgument(Parser.value(YearOption), QStringLiteral("yyyy"), QStringLiteral("--year"));
        range.StartAt(first);
        range.EndWith(first.addYears(1).addDays(-1));
    } else {
        const QDate first = DateArgument(Parser.value(MonthOption), QStringLiteral("yyyy-MM"), QStringLiteral("--month"));
        range.StartAt(first);
        range.EndWith(first.addMonths(1).addDays(-1));
    }
    const std::unique_ptr<TArchive> archive = RequiredArchive(Parser, Context, false);
    const TEnergyReport report = MakeEnergyReport(archive->EnergySamples(ChosenKey(Parser, *archive), range.From, range.To));
    if (Parser.isSet(ReportJsonOption))
        Context.Out << QString::fromUtf8(EnergyReportJson(report, year)) << Qt::endl;
    else
        PrintReport(Context.Out, report, year);
    return ExitDone;
}

// Ends with ExitError once a line cannot go where it must: the terminal, or the log.
int Watch(const QCommandLineParser &Parser, TCliContext &Context)
{
    const QString log = Parser.value(LogOption);
    TFHid hid(Context.HidLibraryFile, nullptr);
    THeaterMonitor monitor(hid);
    int code = ExitDone;
    const auto poll = [&] {
        const THeaterPoll result = monitor.Poll();
        Say(Context.Err, PresenceMessage(result));
        if (!result.Reading)
            return;
        const QString line = StatusLine(*result.Reading, Context.Locale);
        try {
            Context.Out << line << Qt::endl;
            RequireWritten(Context.Out);
            if (!log.isEmpty())
                AppendLineToFile(log, line);
        } catch (const std::exception &Error) {
            Say(Context.Err, Program + QStringLiteral(": ") + QString::fromUtf8(Error.what()));
            code = ExitError;
            QCoreApplication::exit(code);
        }
    };
    QTimer timer;
    timer.setInterval(Context.PollIntervalMs);
    QObject::connect(&timer, &QTimer::timeout, poll);
    QuitOnStopSignals();
    poll();
    if (code != ExitDone)
        return code;
    timer.start();
    QCoreApplication::exec();
    return code;
}

int SetClock(const QCommandLineParser &, TCliContext &Context)
{
    TFHid hid(Context.HidLibraryFile, nullptr);
    THeaterLink link(hid);
    const QDateTime now = Context.Now();
    link.Send(cmdClock, DeviceClockValue(now.date(), now.time()));
    Context.Out << QStringLiteral("Clock set to %1").arg(FormatDateTime(Context.Locale, QStringLiteral("c"), DateTimeFromQt(now)))
                << Qt::endl;
    return ExitDone;
}

int SetSetpoint(const QCommandLineParser &Parser, TCliContext &Context)
{
    const int setpoint = IntegerArgument(Parser.positionalArguments().value(0), LowestSetpoint, HighestSetpoint,
                                         QStringLiteral("The setpoint"));
    const QString question = SetpointQuestionKey(setpoint);
    if (!question.isEmpty() && !Parser.isSet(YesOption))
        throw EUsage(TranslateText(TLanguage::English, question) + QStringLiteral("\nAdd --yes to set %1 °C.").arg(setpoint));
    TFHid hid(Context.HidLibraryFile, nullptr);
    THeaterLink(hid).Send(cmdSetpoint, setpoint);
    Context.Out << QStringLiteral("Water setpoint set to %1 °C").arg(setpoint) << Qt::endl;
    return ExitDone;
}

int SetPwm(const QCommandLineParser &Parser, TCliContext &Context)
{
    const QStringList arguments = Parser.positionalArguments();
    const int string = IntegerArgument(arguments.value(0), 1, 3, QStringLiteral("STRING"));
    const int value = IntegerArgument(arguments.value(1), AutomaticPwm, HighestPwm, QStringLiteral("VALUE"));
    TFHid hid(Context.HidLibraryFile, nullptr);
    THeaterLink(hid).Send(PwmCommand(string), value);
    const QString shown = value == AutomaticPwm ? QStringLiteral("automatic") : QString::number(value);
    Context.Out << QStringLiteral("String %1 PWM set to %2").arg(string).arg(shown) << Qt::endl;
    return ExitDone;
}

QString PasswordFromFile(const QString &FileName)
{
    QFile file(FileName);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(QStringLiteral("Cannot read the password file \"%1\": %2").arg(FileName, file.errorString()).toStdString());
    return QString::fromUtf8(file.readLine()).remove(QRegularExpression(QStringLiteral("[\r\n]+$")));
}

// Topic levels that an option names, for a topic of their own and for subscriptions.
QString TopicLevels(const QCommandLineParser &Parser, const QCommandLineOption &Option)
{
    static const QRegularExpression topicLevels(QStringLiteral("^[^/+#]+(/[^/+#]+)*$"));
    const QString levels = Parser.value(Option);
    if (!topicLevels.match(levels).hasMatch())
        throw EUsage(QStringLiteral("--%1 must be topic levels without \"+\", \"#\" or empty levels, not \"%2\".")
                         .arg(Option.names().first(), levels));
    return levels;
}

// Said at start rather than at each connection.
void RequireReadable(const QString &FileName, const QString &What)
{
    QFile file(FileName);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(QStringLiteral("Cannot read the %1 \"%2\": %3").arg(What, FileName, file.errorString()).toStdString());
}

// The key that --key names, else the service's credential mqtt-client.key when it holds one (an
// empty line is none): the service manager hands it over readable by the service alone.
QString ClientKeyFile(const QCommandLineParser &Parser)
{
    if (Parser.isSet(KeyOption))
        return Parser.value(KeyOption);
    const QString credentials = qEnvironmentVariable("CREDENTIALS_DIRECTORY");
    if (credentials.isEmpty())
        return {};
    const QString key = QDir(credentials).filePath(QStringLiteral("mqtt-client.key"));
    QFile file(key);
    return file.open(QIODevice::ReadOnly) && !file.readAll().trimmed().isEmpty() ? key : QString();
}

TMqttTls BridgeTls(const QCommandLineParser &Parser)
{
    const QString keyFile = ClientKeyFile(Parser);
    if (Parser.isSet(CertOption) != !keyFile.isEmpty())
        throw EUsage(QStringLiteral("--cert and --key go together: give both or neither."));
    if (Parser.isSet(CertOption) && !Parser.isSet(CaFileOption))
        throw EUsage(QStringLiteral("--cert and --key need --cafile."));
    if (!Parser.isSet(CaFileOption))
        return {};
    const TMqttTls tls{Parser.value(CaFileOption), Parser.value(CertOption), keyFile};
    RequireReadable(tls.CaFile, QStringLiteral("CA file"));
    if (Parser.isSet(CertOption)) {
        RequireReadable(tls.CertFile, QStringLiteral("certificate file"));
        RequireReadable(tls.KeyFile, QStringLiteral("key file"));
    }
    return tls;
}

TBridgeOptions BridgeOptions(const QCommandLineParser &Parser, const TCliContext &Context)
{
    if (!Parser.isSet(BrokerOption))
        throw EUsage(QStringLiteral("mqtt needs --broker HOST[:PORT]."));
    TBridgeOptions options;
    try {
        options.Broker = ParseBrokerAddress(Parser.value(BrokerOption));
    } catch (const std::invalid_argument &Error) {
        throw EUsage(QString::fromUtf8(Error.what()));
    }
    options.Login.Username = Parser.value(UsernameOption);
    if (Parser.isSet(PasswordFileOption)) {
        // An empty first line is no password, so that the system service can always name the
        // credential it is given, holding a password or not.
        options.Login.Password = PasswordFromFile(Parser.value(PasswordFileOption));
        if (!options.Login.Password.isEmpty() && options.Login.Username.isEmpty())
            throw EUsage(QStringLiteral("--password-file needs --username."));
    }
    options.Tls = BridgeTls(Parser);
    options.Prefix = TopicLevels(Parser, PrefixOption);
    options.DiscoveryPrefix = TopicLevels(Parser, DiscoveryPrefixOption);
    options.ReadOnly = Parser.isSet(ReadOnlyOption);
    options.PollIntervalMs = Context.PollIntervalMs;
    options.PublishIntervalMs = IntegerArgument(Parser.value(IntervalOption), 1, 86400, QStringLiteral("--interval")) * 1000;
    if (!Parser.isSet(NoArchiveOption))
        options.ArchiveLocation = ChosenArchive(Parser, Context);
    return options;
}

int Mqtt(const QCommandLineParser &Parser, TCliContext &Context)
{
    const TBridgeOptions options = BridgeOptions(Parser, Context);
    TFHid hid(Context.HidLibraryFile, nullptr);
    TMqttBridge bridge(options, hid, Context.Err);
    QuitOnStopSignals();
    bridge.Start();
    QCoreApplication::exec();
    bridge.Stop();
    if (!bridge.Failure().isEmpty())
        throw std::runtime_error(bridge.Failure().toStdString());
    return bridge.FinishArchive() ? ExitDone : ExitError;
}

const std::vector<TCommand> &Commands()
{
    static const std::vector<TCommand> commands{
        {"status", "Print one reading as the data log's status line.", {&JsonOption}, {}, Status},
        {"history", "Download the history stored in the heater, archive it and write it as CSV.",
         {&CsvOption, &PagesOption, &ArchiveOption}, {}, History},
        {"archive", "Export archived samples as CSV, or import CSV files the window or the tool wrote.",
         {&CsvOption, &SerialOption, &FromOption, &ToOption, &DateOrderOption, &ArchiveOption},
         {{"ACTION", "export or import."}}, Archive},
        {"report", "The energy of each day of a month or a year, and the total, from the archive.",
         {&MonthOption, &YearOption, &SerialOption, &ReportJsonOption, &ArchiveOption}, {}, Report},
        {"watch", "Print a status line every 1001 ms until Ctrl-C, following unplug and replug.", {&LogOption}, {}, Watch},
        {"set-clock", "Set the heater's clock to this computer's time.", {}, {}, SetClock},
        {"set-setpoint", "Set the water setpoint in °C (45 to 85).", {&YesOption}, {{"N", "The setpoint in °C."}}, SetSetpoint},
        {"set-pwm", "Force a string's PWM.", {}, {{"STRING", "1, 2 or 3."}, {"VALUE", "-1 automatic, 0 off, up to 1000."}}, SetPwm},
        {"mqtt", "Bridge the heater to an MQTT broker as a Home Assistant device; archive its stored history at start and once a day.",
         {&BrokerOption, &UsernameOption, &PasswordFileOption, &CaFileOption, &CertOption, &KeyOption, &PrefixOption,
          &DiscoveryPrefixOption, &IntervalOption, &ReadOnlyOption, &ArchiveOption, &NoArchiveOption},
         {},
         Mqtt},
    };
    return commands;
}

QString OverviewHelp()
{
    QString help = QStringLiteral("Usage: %1 COMMAND [OPTIONS]\n\nReads and sets the USB PV water heater from a shell, and bridges it to MQTT.\n\nCommands:\n").arg(Program);
    for (const TCommand &command : Commands())
        help += QStringLiteral("  %1%2\n").arg(QString::fromLatin1(command.Name), -14).arg(QString::fromUtf8(command.Summary));
    help += QStringLiteral("\n%1 COMMAND --help shows a command's options.\nExit codes: 0 done, 1 error, 2 bad usage.\n").arg(Program);
    return help;
}

// "set-pwm 1 -1": a negative number is an argument, not an option, and so is what follows it.
QStringList NegativeNumbersAsArguments(QStringList Arguments)
{
    static const QRegularExpression negative(QStringLiteral("^-[0-9]+$"));
    const qsizetype first = Arguments.indexOf(negative);
    if (first >= 0)
        Arguments.insert(first, QStringLiteral("--"));
    return Arguments;
}

int RunCommand(const TCommand &Command, const QStringList &Arguments, TCliContext &Context)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(Command.Summary));
    const QCommandLineOption help = parser.addHelpOption();
    for (const QCommandLineOption *option : Command.Options)
        parser.addOption(*option);
    for (const auto &[name, description] : Command.Arguments)
        parser.addPositionalArgument(QString::fromLatin1(name), QString::fromUtf8(description));
    const QString name = QString::fromLatin1(Command.Name);
    if (!parser.parse(QStringList{Program} + NegativeNumbersAsArguments(Arguments)))
        throw EUsage(parser.errorText());
    if (parser.isSet(help)) {
        static const QRegularExpression usage(QStringLiteral("^Usage: \\S+"));
        Context.Out << parser.helpText().replace(usage, QStringLiteral("Usage: %1 %2").arg(Program, name)) << Qt::flush;
        return ExitDone;
    }
    if (parser.positionalArguments().size() != static_cast<qsizetype>(Command.Arguments.size()))
        throw EUsage(QStringLiteral("%1 takes %2 argument(s).").arg(name).arg(Command.Arguments.size()));
    return Command.Run(parser, Context);
}

int Dispatch(const QStringList &Arguments, TCliContext &Context)
{
    const QString first = Arguments.value(0);
    if (first == QLatin1String("--help") || first == QLatin1String("-h")) {
        Context.Out << OverviewHelp() << Qt::flush;
        return ExitDone;
    }
    if (first == QLatin1String("--version")) {
        Context.Out << Program << ' ' << QStringLiteral(HELVANE_VERSION_TEXT) << Qt::endl;
        return ExitDone;
    }
    for (const TCommand &command : Commands()) {
        if (first == QLatin1String(command.Name))
            return RunCommand(command, Arguments.mid(1), Context);
    }
    throw EUsage(first.isEmpty() ? QStringLiteral("Name a command.") : QStringLiteral("Unknown command \"%1\".").arg(first));
}

}

TCliContext DefaultCliContext(QTextStream &Out, QTextStream &Err)
{
    return {.Out = Out,
            .Err = Err,
            .ProgressShown = isatty(fileno(stderr)) != 0,
            .HidLibraryFile = DefaultHidLibraryFile(),
            .Now = [] { return QDateTime::currentDateTime(); },
            .Locale = TLocaleFormats::FromLocale(QLocale::system()),
            .ArchiveLocation = ArchiveLocation(DefaultDataDirectory())};
}

int RunCli(const QStringList &Arguments, TCliContext &Context)
{
    try {
        const int code = Dispatch(Arguments, Context);
        RequireWritten(Context.Out);
        return code;
    } catch (const EUsage &Error) {
        Context.Err << Program << ": " << QString::fromUtf8(Error.what()) << '\n'
                    << QStringLiteral("Try \"%1 --help\".").arg(Program) << Qt::endl;
        return ExitUsage;
    } catch (const std::exception &Error) {
        Context.Err << Program << ": " << QString::fromUtf8(Error.what()) << Qt::endl;
        return ExitError;
    }
}
