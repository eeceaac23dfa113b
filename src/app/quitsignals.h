#pragma once

class QCoreApplication;

// Turns the terminal's and the session manager's stop requests (SIGINT, SIGTERM on
// Unix) into a normal quit, so the adb server and the phones' sessions are ended as
// when the window is closed. Does nothing where such signals do not exist.
void quitOnTerminationSignals(QCoreApplication *app);
