// Numbers and date-times in locale formats that a system may report, for any value.

#include "FuzzInput.h"
#include "core/LocaleFormats.h"

#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *Data, std::size_t Size)
{
    TFuzzInput input(Data, Size);
    TLocaleFormats formats;
    formats.DecimalSeparator = QChar(input.Take<char16_t>());
    formats.ThousandSeparator = QChar(input.Take<char16_t>());
    formats.DateSeparator = QChar(input.Take<char16_t>());
    formats.TimeSeparator = QChar(input.Take<char16_t>());
    formats.ShortDateFormat = input.Text(24);
    formats.LongTimeFormat = input.Text(24);
    formats.AmText = input.Text(8);
    formats.PmText = input.Text(8);
    const double value = input.Take<double>();
    const int decimals = input.Take<std::int8_t>() % 12;
    const TDateTime moment = input.Take<double>();
    FormatFixed(formats, value, decimals);
    FormatThousands(formats, value);
    // Day numbers far outside the calendar are not date-times the program makes; keep to the
    // range a 32-bit device clock and the chart can reach.
    if (moment > -700000 && moment < 2900000) {
        for (const char *pattern : {"c", "ddddd", "yyyy", "mmm yyyy", "hh:nn", "hh:nn:ss", "dd/MM/yyyy"})
            FormatDateTime(formats, QString::fromLatin1(pattern), moment);
    }
    return 0;
}
