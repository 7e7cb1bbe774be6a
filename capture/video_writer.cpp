#include "capture/video_writer.hpp"

#include <dlfcn.h>

namespace zenora {

VideoWriter::Module::~Module() {
  if (handle != nullptr) dlclose(handle);
}

VideoWriter::VideoWriter(const std::filesystem::path& module_folder, const std::filesystem::path& path, int width,
                         int height, int scale) {
  // Kept mapped when closed: FFmpeg's libraries hold process-wide allocations
  // that unloading them would strand.
  module_.handle = dlopen((module_folder / kModule).c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (module_.handle == nullptr) throw VideoError(std::string("cannot load the video encoder: ") + dlerror());
  using OpenFn = void(std::unique_ptr<VideoSink>&, const std::filesystem::path&, int, int, int);
  auto* open = reinterpret_cast<OpenFn*>(dlsym(module_.handle, "ZENOrA_OpenVideo"));
  if (open == nullptr) throw VideoError(std::string(kModule) + " is not the video encoder");
  open(sink_, path, width, height, scale);
}

}  // namespace zenora
