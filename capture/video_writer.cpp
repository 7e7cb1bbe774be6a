#include "video_writer.hpp"

#include <string>

namespace zenora {

namespace {

using OpenFn = void(std::unique_ptr<VideoSink>& sink, int fd, const std::filesystem::path& name, int width, int height,
                    int scale);

tk::Library LoadModule(const std::filesystem::path& file) {
  try {
    // Kept mapped when dropped: FFmpeg's libraries hold process-wide
    // allocations that unloading them would strand.
    return tk::Library(file, tk::Library::Stay::ForLife);
  } catch (const tk::Library::Error& e) {
    throw VideoError("cannot load the video encoder " + file.string() + ": " + e.what());
  }
}

}  // namespace

VideoWriter::VideoWriter(const std::filesystem::path& module_folder, const std::filesystem::path& path, int width,
                         int height, int scale)
    : module_(LoadModule(module_folder / kModule)), file_(path) {
  auto* open = reinterpret_cast<OpenFn*>(module_.Find("ZENOrA_OpenVideo"));
  if (open == nullptr) throw VideoError((module_folder / kModule).string() + " is not the video encoder");
  open(sink_, file_.Fd(), path, width, height, scale);
}

void VideoWriter::Finish() {
  sink_->Finish();
  file_.Commit();
}

}  // namespace zenora
