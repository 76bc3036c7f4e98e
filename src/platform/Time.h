#pragma once
// Every fixed wait of the program goes through sleepMs(), every driver time-out through scaled(), and every
// time stamp through now(). Tests compress waits with setTimeScale() and fix the date with setFixedNow().

#include <QDateTime>

#include <chrono>
#include <cstdint>

namespace qv::platform {

// Sleeps for ms milliseconds of program time (real time multiplied by the time scale).
void sleepMs(int64_t ms);

// The real duration of ms milliseconds of program time.
std::chrono::nanoseconds scaled(int64_t ms);

// 1.0 in the program; a test may run every wait at, say, 0.01 of its length.
void setTimeScale(double scale);
double timeScale();

// The local date and time, milliseconds included, from one clock read.
QDateTime now();

// Fixes what now() returns (a null QDateTime goes back to the system clock). The fixed clock still
// advances with real time from the moment it was set, so two stamps taken apart differ.
void setFixedNow(const QDateTime& start);

// Milliseconds of a monotonic clock, unaffected by setFixedNow; for measuring, not for stamps.
int64_t monotonicMs();

}  // namespace qv::platform
