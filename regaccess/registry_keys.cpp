// The natives of WindowsRegistry that work on keys: access checks, counts, names, creation
// and deletion. Each opens its key, does one registry operation and closes the key again.
#include "jni_support.h"

using namespace regaccess;

namespace {

// Buffer for one enumerated name: the longest value name (16,383 characters) and its
// terminator, so that every name the registry can hold can also be listed.
constexpr std::uint32_t kNameBufferLength = reg::kMaxValueNameLength + 1;

jboolean BooleanOf(bool value) { return value ? JNI_TRUE : JNI_FALSE; }

// Reads the key's counts with the messages the callers share.
bool ReadCounts(JNIEnv* env, jint view, jint root, jstring path, std::uint32_t* subKeys, std::uint32_t* values) {
    JavaText keyPath(env, path);
    reg::KeyPtr key;
    if (OpenKey(view, root, keyPath, reg::kKeyRead, key) != reg::kSuccess) {
        ThrowNative(env, "Cannot open key");
        return false;
    }
    if (ActiveRegistry().QueryInfo(*key, subKeys, values) != reg::kSuccess) {
        ThrowNative(env, "Cannot read key data");
        return false;
    }
    return true;
}

// Lists subkey or value names into a new String array of the counted size.
jobjectArray ListNames(JNIEnv* env, jint view, jint root, jstring path, bool values) {
    JavaText keyPath(env, path);
    reg::KeyPtr key;
    if (OpenKey(view, root, keyPath, values ? reg::kKeyQueryValue : reg::kKeyRead, key) != reg::kSuccess) {
        ThrowNative(env, "Cannot open key");
        return nullptr;
    }
    std::uint32_t count = 0;
    const reg::Status info =
        values ? ActiveRegistry().QueryInfo(*key, nullptr, &count) : ActiveRegistry().QueryInfo(*key, &count, nullptr);
    if (info != reg::kSuccess) {
        ThrowNative(env, "Cannot read key data");
        return nullptr;
    }
    jclass stringClass = env->FindClass("java/lang/String");
    if (stringClass == nullptr) {
        return nullptr;
    }
    jobjectArray names = env->NewObjectArray(static_cast<jsize>(count), stringClass, nullptr);
    env->DeleteLocalRef(stringClass);
    if (names == nullptr) {
        return nullptr;
    }
    std::u16string buffer(kNameBufferLength, u'\0');
    // Names added by another process after the count are left out: the array has its size.
    for (std::uint32_t index = 0; index < count; ++index) {
        std::uint32_t length = kNameBufferLength;
        const reg::Status status = values ? ActiveRegistry().EnumValue(*key, index, buffer.data(), &length)
                                          : ActiveRegistry().EnumKey(*key, index, buffer.data(), &length);
        if (status == reg::kErrorNoMoreItems) {
            break;
        }
        if (status != reg::kSuccess) {
            ThrowNative(env, values ? "Cannot get value names" : "Cannot get key names");
            env->DeleteLocalRef(names);
            return nullptr;
        }
        jstring name = NewJavaString(env, buffer.data(), length);
        if (name == nullptr) {
            env->DeleteLocalRef(names);
            return nullptr;
        }
        env->SetObjectArrayElement(names, static_cast<jsize>(index), name);
        env->DeleteLocalRef(name);
    }
    return names;
}

} // namespace

extern "C" {

JNIEXPORT jboolean JNICALL Java_com_zeph_pinewood_toolkit_util_regaccess_WindowsRegistry_checkKeyAccess0(
    JNIEnv* env, jclass, jint view, jint root, jstring path, jboolean write) {
    // This check never throws: a key that cannot be opened, for whatever reason, is just false.
    try {
        JavaText keyPath(env, path);
        reg::KeyPtr key;
        const reg::AccessMask access = write ? reg::kKeyAllAccess : reg::kKeyRead;
        return BooleanOf(OpenKey(view, root, keyPath, access, key) == reg::kSuccess);
    } catch (...) {
        return JNI_FALSE;
    }
}

JNIEXPORT jboolean JNICALL Java_com_zeph_pinewood_toolkit_util_regaccess_WindowsRegistry_valueExists0(
    JNIEnv* env, jclass, jint view, jint root, jstring path, jstring name) {
    return Guarded(env, jboolean{JNI_FALSE}, "Cannot open key", [&] {
        JavaText keyPath(env, path);
        JavaText valueName(env, name);
        reg::KeyPtr key;
        if (OpenKey(view, root, keyPath, reg::kKeyQueryValue, key) != reg::kSuccess) {
            ThrowNative(env, "Cannot open key");
            return jboolean{JNI_FALSE};
        }
        return BooleanOf(ActiveRegistry().QueryValue(*key, valueName.Get(), nullptr, nullptr, nullptr) ==
                         reg::kSuccess);
    });
}

JNIEXPORT jboolean JNICALL Java_com_zeph_pinewood_toolkit_util_regaccess_WindowsRegistry_keyEmpty0(
    JNIEnv* env, jclass, jint view, jint root, jstring path) {
    return Guarded(env, jboolean{JNI_FALSE}, "Cannot read key data", [&] {
        std::uint32_t subKeys = 0;
        std::uint32_t values = 0;
        if (!ReadCounts(env, view, root, path, &subKeys, &values)) {
            return jboolean{JNI_FALSE};
        }
        return BooleanOf(subKeys == 0 && values == 0);
    });
}

JNIEXPORT jint JNICALL Java_com_zeph_pinewood_toolkit_util_regaccess_WindowsRegistry_countSubKeys0(
    JNIEnv* env, jclass, jint view, jint root, jstring path) {
    return Guarded(env, jint{0}, "Cannot read key data", [&] {
        std::uint32_t subKeys = 0;
        return ReadCounts(env, view, root, path, &subKeys, nullptr) ? static_cast<jint>(subKeys) : 0;
    });
}

JNIEXPORT jint JNICALL Java_com_zeph_pinewood_toolkit_util_regaccess_WindowsRegistry_countValues0(
    JNIEnv* env, jclass, jint view, jint root, jstring path) {
    return Guarded(env, jint{0}, "Cannot read key data", [&] {
        std::uint32_t values = 0;
        return ReadCounts(env, view, root, path, nullptr, &values) ? static_cast<jint>(values) : 0;
    });
}

JNIEXPORT jobjectArray JNICALL Java_com_zeph_pinewood_toolkit_util_regaccess_WindowsRegistry_getSubkeyNames0(
    JNIEnv* env, jclass, jint view, jint root, jstring path) {
    return Guarded(env, static_cast<jobjectArray>(nullptr), "Cannot get key names",
                   [&] { return ListNames(env, view, root, path, false); });
}

JNIEXPORT jobjectArray JNICALL Java_com_zeph_pinewood_toolkit_util_regaccess_WindowsRegistry_getValueNames0(
    JNIEnv* env, jclass, jint view, jint root, jstring path) {
    return Guarded(env, static_cast<jobjectArray>(nullptr), "Cannot get value names",
                   [&] { return ListNames(env, view, root, path, true); });
}

JNIEXPORT jint JNICALL Java_com_zeph_pinewood_toolkit_util_regaccess_WindowsRegistry_getValueType0(
    JNIEnv* env, jclass, jint view, jint root, jstring path, jstring name) {
    return Guarded(env, jint{0}, "Cannot read value", [&] {
        JavaText keyPath(env, path);
        JavaText valueName(env, name);
        reg::KeyPtr key;
        if (OpenKey(view, root, keyPath, reg::kKeyQueryValue, key) != reg::kSuccess) {
            ThrowNative(env, "Cannot open key");
            return jint{0};
        }
        reg::ValueType type = reg::kRegNone;
        if (ActiveRegistry().QueryValue(*key, valueName.Get(), &type, nullptr, nullptr) != reg::kSuccess) {
            ThrowNative(env, "Cannot read value");
            return jint{0};
        }
        return static_cast<jint>(type);
    });
}

JNIEXPORT void JNICALL Java_com_zeph_pinewood_toolkit_util_regaccess_WindowsRegistry_createKey0(
    JNIEnv* env, jclass, jint view, jint root, jstring path, jstring name) {
    GuardedVoid(env, "Could not create a new key", [&] {
        JavaText keyPath(env, path);
        JavaText keyName(env, name);
        reg::KeyPtr parent;
        if (OpenKey(view, root, keyPath, reg::kKeyCreateSubKey, parent) != reg::kSuccess) {
            ThrowNative(env, "Could not open the parent key");
            return;
        }
        reg::KeyPtr created;
        const reg::Status status = ActiveRegistry().Create(*parent, keyName.Get(),
                                                           reg::kKeyRead | reg::kKeyWrite | ViewFlag(view), created,
                                                           nullptr);
        if (status == reg::kErrorAccessDenied) {
            ThrowNative(env, "Could not create a new key (access denied)");
        } else if (status != reg::kSuccess) {
            ThrowNative(env, "Could not create a new key");
        }
    });
}

JNIEXPORT void JNICALL Java_com_zeph_pinewood_toolkit_util_regaccess_WindowsRegistry_deleteKey0(
    JNIEnv* env, jclass, jint view, jint root, jstring path, jstring name) {
    GuardedVoid(env, "Could not delete key", [&] {
        JavaText keyPath(env, path);
        JavaText keyName(env, name);
        reg::KeyPtr parent;
        if (OpenKey(view, root, keyPath, reg::kKeyRead | reg::kKeyWrite, parent) != reg::kSuccess) {
            ThrowNative(env, "Could not open the parent key");
            return;
        }
        reg::Status status;
        const reg::AccessMask flag = ViewFlag(view);
        if (flag != 0) {
            // Deleting from a chosen view needs the view-aware call, which old systems lack.
            if (!ActiveRegistry().HasDeleteInView()) {
                ThrowNative(env, "Cannot load function RegDeleteKeyExW");
                return;
            }
            status = ActiveRegistry().DeleteInView(*parent, keyName.Get(), flag);
        } else {
            status = ActiveRegistry().Delete(*parent, keyName.Get());
        }
        if (status != reg::kSuccess) {
            ThrowNative(env, "Could not delete key");
        }
    });
}

JNIEXPORT void JNICALL Java_com_zeph_pinewood_toolkit_util_regaccess_WindowsRegistry_deleteValue0(
    JNIEnv* env, jclass, jint view, jint root, jstring path, jstring name) {
    GuardedVoid(env, "Cannot delete value", [&] {
        JavaText keyPath(env, path);
        JavaText valueName(env, name);
        reg::KeyPtr key;
        if (OpenKey(view, root, keyPath, reg::kKeySetValue, key) != reg::kSuccess) {
            ThrowNative(env, "Canont open key"); // spelled as the Java side knows it
            return;
        }
        if (ActiveRegistry().DeleteValue(*key, valueName.Get()) != reg::kSuccess) {
            ThrowNative(env, "Cannot delete value");
        }
    });
}

JNIEXPORT jboolean JNICALL Java_com_zeph_pinewood_toolkit_util_regaccess_WindowsRegistry_IsWow64Process0(JNIEnv*,
                                                                                                          jclass) {
    return BooleanOf(reg::IsWow64Process());
}

} // extern "C"
