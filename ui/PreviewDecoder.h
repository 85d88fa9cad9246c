#pragma once
// Decodes the pictures of one preview box on a thread of its own, so that
// the window's thread only draws them. One picture at a time, the latest
// asked for: a request superseded before it starts is never decoded, and one
// under way when it is superseded is decoded to its end (a decoder cannot be
// stopped midway) but never delivered. Results reach the window's thread as
// queued calls.

#include <QImage>
#include <QObject>
#include <QSize>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace ui {

class PreviewDecoder {
 public:
  struct Request {
    std::string path;
    // The box's size in device pixels: a JPEG is decoded at the smallest of
    // its DCT scales that still covers it.
    QSize fit;
    // Hands the decode's freed memory back to the system once it is done
    // (outside a run, whose next picture would reuse it).
    bool handBackMemory = false;
  };
  struct Result {
    std::string path;
    // Upright, no larger than the largest box there is, in the format a
    // pixmap takes without converting; null when the file could not be
    // decoded.
    QImage picture;
    QSize realSize;  // the file's picture as it stands upright
  };
  using Deliver = std::function<void(Result)>;

  // deliver is called on the thread the decoder is made on.
  explicit PreviewDecoder(Deliver deliver);
  // Waits for a decode under way; nothing more is delivered.
  ~PreviewDecoder();
  PreviewDecoder(const PreviewDecoder&) = delete;
  PreviewDecoder& operator=(const PreviewDecoder&) = delete;

  // The picture to deliver next, in place of any asked for before.
  void Ask(Request request);
  // Nothing asked for so far is delivered.
  void Drop();

 private:
  void Work();
  static Result Decode(const Request& request);

  const Deliver deliver_;
  // Receives the queued deliveries; those still queued go with it.
  QObject context_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::optional<Request> next_;  // guarded by mutex_
  bool stop_ = false;            // guarded by mutex_
  // The number of the latest request (or drop): a result of an older one
  // is never delivered.
  std::atomic<std::uint64_t> latest_{0};
  std::thread thread_;
};

}  // namespace ui
