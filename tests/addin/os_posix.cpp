#include "os.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace os {

void* alloc(size_t size) {
    void* p = malloc(size == 0 ? 1 : size);
    if (p == nullptr) abort();
    return p;
}

void release(void* p) { free(p); }

void write_out(const char* text, size_t size) {
    while (size > 0) {
        const ssize_t n = write(1, text, size);
        if (n <= 0) abort();
        text += n;
        size -= static_cast<size_t>(n);
    }
}

size_t read_in(char* buffer, size_t room) {
    const ssize_t n = read(0, buffer, room);
    return n > 0 ? static_cast<size_t>(n) : 0;
}

char* read_file(const char* path, size_t* size) {
    const int fd = open(path, O_RDONLY);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0) {
        if (fd >= 0) close(fd);
        return nullptr;
    }
    const size_t length = static_cast<size_t>(st.st_size);
    char* text = static_cast<char*>(alloc(length + 1));
    size_t got = 0;
    while (got < length) {
        const ssize_t n = read(fd, text + got, length - got);
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    close(fd);
    text[got] = '\0';
    *size = got;
    return text;
}

uint64_t now_ms() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<uint64_t>(t.tv_sec) * 1000u + static_cast<uint64_t>(t.tv_nsec) / 1000000u;
}

void sleep_ms(unsigned ms) {
    timespec t{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    nanosleep(&t, nullptr);
}

uintptr_t thread_id() { return static_cast<uintptr_t>(pthread_self()); }

struct Lock {
    pthread_mutex_t mutex;
};

Lock* lock_new() {
    Lock* l = static_cast<Lock*>(alloc(sizeof(Lock)));
    pthread_mutex_init(&l->mutex, nullptr);
    return l;
}

void lock(Lock* l) { pthread_mutex_lock(&l->mutex); }
void unlock(Lock* l) { pthread_mutex_unlock(&l->mutex); }

void* load_library(const char* path) {
    void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) fprintf(stderr, "%s\n", dlerror());
    return library;
}

void* symbol(void* library, const char* name) { return dlsym(library, name); }

void exit(int status) { ::exit(status); }

} // namespace os

int main() { os::exit(host_main()); }
