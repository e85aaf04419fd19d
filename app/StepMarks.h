#pragma once
// Step marks of a bench build (LV_STEP_MARKS): each names, in the debug output, the
// step of the start-up or the installation that has just ended, with the performance
// counter's time in milliseconds, so that a trace shows where the time goes. (Wine's
// trace timestamps follow a tick count that can lag behind after a wait.) Other builds
// have none.
#ifdef LV_STEP_MARKS
#include <windows.h>

#include <cstdio>

inline void StepMark(const char* step) {
  LARGE_INTEGER now{}, frequency{};
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  char text[80];
  std::snprintf(text, sizeof text, "lvstep %s %.3f\n", step,
                static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart));
  OutputDebugStringA(text);
}
#define LV_STEP_MARK(step) StepMark(step)
#else
#define LV_STEP_MARK(step) ((void)0)
#endif
