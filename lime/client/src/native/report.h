#pragma once
// How the library reports what went wrong: fixed messages on standard error, and the fatal
// end of the process with status 1.

// Prints "message (error)(system text)\n" to standard error.
void ReportSystemError(const char* message, int error);

// Prints "Precondition failed: expression\n" to standard error. The caller then stops the
// operation.
void ReportPrecondition(const char* expression);

// Flushes both standard streams and ends the process with status 1 at once. Static
// destructors do not run: other threads (in a JVM, many) may still be using them.
[[noreturn]] void EndProcessWithFailure();

// Checks a precondition of an operation; on failure reports the expression and returns the
// given value from the enclosing function.
#define SUBLIME_REQUIRE(condition, ...)             \
    do {                                            \
        if (!(condition)) {                         \
            ReportPrecondition(#condition);         \
            return __VA_ARGS__;                     \
        }                                           \
    } while (0)
