#pragma once

// Control interface of the heater model. The library exports hidapi's C interface
// (<hidapi/hidapi.h>) and behaves on it as the heater does; these functions let tests and the
// demo set up the bus, the heater's state and faults, and read back what the host wrote.
// When the library is loaded it holds the scenario named by the environment variable
// HEATERSIM_SCENARIO, if any, else the reset state.

#include <hidapi/hidapi.h>
#include <stdint.h>
#include <wchar.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define HEATERSIM_API __declspec(dllexport)
#else
#define HEATERSIM_API __attribute__((visibility("default")))
#endif

enum { HEATERSIM_VENDOR = 0x1FC9, HEATERSIM_PRODUCT = 0x8156 };

// The heater's live values, raw as the status feature report carries them.
struct heatersim_status {
    int32_t serial_number;   // year-week * 10000 + number
    int32_t setpoint;        // degrees Celsius
    uint32_t clock;          // device seconds
    int16_t voltage[3];      // 0.01 V
    int16_t current[3];      // 0.01 A
    int16_t pwm[3];          // -1 automatic, 0 off, up to 1000
    int16_t water_temp;      // 0.01 degrees Celsius
    int16_t water_temp2;     // 0.01 degrees Celsius
    int16_t board_temp;      // 0.01 degrees Celsius
    uint8_t isolation;       // 0.25 V
    int16_t energy;          // Wh
    uint8_t state;           // state or error code
};

// Back to the start: an empty bus, the default heater state, no faults, no scenario,
// nothing recorded, every counter 0, the clock standing still.
HEATERSIM_API void heatersim_reset(void);
// Loads a scenario file (plugs the heater, sets its state and stored history, lets the clock
// run), starting from the reset state. Returns 0, or -1 when the file cannot be read or is
// malformed; the state is then unchanged.
HEATERSIM_API int heatersim_load_scenario(const char *file);

// The bus. Every plugged heater answers from the one heater state.
HEATERSIM_API void heatersim_plug_heater(const char *path, const wchar_t *firmware);
HEATERSIM_API void heatersim_plug_device(const char *path, unsigned short vendor, unsigned short product);
// Removes the device; handles open on it fail from then on.
HEATERSIM_API void heatersim_unplug(const char *path);

// The status as the next status report carries it.
HEATERSIM_API void heatersim_get_status(struct heatersim_status *status);
// Sets every field as given; live values stop following a scenario's time of day.
HEATERSIM_API void heatersim_set_status(const struct heatersim_status *status);
// Lets the device clock advance with real time (1) or stand still (0, the default). It advances at
// the scenario's clock rate: one device second per real second unless the scenario sets another.
HEATERSIM_API void heatersim_set_clock_running(int running);
// Stored history: count records of 16 bytes, newest first, stored as given (bad checksums too).
HEATERSIM_API void heatersim_set_history(const unsigned char *records, int count);
HEATERSIM_API int heatersim_history_count(void);
// 1 after the firmware-update command was received.
HEATERSIM_API int heatersim_in_firmware_mode(void);

// Faults. An error text of NULL ends the fault.
HEATERSIM_API void heatersim_fail_init(int fail);
HEATERSIM_API void heatersim_fail_exit(int fail);
HEATERSIM_API void heatersim_refuse_open(int refuse);
HEATERSIM_API void heatersim_fail_write(const wchar_t *error);
HEATERSIM_API void heatersim_fail_read(const wchar_t *error);
// What calls failing by the faults above return (default -1); hidapi documents only -1, but a
// library may return any negative result.
HEATERSIM_API void heatersim_set_failure_result(int result);
// Status feature reports carry this many data bytes (default 40).
HEATERSIM_API void heatersim_set_status_length(int length);
// Input reports become readable only after this many further reads of the handle (default 0).
HEATERSIM_API void heatersim_set_reply_lag(int reads);
// Each reply is ready this many milliseconds after the heater takes its request up; the heater
// works through requests one at a time and a write waits while it holds two (default 0: at once).
HEATERSIM_API void heatersim_set_reply_latency(int milliseconds);
// 1: the heater queues no input reports at all (default 0).
HEATERSIM_API void heatersim_set_silent(int silent);
// Every input read and status feature read takes its reply from the script instead of the
// heater: a length byte, then that many bytes (fewer where the script ends), cut to the reader's
// buffer. Length 0 is a read that finds nothing. Once the script has run out, every read fails,
// as when the heater has gone; the heater still takes every report written. NULL ends the script.
HEATERSIM_API void heatersim_set_reply_script(const unsigned char *bytes, int size);

// What the host did.
HEATERSIM_API int heatersim_written_count(void);
// Copies written report number index (0 = first) into data; returns its full length.
HEATERSIM_API int heatersim_written(int index, unsigned char *data, int size);
HEATERSIM_API void heatersim_clear_written(void);
HEATERSIM_API int heatersim_init_calls(void);
HEATERSIM_API int heatersim_exit_calls(void);
HEATERSIM_API int heatersim_open_handles(void);
HEATERSIM_API int heatersim_feature_reads(void);
// How often the device list was enumerated.
HEATERSIM_API int heatersim_enumerations(void);

#ifdef __cplusplus
}
#endif
