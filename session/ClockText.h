#pragma once

#include <QString>

#include <chrono>

// "m:ss", or "h:mm:ss" from an hour on, in whole seconds as a stopwatch
// shows them (3.9 s is 0:03): the one way the window and the command line
// write a run's times.
QString clockText(std::chrono::milliseconds duration);
