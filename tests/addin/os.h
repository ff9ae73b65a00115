// What the test host needs of the system, with no C or C++ library behind it on Windows: os_posix.cpp and
// os_win32.cpp. Paths and texts are UTF-8.
#ifndef DVK_TEST_ADDIN_OS_H
#define DVK_TEST_ADDIN_OS_H

#include <stddef.h>
#include <stdint.h>

namespace os {

void* alloc(size_t size); // never null: the host stops when out of memory
void release(void* p);
void write_out(const char* text, size_t size);
// Up to `room` bytes of standard input; 0 at its end.
size_t read_in(char* buffer, size_t room);
// The whole file, NUL-terminated, in a block of alloc(); null if it cannot be read.
char* read_file(const char* path, size_t* size);
uint64_t now_ms();
void sleep_ms(unsigned ms);
uintptr_t thread_id();

struct Lock;
Lock* lock_new();
void lock(Lock* l);
void unlock(Lock* l);

void* load_library(const char* path); // null on failure
void* symbol(void* library, const char* name);

[[noreturn]] void exit(int status);

} // namespace os

// The host's own entry, called by each system's main.
int host_main();

#endif
