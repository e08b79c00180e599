#pragma once

// The tool run as a process against the heater model.

#include <QProcessEnvironment>

// The model as the HID library; Plugged: with the demo heater plugged in, else with none.
inline QProcessEnvironment HeaterEnvironment(bool Plugged = true)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HELVANE_HIDAPI"), QStringLiteral(HEATERSIM_FILE));
    if (Plugged)
        environment.insert(QStringLiteral("HEATERSIM_SCENARIO"), QStringLiteral(HELVANE_SOURCE_DIR "/sim/scenarios/demo.scenario"));
    else
        environment.remove(QStringLiteral("HEATERSIM_SCENARIO"));
    return environment;
}
