#pragma once

class QApplication;

// The program after its QApplication exists: shows the main window and runs
// the event loop. Returns the event loop's exit code; the window is gone by
// then, before the application object it depends on.
int runFlasher(QApplication& application);
