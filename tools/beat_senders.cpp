// BeatSenders: the UDP of lightnet/ on a client thread.
#include "tools/beat_senders.h"

#include <algorithm>
#include <deque>

#include "lightnet/net_platform.h"

namespace {
constexpr double kRetrySeconds = 1;
constexpr double kConnectSeconds = 5;  // A receiver that has not answered by then is not there.
constexpr double kConnectPollSeconds = 0.02;
constexpr size_t kMaxQueued = 4096;  // A second of everything, many times over.
}  // namespace

struct BeatSenders::Output {
  std::string name;
  PublishTarget target;
  bool stream = false;
  intptr_t socket = -1;
  bool connecting = false;  // A stream's connection under way.
  double connectSince = 0;
  double retryAt = 0;
  bool faultSaid = false;
  std::string fault;  // The last fault said, so that a new one is said too.
};

struct BeatSenders::Shared {
  std::vector<Output*>* outputs;
  Gate* gate = NewGate();
  // Under the gate's lock:
  struct Queued {
    int output;
    Datagram datagram;
    double due;
  };
  std::deque<Queued> queue;
  bool finish = false;
  bool everSent = false;
  std::vector<std::string> notes;
};

int BeatSenders::Add(const std::string& name, const PublishTarget& target, bool stream) {
  Output* output = new Output;
  output->stream = stream;
  output->name = name;
  output->target = target;
  outputs_.push_back(output);
  return int(outputs_.size()) - 1;
}

bool BeatSenders::Start(WorkerStart start) {
  if (outputs_.empty()) return true;
  shared_ = new Shared;
  shared_->outputs = &outputs_;
  worker_ = start(&BeatSenders::Run, shared_);
  return worker_ != nullptr;
}

BeatSenders::~BeatSenders() {
  if (worker_) return;  // Never joined: left to the end of the process.
  if (shared_) DeleteGate(shared_->gate);
  delete shared_;
  for (Output* output : outputs_) {
    if (output->stream)
      CloseTcpClient(output->socket);
    else
      CloseUdpSender(output->socket);
    delete output;
  }
}

void BeatSenders::Queue(int output, Datagram datagram, double due) {
  if (!worker_) return;
  GateLock(shared_->gate);
  if (shared_->queue.size() >= kMaxQueued) shared_->queue.pop_front();
  shared_->queue.push_back({output, std::move(datagram), due});
  GateUnlock(shared_->gate);
  GateWake(shared_->gate);
}

void BeatSenders::Finish(double seconds) {
  if (!worker_) return;
  GateLock(shared_->gate);
  shared_->finish = true;
  GateUnlock(shared_->gate);
  GateWake(shared_->gate);
  if (JoinWorker(worker_, seconds)) worker_ = nullptr;
}

std::vector<std::string> BeatSenders::TakeNotes() {
  std::vector<std::string> notes;
  if (!shared_) return notes;
  GateLock(shared_->gate);
  notes.swap(shared_->notes);
  GateUnlock(shared_->gate);
  return notes;
}

bool BeatSenders::EverSent() {
  if (!shared_) return false;
  GateLock(shared_->gate);
  const bool sent = shared_->everSent;
  GateUnlock(shared_->gate);
  return sent;
}

namespace {

std::string Where(const BeatSenders::Output& output) {
  return output.target.host + ":" + std::to_string(output.target.port);
}

std::string SystemText(int error) {
  char text[160];
  ErrorText(error, text, sizeof text);
  return text;
}

// Opens the output's socket; a fault is said once, until it is mended.
void Open(BeatSenders::Output* output, std::vector<std::string>* notes) {
  std::string fault;
  uint32_t address = 0;
  if (!ResolveHostName(output->target.host.c_str(), &address)) {
    fault = "cannot find the host " + output->target.host;
  } else if (output->stream) {
    int error = 0;
    output->socket = OpenTcpClient(address, output->target.port, &error);
    if (output->socket >= 0) {
      output->connecting = true;  // Said mended once connected.
      return;
    }
    fault = "cannot open a connection to " + Where(*output) + ": " + SystemText(error);
  } else {
    UdpTarget target{};
    target.address = address;
    target.port = output->target.port;
    target.broadcast = true;  // A directed broadcast works as well as a host.
    target.multicast = (address >> 28) == 0xE;
    int error = 0;
    const char* what = "";
    output->socket = OpenUdpSender(target, &error, &what);
    if (output->socket >= 0) {
      if (output->faultSaid) notes->push_back(output->name + ": sending to " + Where(*output) + " again");
      output->faultSaid = false;
      output->fault.clear();
      return;
    }
    fault = std::string(what) + " " + Where(*output) + ": " + SystemText(error);
  }
  if (!output->faultSaid || fault != output->fault)
    notes->push_back(output->name + ": " + fault +
                     (output->stream ? "; connecting again every second" : "; trying again every second"));
  output->faultSaid = true;
  output->fault = fault;
}

// Says a fault once (a new one too), and closes the output's socket to try
// again after a pause.
void Fail(BeatSenders::Output* output, const std::string& fault, double now, std::vector<std::string>* notes) {
  const char* again = output->stream ? "; connecting again every second" : "; trying again every second";
  if (!output->faultSaid || fault != output->fault) notes->push_back(output->name + ": " + fault + again);
  output->faultSaid = true;
  output->fault = fault;
  if (output->stream)
    CloseTcpClient(output->socket);
  else
    CloseUdpSender(output->socket);
  output->socket = -1;
  output->connecting = false;
  output->retryAt = now + kRetrySeconds;
}

// A stream's connection: finishes connecting, or sees the receiver go.
// Returns the seconds until it wants looking at again (0: no hurry).
double Tend(BeatSenders::Output* output, double now, std::vector<std::string>* notes) {
  if (output->socket < 0) return 0;
  int error = 0;
  if (output->connecting) {
    if (output->connectSince == 0) output->connectSince = now;
    const int state = TcpConnectState(output->socket);
    if (state == -1) {
      if (now - output->connectSince < kConnectSeconds) return kConnectPollSeconds;
      Fail(output, "no answer from " + Where(*output), now, notes);
      output->connectSince = 0;
      return 0;
    }
    output->connectSince = 0;
    if (state != 0) {
      Fail(output, "cannot connect to " + Where(*output) + ": " + SystemText(state), now, notes);
      return 0;
    }
    output->connecting = false;
    if (output->faultSaid) notes->push_back(output->name + ": connected to " + Where(*output) + " again");
    output->faultSaid = false;
    output->fault.clear();
  }
  if (TcpClosedByPeer(output->socket, &error))
    Fail(output, Where(*output) + (error == 0 ? " closed the connection" : ": " + SystemText(error)), now, notes);
  return 0;
}

}  // namespace

void BeatSenders::Run(void* arg) {
  Shared* s = static_cast<Shared*>(arg);
  StartNetworking();
  std::vector<Output*>& outputs = *s->outputs;
  std::vector<Shared::Queued> due;
  std::vector<std::string> notes;
  bool sent = false;
  GateLock(s->gate);
  for (;;) {
    const double now = MonotonicSeconds();
    double next = now + kRetrySeconds;
    // What is due now goes; what is for later stays (in order).
    while (!s->queue.empty() && s->queue.front().due <= now) {
      due.push_back(std::move(s->queue.front()));
      s->queue.pop_front();
    }
    if (!s->queue.empty()) next = std::min(next, s->queue.front().due);
    const bool finish = s->finish && s->queue.empty();
    GateUnlock(s->gate);

    for (Output* output : outputs)
      if (output->socket < 0 && now >= output->retryAt) {
        Open(output, &notes);
        if (output->socket < 0) output->retryAt = now + kRetrySeconds;
      }
    for (Output* output : outputs)
      if (output->stream) {
        const double soon = Tend(output, now, &notes);
        if (soon > 0) next = std::min(next, now + soon);
      }
    for (const Shared::Queued& item : due) {
      Output* output = outputs[size_t(item.output)];
      if (output->socket < 0 || output->connecting) continue;  // A stale beat is worth nothing.
      if (output->stream) {
        const int error = SendTcp(output->socket, item.datagram.data(), item.datagram.size());
        if (error == 0)
          sent = true;
        else if (error == -2)  // Half a message: the next would not parse.
          Fail(output, Where(*output) + " stopped reading", now, &notes);
        else if (error != -1)  // A full window drops this one; the receiver is slow, not gone.
          Fail(output, "cannot send to " + Where(*output) + ": " + SystemText(error), now, &notes);
        continue;
      }
      const int error = SendUdp(output->socket, item.datagram.data(), item.datagram.size());
      if (error == 0) {
        sent = true;
      } else if (!IsRefusal(error)) {  // Nothing listening yet is no fault of the sender.
        const std::string fault = "cannot send to " + Where(*output) + ": " + SystemText(error);
        if (!output->faultSaid || fault != output->fault)
          notes.push_back(output->name + ": " + fault + "; trying again every second");
        output->faultSaid = true;
        output->fault = fault;
        CloseUdpSender(output->socket);
        output->socket = -1;
        output->retryAt = now + kRetrySeconds;
      }
    }
    due.clear();

    GateLock(s->gate);
    s->everSent = s->everSent || sent;
    s->notes.insert(s->notes.end(), notes.begin(), notes.end());
    notes.clear();
    if (finish) break;
    const bool waiting = !s->queue.empty() && s->queue.front().due <= MonotonicSeconds();
    if (!waiting && !(s->finish && s->queue.empty())) {
      const double wait = std::min(next, s->queue.empty() ? next : s->queue.front().due) - MonotonicSeconds();
      if (wait > 0) GateWait(s->gate, wait);
    }
  }
  GateUnlock(s->gate);
}
