// The window as designed: every control with its kind, place, size and designed text. Texts that
// are language keys stay keys until the language is applied.

#include "app/FormMain.h"

#include "app/Anchors.h"
#include "app/ChartParts.h"
#include "app/Panels.h"
#include "app/TextFit.h"
#include "history/ChartData.h"

#include <QAction>
#include <QDateEdit>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRubberBand>
#include <QPushButton>
#include <QSpinBox>
#include <QTimeEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <qcustomplot.h>

#include <algorithm>

namespace {

constexpr int DesignedWidth = 1024;
constexpr int DesignedHeight = 768;
constexpr int TopHeight = 289;
constexpr int MemoHeight = 216;
constexpr int HistoryPanelWidth = 120;
// The history panel's buttons: loading and the yields at the top, the range buttons below them,
// export and clear anchored to the bottom of the panel's designed height.
constexpr int HistoryButtonHeight = 22;
constexpr int YieldsTop = 34;
// The range buttons stand one pitch apart, below the yields button.
constexpr int RangePitch = 24;
constexpr int NowTop = YieldsTop + RangePitch;
constexpr int ThisYearTop = NowTop + 4 * RangePitch;
constexpr int ExportTop = 199;
constexpr int HistoryDesignedHeight = DesignedHeight - TopHeight - MemoHeight;
// Below this height the bottom buttons would run into the range buttons: the chart and the
// history panel keep it, and the log gives up height first.
constexpr int ButtonGroupGap = 8;
constexpr int ClientMinimumHeight =
    ThisYearTop + HistoryButtonHeight + ButtonGroupGap + (HistoryDesignedHeight - ExportTop);
constexpr int MemoLineLimit = 100000;
// The not-connected panel was laid out at this size before it covers the window.
const QSize NotConnectedDesign(209, 225);

QLabel *NewLabel(QWidget *Parent, const QString &Text, QRect Geometry,
                 Qt::Alignment Alignment = Qt::AlignLeft | Qt::AlignVCenter)
{
    auto *label = new QLabel(Text, Parent);
    label->setGeometry(Geometry);
    label->setAlignment(Alignment);
    return label;
}

QLabel *NewCentredLabel(QWidget *Parent, const QString &Text, QRect Geometry)
{
    return NewLabel(Parent, Text, Geometry, Qt::AlignCenter);
}

QLabel *NewImage(QWidget *Parent, const QString &Picture, QRect Geometry)
{
    auto *image = new QLabel(Parent);
    image->setGeometry(Geometry);
    image->setPixmap(QPixmap(Picture));
    image->setScaledContents(true);
    return image;
}

QLabel *NewLinkLabel(QWidget *Parent, const QString &Text, QRect Geometry)
{
    QLabel *label = NewLabel(Parent, Text, Geometry);
    label->setCursor(Qt::PointingHandCursor);
    return label;
}

QPushButton *NewButton(QWidget *Parent, const QString &Text, QRect Geometry)
{
    auto *button = new QPushButton(Text, Parent);
    button->setGeometry(Geometry);
    return button;
}

QSpinBox *NewSpinBox(QWidget *Parent, QRect Geometry, int Minimum, int Maximum, int Value)
{
    auto *spin = new QSpinBox(Parent);
    spin->setGeometry(Geometry);
    spin->setRange(Minimum, Maximum);
    spin->setValue(Value);
    return spin;
}

QGroupBox *NewGroup(QWidget *Parent, const QString &Caption, QRect Geometry)
{
    auto *group = new QGroupBox(Caption, Parent);
    group->setGeometry(Geometry);
    return group;
}

// The controls were sized for a compact interface font of 11 pixels; a narrow face lets the
// longest texts fit ("Measure" in 39 pixels, the longest German state line). The size is given in
// pixels, as the controls' sizes are, so that a desktop's larger point sizes cannot cut texts.
QFont InterfaceFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("Liberation Sans Narrow"), QStringLiteral("Arial Narrow")});
    font.setPixelSize(11);
    return font;
}

// Device changes while no heater is in use are looked into once this long after the first of a
// burst: a hub or a dock brings many at once.
constexpr int DeviceChangeBurstMs = 100;

// Default sizes of controls placed without one.
constexpr int DefaultEditWidth = 100;
constexpr int DefaultButtonWidth = 80;
constexpr int RowHeight = 22;

}

void TFormMain::DesignWindow()
{
    // The pictures live in a static library, whose resources load only when asked for.
    Q_INIT_RESOURCE(resources);
    resize(DesignedWidth, DesignedHeight);
    setFont(InterfaceFont());

    pnlTop = new QWidget(this);
    pnlTop->setFixedHeight(TopHeight);
    pnlClient = new QWidget(this);
    memLog = new QPlainTextEdit(this);
    memLog->setFixedHeight(MemoHeight);
    memLog->setReadOnly(true);
    // Without a heater every poll logs an error, also while the memo is hidden: the oldest
    // lines go, so that a long run cannot use up the memory. The data log keeps every reading.
    memLog->setMaximumBlockCount(MemoLineLimit);
    memLog->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto *regions = new QVBoxLayout(this);
    regions->setContentsMargins(0, 0, 0, 0);
    regions->setSpacing(0);
    regions->addWidget(pnlTop);
    regions->addWidget(pnlClient, 1);
    regions->addWidget(memLog);

    pnlChart = new QWidget(pnlClient);
    pnlHistory = new QWidget(pnlClient);
    pnlHistory->setFixedWidth(HistoryPanelWidth);
    auto *client = new QHBoxLayout(pnlClient);
    client->setContentsMargins(0, 0, 0, 0);
    client->setSpacing(0);
    client->addWidget(pnlChart, 1);
    client->addWidget(pnlHistory);

    DesignTop();
    DesignGroups();
    DesignHistoryPanel();
    DesignChart();
    DesignCoverPanels();
    DesignAboutPanel();
    RegisterKeyTexts({btnLoadMoreData, btnYields, btnYieldsArchive, btnExportHistory, btnClearHistory, btnNow, btnToday, btnThisWeek,
                      btnThisMonth, btnThisYear, btnSetDateTime, btnSetTSoll, btnSetLocalDT, Label1, Label2, Label3, Label4,
                      lblString1, lblString2, lblString3});
    for (QWidget *label : std::initializer_list<QWidget *>{lblSwitchLang, lblAbout, lblFWVer, Label8, Label9})
        label->installEventFilter(this);
    pnlAbout->installEventFilter(this);

    timRefreshCurrentData = new QTimer(this);
    timRefreshCurrentData->setInterval(FOptions.RefreshIntervalMs);
    FDeviceChangeBurst = new QTimer(this);
    FDeviceChangeBurst->setSingleShot(true);
    FDeviceChangeBurst->setInterval(DeviceChangeBurstMs);
    mnuFW = new QMenu(this);
    mnuUpdateFW = mnuFW->addAction(QStringLiteral("smnuFlashFW"));
}

// The log has its designed height while the window is tall enough, and gives way first.
void TFormMain::FitLogHeight()
{
    memLog->setFixedHeight(std::clamp(height() - TopHeight - ClientMinimumHeight, 0, MemoHeight));
}

void TFormMain::DesignTop()
{
    DesignStringColumn(1, lblString1, imgS1, prbP1, pnlPWM1, lblP1, lblU1, edtPWM1, btnSetPWM1, btnSetMax1,
                       btnAutoPWM1, btnSetNull1, btnMeasPV1);
    DesignStringColumn(2, lblString2, imgS2, prbP2, pnlPWM2, lblP2, lblU2, edtPWM2, btnSetPWM2, btnSetMax2,
                       btnAutoPWM2, btnSetNull2, btnMeasPV2);
    DesignStringColumn(3, lblString3, imgS3, prbP3, pnlPWM3, lblP3, lblU3, edtPWM3, btnSetPWM3, btnSetMax3,
                       btnAutoPWM3, btnSetNull3, btnMeasPV3);

    Image4 = NewImage(pnlTop, QStringLiteral(":/images/Thermometer.png"), QRect(410, 40, 80, 80));
    lblTWater = NewCentredLabel(pnlTop, QStringLiteral("100°C"), QRect(413, 148, 75, 16));
    lblTWaterControl = NewCentredLabel(pnlTop, QStringLiteral("100°C"), QRect(413, 164, 75, 16));
    Label4 = NewCentredLabel(pnlTop, QStringLiteral("slblToday"), QRect(421, 223, 58, 16));
    lblEnergy = NewCentredLabel(pnlTop, QStringLiteral("5000Wh"), QRect(413, 247, 75, 16));

    Label1 = NewLabel(pnlTop, QStringLiteral("slblDevice"), QRect(511, 32, 150, 17));
    lblSerNr = NewLabel(pnlTop, QStringLiteral("1234-1001"), QRect(674, 32, 99, 17));
    lblFWVer = NewLinkLabel(pnlTop, QStringLiteral("V1.10"), QRect(778, 32, 99, 17));
    lblTPCB = NewLabel(pnlTop, QStringLiteral("28°C"), QRect(880, 32, 49, 17));

    Label2 = NewLabel(pnlTop, QStringLiteral("slblDateTime"), QRect(512, 72, 150, 17));
    edtDate = new QDateEdit(QDate(2016, 9, 30), pnlTop);
    edtDate->setGeometry(672, 69, DefaultEditWidth, RowHeight);
    edtTime = new QTimeEdit(QTime(12, 38, 0), pnlTop);
    edtTime->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    edtTime->setGeometry(776, 69, DefaultEditWidth, RowHeight);
    btnSetDateTime = NewButton(pnlTop, QStringLiteral("sbtnSet"), QRect(880, 69, 48, 22));
    btnSetDateTime->setEnabled(false);
    btnSetLocalDT = NewButton(pnlTop, QStringLiteral("sbtnSetLocal"), QRect(936, 69, 73, 22));

    Label3 = NewLabel(pnlTop, QStringLiteral("slblWaterTemp"), QRect(512, 110, 225, 17));
    imgWaterTemp = NewImage(pnlTop, QStringLiteral(":/images/QuestionMark.png"), QRect(743, 108, 20, 20));
    edtTSoll = NewSpinBox(pnlTop, QRect(776, 107, DefaultEditWidth, RowHeight), 45, 85, 45);
    btnSetTSoll = NewButton(pnlTop, QStringLiteral("sbtnSet"), QRect(880, 107, 129, 22));
    btnSetTSoll->setEnabled(false);

    imgError = NewImage(pnlTop, QStringLiteral(":/images/pngError.png"), QRect(510, 142, 25, 25));
    lblError = NewLabel(pnlTop, QString(), QRect(547, 148, 454, 16));
    QFont bold = lblError->font();
    bold.setBold(true);
    lblError->setFont(bold);
    QPalette orangeRed = lblError->palette();
    orangeRed.setColor(QPalette::WindowText, QColor::fromRgba(0xFFFF4500));
    lblError->setPalette(orangeRed);

    lblSwitchLang = NewLinkLabel(pnlTop, QStringLiteral("de"), QRect(955, 8, 34, 16));
    lblAbout = NewLinkLabel(pnlTop, QStringLiteral("?"), QRect(994, 8, 24, 17));

    auto *anchors = new TAnchorLayout(pnlTop, QSize(DesignedWidth, TopHeight));
    anchors->Anchor(lblError, akLeft | akTop | akRight);
    anchors->Anchor(lblSwitchLang, akTop | akRight);
    anchors->Anchor(lblAbout, akTop | akRight);
}

void TFormMain::DesignStringColumn(int n, QLabel *&lblString, QLabel *&imgS, QProgressBar *&prbP,
                                   QWidget *&pnlPWM, QLabel *&lblP, QLabel *&lblU, QSpinBox *&edtPWM,
                                   QPushButton *&btnSetPWM, QPushButton *&btnSetMax, QPushButton *&btnAutoPWM,
                                   QPushButton *&btnSetNull, QPushButton *&btnMeasPV)
{
    const int d = 120 * (n - 1);
    lblString = NewCentredLabel(pnlTop, QStringLiteral("slblString%1").arg(n), QRect(44 + d, 16, 56, 16));
    imgS = NewImage(pnlTop, QStringLiteral(":/images/SolarPanel.png"), QRect(26 + d, 40, 80, 80));
    prbP = new QProgressBar(pnlTop);
    // One pixel narrower than the first design, which reached into the PWM panel beside it.
    prbP->setGeometry(56 + d, 135, 16, 100);
    prbP->setOrientation(Qt::Vertical);
    prbP->setRange(0, 500);
    prbP->setValue(0);
    prbP->setTextVisible(false);
    lblP = NewCentredLabel(pnlTop, QStringLiteral("500W"), QRect(29 + d, 247, 75, 16));
    lblU = NewCentredLabel(pnlTop, QStringLiteral("50V"), QRect(11 + d, 263, 110, 16));

    pnlPWM = new QWidget(pnlTop);
    pnlPWM->setGeometry(72 + d, 136, 86, 99);
    edtPWM = NewSpinBox(pnlPWM, QRect(4, 3, 75, 22), -1, 1000, -1);
    btnSetPWM = NewButton(pnlPWM, QStringLiteral("Set PWM"), QRect(4, 26, 75, 22));
    btnSetMax = NewButton(pnlPWM, QStringLiteral("Max"), QRect(4, 50, 33, 22));
    btnAutoPWM = NewButton(pnlPWM, QStringLiteral("Auto"), QRect(40, 50, 39, 22));
    btnSetNull = NewButton(pnlPWM, QStringLiteral("0"), QRect(4, 74, 33, 22));
    btnMeasPV = NewButton(pnlPWM, QStringLiteral("Measure"), QRect(40, 74, 39, 22));
    FitButtonText(*btnMeasPV, btnMeasPV->text());
}

void TFormMain::DesignGroups()
{
    // One pixel narrower than the first design, which reached into the service group beside it.
    gbxDev = NewGroup(pnlTop, QStringLiteral("Develpoment"), QRect(501, 200, 331, 81));
    edtAddr = new QLineEdit(QStringLiteral("$FFF000"), gbxDev);
    edtAddr->setGeometry(8, 20, 81, 22);
    edtData = new QLineEdit(QStringLiteral("100"), gbxDev);
    edtData->setGeometry(96, 20, 81, 22);
    btnGetData = NewButton(gbxDev, QStringLiteral("Get Data"), QRect(241, 20, DefaultButtonWidth, RowHeight));
    btnReadMem = NewButton(gbxDev, QStringLiteral("Read Mem"), QRect(5, 52, DefaultButtonWidth, RowHeight));
    btnGetFlashTable = NewButton(gbxDev, QStringLiteral("Get FTable"), QRect(89, 52, 64, 22));
    btnClearSector = NewButton(gbxDev, QStringLiteral("Clear Sector"), QRect(160, 52, 73, 22));
    btnGetStatus = NewButton(gbxDev, QStringLiteral("Get Status"), QRect(240, 52, 81, 22));

    gbxService = NewGroup(pnlTop, QStringLiteral("Service"), QRect(832, 200, 185, 81));
    edtYeWe = NewSpinBox(gbxService, QRect(8, 21, 81, 22), 1000, 9999, 1000);
    edtSerNr = NewSpinBox(gbxService, QRect(96, 21, 81, 22), 1000, 9999, 1000);
    btnSetSN = NewButton(gbxService, QStringLiteral("Set SN"), QRect(8, 52, 169, 22));
}

void TFormMain::DesignHistoryPanel()
{
    const auto button = [this](const QString &Text, int y) {
        return NewButton(pnlHistory, Text, QRect(7, y, 105, HistoryButtonHeight));
    };
    btnLoadMoreData = button(QStringLiteral("sbtnLoadMoreData"), 10);
    btnYields = button(QStringLiteral("sbtnYields"), YieldsTop);
    btnNow = button(QStringLiteral("sbtnNow"), NowTop);
    btnToday = button(QStringLiteral("sbtnToday"), NowTop + RangePitch);
    btnThisWeek = button(QStringLiteral("sbtnThisWeek"), NowTop + 2 * RangePitch);
    btnThisMonth = button(QStringLiteral("sbtnThisMonth"), NowTop + 3 * RangePitch);
    btnThisYear = button(QStringLiteral("sbtnThisYear"), ThisYearTop);
    btnExportHistory = button(QStringLiteral("sbtnExport"), ExportTop);
    btnExportHistory->setToolTip(QStringLiteral("Export Hint"));
    btnClearHistory = button(QStringLiteral("sbtnClearHistory"), 231);

    auto *anchors = new TAnchorLayout(pnlHistory, QSize(HistoryPanelWidth, HistoryDesignedHeight));
    anchors->Anchor(btnExportHistory, akLeft | akBottom);
    anchors->Anchor(btnClearHistory, akLeft | akBottom);
}

void TFormMain::DesignChart()
{
    chartHistory = new QCustomPlot(pnlChart);
    auto *layout = new QVBoxLayout(pnlChart);
    layout->setContentsMargins(5, 5, 5, 5);
    layout->addWidget(chartHistory);

    chartTitle = new QCPTextElement(chartHistory, QStringLiteral("schartTitle"), QFont(font().family(), 11, QFont::Bold));
    chartHistory->plotLayout()->insertRow(0);
    chartHistory->plotLayout()->addElement(0, 0, chartTitle);

    FChartTicker = QSharedPointer<TChartTicker>::create(FOptions.Locale);
    chartHistory->xAxis->setTicker(FChartTicker);
    // The left button pans the time axis; zooming is the window's own (right-button rectangle,
    // wheel on the time axis).
    chartHistory->setInteractions(QCP::iRangeDrag);
    chartHistory->axisRect()->setRangeDrag(Qt::Horizontal);
    FZoomBand = new QRubberBand(QRubberBand::Rectangle, chartHistory);
    chartHistory->yAxis->setLabel(QStringLiteral("W, °C, V"));
    chartHistory->yAxis2->setLabel(QStringLiteral("Wh"));
    chartHistory->yAxis2->setVisible(true);
    chartHistory->legend->setVisible(true);
    // Small enough that all twelve series fit beside the short chart of the extended modes.
    QFont legendFont = font();
    legendFont.setPointSize(7);
    chartHistory->legend->setFont(legendFont);
    chartHistory->legend->setRowSpacing(0);
    chartHistory->legend->setIconSize(16, 8);

    const auto line = [this](const QString &Title, QColor Colour, QCPAxis *ValueAxis) {
        QCPGraph *graph = chartHistory->addGraph(chartHistory->xAxis, ValueAxis);
        graph->setName(Title);
        graph->setPen(QPen(Colour));
        return graph;
    };
    serEnergy = line(QStringLiteral("sserEnergy"), Qt::black, chartHistory->yAxis2);
    serEnergyBar = new QCPBars(chartHistory->xAxis, chartHistory->yAxis2);
    serEnergyBar->setName(QStringLiteral("sserEnergyBar"));
    serEnergyBar->setWidthType(QCPBars::wtPlotCoords);
    serEnergyBar->setWidth(DayBarWidth);
    QColor barColour = QColor::fromRgba(0xFFE8A213);
    serEnergyBar->setPen(QPen(barColour));
    barColour.setAlphaF(0.5);
    serEnergyBar->setBrush(barColour);
    QCPAxis *left = chartHistory->yAxis;
    serP1 = line(QStringLiteral("sserP1"), QColor("red"), left);
    serP2 = line(QStringLiteral("sserP2"), QColor("green"), left);
    serP3 = line(QStringLiteral("sserP3"), QColor("blue"), left);
    serTW = line(QStringLiteral("sserTW"), QColor::fromRgba(0xFFE817DA), left);
    serPWM1 = line(QStringLiteral("PWM1"), QColor("darkred"), left);
    serPWM2 = line(QStringLiteral("PWM2"), QColor("darkgreen"), left);
    serPWM3 = line(QStringLiteral("PWM3"), QColor("darkblue"), left);
    serU1 = line(QStringLiteral("sserU1"), QColor("lightcoral"), left);
    serU2 = line(QStringLiteral("sserU2"), QColor("lightgreen"), left);
    serU3 = line(QStringLiteral("sserU3"), QColor("lightskyblue"), left);
}

void TFormMain::DesignCoverPanels()
{
    pnlNotConnected = new TCoverPanel(this, 85);
    pnlNotConnected->setGeometry(QRect(QPoint(0, 0), NotConnectedDesign));
    Image5 = NewImage(pnlNotConnected, QStringLiteral(":/images/Unplugged.png"), QRect(64, 72, 80, 80));
    btnRefreshUSB = NewButton(pnlNotConnected, QStringLiteral("Refresh"), QRect(40, 152, 129, 33));
    // Without a heater the archive's yields are still there to see.
    btnYieldsArchive = NewButton(pnlNotConnected, QStringLiteral("sbtnYields"), QRect(40, 200, 129, 22));
    // Under the picture, as wide as the window.
    lblNotConnected = NewCentredLabel(pnlNotConnected, QStringLiteral("sMsgNoHeater"), QRect(8, 156, 193, 40));
    lblNotConnected->setWordWrap(true);
    QFont bold = lblNotConnected->font();
    bold.setBold(true);
    lblNotConnected->setFont(bold);
    RegisterKeyTexts({lblNotConnected});
    auto *anchors = new TAnchorLayout(pnlNotConnected, NotConnectedDesign);
    anchors->Anchor(Image5, 0);
    anchors->Anchor(lblNotConnected, akLeft | akRight);
    anchors->Anchor(btnRefreshUSB, akBottom);
    anchors->Anchor(btnYieldsArchive, 0);

    pnlAbout = new TCoverPanel(this, 95);
}

void TFormMain::DesignAboutPanel()
{
    auto *about = new QVBoxLayout(pnlAbout);
    about->setContentsMargins(0, 50, 0, 0);
    about->setSpacing(10);
    lblAppTitle = new QLabel(QStringLiteral("sTitle"), pnlAbout);
    lblAppTitle->setFixedHeight(30);
    QFont titleFont = lblAppTitle->font();
    titleFont.setPixelSize(26);  // 20 points on a 96-dpi screen
    lblAppTitle->setFont(titleFont);
    lblCopyright = new QLabel(QStringLiteral("sCopyright"), pnlAbout);
    lblCopyright->setFixedHeight(17);
    lblVersion = new QLabel(pnlAbout);
    lblVersion->setFixedHeight(17);
    // Where the program's files go, selectable so that the paths can be copied.
    lblDataFiles = new QLabel(pnlAbout);
    lblDataFiles->setFixedHeight(17);
    lblDataFiles->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblArchive = new QLabel(pnlAbout);
    lblArchive->setFixedHeight(34);
    lblArchive->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Image1 = new QLabel(pnlAbout);
    Image1->setPixmap(QPixmap(QStringLiteral(":/images/Logo.png")));
    Image1->setContentsMargins(30, 30, 30, 30);
    for (QLabel *label : {lblAppTitle, lblCopyright, lblVersion, lblDataFiles, lblArchive, Image1}) {
        label->setAlignment(Qt::AlignCenter);
        about->addWidget(label);
    }
    about->setStretchFactor(Image1, 1);

    Panel1 = new TCoverPanel(pnlAbout, 85);
    Panel1->setFixedHeight(113);
    about->addWidget(Panel1);
    auto *credits = new QVBoxLayout(Panel1);
    credits->setContentsMargins(5, 5, 5, 5);
    Label6 = new QLabel(QStringLiteral("Credits:"), Panel1);
    Label8 = new QLabel(QStringLiteral("https://www.helvane.com"), Panel1);
    Label9 = new QLabel(QStringLiteral("https://www.qcustomplot.com"), Panel1);
    for (QLabel *label : {Label6, Label8, Label9}) {
        label->setAlignment(Qt::AlignCenter);
        credits->addWidget(label);
    }
    Label8->setCursor(Qt::PointingHandCursor);
    Label9->setCursor(Qt::PointingHandCursor);
}

void TFormMain::RegisterKeyTexts(std::initializer_list<QWidget *> Controls)
{
    for (QWidget *control : Controls) {
        const QString key = control->property("text").toString();
        FKeyTexts.push_back({control, key});
    }
}

void TFormMain::SetKeyText(QWidget *Control, const QString &Key)
{
    const auto item = std::ranges::find_if(FKeyTexts, [Control](const TKeyText &Item) { return Item.Control == Control; });
    if (item != FKeyTexts.end())
        item->Key = Key;
    else
        FKeyTexts.push_back({Control, Key});
    ApplyKeyText(Control, Key);
}
