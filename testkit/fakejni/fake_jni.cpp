#include "fake_jni.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <utility>

namespace fakejni {
namespace {

struct Object {
    std::string cls;            // class of this object ("java/lang/Class" for a class)
    std::string name;           // a class object's own name
    char element = 0;           // element signature of a primitive array
    std::vector<uint8_t> bytes; // elements of a primitive array
    std::vector<Object*> refs;  // elements of an object array
    bool objectArray = false;
    std::u16string text;        // a string's characters
    char boxType = 0;           // a box's primitive signature
    jvalue box{};
};

struct Method {
    std::string cls;
    std::string name;
    std::string signature;
    StaticMethod body; // static methods only
};

struct State {
    std::mutex lock;
    std::map<std::string, Object*> classes;
    std::map<std::string, Method*> methods;
    std::set<std::string> hidden;
    std::map<std::string, long> calls;
};

State& S() {
    static State* state = new State();
    return *state;
}

thread_local std::optional<PendingException> pending;

void Count(const char* function) {
    std::lock_guard<std::mutex> guard(S().lock);
    ++S().calls[function];
}

Object* O(jobject object) { return reinterpret_cast<Object*>(object); }
jobject J(Object* object) { return reinterpret_cast<jobject>(object); }

size_t ElementSize(char element) {
    switch (element) {
    case 'Z':
    case 'B':
        return 1;
    case 'C':
    case 'S':
        return 2;
    case 'I':
    case 'F':
        return 4;
    default:
        return 8;
    }
}

const char* BoxClass(char type) {
    switch (type) {
    case 'Z': return "java/lang/Boolean";
    case 'B': return "java/lang/Byte";
    case 'C': return "java/lang/Character";
    case 'S': return "java/lang/Short";
    case 'I': return "java/lang/Integer";
    case 'J': return "java/lang/Long";
    case 'F': return "java/lang/Float";
    case 'D': return "java/lang/Double";
    default: return nullptr;
    }
}

char BoxTypeOfClass(const std::string& cls) {
    for (char type : std::string("ZBCSIJFD")) {
        if (cls == BoxClass(type)) {
            return type;
        }
    }
    return 0;
}

Object* ClassObject(const std::string& name) {
    std::lock_guard<std::mutex> guard(S().lock);
    Object*& cls = S().classes[name];
    if (cls == nullptr) {
        cls = new Object();
        cls->cls = "java/lang/Class";
        cls->name = name;
    }
    return cls;
}

// Signature characters of the parameters of a method signature "(...)R".
std::vector<char> Parameters(const std::string& signature) {
    std::vector<char> kinds;
    size_t k = 1;
    while (k < signature.size() && signature[k] != ')') {
        char kind = signature[k];
        if (kind == '[') {
            while (signature[k] == '[') ++k;
            if (signature[k] == 'L') k = signature.find(';', k);
            kind = 'L';
        } else if (kind == 'L') {
            k = signature.find(';', k);
        }
        kinds.push_back(kind);
        ++k;
    }
    return kinds;
}

std::vector<jvalue> Arguments(const std::string& signature, va_list args) {
    std::vector<jvalue> values;
    for (char kind : Parameters(signature)) {
        jvalue v{};
        switch (kind) {
        case 'Z': v.z = static_cast<jboolean>(va_arg(args, int)); break;
        case 'B': v.b = static_cast<jbyte>(va_arg(args, int)); break;
        case 'C': v.c = static_cast<jchar>(va_arg(args, int)); break;
        case 'S': v.s = static_cast<jshort>(va_arg(args, int)); break;
        case 'I': v.i = static_cast<jint>(va_arg(args, int)); break;
        case 'J': v.j = va_arg(args, jlong); break;
        case 'F': v.f = static_cast<jfloat>(va_arg(args, double)); break;
        case 'D': v.d = va_arg(args, double); break;
        default: v.l = va_arg(args, jobject); break;
        }
        values.push_back(v);
    }
    return values;
}

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "fakejni: %s\n", what.c_str());
    std::fflush(stderr);
    std::_Exit(98);
}

// --- the JNI functions -------------------------------------------------------------------

jclass FindClass(JNIEnv*, const char* name) {
    Count("FindClass");
    {
        std::lock_guard<std::mutex> guard(S().lock);
        if (S().hidden.count(name) != 0) {
            pending = PendingException{"java/lang/NoClassDefFoundError", name};
            return nullptr;
        }
    }
    return reinterpret_cast<jclass>(ClassObject(name));
}

jint ThrowNew(JNIEnv*, jclass cls, const char* message) {
    Count("ThrowNew");
    pending = PendingException{O(cls)->name, message != nullptr ? message : ""};
    return 0;
}

void ExceptionDescribe(JNIEnv*) {
    if (pending) {
        std::fprintf(stderr, "Exception %s: %s\n", pending->className.c_str(), pending->message.c_str());
    }
}
void ExceptionClear(JNIEnv*) { pending.reset(); }
jboolean ExceptionCheck(JNIEnv*) { return pending ? JNI_TRUE : JNI_FALSE; }

jobject NewGlobalRef(JNIEnv*, jobject object) {
    Count("NewGlobalRef");
    return object;
}
void DeleteGlobalRef(JNIEnv*, jobject) { Count("DeleteGlobalRef"); }
void DeleteLocalRef(JNIEnv*, jobject) { Count("DeleteLocalRef"); }

jboolean IsInstanceOf(JNIEnv*, jobject object, jclass cls) {
    if (object == nullptr) {
        return JNI_TRUE;
    }
    return O(object)->cls == O(cls)->name || O(cls)->name == "java/lang/Object" ? JNI_TRUE : JNI_FALSE;
}

jmethodID LookUp(jclass cls, const char* name, const char* signature, bool isStatic) {
    const std::string className = O(cls)->name;
    std::lock_guard<std::mutex> guard(S().lock);
    const std::string key = className + "." + name + signature;
    Method*& method = S().methods[key];
    if (method == nullptr) {
        // Boxes have their unboxing methods and constructors built in.
        const char type = BoxTypeOfClass(className);
        if (isStatic || type == 0) {
            S().methods.erase(key);
            pending = PendingException{"java/lang/NoSuchMethodError", key};
            return nullptr;
        }
        method = new Method{className, name, signature, nullptr};
    }
    return reinterpret_cast<jmethodID>(method);
}

jmethodID GetMethodID(JNIEnv*, jclass cls, const char* name, const char* signature) {
    return LookUp(cls, name, signature, false);
}
jmethodID GetStaticMethodID(JNIEnv*, jclass cls, const char* name, const char* signature) {
    return LookUp(cls, name, signature, true);
}

Method* M(jmethodID id) { return reinterpret_cast<Method*>(id); }

jobject NewObjectV(JNIEnv*, jclass cls, jmethodID id, va_list args) {
    Count("NewObject");
    const char type = BoxTypeOfClass(O(cls)->name);
    if (type == 0 || M(id)->name != "<init>") {
        Fail("NewObject of " + O(cls)->name + " is not supported");
    }
    std::vector<jvalue> values = Arguments(M(id)->signature, args);
    return Jvm::Instance().Box(type, values.at(0));
}

jvalue CallInstance(jobject object, jmethodID id) {
    if (object == nullptr || O(object)->boxType == 0) {
        Fail("instance call " + M(id)->name + " on something that is not a box");
    }
    return O(object)->box;
}
jboolean CallBooleanMethodV(JNIEnv*, jobject o, jmethodID id, va_list) { return CallInstance(o, id).z; }
jbyte CallByteMethodV(JNIEnv*, jobject o, jmethodID id, va_list) { return CallInstance(o, id).b; }
jchar CallCharMethodV(JNIEnv*, jobject o, jmethodID id, va_list) { return CallInstance(o, id).c; }
jshort CallShortMethodV(JNIEnv*, jobject o, jmethodID id, va_list) { return CallInstance(o, id).s; }
jint CallIntMethodV(JNIEnv*, jobject o, jmethodID id, va_list) { return CallInstance(o, id).i; }
jlong CallLongMethodV(JNIEnv*, jobject o, jmethodID id, va_list) { return CallInstance(o, id).j; }

jvalue CallStatic(jmethodID id, va_list args) {
    Method* method = M(id);
    if (!method->body) {
        Fail("static call of " + method->name + " without a body");
    }
    return method->body(Arguments(method->signature, args));
}
jobject CallStaticObjectMethodV(JNIEnv*, jclass, jmethodID id, va_list args) {
    Count("CallStaticObjectMethod");
    return CallStatic(id, args).l;
}
void CallStaticVoidMethodV(JNIEnv*, jclass, jmethodID id, va_list args) {
    Count("CallStaticVoidMethod");
    CallStatic(id, args);
}

jstring NewString(JNIEnv*, const jchar* text, jsize length) {
    return Jvm::Instance().NewString(std::u16string(reinterpret_cast<const char16_t*>(text), static_cast<size_t>(length)));
}
jsize GetStringLength(JNIEnv*, jstring text) { return static_cast<jsize>(O(text)->text.size()); }
void GetStringRegion(JNIEnv*, jstring text, jsize start, jsize length, jchar* out) {
    std::memcpy(out, O(text)->text.data() + start, static_cast<size_t>(length) * 2);
}

// Modified UTF-8 of UTF-16 units: each unit on its own, U+0000 as two bytes.
std::string ModifiedUtf8(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) {
        if (c != 0 && c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xc0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3f));
        } else {
            out += static_cast<char>(0xe0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (c & 0x3f));
        }
    }
    return out;
}
jsize GetStringUTFLength(JNIEnv*, jstring text) { return static_cast<jsize>(ModifiedUtf8(O(text)->text).size()); }
void GetStringUTFRegion(JNIEnv*, jstring text, jsize start, jsize length, char* out) {
    std::string utf = ModifiedUtf8(O(text)->text.substr(static_cast<size_t>(start), static_cast<size_t>(length)));
    std::memcpy(out, utf.data(), utf.size());
}

jsize GetArrayLength(JNIEnv*, jarray array) {
    Object* a = O(array);
    return static_cast<jsize>(a->objectArray ? a->refs.size() : a->bytes.size() / ElementSize(a->element));
}

jobjectArray NewObjectArray(JNIEnv*, jsize length, jclass cls, jobject initial) {
    auto* a = new Object();
    a->cls = "[L" + O(cls)->name + ";";
    a->objectArray = true;
    a->refs.assign(static_cast<size_t>(length), O(initial));
    return reinterpret_cast<jobjectArray>(a);
}
jobject GetObjectArrayElement(JNIEnv*, jobjectArray array, jsize k) { return J(O(array)->refs.at(static_cast<size_t>(k))); }
void SetObjectArrayElement(JNIEnv*, jobjectArray array, jsize k, jobject value) {
    O(array)->refs.at(static_cast<size_t>(k)) = O(value);
}

template <char E>
jarray NewPrimitiveArray(JNIEnv*, jsize length) {
    return Jvm::Instance().NewArray(E, nullptr, static_cast<size_t>(length));
}
void* Elements(jarray array, jboolean* isCopy) {
    if (isCopy != nullptr) {
        *isCopy = JNI_FALSE;
    }
    return O(array)->bytes.data();
}
template <typename T>
T* GetElements(JNIEnv*, jarray array, jboolean* isCopy) {
    return static_cast<T*>(Elements(array, isCopy));
}
template <typename T>
void ReleaseElements(JNIEnv*, jarray, T*, jint) {}
template <typename T>
void GetRegion(JNIEnv*, jarray array, jsize start, jsize length, T* out) {
    std::memcpy(out, O(array)->bytes.data() + static_cast<size_t>(start) * sizeof(T), static_cast<size_t>(length) * sizeof(T));
}
template <typename T>
void SetRegion(JNIEnv*, jarray array, jsize start, jsize length, const T* in) {
    std::memcpy(O(array)->bytes.data() + static_cast<size_t>(start) * sizeof(T), in, static_cast<size_t>(length) * sizeof(T));
}
void* GetPrimitiveArrayCritical(JNIEnv*, jarray array, jboolean* isCopy) {
    Count("GetPrimitiveArrayCritical");
    return Elements(array, isCopy);
}
void ReleasePrimitiveArrayCritical(JNIEnv*, jarray, void*, jint) { Count("ReleasePrimitiveArrayCritical"); }

// --- the trap table ----------------------------------------------------------------------

constexpr size_t kSlots = sizeof(JNINativeInterface_) / sizeof(void*);

template <size_t N>
void Trap() {
    std::fprintf(stderr, "fakejni: JNI function slot %u is not provided\n", static_cast<unsigned>(N));
    std::fflush(stderr);
    std::_Exit(99);
}

template <size_t... N>
void FillTraps(void** slots, std::index_sequence<N...>) {
    ((slots[N] = reinterpret_cast<void*>(&Trap<N>)), ...);
}

JNINativeInterface_* MakeTable() {
    auto* table = new JNINativeInterface_();
    FillTraps(reinterpret_cast<void**>(table), std::make_index_sequence<kSlots>());
    table->FindClass = FindClass;
    table->ThrowNew = ThrowNew;
    table->ExceptionDescribe = ExceptionDescribe;
    table->ExceptionClear = ExceptionClear;
    table->ExceptionCheck = ExceptionCheck;
    table->NewGlobalRef = NewGlobalRef;
    table->DeleteGlobalRef = DeleteGlobalRef;
    table->DeleteLocalRef = DeleteLocalRef;
    table->IsInstanceOf = IsInstanceOf;
    table->GetMethodID = GetMethodID;
    table->GetStaticMethodID = GetStaticMethodID;
    table->NewObjectV = NewObjectV;
    table->CallBooleanMethodV = CallBooleanMethodV;
    table->CallByteMethodV = CallByteMethodV;
    table->CallCharMethodV = CallCharMethodV;
    table->CallShortMethodV = CallShortMethodV;
    table->CallIntMethodV = CallIntMethodV;
    table->CallLongMethodV = CallLongMethodV;
    table->CallStaticObjectMethodV = CallStaticObjectMethodV;
    table->CallStaticVoidMethodV = CallStaticVoidMethodV;
    table->NewString = NewString;
    table->GetStringLength = GetStringLength;
    table->GetStringRegion = GetStringRegion;
    table->GetStringUTFLength = GetStringUTFLength;
    table->GetStringUTFRegion = GetStringUTFRegion;
    table->GetArrayLength = GetArrayLength;
    table->NewObjectArray = NewObjectArray;
    table->GetObjectArrayElement = GetObjectArrayElement;
    table->SetObjectArrayElement = SetObjectArrayElement;
    table->NewBooleanArray = reinterpret_cast<jbooleanArray (*)(JNIEnv*, jsize)>(&NewPrimitiveArray<'Z'>);
    table->NewByteArray = reinterpret_cast<jbyteArray (*)(JNIEnv*, jsize)>(&NewPrimitiveArray<'B'>);
    table->NewCharArray = reinterpret_cast<jcharArray (*)(JNIEnv*, jsize)>(&NewPrimitiveArray<'C'>);
    table->NewShortArray = reinterpret_cast<jshortArray (*)(JNIEnv*, jsize)>(&NewPrimitiveArray<'S'>);
    table->NewIntArray = reinterpret_cast<jintArray (*)(JNIEnv*, jsize)>(&NewPrimitiveArray<'I'>);
    table->NewLongArray = reinterpret_cast<jlongArray (*)(JNIEnv*, jsize)>(&NewPrimitiveArray<'J'>);
    table->NewFloatArray = reinterpret_cast<jfloatArray (*)(JNIEnv*, jsize)>(&NewPrimitiveArray<'F'>);
    table->NewDoubleArray = reinterpret_cast<jdoubleArray (*)(JNIEnv*, jsize)>(&NewPrimitiveArray<'D'>);
    table->GetBooleanArrayElements = reinterpret_cast<jboolean* (*)(JNIEnv*, jbooleanArray, jboolean*)>(&GetElements<jboolean>);
    table->ReleaseBooleanArrayElements = reinterpret_cast<void (*)(JNIEnv*, jbooleanArray, jboolean*, jint)>(&ReleaseElements<jboolean>);
    table->GetFloatArrayElements = reinterpret_cast<jfloat* (*)(JNIEnv*, jfloatArray, jboolean*)>(&GetElements<jfloat>);
    table->ReleaseFloatArrayElements = reinterpret_cast<void (*)(JNIEnv*, jfloatArray, jfloat*, jint)>(&ReleaseElements<jfloat>);
    table->GetByteArrayElements = reinterpret_cast<jbyte* (*)(JNIEnv*, jbyteArray, jboolean*)>(&GetElements<jbyte>);
    table->ReleaseByteArrayElements = reinterpret_cast<void (*)(JNIEnv*, jbyteArray, jbyte*, jint)>(&ReleaseElements<jbyte>);
    table->GetByteArrayRegion = reinterpret_cast<void (*)(JNIEnv*, jbyteArray, jsize, jsize, jbyte*)>(&GetRegion<jbyte>);
    table->SetByteArrayRegion = reinterpret_cast<void (*)(JNIEnv*, jbyteArray, jsize, jsize, const jbyte*)>(&SetRegion<jbyte>);
    table->SetCharArrayRegion = reinterpret_cast<void (*)(JNIEnv*, jcharArray, jsize, jsize, const jchar*)>(&SetRegion<jchar>);
    table->SetShortArrayRegion = reinterpret_cast<void (*)(JNIEnv*, jshortArray, jsize, jsize, const jshort*)>(&SetRegion<jshort>);
    table->SetIntArrayRegion = reinterpret_cast<void (*)(JNIEnv*, jintArray, jsize, jsize, const jint*)>(&SetRegion<jint>);
    table->SetLongArrayRegion = reinterpret_cast<void (*)(JNIEnv*, jlongArray, jsize, jsize, const jlong*)>(&SetRegion<jlong>);
    table->SetDoubleArrayRegion = reinterpret_cast<void (*)(JNIEnv*, jdoubleArray, jsize, jsize, const jdouble*)>(&SetRegion<jdouble>);
    table->GetPrimitiveArrayCritical = GetPrimitiveArrayCritical;
    table->ReleasePrimitiveArrayCritical = ReleasePrimitiveArrayCritical;
    return table;
}

} // namespace

Jvm& Jvm::Instance() {
    static Jvm* jvm = new Jvm();
    return *jvm;
}

Jvm::Jvm() = default;

JNIEnv* Jvm::Env() {
    static JNIEnv* env = [] {
        auto* e = new JNIEnv();
        e->functions = MakeTable();
        return e;
    }();
    return env;
}

void Jvm::DefineStatic(const std::string& className, const std::string& name, const std::string& signature,
                       StaticMethod method) {
    ClassObject(className);
    std::lock_guard<std::mutex> guard(S().lock);
    S().methods[className + "." + name + signature] = new Method{className, name, signature, std::move(method)};
}

void Jvm::HideClass(const std::string& className) {
    std::lock_guard<std::mutex> guard(S().lock);
    S().hidden.insert(className);
}

jstring Jvm::NewString(const std::u16string& text) {
    auto* s = new Object();
    s->cls = "java/lang/String";
    s->text = text;
    return reinterpret_cast<jstring>(s);
}

std::u16string Jvm::Text(jstring text) { return O(text)->text; }

jarray Jvm::NewArray(char element, const void* bytes, size_t count) {
    auto* a = new Object();
    a->cls = std::string("[") + element;
    a->element = element;
    a->bytes.assign(count * ElementSize(element), 0);
    if (bytes != nullptr && count > 0) {
        std::memcpy(a->bytes.data(), bytes, a->bytes.size());
    }
    return reinterpret_cast<jarray>(a);
}

std::vector<uint8_t> Jvm::ArrayBytes(jobject array) { return O(array)->bytes; }
char Jvm::ArrayElement(jobject array) { return array == nullptr ? 0 : O(array)->element; }

jobjectArray Jvm::NewObjectArray(const std::string& elementClass, const std::vector<jobject>& elements) {
    auto* a = new Object();
    a->cls = "[L" + elementClass + ";";
    a->objectArray = true;
    for (jobject e : elements) {
        a->refs.push_back(O(e));
    }
    return reinterpret_cast<jobjectArray>(a);
}

std::vector<jobject> Jvm::Elements(jobjectArray array) {
    std::vector<jobject> out;
    for (Object* e : O(array)->refs) {
        out.push_back(J(e));
    }
    return out;
}

jobject Jvm::Box(char type, jvalue value) {
    auto* b = new Object();
    b->cls = BoxClass(type);
    b->boxType = type;
    b->box = value;
    return J(b);
}

std::string Jvm::ClassOf(jobject object) { return object == nullptr ? "" : O(object)->cls; }
jvalue Jvm::Unbox(jobject box) { return O(box)->box; }

std::optional<PendingException> Jvm::TakeException() {
    auto taken = pending;
    pending.reset();
    return taken;
}

long Jvm::Calls(const std::string& function) {
    std::lock_guard<std::mutex> guard(S().lock);
    return S().calls[function];
}

} // namespace fakejni
