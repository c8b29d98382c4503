#pragma once
// What every native of WindowsRegistry shares: Java strings copied for the registry, strings
// and arrays built for Java, the NativeException, and opening the key a call names.
#include <jni.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace regaccess {

namespace reg = platform::registry;

// A Java string copied as UTF-16. A null Java string stays "no string": Get() is null, which
// the registry reads as the key itself or the default value. The registry sees the text up to
// its first zero character, as it would see a zero-terminated copy.
class JavaText {
public:
    JavaText(JNIEnv* env, jstring text);
    bool IsNull() const { return null_; }
    const char16_t* Get() const { return null_ ? nullptr : text_.c_str(); }
    // Every character of the Java string, zeros included.
    const std::u16string& Characters() const { return text_; }

private:
    bool null_;
    std::u16string text_;
};

// Throws NativeException with message; when the class cannot be found nothing is thrown. An
// exception already pending (a failed allocation) gives way to this one.
void ThrowNative(JNIEnv* env, const char* message);

// A Java string of the UTF-16 text up to its first zero (or the end); null when it cannot be
// made, with Java's exception pending.
jstring NewJavaString(JNIEnv* env, const char16_t* text, std::size_t maxLength);

// The view flag for the Java side's view number: 1 the 32-bit view, 2 the 64-bit view.
reg::AccessMask ViewFlag(jint view);

// Opens root\path with access plus the view's flag; a root number out of range opens nothing.
reg::Status OpenKey(jint view, jint root, const JavaText& path, reg::AccessMask access, reg::KeyPtr& key);

// The registry the natives use.
reg::Registry& ActiveRegistry();

// Reads a whole value: *type and *data (plus eight zero bytes after it, so that text in it is
// always terminated). The value is asked for its size, then read; when it grew in between
// (another process wrote it), it is asked again. *size receives the data's size.
struct ValueData {
    reg::ValueType type = reg::kRegNone;
    std::uint32_t size = 0;
    std::vector<std::uint8_t> bytes; // size + 8 bytes
};
enum class ReadStep { Size, Data };
reg::Status ReadValue(const reg::OpenKey& key, const char16_t* name, ValueData* value, ReadStep* failedStep);

} // namespace regaccess

namespace regaccess {

// Runs a native's body; a C++ exception (only a failed allocation can occur) must not reach the
// JVM, so it becomes the NativeException with the method's own failure message.
template <typename Result, typename Body>
Result Guarded(JNIEnv* env, Result failure, const char* message, Body&& body) {
    try {
        return body();
    } catch (...) {
        ThrowNative(env, message);
        return failure;
    }
}

template <typename Body>
void GuardedVoid(JNIEnv* env, const char* message, Body&& body) {
    try {
        body();
    } catch (...) {
        ThrowNative(env, message);
    }
}

} // namespace regaccess
