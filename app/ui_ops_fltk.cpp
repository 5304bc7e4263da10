// The UI operations of app/ui_ops.h for the FLTK front end. Only the UI
// thread touches FLTK; the listener reaches it through Fl::awake, FLTK's
// thread wake-up, and never draws or opens a window itself.
#include <FL/Fl.H>
#include <FL/Fl_Window.H>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "app/fltk_front.h"
#include "app/ui_ops.h"

namespace {

std::thread::id UiThread;
std::atomic<Fl_Window*> RepaintTarget{nullptr};

// One repaint pending is enough: the paint reads the state as it is then.
// Keeps a fast client from filling FLTK's wake-up queue.
std::atomic<bool> RepaintPending{false};

// At most one paint per frame: during a flood of lines the UI would
// otherwise paint as fast as it can, a paint for every few lines, and keep
// a core busy. A request after a quiet spell is painted at once.
constexpr std::chrono::milliseconds kFrame{20};
std::chrono::steady_clock::time_point NextFrame;  // UI thread only.

void RepaintNow(void*) {
  RepaintPending = false;  // Cleared first: a later line asks again.
  NextFrame = std::chrono::steady_clock::now() + kFrame;
  if (Fl_Window* window = RepaintTarget.load()) window->redraw();
}

// The pending flag stays set until RepaintNow runs, so a flood adds no
// further wake-ups or timeouts meanwhile.
void RepaintOnUiThread(void*) {
  const auto wait = NextFrame - std::chrono::steady_clock::now();
  if (wait <= std::chrono::steady_clock::duration::zero()) {
    RepaintNow(nullptr);
    return;
  }
  Fl::add_timeout(std::chrono::duration<double>(wait).count(), RepaintNow);
}

// A box asked for by another thread, shown by the UI thread.
struct BoxRequest {
  std::string text, caption;
  unsigned style;
  std::mutex lock;
  std::condition_variable closed;
  bool done = false;
};

void ShowBoxOnUiThread(void* data) {
  auto* request = static_cast<BoxRequest*>(data);
  RunMessageBox(request->text.c_str(), request->caption.c_str(), request->style);
  std::lock_guard<std::mutex> hold(request->lock);
  request->done = true;
  request->closed.notify_one();
}

// Fl::awake fails only while its queue is full; the UI empties it soon.
void WakeUi(Fl_Awake_Handler handler, void* data) {
  while (Fl::awake(handler, data) != 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

}  // namespace

void StartUiThread() {
  UiThread = std::this_thread::get_id();
  Fl::lock();
}

bool OnUiThread() { return std::this_thread::get_id() == UiThread; }

void SetRepaintTarget(Fl_Window* window) { RepaintTarget = window; }

// Harmless before the window exists: the callback finds no target, and the
// window's first paint shows the state of that moment anyway.
void RequestRepaint() {
  if (RunsHeadless()) return;  // Nothing to paint; the listener says its state itself.
  if (RepaintPending.exchange(true)) return;
  if (OnUiThread()) {
    RepaintOnUiThread(nullptr);
    return;
  }
  WakeUi(RepaintOnUiThread, nullptr);
}

// The owner (the main window, for the listener's error box) does not make
// the box modal here: the window stays usable and can still be closed.
void ShowMessageBox(void* /*owner*/, const char* text, const char* caption, unsigned style) {
  if (RunsHeadless()) {
    SayMessageBox(text, caption);
    return;
  }
  if (OnUiThread()) {
    RunMessageBox(text, caption, style);
    return;
  }
  // The texts are copied: the caller's buffers (CaptionBuffer) may change.
  BoxRequest request;
  request.text = text;
  request.caption = caption;
  request.style = style;
  WakeUi(ShowBoxOnUiThread, &request);
  std::unique_lock<std::mutex> hold(request.lock);
  request.closed.wait(hold, [&] { return request.done; });
}
