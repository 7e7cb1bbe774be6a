#include "sdl_event_queue.hpp"

#include <utility>

namespace tk {

SdlEventQueue::SdlEventQueue(Sort sort) : sort_(std::move(sort)), mark_(SDL_RegisterEvents(1)) {
  if (mark_ == static_cast<Uint32>(-1)) mark_ = 0;
  SDL_SetEventFilter(Filter, this);
}

SdlEventQueue::~SdlEventQueue() { SDL_SetEventFilter(nullptr, nullptr); }

int SDLCALL SdlEventQueue::Filter(void* self, SDL_Event* event) {
  auto& queue = *static_cast<SdlEventQueue*>(self);
  if (std::this_thread::get_id() != queue.pumping_) return 1;
  switch (queue.sort_(*event)) {
    case Queued::Drop: return 0;
    case Queued::Move: return queue.Hold(*event) ? 0 : 1;
    case Queued::Keep: break;
  }
  queue.open_ = false;
  return 1;
}

bool SdlEventQueue::Hold(const SDL_Event& event) {
  if (!open_) {
    // The run's place in the queue (SDL adds it without asking the filter).
    SDL_Event mark{};
    mark.type = mark_;
    if (mark_ == 0 || SDL_PeepEvents(&mark, 1, SDL_ADDEVENT, 0, 0) != 1) return false;
    runs_.emplace_back();
    open_ = true;
  }
  Held& newest = runs_.back();
  newest.event = event;
  if (event.type == SDL_SYSWMEVENT) newest.msg = *event.syswm.msg;
  return true;
}

const SDL_Event* SdlEventQueue::Take(const Held& held) {
  current_ = held;
  if (current_.event.type == SDL_SYSWMEVENT) current_.event.syswm.msg = &current_.msg;
  return &current_.event;
}

const SDL_Event* SdlEventQueue::Next() {
  SDL_Event e;
  if (SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) != 1) return nullptr;
  if (e.type != mark_ || mark_ == 0 || runs_.empty()) {
    current_.event = e;
    return &current_.event;
  }
  const SDL_Event* oldest = Take(runs_.front());
  runs_.pop_front();
  if (runs_.empty()) open_ = false;  // it was the last run: the next move starts one
  return oldest;
}

}  // namespace tk
