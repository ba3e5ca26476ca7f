// The one thread of the process that finishes pending pipe operations: it polls
// the listening sockets, the connections still introducing themselves and the
// connections with queued reads or writes, and hands each ready socket to its end.
// Cancellations asked for while the test switch holds end at its next pass, a
// millisecond or so after the request.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <thread>

#include "platform/posix/pipe_end.h"

namespace posix {
namespace {

struct Service {
  std::mutex lock;
  std::vector<std::weak_ptr<PipeEnd>> ends;
  int wake[2] = {-1, -1};
};

void run(Service* service) {
  std::vector<pollfd> fds;
  std::vector<std::shared_ptr<PipeEnd>> owners;
  std::vector<std::shared_ptr<PipeEnd>> cancelling;
  for (;;) {
    fds.assign(1, pollfd{service->wake[0], POLLIN, 0});
    owners.assign(1, nullptr);
    cancelling.clear();
    {
      std::lock_guard<std::mutex> guard(service->lock);
      for (auto it = service->ends.begin(); it != service->ends.end();) {
        std::shared_ptr<PipeEnd> end = it->lock();
        if (end == nullptr || end->closed()) {
          it = service->ends.erase(it);
          continue;
        }
        if (end->addPolls(fds)) cancelling.push_back(end);
        owners.resize(fds.size(), end);
        ++it;
      }
    }
    if (poll(fds.data(), fds.size(), cancelling.empty() ? -1 : 1) < 0) continue;
    if (fds[0].revents != 0) {
      char drain[64];
      while (read(service->wake[0], drain, sizeof drain) > 0) {
      }
    }
    for (size_t i = 1; i < fds.size(); ++i) {
      if (fds[i].revents != 0) owners[i]->onReady(fds[i]);
    }
    for (const std::shared_ptr<PipeEnd>& end : cancelling) end->finishCancels();
    owners.clear();
    cancelling.clear();
  }
}

Service& service() {
  static Service* const instance = [] {
    Service* s = new Service;  // lives as long as the process, like its thread
    if (pipe2(s->wake, O_CLOEXEC | O_NONBLOCK) != 0) s->wake[0] = s->wake[1] = -1;
    std::thread(run, s).detach();
    return s;
  }();
  return *instance;
}

}  // namespace

void serviceAdd(const std::shared_ptr<PipeEnd>& end) {
  Service& s = service();
  {
    std::lock_guard<std::mutex> guard(s.lock);
    s.ends.push_back(end);
  }
  serviceWake();
}

void serviceWake() {
  const char byte = 0;
  // A full wake pipe already holds a wake-up: nothing is lost when this write fails.
  if (write(service().wake[1], &byte, 1) < 0) return;
}

}  // namespace posix
