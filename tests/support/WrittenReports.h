#pragma once

// What the host wrote to the heater model.

#include "core/Bytes.h"
#include "heatersim.h"

#include <initializer_list>
#include <vector>

// Every report the host wrote to the model, in order.
inline std::vector<TBytes> WrittenReports()
{
    std::vector<TBytes> reports;
    for (int i = 0; i < heatersim_written_count(); ++i) {
        TBytes report(256);
        report.resize(static_cast<std::size_t>(heatersim_written(i, report.data(), 256)));
        reports.push_back(report);
    }
    return reports;
}

// A command report as it goes out: its six bytes, then zeros up to 65.
inline TBytes Sent(std::initializer_list<std::uint8_t> Head)
{
    TBytes report(Head);
    report.resize(65, 0);
    return report;
}
