#include "jni_support.h"

#include <algorithm>
#include <new>

namespace regaccess {
namespace {

constexpr const char* kNativeExceptionClass = "com/zeph/pinewood/toolkit/util/regaccess/NativeException";
// How often a value that keeps changing size between its two reads is asked again.
constexpr int kReadAttempts = 8;

} // namespace

JavaText::JavaText(JNIEnv* env, jstring text) : null_(text == nullptr) {
    if (null_) {
        return;
    }
    const jsize length = env->GetStringLength(text);
    text_.resize(static_cast<std::size_t>(length));
    static_assert(sizeof(jchar) == sizeof(char16_t));
    env->GetStringRegion(text, 0, length, reinterpret_cast<jchar*>(text_.data()));
}

void ThrowNative(JNIEnv* env, const char* message) {
    if (env->ExceptionCheck()) {
        env->ExceptionClear();
    }
    jclass type = env->FindClass(kNativeExceptionClass);
    if (type == nullptr) {
        // Without the class nothing is thrown: the caller sees only the failure value.
        env->ExceptionClear();
        return;
    }
    env->ThrowNew(type, message);
    env->DeleteLocalRef(type);
}

jstring NewJavaString(JNIEnv* env, const char16_t* text, std::size_t maxLength) {
    std::size_t length = 0;
    while (length < maxLength && text[length] != u'\0') {
        ++length;
    }
    return env->NewString(reinterpret_cast<const jchar*>(text), static_cast<jsize>(length));
}

reg::AccessMask ViewFlag(jint view) {
    switch (view) {
    case 1:
        return reg::kKeyWow64_32Key;
    case 2:
        return reg::kKeyWow64_64Key;
    default:
        return 0;
    }
}

reg::Status OpenKey(jint view, jint root, const JavaText& path, reg::AccessMask access, reg::KeyPtr& key) {
    if (root < 0 || root >= reg::kRootCount) {
        return reg::kErrorInvalidHandle;
    }
    return ActiveRegistry().Open(static_cast<reg::Root>(root), path.Get(), access | ViewFlag(view), key);
}

reg::Registry& ActiveRegistry() { return reg::SystemRegistry(); }

reg::Status ReadValue(const reg::OpenKey& key, const char16_t* name, ValueData* value, ReadStep* failedStep) {
    reg::Status status = reg::kErrorMoreData;
    for (int attempt = 0; attempt < kReadAttempts && status == reg::kErrorMoreData; ++attempt) {
        std::uint32_t size = 0;
        status = ActiveRegistry().QueryValue(key, name, &value->type, nullptr, &size);
        if (status != reg::kSuccess) {
            *failedStep = ReadStep::Size;
            return status;
        }
        value->bytes.assign(static_cast<std::size_t>(size) + 8, 0);
        value->size = size;
        status = ActiveRegistry().QueryValue(key, name, &value->type, value->bytes.data(), &value->size);
        if (status == reg::kSuccess) {
            // The value may have shrunk since its size was read: clear what is left over.
            std::fill(value->bytes.begin() + value->size, value->bytes.end(), 0);
        }
    }
    if (status != reg::kSuccess) {
        *failedStep = ReadStep::Data;
    }
    return status;
}

} // namespace regaccess
