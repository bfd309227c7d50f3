#pragma once

namespace nubora {

struct LocalTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// Wall-clock time and pauses; injected so that waits can be tested quickly.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime Now() = 0;
  virtual void Sleep(unsigned long milliseconds) = 0;
};

}  // namespace nubora
