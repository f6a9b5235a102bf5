// The setup never throws: the portable logic reports failures as values and
// catches only std::bad_alloc around its large buffers. The C++ library's other
// throw points (a string longer than max_size, a bad cast) therefore end the
// process here instead of raising an exception, so that the library's
// exception classes, its verbose terminate handler and its symbol demangler
// stay out of the executable. Allocation failures still raise std::bad_alloc.
// Linked into StashwickSetup.exe only; this file is built with exceptions.
#include <cstdlib>
#include <new>

namespace {
[[noreturn]] void Fatal() {
    std::abort();
}
}  // namespace

namespace std {
[[noreturn]] void __throw_bad_cast() {
    Fatal();
}
[[noreturn]] void __throw_bad_alloc() {
    throw std::bad_alloc();
}
[[noreturn]] void __throw_bad_typeid() {
    Fatal();
}
[[noreturn]] void __throw_logic_error(const char*) {
    Fatal();
}
[[noreturn]] void __throw_range_error(const char*) {
    Fatal();
}
[[noreturn]] void __throw_domain_error(const char*) {
    Fatal();
}
[[noreturn]] void __throw_length_error(const char*) {
    Fatal();
}
[[noreturn]] void __throw_out_of_range(const char*) {
    Fatal();
}
[[noreturn]] void __throw_bad_exception() {
    Fatal();
}
[[noreturn]] void __throw_runtime_error(const char*) {
    Fatal();
}
[[noreturn]] void __throw_overflow_error(const char*) {
    Fatal();
}
[[noreturn]] void __throw_underflow_error(const char*) {
    Fatal();
}
[[noreturn]] void __throw_invalid_argument(const char*) {
    Fatal();
}
[[noreturn]] void __throw_out_of_range_fmt(const char*, ...) {
    Fatal();
}
[[noreturn]] void __throw_bad_array_new_length() {
    throw std::bad_alloc();
}
}  // namespace std

namespace __gnu_cxx {
void __verbose_terminate_handler() {
    Fatal();
}
}  // namespace __gnu_cxx

// Function-local statics are initialised on the one GUI thread, so their
// guards need no lock (and the thread library stays out of the executable).
extern "C" {
int __cxa_guard_acquire(long long* guard) {
    return *reinterpret_cast<char*>(guard) == 0 ? 1 : 0;
}
void __cxa_guard_release(long long* guard) {
    *reinterpret_cast<char*>(guard) = 1;
}
void __cxa_guard_abort(long long*) {}
}
