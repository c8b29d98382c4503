// The natives of WindowsRegistry that read and write values. Each opens its key, does one
// registry operation and closes the key again.
#include <cstring>
#include <limits>

#include "expand_environment.h"
#include "jni_support.h"

using namespace regaccess;

namespace {

// The bytes of a Java byte array, released without copying back.
class JavaBytes {
public:
    JavaBytes(JNIEnv* env, jbyteArray array) : env_(env), array_(array) {
        if (array_ != nullptr) {
            length_ = env_->GetArrayLength(array_);
            elements_ = env_->GetByteArrayElements(array_, nullptr);
        }
    }
    ~JavaBytes() {
        if (elements_ != nullptr) {
            env_->ReleaseByteArrayElements(array_, elements_, JNI_ABORT);
        }
    }
    JavaBytes(const JavaBytes&) = delete;
    JavaBytes& operator=(const JavaBytes&) = delete;

    // False when the array's bytes could not be had (a null array has none and is fine).
    bool Ok() const { return array_ == nullptr || elements_ != nullptr; }
    const std::uint8_t* Data() const { return reinterpret_cast<const std::uint8_t*>(elements_); }
    std::uint32_t Size() const { return static_cast<std::uint32_t>(length_); }

private:
    JNIEnv* env_;
    jbyteArray array_;
    jbyte* elements_ = nullptr;
    jsize length_ = 0;
};

// Opens the key for writing and writes one value; false (after throwing message) on failure.
bool WriteValue(JNIEnv* env, jint view, jint root, jstring path, jstring name, reg::ValueType type,
                const std::uint8_t* data, std::uint64_t size, const char* message) {
    JavaText keyPath(env, path);
    JavaText valueName(env, name);
    reg::KeyPtr key;
    if (OpenKey(view, root, keyPath, reg::kKeySetValue, key) != reg::kSuccess ||
        size > std::numeric_limits<std::uint32_t>::max() ||
        ActiveRegistry().SetValue(*key, valueName.Get(), type, data, static_cast<std::uint32_t>(size)) !=
            reg::kSuccess) {
        ThrowNative(env, message);
        return false;
    }
    return true;
}

// Opens the key for reading and reads one value whole; false on failure, after throwing the
// message of the step that failed: opening the key, learning the size or reading the data.
bool ReadWholeValue(JNIEnv* env, jint view, jint root, jstring path, jstring name, ValueData* value,
                    const char* openFailure, const char* sizeFailure, const char* dataFailure) {
    JavaText keyPath(env, path);
    JavaText valueName(env, name);
    reg::KeyPtr key;
    if (OpenKey(view, root, keyPath, reg::kKeyQueryValue, key) != reg::kSuccess) {
        ThrowNative(env, openFailure);
        return false;
    }
    ReadStep step = ReadStep::Size;
    if (ReadValue(*key, valueName.Get(), value, &step) != reg::kSuccess) {
        ThrowNative(env, step == ReadStep::Size ? sizeFailure : dataFailure);
        return false;
    }
    return true;
}

const std::uint8_t* BytesOf(const std::u16string& text) {
    return text.empty() ? nullptr : reinterpret_cast<const std::uint8_t*>(text.data());
}

void WriteBytes(JNIEnv* env, jint view, jint root, jstring path, jstring name, jbyteArray data, reg::ValueType type) {
    JavaBytes bytes(env, data);
    if (!bytes.Ok()) {
        ThrowNative(env, "Cannot set value");
        return;
    }
    WriteValue(env, view, root, path, name, type, bytes.Size() == 0 ? nullptr : bytes.Data(), bytes.Size(),
               "Cannot set value");
}

// The text in a value's bytes, up to its first zero character.
const char16_t* TextIn(const ValueData& value) { return reinterpret_cast<const char16_t*>(value.bytes.data()); }

} // namespace

extern "C" {

JNIEXPORT jstring JNICALL Java_com_zeph_pinewood_toolkit_util_regaccess_WindowsRegistry_getStringValue0(
    JNIEnv* env, jclass, jint view, jint root, jstring path, jstring name, jboolean expand) {
    return Guarded(env, static_cast<jstring>(nullptr), "Cannot read value", [&]() -> jstring {
        ValueData value;
        if (!ReadWholeValue(env, view, root, path, name, &value, "Cannot read value", "Cannot read value",
                            "Cannot read value")) {
            return nullptr;
        }
        if (value.type != reg::kRegSz && value.type != reg::kRegExpandSz) {
            ThrowNative(env, "Value has wrong type");
            return nullptr;
        }
        const std::size_t units = value.bytes.size() / 2;
        if (expand && value.type == reg::kRegExpandSz) {
            std::u16string text(TextIn(value));
            text = ExpandEnvironment(text);
            return NewJavaString(env, text.c_str(), text.size());
        }
        return NewJavaString(env, TextIn(value), units);
    });
}

JNIEXPORT void JNICALL Java_com_zeph_pinewood_toolkit_util_regaccess_WindowsRegistry_setStringValue0(
    JNIEnv* env, jclass, jint view, jint root, jstring path, jstring name, jstring data, jboolean expandable) {
    GuardedVoid(env, "Could not set value", [&] {
        // The characters without a terminating zero: an empty string is a value of size 0.
        JavaText text(env, data);
        const std::u16string& characters = text.Characters();
        WriteValue(env, view, root, path, name, expandable ? reg::kRegExpandSz : reg::kRegSz, BytesOf(characters),
                   2 * static_cast<std::uint64_t>(characters.size()), "Could not set value");
    });
}

JNIEXPORT jint JNICALL Java_com_zeph_pinewood_toolkit_util_regaccess_WindowsRegistry_get32BitValue0(
    JNIEnv* env, jclass, jint view, jint root, jstring path, jstring name) {
    return Guarded(env, jint{-1}, "Cannot read key data", [&] {
        JavaText keyPath(env, path);
        JavaText valueName(env, name);
        reg::KeyPtr key;
        if (OpenKey(view, root, keyPath, reg::kKeyQueryValue, key) != reg::kSuccess) {
            ThrowNative(env, "Could not open key");
            return jint{-1};
        }
        std::uint8_t buffer[4] = {0, 0, 0, 0};
        std::uint32_t size = sizeof buffer;
        reg::ValueType type = reg::kRegNone;
        if (ActiveRegistry().QueryValue(*key, valueName.Get(), &type, buffer, &size) != reg::kSuccess) {
            ThrowNative(env, "Cannot read key data");
            return jint{-1};
        }
        if (type != reg::kRegDword && type != reg::kRegDwordBigEndian) {
            ThrowNative(env, "Value is of wrong type");
            return jint{-1};
        }
        // The four bytes as this machine reads them, for both types alike.
        std::int32_t result = 0;
        std::memcpy(&result, buffer, sizeof result);
        return static_cast<jint>(result);
    });
}

JNIEXPORT void JNICALL Java_com_zeph_pinewood_toolkit_util_regaccess_WindowsRegistry_set32BitValue0(
    JNIEnv* env, jclass, jint view, jint root, jstring path, jstring name, jint data) {
    GuardedVoid(env, "Cannot set value", [&] {
        const std::int32_t value = data;
        std::uint8_t bytes[4];
        std::memcpy(bytes, &value, sizeof bytes);
        WriteValue(env, view, root, path, name, reg::kRegDword, bytes, sizeof bytes, "Cannot set value");
    });
}

JNIEXPORT jobjectArray JNICALL Java_com_zeph_pinewood_toolkit_util_regaccess_WindowsRegistry_getMultiStringValue0(
    JNIEnv* env, jclass, jint view, jint root, jstring path, jstring name) {
    return Guarded(env, static_cast<jobjectArray>(nullptr), "Cannot allocate memory for value", [&]() -> jobjectArray {
        ValueData value;
        if (!ReadWholeValue(env, view, root, path, name, &value, "Cannot open key", "Cannot read key data",
                            "Cannot read value data")) {
            return nullptr;
        }
        if (value.type != reg::kRegMultiSz) {
            ThrowNative(env, "Value is of wrong type");
            return nullptr;
        }
        // The pieces run up to the first empty one or the end of the data; an odd last byte
        // still counts (the zero bytes after the data complete its character).
        const char16_t* text = TextIn(value);
        const std::size_t units = (static_cast<std::size_t>(value.size) + 1) / 2;
        std::vector<std::pair<std::size_t, std::size_t>> pieces; // start, length
        for (std::size_t pos = 0; pos < units;) {
            std::size_t end = pos;
            while (end < units && text[end] != u'\0') {
                ++end;
            }
            if (end == pos) {
                break;
            }
            pieces.emplace_back(pos, end - pos);
            pos = end + 1;
        }
        jclass stringClass = env->FindClass("java/lang/String");
        if (stringClass == nullptr) {
            ThrowNative(env, "Cannot find java.lang.String");
            return nullptr;
        }
        jobjectArray result = env->NewObjectArray(static_cast<jsize>(pieces.size()), stringClass, nullptr);
        env->DeleteLocalRef(stringClass);
        if (result == nullptr) {
            ThrowNative(env, "Cannot create resulting array");
            return nullptr;
        }
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            jstring piece = env->NewString(reinterpret_cast<const jchar*>(text + pieces[i].first),
                                           static_cast<jsize>(pieces[i].second));
            if (piece == nullptr) {
                ThrowNative(env, "Cannot create an array element");
                break; // the array goes back as far as it was filled
            }
            env->SetObjectArrayElement(result, static_cast<jsize>(i), piece);
            env->DeleteLocalRef(piece);
        }
        return result;
    });
}

JNIEXPORT void JNICALL Java_com_zeph_pinewood_toolkit_util_regaccess_WindowsRegistry_setMultiStringValue0(
    JNIEnv* env, jclass, jint view, jint root, jstring path, jstring name, jobjectArray values) {
    GuardedVoid(env, "Cannot set value", [&] {
        // Each string and its zero, then one more zero. A null element has no text to write and
        // would end the list where it stands, so the whole write is refused instead.
        std::u16string data;
        const jsize count = values == nullptr ? 0 : env->GetArrayLength(values);
        for (jsize i = 0; i < count; ++i) {
            jstring element = static_cast<jstring>(env->GetObjectArrayElement(values, i));
            if (element == nullptr) {
                ThrowNative(env, "Cannot set value");
                return;
            }
            JavaText piece(env, element);
            env->DeleteLocalRef(element);
            data += piece.Characters();
            data.push_back(u'\0');
        }
        data.push_back(u'\0');
        WriteValue(env, view, root, path, name, reg::kRegMultiSz, BytesOf(data),
                   2 * static_cast<std::uint64_t>(data.size()), "Cannot set value");
    });
}

JNIEXPORT jbyteArray JNICALL Java_com_zeph_pinewood_toolkit_util_regaccess_WindowsRegistry_getBinaryValue0(
    JNIEnv* env, jclass, jint view, jint root, jstring path, jstring name) {
    return Guarded(env, static_cast<jbyteArray>(nullptr), "Could not read key data", [&]() -> jbyteArray {
        ValueData value;
        if (!ReadWholeValue(env, view, root, path, name, &value, "Could not open key", "Could not read key data",
                            "Could not read key data")) {
            return nullptr;
        }
        if (value.type != reg::kRegBinary && value.type != reg::kRegNone) {
            ThrowNative(env, "Value is of wrong type");
            return nullptr;
        }
        if (value.size > static_cast<std::uint32_t>(std::numeric_limits<jsize>::max())) {
            ThrowNative(env, "Could not read key data"); // larger than any Java array
            return nullptr;
        }
        jbyteArray result = env->NewByteArray(static_cast<jsize>(value.size));
        if (result == nullptr) {
            return nullptr; // Java's OutOfMemoryError is pending
        }
        env->SetByteArrayRegion(result, 0, static_cast<jsize>(value.size),
                                reinterpret_cast<const jbyte*>(value.bytes.data()));
        return result;
    });
}

JNIEXPORT void JNICALL Java_com_zeph_pinewood_toolkit_util_regaccess_WindowsRegistry_setBinaryValue0(
    JNIEnv* env, jclass, jint view, jint root, jstring path, jstring name, jbyteArray data) {
    GuardedVoid(env, "Cannot set value", [&] { WriteBytes(env, view, root, path, name, data, reg::kRegBinary); });
}

JNIEXPORT void JNICALL Java_com_zeph_pinewood_toolkit_util_regaccess_WindowsRegistry_setNoneValue0(
    JNIEnv* env, jclass, jint view, jint root, jstring path, jstring name, jbyteArray data) {
    GuardedVoid(env, "Cannot set value", [&] { WriteBytes(env, view, root, path, name, data, reg::kRegNone); });
}

} // extern "C"
