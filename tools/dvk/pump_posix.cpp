#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "input_source.h"

bool InputPump::waitAndFeed(int timeoutMs, Round& round) {
    struct pollfd fds[2] = {{source_.fd(), POLLIN, 0}, {keyFd_, POLLIN, 0}};
    const int ready = ::poll(fds, keyFd_ >= 0 ? 2 : 1, timeoutMs);
    bool end = ready < 0 && errno != EINTR;
    if (ready > 0 && !stopRequested()) {
        if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) && !source_.feed(link_, decoder_))
            end = true;
        round.key = source_.takeKey();
        if (keyFd_ >= 0 && (fds[1].revents & (POLLIN | POLLHUP))) {
            char typed[64];
            const ssize_t n = read(keyFd_, typed, sizeof typed);
            if (n == 1) round.key = typed[0];
            if (n <= 0) keyFd_ = -1;
        }
    }
    return end;
}
