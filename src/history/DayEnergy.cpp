#include "history/DayEnergy.h"

void TDayEnergyCounter::Add(std::int64_t Wh)
{
    if (FStarted && Wh < FRun) {
        if (!FLowerHeld) {
            FLowerHeld = true;
            return;
        }
        FEnded += FRun;
    }
    FStarted = true;
    FLowerHeld = false;
    FRun = Wh;
}
