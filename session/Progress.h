#pragma once
// Progress of a running receive, from the session to whoever shows it, and the points
// where the session lets pending events run. The session needs no window: the main
// window installs a listener that posts TPop3WorkEvent to itself; the command-line
// front end installs its own; with none installed, progress goes nowhere.

#include <QEvent>
#include <QObject>
#include <cstdint>
#include <functional>

// The event the main window's event filter turns into a step of its progress bar.
constexpr QEvent::Type WM_POP3WORK = static_cast<QEvent::Type>(1152);

class TPop3WorkEvent : public QEvent {
public:
    explicit TPop3WorkEvent(int32_t workCount) : QEvent(WM_POP3WORK), LParam(workCount) {}

    const int32_t WParam = 1;
    // Bytes read since the current header block or body began.
    const int32_t LParam;
};

using TWorkListener = std::function<void(int32_t workCount)>;

// Installs listener (an empty one: progress goes nowhere) and returns the previous one.
TWorkListener SetWorkListener(TWorkListener listener);
// The main window's listener: posts a TPop3WorkEvent to window.
TWorkListener PostingTo(QObject* window);

// Lets pending events run, when there is an event loop to run them.
void ProcessPendingEvents();

// One work notification of the connection. A body arrives line by line, so the
// listener hears of it, and events run, at most once per NotifyInterval; a 50 MB
// download then costs a few hundred notifications instead of a million.
void NotifyWork(int32_t workCount);
constexpr int NotifyIntervalMs = 40;
