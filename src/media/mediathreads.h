#pragma once
// The threads that read, demux and decode the phones' streams, never the GUI thread: one per
// core, each serving several sessions through its event loop. More threads than cores would
// only compete with the GUI thread for the same cores. Started on first use; asked to finish
// and joined when the application object is destroyed.
class QThread;

namespace MediaThreads {

// The thread with the fewest sessions; the caller's session counts on it until release().
QThread *acquire();
void release(QThread *thread);

int threadCount();
// Sessions currently counted on each thread, in thread order.
int sessionsOn(int threadIndex);

} // namespace MediaThreads
