#pragma once

#include "engine/RunTally.h"

#include <QString>

// Desktop notifications over D-Bus (org.freedesktop.Notifications). Without a notification
// service nothing happens and nothing fails.
// Thread: main thread.
namespace DesktopNotifier {

// Sends the notification without waiting for the service's answer; false when no service runs.
bool notify(const QString &summary, const QString &body);

// "3 files converted, 1 failed." and the like, for the end of a run, from the run's tally:
// stopped, up-to-date and warned files are named when there are any, and a run that found every
// file up to date says that nothing was converted.
QString runSummary(const RunTally::Counts &counts);

} // namespace DesktopNotifier
