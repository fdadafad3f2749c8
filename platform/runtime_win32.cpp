// The dialog programs catch no exceptions, so the C++ runtime's throwing
// paths end the process at once, as an uncaught exception would. Defined
// here, they keep the runtime's throw helpers, exception classes, unwinder,
// threads library, name demangler and message printer out of the programs.
// Linked into the programs only; the test programs keep the real runtime.
#include <cstdlib>
#include <new>
#include <string>

namespace __gnu_cxx {

void __verbose_terminate_handler() {
    std::abort();
}

} // namespace __gnu_cxx

// Every helper of the runtime's own file of them: one left out would bring
// that file back, and with it a duplicate definition of the others.
namespace std {

void __throw_bad_exception() {
    abort();
}
void __throw_bad_alloc() {
    abort();
}
void __throw_bad_array_new_length() {
    abort();
}
void __throw_bad_cast() {
    abort();
}
void __throw_bad_typeid() {
    abort();
}
void __throw_logic_error(const char*) {
    abort();
}
void __throw_domain_error(const char*) {
    abort();
}
void __throw_invalid_argument(const char*) {
    abort();
}
void __throw_length_error(const char*) {
    abort();
}
void __throw_out_of_range(const char*) {
    abort();
}
void __throw_out_of_range_fmt(const char*, ...) {
    abort();
}
void __throw_runtime_error(const char*) {
    abort();
}
void __throw_range_error(const char*) {
    abort();
}
void __throw_overflow_error(const char*) {
    abort();
}
void __throw_underflow_error(const char*) {
    abort();
}

} // namespace std

// The replaceable allocation functions: out of memory ends the process
// instead of throwing std::bad_alloc.
void* operator new(std::size_t size) {
    if (void* block = std::malloc(size != 0 ? size : 1))
        return block;
    std::abort();
}

void* operator new[](std::size_t size) {
    return operator new(size);
}

void operator delete(void* block) noexcept {
    std::free(block);
}

void operator delete[](void* block) noexcept {
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}

void operator delete[](void* block, std::size_t) noexcept {
    std::free(block);
}

// The string classes' members compiled here, without exception handling:
// the runtime's own copies handle exceptions and so bring its unwinder.
template class std::basic_string<char>;
template class std::basic_string<wchar_t>;
