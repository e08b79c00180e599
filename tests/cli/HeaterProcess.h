#pragma once

// The tool run as a process against the heater model.

#include <QProcessEnvironment>
#include <QTemporaryDir>

// The model as the HID library; Plugged: with the demo heater plugged in, else with none. The
// data folder (and with it the archive) and the runtime folder (with the bridge's lock of the
// heater) are the test run's own, never the user's.
inline QProcessEnvironment HeaterEnvironment(bool Plugged = true)
{
    static const QTemporaryDir DataHome;
    static const QTemporaryDir RuntimeFolder;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), DataHome.path());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), RuntimeFolder.path());
    environment.remove(QStringLiteral("RUNTIME_DIRECTORY"));
    environment.remove(QStringLiteral("HELVANE_ARCHIVE"));
    environment.insert(QStringLiteral("HELVANE_HIDAPI"), QStringLiteral(HEATERSIM_FILE));
    if (Plugged)
        environment.insert(QStringLiteral("HEATERSIM_SCENARIO"), QStringLiteral(HELVANE_SOURCE_DIR "/sim/scenarios/demo.scenario"));
    else
        environment.remove(QStringLiteral("HEATERSIM_SCENARIO"));
    return environment;
}
