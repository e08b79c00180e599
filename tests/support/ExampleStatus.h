#pragma once

#include "heatersim.h"

// The heater's status in the worked example: SN 1709-634, setpoint 60, 2017-04-07 12:00:00,
// string 1 at 31 V, 10 A, PWM 400, water 45.25 and 44.00 °C, board 28.5 °C, 12345 Wh, state 0.
inline heatersim_status ExampleStatus()
{
    heatersim_status status{};
    status.serial_number = 17090634;
    status.setpoint = 60;
    status.clock = 1491559200;
    status.voltage[0] = 3100;
    status.current[0] = 1000;
    status.pwm[0] = 400;
    status.water_temp = 4525;
    status.water_temp2 = 4400;
    status.board_temp = 2850;
    status.isolation = 255;
    status.energy = 12345;
    return status;
}
