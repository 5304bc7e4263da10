// Puts lightbeat's datagrams for other lighting programs on the network
// (OSC, WLED audio sync over UDP; OS2L's messages over TCP) from a thread of its own, so that a slow name
// lookup or a full socket never holds up the capture or the lamps.
#pragma once
#include <string>
#include <vector>

#include "client/platform.h"
#include "tools/beat_publish.h"

class BeatSenders {
 public:
  // One output per target; name says it in messages ("OSC", "WLED sync").
  // A stream output connects over TCP and sends each datagram in one write.
  int Add(const std::string& name, const PublishTarget& target, bool stream = false);
  // Starts the thread (after the Adds); false when none could be made.
  bool Start(WorkerStart start = StartWorker);
  ~BeatSenders();

  bool Empty() const { return outputs_.empty(); }
  // Queues a datagram to go out at `due` (MonotonicSeconds); stale ones
  // are dropped while an output cannot send.
  void Queue(int output, Datagram datagram, double due);
  // Ends the thread, waiting at most `seconds` for what is queued.
  void Finish(double seconds);
  // Faults and recoveries, each said once.
  std::vector<std::string> TakeNotes();
  // Whether some datagram went out.
  bool EverSent();

  struct Output;
  struct Shared;

 private:
  static void Run(void* shared);
  std::vector<Output*> outputs_;
  Shared* shared_ = nullptr;
  Worker* worker_ = nullptr;
};
