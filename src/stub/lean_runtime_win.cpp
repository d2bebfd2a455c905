// The launcher's replacements for pieces of the C++ runtime that every
// package would otherwise carry without ever needing them.
#include <cstdlib>
#include <exception>
#include <new>

namespace {

// What the runtime raises for a length, range or logic error, without the
// reference-counted string and the standard error classes it brings along:
// still a standard error, so the handlers that report one see its text.
class ERuntimeFault : public std::exception {
public:
    explicit ERuntimeFault(const char* what) : what_(what) {}
    const char* what() const noexcept override { return what_; }

private:
    const char* what_;
};

}  // namespace

namespace std {

void __throw_bad_alloc()
{
    throw std::bad_alloc();
}

void __throw_bad_array_new_length()
{
    throw std::bad_array_new_length();
}

void __throw_length_error(const char* what)
{
    throw ERuntimeFault(what);
}

void __throw_logic_error(const char* what)
{
    throw ERuntimeFault(what);
}

// The format's arguments are dropped: the text names the failed check.
void __throw_out_of_range_fmt(const char* format, ...)
{
    throw ERuntimeFault(format);
}

void __throw_bad_function_call()
{
    throw ERuntimeFault("bad_function_call");
}

}  // namespace std

// The runtime's default handler for an uncaught exception prints the
// demangled type name to a console the launcher does not have, and brings
// the demangler (about 50 KB) into every package. Ending at once is all it
// would achieve.
namespace __gnu_cxx {
void __verbose_terminate_handler()
{
    std::abort();
}
}  // namespace __gnu_cxx
