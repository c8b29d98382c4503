// The JNI front end for class com.zeph.plex.lime.LimeFunction: the same lookup and calls as
// the native front end, with arguments and results as Java objects (boxes and primitive
// arrays).
#include <jni.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bytes.h"
#include "limecall.h"
#include "limeclient.h"
#include "limelookup.h"
#include "limetypes.h"
#include "platform/thread_id.h"
#include "report.h"
#include "sublime.h"

namespace lime {
namespace {

// Classes, unboxing methods and constructors of the eight boxes, indexed by type code 1..8.
struct BoxingCache {
    jclass classes[9] = {};
    jclass arrayClasses[9] = {}; // "[B" and so on, for checking array arguments
    jmethodID unbox[9] = {};
    jmethodID construct[9] = {};
    std::atomic<bool> filled{false};
    std::mutex filling; // the first lookups of several threads fill it once
};

BoxingCache& Boxes() {
    static BoxingCache cache;
    return cache;
}

struct BoxInfo {
    int32_t code;
    const char* className;
    const char* unboxName;
    const char* unboxSignature;
    const char* constructorSignature;
};

// In the order the cache is filled; the double constructor is the last entry.
constexpr BoxInfo kBoxes[] = {
    {kBoolean, "java/lang/Boolean", "booleanValue", "()Z", "(Z)V"},
    {kByte, "java/lang/Byte", "byteValue", "()B", "(B)V"},
    {kChar, "java/lang/Character", "charValue", "()C", "(C)V"},
    {kShort, "java/lang/Short", "shortValue", "()S", "(S)V"},
    {kInt, "java/lang/Integer", "intValue", "()I", "(I)V"},
    {kLong, "java/lang/Long", "longValue", "()J", "(J)V"},
    {kFloat, "java/lang/Float", "floatValue", "()F", "(F)V"},
    {kDouble, "java/lang/Double", "doubleValue", "()D", "(D)V"},
};

// The JNI name of the primitive array class for an array type code.
const char* ArrayClassName(int32_t code) {
    switch (ElementType(code)) {
    case kByte: return "[B";
    case kShort: return "[S";
    case kInt: return "[I";
    case kLong: return "[J";
    case kChar: return "[C";
    case kBoolean: return "[Z";
    case kFloat: return "[F";
    case kDouble: return "[D";
    default: return nullptr;
    }
}

void FillBoxingCache(JNIEnv* env) {
    BoxingCache& cache = Boxes();
    if (cache.filled.load()) {
        return;
    }
    std::lock_guard<std::mutex> lock(cache.filling);
    if (cache.filled.load()) {
        return;
    }
    for (const BoxInfo& box : kBoxes) {
        jclass local = env->FindClass(box.className);
        if (local != nullptr) {
            cache.classes[box.code] = static_cast<jclass>(env->NewGlobalRef(local));
            env->DeleteLocalRef(local);
        }
        if (cache.classes[box.code] != nullptr) {
            cache.unbox[box.code] = env->GetMethodID(cache.classes[box.code], box.unboxName, box.unboxSignature);
            cache.construct[box.code] = env->GetMethodID(cache.classes[box.code], "<init>", box.constructorSignature);
        }
        if (cache.unbox[box.code] == nullptr || cache.construct[box.code] == nullptr) {
            Fatal("SUBLIME: Could not find class %s or its methods\n", box.className);
        }
        const char* arrayName = ArrayClassName(box.code | kArrayFlag);
        jclass array = env->FindClass(arrayName);
        if (array == nullptr) {
            Fatal("SUBLIME: Could not find class %s\n", arrayName);
        }
        cache.arrayClasses[box.code] = static_cast<jclass>(env->NewGlobalRef(array));
        env->DeleteLocalRef(array);
    }
    cache.filled = true;
}

// Java arrays keep booleans in 1 byte and floats in 4; the wire (and native callers) use 4
// and 8. Returns the wire form of element k of a pinned Java array.
Scalar JavaElement(int32_t code, const void* elements, int32_t k) {
    Scalar value;
    switch (ElementType(code)) {
    case kByte: value.i = static_cast<const jbyte*>(elements)[k]; break;
    case kShort: value.i = static_cast<const jshort*>(elements)[k]; break;
    case kInt: value.i = static_cast<const jint*>(elements)[k]; break;
    case kLong: value.i = static_cast<const jlong*>(elements)[k]; break;
    case kChar: value.i = static_cast<const jchar*>(elements)[k]; break;
    case kBoolean: value.i = static_cast<const jboolean*>(elements)[k] ? 1 : 0; break;
    case kFloat: value.d = static_cast<const jfloat*>(elements)[k]; break;
    case kDouble: value.d = static_cast<const jdouble*>(elements)[k]; break;
    default: break;
    }
    return value;
}

void EncodeJavaArray(int32_t code, const void* elements, int32_t count, uint8_t* out) {
    const int size = ElementSize(code);
    if (size == 1) {
        std::memcpy(out, elements, static_cast<size_t>(count));
        return;
    }
    for (int32_t k = 0; k < count; ++k, out += size) {
        Scalar value = JavaElement(code, elements, k);
        if (ElementType(code) == kFloat || ElementType(code) == kDouble) {
            StoreInt64(out, DoubleBits(value.d));
        } else if (size == 2) {
            StoreInt16(out, static_cast<int16_t>(value.i));
        } else if (size == 4) {
            StoreInt32(out, static_cast<int32_t>(value.i));
        } else {
            StoreInt64(out, value.i);
        }
    }
}

Scalar Unbox(JNIEnv* env, int32_t code, jobject box) {
    BoxingCache& cache = Boxes();
    Scalar value;
    switch (code) {
    case kByte: value.i = env->CallByteMethod(box, cache.unbox[kByte]); break;
    case kShort: value.i = env->CallShortMethod(box, cache.unbox[kShort]); break;
    case kInt: value.i = env->CallIntMethod(box, cache.unbox[kInt]); break;
    case kChar: value.i = env->CallCharMethod(box, cache.unbox[kChar]); break;
    case kBoolean: value.i = env->CallBooleanMethod(box, cache.unbox[kBoolean]) ? 1 : 0; break;
    case kLong: value.i = env->CallLongMethod(box, cache.unbox[kLong]); break;
    default: break;
    }
    return value;
}

jobject BoxScalar(JNIEnv* env, int32_t code, const Scalar& value) {
    BoxingCache& cache = Boxes();
    jclass cls = cache.classes[code];
    jmethodID init = cache.construct[code];
    switch (code) {
    case kByte: return env->NewObject(cls, init, static_cast<jbyte>(value.i));
    case kShort: return env->NewObject(cls, init, static_cast<jshort>(value.i));
    case kInt: return env->NewObject(cls, init, static_cast<jint>(value.i));
    case kLong: return env->NewObject(cls, init, static_cast<jlong>(value.i));
    case kChar: return env->NewObject(cls, init, static_cast<jchar>(value.i));
    case kBoolean: return env->NewObject(cls, init, static_cast<jboolean>((value.i & 0xff) != 0));
    case kFloat: return env->NewObject(cls, init, static_cast<jfloat>(value.d));
    case kDouble: return env->NewObject(cls, init, static_cast<jdouble>(value.d));
    default: return nullptr;
    }
}

// A Java primitive array holding count decoded native elements (narrowing booleans and floats).
jobject MakeJavaArray(JNIEnv* env, int32_t code, const void* elements, int32_t count) {
    switch (ElementType(code)) {
    case kByte: {
        jbyteArray a = env->NewByteArray(count);
        if (a) env->SetByteArrayRegion(a, 0, count, static_cast<const jbyte*>(elements));
        return a;
    }
    case kShort: {
        jshortArray a = env->NewShortArray(count);
        if (a) env->SetShortArrayRegion(a, 0, count, static_cast<const jshort*>(elements));
        return a;
    }
    case kInt: {
        jintArray a = env->NewIntArray(count);
        if (a) env->SetIntArrayRegion(a, 0, count, static_cast<const jint*>(elements));
        return a;
    }
    case kLong: {
        jlongArray a = env->NewLongArray(count);
        if (a) env->SetLongArrayRegion(a, 0, count, static_cast<const jlong*>(elements));
        return a;
    }
    case kChar: {
        jcharArray a = env->NewCharArray(count);
        if (a) env->SetCharArrayRegion(a, 0, count, static_cast<const jchar*>(elements));
        return a;
    }
    case kDouble: {
        jdoubleArray a = env->NewDoubleArray(count);
        if (a) env->SetDoubleArrayRegion(a, 0, count, static_cast<const jdouble*>(elements));
        return a;
    }
    case kBoolean: {
        jbooleanArray a = env->NewBooleanArray(count);
        if (a == nullptr) return nullptr;
        jboolean* out = env->GetBooleanArrayElements(a, nullptr);
        for (int32_t k = 0; k < count; ++k) out[k] = NativeElement(code, elements, k).i != 0;
        env->ReleaseBooleanArrayElements(a, out, 0);
        return a;
    }
    case kFloat: {
        jfloatArray a = env->NewFloatArray(count);
        if (a == nullptr) return nullptr;
        jfloat* out = env->GetFloatArrayElements(a, nullptr);
        for (int32_t k = 0; k < count; ++k) out[k] = static_cast<jfloat>(NativeElement(code, elements, k).d);
        env->ReleaseFloatArrayElements(a, out, 0);
        return a;
    }
    default:
        return nullptr;
    }
}

char* CopyJavaString(JNIEnv* env, jstring text) {
    const jsize length = env->GetStringUTFLength(text);
    auto* copy = static_cast<char*>(std::malloc(static_cast<size_t>(length) + 1));
    if (copy == nullptr) {
        Fatal("Cannot allocate memory for new SUBLIME object\n");
    }
    env->GetStringUTFRegion(text, 0, env->GetStringLength(text), copy);
    copy[length] = '\0';
    return copy;
}

// Copies array arguments out of the Java arrays, pinned only while their elements are copied.
class JavaArrays final : public ArrayEncoder {
public:
    JavaArrays(JNIEnv* env, jobjectArray args, const int32_t* argTypes) : env_(env), args_(args), argTypes_(argTypes) {}

    void EncodeArray(int32_t k, const ArgumentView& view, uint8_t* out) override {
        auto array = static_cast<jarray>(env_->GetObjectArrayElement(args_, k));
        // The room in the message buffer was measured from the length seen before; another
        // Java thread may have put a different array into args since.
        if (array == nullptr || env_->GetArrayLength(array) != view.count) {
            Fatal("SUBLIME: Argument %i changed while the call was being sent\n", k + 1);
        }
        void* elements = env_->GetPrimitiveArrayCritical(array, nullptr);
        if (elements == nullptr) {
            Fatal("SUBLIME: Could not access the elements of argument %i\n", k + 1);
        }
        EncodeJavaArray(argTypes_[k], elements, view.count, out);
        env_->ReleasePrimitiveArrayCritical(array, elements, JNI_ABORT);
        env_->DeleteLocalRef(array);
    }

private:
    JNIEnv* env_;
    jobjectArray args_;
    const int32_t* argTypes_;
};

// The argument views of the calling thread's JNI calls; they grow and are kept, like the
// thread's other working buffers.
std::vector<ArgumentView>& JavaArgumentViews() {
    thread_local std::vector<ArgumentView> views;
    return views;
}

void ThrowIllegalArgument(JNIEnv* env, const std::string& message) {
    jclass cls = env->FindClass("java/lang/IllegalArgumentException");
    if (cls != nullptr) {
        env->ThrowNew(cls, message.c_str());
    }
}

} // namespace
} // namespace lime

using namespace lime;

extern "C" JNIEXPORT jlong JNICALL Java_com_zeph_plex_lime_LimeFunction_newLimeFunction(JNIEnv* env, jclass,
                                                                                         jstring packageName,
                                                                                         jstring className,
                                                                                         jstring methodName) {
    SUBLIME_REQUIRE(packageName != nullptr && className != nullptr && methodName != nullptr, 0);
    char* package = CopyJavaString(env, packageName);
    char* cls = CopyJavaString(env, className);
    char* method = CopyJavaString(env, methodName);
    LimeFunction* function = NewLimeFunction(package, cls, method);
    FillBoxingCache(env);
    std::free(package);
    std::free(cls);
    std::free(method);
    return static_cast<jlong>(reinterpret_cast<intptr_t>(function));
}

extern "C" JNIEXPORT void JNICALL Java_com_zeph_plex_lime_LimeFunction_deleteLimeFunction(JNIEnv*, jclass,
                                                                                           jlong handle) {
    DeleteLimeFunction(reinterpret_cast<LimeFunction*>(static_cast<intptr_t>(handle)));
}

extern "C" JNIEXPORT jobject JNICALL Java_com_zeph_plex_lime_LimeFunction_invokeLimeFunction(JNIEnv* env, jclass,
                                                                                              jlong handle,
                                                                                              jobjectArray args) {
    const int32_t threadId = platform::CurrentThreadId();
    auto* f = reinterpret_cast<LimeFunction*>(static_cast<intptr_t>(handle));
    SUBLIME_REQUIRE(f != nullptr && f->data != nullptr, nullptr);
    const jsize given = args != nullptr ? env->GetArrayLength(args) : 0;
    if (given != f->data->argCount) {
        ReportPrecondition("(*env)->GetArrayLength(env, args) == f->data->argCount");
        ThrowIllegalArgument(env, "wrong number of arguments");
        return nullptr;
    }
    const LimeFunctionData* data = f->data;
    // Normally filled by the lookup; a handle made by the native front end arrives without it.
    FillBoxingCache(env);
    ThreadSlot* slot = CallingThreadSlot(threadId, "SUBLIME: could not acquire event for \n");
    const int64_t started = data->trace ? WallClockMs() : 0;

    // Refuse arguments of the wrong Java type before anything is sent, and take the others
    // into views: scalars unboxed, arrays by their length (their elements are copied out of
    // the pinned Java array as the request is built).
    std::vector<ArgumentView>& views = JavaArgumentViews();
    views.assign(static_cast<size_t>(data->argCount), ArgumentView{});
    for (int32_t k = 0; k < data->argCount; ++k) {
        const int32_t code = data->argTypes[k];
        jobject argument = env->GetObjectArrayElement(args, k);
        const bool isArray = IsArrayType(code) && ArrayClassName(code) != nullptr;
        if (!isArray && !(IsScalarType(code) && code != kFloat && code != kDouble)) {
            Fatal("Data type %i not supported by SUBLIME\n", code);
        }
        const char* expected = isArray ? ArrayClassName(code) : kBoxes[0].className;
        for (const BoxInfo& box : kBoxes) {
            if (!isArray && box.code == code) {
                expected = box.className;
            }
        }
        const BoxingCache& cache = Boxes();
        jclass expectedClass = isArray ? cache.arrayClasses[ElementType(code)] : cache.classes[code];
        const bool fits = (isArray && argument == nullptr) ||
                          (argument != nullptr && expectedClass != nullptr && env->IsInstanceOf(argument, expectedClass));
        if (!fits) {
            if (argument != nullptr) {
                env->DeleteLocalRef(argument);
            }
            ThrowIllegalArgument(env, "argument " + std::to_string(k + 1) + " of " + data->name + " must be a " +
                                          (isArray ? std::string(TypeName(code)) + "[]" : std::string(expected)));
            return nullptr;
        }
        ArgumentView& view = views[static_cast<size_t>(k)];
        if (isArray) {
            view.count = argument != nullptr ? env->GetArrayLength(static_cast<jarray>(argument)) : -1;
        } else {
            view.value = Unbox(env, code, argument);
        }
        if (argument != nullptr) {
            env->DeleteLocalRef(argument);
        }
    }

    JavaArrays arrays(env, args, data->argTypes);
    const CallResult decoded = CallLimeFunction(data, threadId, slot, views.data(), arrays);

    const bool tracing = data->trace != 0;
    const int32_t type = data->returnType;
    jobject result = nullptr;
    std::string shown = "void";
    if (IsArrayType(type)) {
        if (decoded.elements != nullptr) {
            result = MakeJavaArray(env, type, decoded.elements, decoded.count);
        }
        if (tracing) {
            shown = FormatArray(type, decoded.elements != nullptr, decoded.count,
                                [&](int32_t i) { return NativeElement(type, decoded.elements, i); });
        }
    } else if (type != kVoid) {
        Scalar value = decoded.value;
        if (type == kFloat) {
            value.d = static_cast<float>(value.d);
        }
        if (IsScalarType(type)) {
            result = BoxScalar(env, type, value);
        }
        if (tracing) {
            shown = FormatScalar(type, value);
        }
    }
    if (tracing) {
        std::printf("SUBLIME: call to %s returned %s in %i ms\n", data->name, shown.c_str(),
                    static_cast<int>(WallClockMs() - started));
        std::fflush(stdout);
    }
    FinishReply(slot);
    return result;
}
