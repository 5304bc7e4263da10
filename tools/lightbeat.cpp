// lightbeat: makes the pipe server's lamps follow the music. Captures what
// the system plays (or a source, or a file), analyses it (music/) and sends
// a light command whenever the lamps change. See LightbeatHelp().
//
// Threads: this one reads the capture (it blocks for at most a few ms of
// sound), runs the analysis and keeps the terminal; LightSender's thread
// owns the connection, so a stalled server never holds up the capture;
// BeatSenders' thread sends to other lighting programs (--osc, --wled-sync,
// --os2l).
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "client/light_link.h"
#include "client/light_schedule.h"
#include "client/platform.h"
#include "music/analysis.h"
#include "music/lamp_styles.h"
#include "protocol/light_line.h"
#include "audio/audio_capture.h"
#include "tools/beat_publish.h"
#include "tools/beat_senders.h"
#include "tools/lightbeat_options.h"
#include "tools/lightbeat_status.h"

namespace {

constexpr int kMinRate = 22050, kMaxRate = 96000;

int ListSources() {
  std::vector<CaptureSource> sources;
  std::string error;
  if (!ListCaptureSources(&sources, &error)) {
    std::fprintf(stderr, "lightbeat: %s\n", error.c_str());
    return 1;
  }
  for (const CaptureSource& source : sources)
    std::printf("%s%s\n    %s\n", source.name.c_str(), source.isDefault ? "  (default)" : "",
                source.description.c_str());
  return 0;
}

// --onsets, --beats, --lines: the whole file as fast as it reads.
int Report(const LightbeatOptions& options, int channels, CaptureStream* stream, music::Analyzer* analyzer,
           music::Styler* styler) {
  LightSchedule schedule(options.rate, options.delayMs / 1000.0);
  auto printDue = [&](double until) {
    music::LampBits bits;
    char line[kMaxLineLength + 1];
    for (double t; (t = schedule.NextTime()) <= until && t < LightSchedule::kNever;) {
      if (!schedule.Take(t, &bits)) continue;
      FormatLightLine(options.mode, bits, line);
      std::printf("%.3f %s\n", t, line);
    }
  };
  std::vector<float> samples;
  std::vector<music::Frame> frames;
  std::string error;
  for (;;) {
    const CaptureStatus status = ReadCapture(stream, &samples, &error);
    if (status == CaptureStatus::kEnd) break;
    if (status == CaptureStatus::kFailed) {
      std::fprintf(stderr, "lightbeat: %s\n", error.c_str());
      return 1;
    }
    frames.clear();
    analyzer->Feed(samples.data(), samples.size() / channels, &frames);
    for (const music::Frame& frame : frames) {
      const music::LampBits bits = styler->Next(frame);
      switch (options.report) {
        case LightbeatReport::kOnsets:
          if (frame.onset) std::printf("%.3f\n", frame.time);
          break;
        case LightbeatReport::kBeats:
          if (frame.beat) std::printf("%.3f\n", frame.time);
          break;
        default:
          printDue(frame.time);
          schedule.Offer(frame.time, bits);
          printDue(frame.time);
      }
    }
  }
  if (options.report == LightbeatReport::kLines) {
    schedule.Finish(true);
    printDue(LightSchedule::kNever);
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}

class StatusLine {
 public:
  explicit StatusLine(bool shown) : shown_(shown), utf8_(TerminalTakesUtf8()) {}

  void Show(const std::string& text) {
    if (!shown_) return;
    std::string line = "\r" + text;
    if (text.size() < width_) line += std::string(width_ - text.size(), ' ');
    width_ = text.size();
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
    drawn_ = true;
  }
  // Messages go on a line of their own, above the status line.
  void Say(const std::string& message) {
    Clear();
    std::fprintf(stderr, "lightbeat: %s\n", message.c_str());
  }
  void Clear() {
    if (!drawn_) return;
    std::fprintf(stderr, "\r%s\r", std::string(width_, ' ').c_str());
    drawn_ = false;
    width_ = 0;
  }
  bool utf8() const { return utf8_; }

 private:
  bool shown_;
  bool utf8_;
  bool drawn_ = false;
  size_t width_ = 0;
};

int Drive(const LightbeatOptions& options, int channels, CaptureStream* stream, music::Analyzer* analyzer,
          music::Styler* styler) {
  InstallInterruptHandler();
  StatusLine status(!options.quiet && StderrIsTerminal() && StdoutIsTerminal());
  LightSender sender(options.mode, options.rate, options.delayMs / 1000.0);
  if (!sender.Started()) {
    status.Say("cannot start the thread that sends the lines");
    return 1;
  }
  BeatSenders publishers;
  const int osc = options.osc.port ? publishers.Add("OSC", options.osc) : -1;
  const int wledSync = options.wledSync.port ? publishers.Add("WLED sync", options.wledSync) : -1;
  const int os2lOut = options.os2l.port ? publishers.Add("OS2L", options.os2l, true) : -1;
  if (!publishers.Start()) {
    status.Say("cannot start the thread that sends to other lighting programs");
    sender.Finish(false, 1);
    return 1;
  }
  OscPacker oscPacker(options.rate);
  WledSyncPacker wledPacker;
  Os2lPacker os2lPacker;
  std::vector<Datagram> datagrams;
  // They go out when the lamps' lines do: the beats' lead is the analysis'
  // own, the delay the lamps'.
  const double delay = options.delayMs / 1000.0;
  std::vector<float> samples;
  std::vector<music::Frame> frames;
  std::string error;
  int lastBits = -1;
  music::LampBits shown = 0;
  float levelDb = -120, bpm = 0;
  double nextStatus = 0;
  bool ended = false, failed = false;
  while (!Interrupted()) {
    const CaptureStatus got = ReadCapture(stream, &samples, &error);
    if (got != CaptureStatus::kOk) {
      ended = got == CaptureStatus::kEnd;
      failed = !ended;
      break;
    }
    frames.clear();
    analyzer->Feed(samples.data(), samples.size() / channels, &frames);
    const double now = MonotonicSeconds();
    for (const music::Frame& frame : frames) {
      shown = styler->Next(frame);
      if (int(shown) != lastBits) sender.Offer(now, shown);
      lastBits = shown;
      if (osc >= 0) {
        oscPacker.Pack(frame, shown, &datagrams);
        for (Datagram& d : datagrams) publishers.Queue(osc, std::move(d), now + delay);
        datagrams.clear();
      }
      if (wledSync >= 0) {
        wledPacker.Pack(frame, &datagrams);
        for (Datagram& d : datagrams) publishers.Queue(wledSync, std::move(d), now + delay);
        datagrams.clear();
      }
      if (os2lOut >= 0) {
        os2lPacker.Pack(frame, &datagrams);
        for (Datagram& d : datagrams) publishers.Queue(os2lOut, std::move(d), now + delay);
        datagrams.clear();
      }
      levelDb = std::max(frame.levelDb[0], frame.levelDb[1]);
      bpm = frame.bpm;
    }
    for (const std::string& note : sender.TakeNotes()) status.Say(note);
    for (const std::string& note : publishers.TakeNotes()) status.Say(note);
    if (now >= nextStatus) {  // At most ten times a second.
      status.Show(FormatStatusLine(shown, levelDb, bpm, sender.LinesSent(), status.utf8()));
      nextStatus = now + 0.1;
    }
  }
  if (failed) status.Say(error);
  const bool finished = sender.Finish(ended, ended ? 3 + options.delayMs / 1000.0 : 2);
  publishers.Finish(ended ? 1 + delay : 0.5);
  for (const std::string& note : sender.TakeNotes()) status.Say(note);
  for (const std::string& note : publishers.TakeNotes()) status.Say(note);
  status.Clear();
  if (!finished) status.Say("the server did not take the last line in time");
  // A run that never reached a server nor sent to another program drove
  // nothing: say so by the status, as lightsend does (the notes have
  // already said why).
  return failed || !(sender.EverConnected() || publishers.EverSent()) ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  LightbeatOptions options;
  if (const int code = ParseCommandLine(argc, argv, ParseLightbeatArguments, "lightbeat",
                                        LightbeatHelp(), &options);
      code >= 0)
    return code;
  if (options.listSources) return ListSources();

  CaptureStream* stream = nullptr;
  CaptureFormat format;
  std::string error;
  const CaptureStatus opened =
      options.file.empty() ? OpenLiveCapture(options.source, &stream, &format, &error)
                           : OpenFileCapture(options.file, options.realtime, &stream, &format,
                                             &error);
  if (opened != CaptureStatus::kOk) {
    std::fprintf(stderr, "lightbeat: %s\n", error.c_str());
    return 1;
  }
  if (format.sampleRate < kMinRate || format.sampleRate > kMaxRate) {
    std::fprintf(stderr, "lightbeat: %d Hz is not supported (%d to %d Hz)\n", format.sampleRate,
                 kMinRate, kMaxRate);
    CloseCapture(stream);
    return 1;
  }
  music::AnalyzerOptions analysis;
  analysis.sampleRate = format.sampleRate;
  analysis.channels = format.channels;
  // The delays that a predicted beat can make up for: on average half a
  // capture piece (about 10 ms at most), and the analysis' own step (a beat
  // shows in the step after the hit's). A beat's line finds its slot free
  // (beats come far less often than lines), so it waits for none. A file
  // read at full speed (the reports) has no capture delay.
  const double piece = options.report != LightbeatReport::kNone && !options.realtime ? 0 : 0.005;
  analysis.beatLeadSeconds = options.leadMs >= 0 ? options.leadMs / 1000.0
                                                 : piece + music::Analyzer::StepSecondsAt(format.sampleRate);
  music::Analyzer analyzer(analysis);
  music::Styler styler(options.style, options.holdMs / 1000.0, 1.0 / options.rate);
  const int code = options.report != LightbeatReport::kNone
                       ? Report(options, format.channels, stream, &analyzer, &styler)
                       : Drive(options, format.channels, stream, &analyzer, &styler);
  CloseCapture(stream);
  return code;
}
