#pragma once
// A stand-in JVM for test hosts that load our JNI libraries where no JVM exists (Windows builds
// run under Wine). It offers the JNI functions the libraries use, on objects of its own:
// classes, strings, primitive and object arrays, boxes, and static methods that the host
// defines in C++. Every other slot of the function table traps: it names its slot index on
// standard error and ends the process with status 99, so a library that starts using another
// JNI function shows at once what is missing.
#include <jni.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace fakejni {

// A static method defined by the host: receives the arguments as the signature lists them.
using StaticMethod = std::function<jvalue(const std::vector<jvalue>& arguments)>;

struct PendingException {
    std::string className;
    std::string message;
};

// The process-wide fake JVM. Objects live until the process ends (references are not counted).
class Jvm {
public:
    static Jvm& Instance();

    // The environment for any thread (the fake keeps no per-thread state in it).
    JNIEnv* Env();

    // Defines a static method of a class; the class exists from then on.
    void DefineStatic(const std::string& className, const std::string& name, const std::string& signature,
                      StaticMethod method);
    // Makes FindClass fail for a name (as for a class missing from the class path).
    void HideClass(const std::string& className);

    // Objects for the host.
    jstring NewString(const std::u16string& text);
    std::u16string Text(jstring text);
    // A primitive array of element signature ('B', 'S', 'I', 'J', 'C', 'Z', 'F', 'D') with the
    // given raw element bytes (count = bytes / element size).
    jarray NewArray(char element, const void* bytes, size_t count);
    std::vector<uint8_t> ArrayBytes(jobject array);
    char ArrayElement(jobject array); // 0 when not a primitive array
    jobjectArray NewObjectArray(const std::string& elementClass, const std::vector<jobject>& elements);
    std::vector<jobject> Elements(jobjectArray array);
    // A box ("java/lang/Integer" and the like) holding value.
    jobject Box(char type, jvalue value);
    // The class name of an object (array classes as "[B" and so on).
    std::string ClassOf(jobject object);
    jvalue Unbox(jobject box);

    // The exception the calling thread has pending, taken away.
    std::optional<PendingException> TakeException();

    // How many times each JNI function was called, by name (for tests that count, say, frees).
    long Calls(const std::string& function);

private:
    Jvm();
};

} // namespace fakejni
