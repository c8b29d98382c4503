// The Sublime process side: the JNI methods of class com.zeph.plex.Sublime. process creates
// both shared buffers, hands every request record to Sublime.processRequest as a byte array
// from BufferPool, and returnResult writes Java's replies back to the client.
#include <jni.h>

#include <atomic>
#include <climits>
#include <cstdio>
#include <mutex>
#include <new>
#include <thread>

#include "bytes.h"
#include "platform/env.h"
#include "report.h"
#include "sublimeio.h"
#include "sublimerequest.h"

namespace {

struct BufferPoolRecord {
    jclass bufferPoolClass;
    jmethodID getBuffer;
    jmethodID freeBuffer;
};

struct Bridge {
    SharedBuffer* call = nullptr;
    SharedBuffer* ret = nullptr;
    // Made by the first process call and kept: returnResult may run after process ended.
    std::mutex* sync = nullptr;
    std::atomic<int32_t> publishedId{0};
    BufferPoolRecord* pool = nullptr;
};

Bridge& State() {
    static auto* bridge = new Bridge();
    return *bridge;
}

int32_t SublimeProcessId() {
    Bridge& bridge = State();
    const int32_t published = bridge.publishedId.load();
    return published != 0 ? published : platform::CurrentProcessId();
}

[[noreturn]] void BridgeFatal(const char* message) {
    std::fprintf(stderr, "SUBLIMEBRIDGE: %s", message);
    std::fflush(stderr);
    Bridge& bridge = State();
    SharedBufferDestroy(bridge.call);
    SharedBufferDestroy(bridge.ret);
    bridge.call = nullptr;
    bridge.ret = nullptr;
    EndProcessWithFailure();
}

void ReleasePool(JNIEnv* env) {
    Bridge& bridge = State();
    if (bridge.pool != nullptr) {
        if (bridge.pool->bufferPoolClass != nullptr) {
            env->DeleteGlobalRef(bridge.pool->bufferPoolClass);
        }
        delete bridge.pool;
        bridge.pool = nullptr;
    }
}

void SetUpBufferPool(JNIEnv* env) {
    Bridge& bridge = State();
    jclass local = env->FindClass("com/zeph/plex/sublime/BufferPool");
    if (local == nullptr) {
        BridgeFatal("Could not find class BufferPool\n");
    }
    bridge.pool = new (std::nothrow) BufferPoolRecord{nullptr, nullptr, nullptr};
    if (bridge.pool == nullptr) {
        BridgeFatal("Failed to allocate BUFFER_POOL\n");
    }
    bridge.pool->getBuffer = env->GetStaticMethodID(local, "getBuffer", "(I)[B");
    if (bridge.pool->getBuffer == nullptr) {
        BridgeFatal("Could not find method BufferPool.getBuffer()\n");
    }
    bridge.pool->freeBuffer = env->GetStaticMethodID(local, "freeBuffer", "([B)V");
    if (bridge.pool->freeBuffer == nullptr) {
        BridgeFatal("Could not find method BufferPool.freeBuffer()\n");
    }
    bridge.pool->bufferPoolClass = static_cast<jclass>(env->NewGlobalRef(local));
    env->DeleteLocalRef(local);
    if (bridge.pool->bufferPoolClass == nullptr) {
        BridgeFatal("Could not create global ref for BufferPool\n");
    }
}

// Reports and clears a Java exception that a callback left behind. True when there was one.
bool ClearException(JNIEnv* env) {
    if (!env->ExceptionCheck()) {
        return false;
    }
    env->ExceptionDescribe();
    env->ExceptionClear();
    return true;
}

// Request arrays from BufferPool.getBuffer, pinned while a record is copied in.
class PoolArrays final : public lime::RequestArrays {
public:
    explicit PoolArrays(JNIEnv* env) : env_(env) {}

    uint8_t* Obtain(int32_t size) override {
        Bridge& bridge = State();
        array_ = static_cast<jbyteArray>(
            env_->CallStaticObjectMethod(bridge.pool->bufferPoolClass, bridge.pool->getBuffer, size));
        if (ClearException(env_) || array_ == nullptr || env_->GetArrayLength(array_) < size) {
            std::fprintf(stderr, "SUBLIMEBRIDGE: BufferPool.getBuffer gave no array of %d bytes\n", size);
            std::fflush(stderr);
            Drop();
            return nullptr;
        }
        bytes_ = env_->GetPrimitiveArrayCritical(array_, nullptr);
        if (bytes_ == nullptr) {
            Drop();
        }
        return static_cast<uint8_t*>(bytes_);
    }

    void Unpin(bool complete) override {
        env_->ReleasePrimitiveArrayCritical(array_, bytes_, 0);
        bytes_ = nullptr;
        if (!complete) {
            Drop();
        }
    }

    // Hands the complete record to Sublime.processRequest.
    void Deliver(jclass sublime, jmethodID processRequest) {
        env_->CallStaticVoidMethod(sublime, processRequest, array_);
        // A fault in one request's Java code must not end the service of all others.
        ClearException(env_);
        Drop();
    }

private:
    void Drop() {
        if (array_ != nullptr) {
            env_->DeleteLocalRef(array_);
            array_ = nullptr;
        }
    }

    JNIEnv* env_;
    jbyteArray array_ = nullptr;
    void* bytes_ = nullptr;
};

// Reads request records until the call buffer is closed and drained.
void ServeRequests(JNIEnv* env, jclass sublime, jmethodID processRequest) {
    lime::RequestReader requests(State().call);
    PoolArrays arrays(env);
    while (requests.Next(arrays)) {
        arrays.Deliver(sublime, processRequest);
    }
}

} // namespace

extern "C" JNIEXPORT void JNICALL Java_com_zeph_plex_Sublime_process(JNIEnv* env, jclass sublime) {
    Bridge& bridge = State();
    if (bridge.sync == nullptr && (bridge.sync = new (std::nothrow) std::mutex()) == nullptr) {
        BridgeFatal("Could not create synchronization mutex\n");
    }
    const int32_t id = SublimeProcessId();
    bufferId callId{id, 0};
    bufferId returnId{id, 1};
    {
        std::lock_guard<std::mutex> lock(*bridge.sync);
        bridge.call = SharedBufferCreate(&callId, kLimeBufferSize);
        bridge.ret = SharedBufferCreate(&returnId, kLimeBufferSize);
    }
    if (bridge.call == nullptr || bridge.ret == nullptr) {
        std::fprintf(stderr, "SUBLIMEBRIDGE: Could not open shared buffers\n");
        std::fflush(stderr);
        BridgeFatal("Failed to initialize lime bridge\n");
    }
    SetUpBufferPool(env);
    jmethodID releaseInitLock = env->GetStaticMethodID(sublime, "releaseInitLock", "()V");
    if (releaseInitLock == nullptr) {
        ReleasePool(env);
        BridgeFatal("Could not find method Sublime.releaseInitLock()\n");
    }
    env->CallStaticVoidMethod(sublime, releaseInitLock);
    ClearException(env);
    jmethodID processRequest = env->GetStaticMethodID(sublime, "processRequest", "([B)V");
    if (processRequest == nullptr) {
        ReleasePool(env);
        BridgeFatal("Could not find method Sublime.processRequest()\n");
    }
    ServeRequests(env, sublime, processRequest);

    std::lock_guard<std::mutex> lock(*bridge.sync);
    ReleasePool(env);
    SharedBufferDestroy(bridge.call);
    SharedBufferDestroy(bridge.ret);
    bridge.call = nullptr;
    bridge.ret = nullptr;
}

extern "C" JNIEXPORT void JNICALL Java_com_zeph_plex_Sublime_returnResult(JNIEnv* env, jclass, jbyteArray reply) {
    Bridge& bridge = State();
    if (bridge.sync == nullptr) {
        return;
    }
    SUBLIME_REQUIRE(reply != nullptr);
    std::unique_lock<std::mutex> lock(*bridge.sync);
    SharedBuffer* ret = bridge.ret;
    if (ret == nullptr || bridge.pool == nullptr) {
        return;
    }
    const jsize size = env->GetArrayLength(reply);
    auto* bytes = size >= 8 ? static_cast<uint8_t*>(env->GetPrimitiveArrayCritical(reply, nullptr)) : nullptr;
    if (bytes != nullptr) {
        const int32_t threadId = lime::LoadInt32(bytes);
        const int32_t length = lime::LoadInt32(bytes + 4);
        if (length < 0 || length > size - 8) {
            env->ReleasePrimitiveArrayCritical(reply, bytes, JNI_ABORT);
            std::fprintf(stderr, "SUBLIMEBRIDGE: Reply length %d for thread %d does not fit its array of %d bytes\n",
                         length, threadId, static_cast<int>(size));
            std::fflush(stderr);
        } else {
            const bool written = ret->writeInt(ret, threadId) == 0 && ret->writeInt(ret, length) == 0 &&
                                 ret->writeFully(ret, bytes + 8, length) == 0;
            env->ReleasePrimitiveArrayCritical(reply, bytes, JNI_ABORT);
            if (written) {
                ret->flush(ret);
            }
        }
    } else {
        std::fprintf(stderr, "SUBLIMEBRIDGE: A reply needs at least 8 bytes, got %d\n", static_cast<int>(size));
        std::fflush(stderr);
    }
    env->CallStaticVoidMethod(bridge.pool->bufferPoolClass, bridge.pool->freeBuffer, reply);
    ClearException(env);
    lock.unlock();
    std::this_thread::yield();
}

extern "C" JNIEXPORT void JNICALL Java_com_zeph_plex_Sublime_setSublimeProcessId(JNIEnv*, jclass, jint id) {
    State().publishedId = id;
}

extern "C" JNIEXPORT jint JNICALL Java_com_zeph_plex_Sublime_getSublimeProcessId(JNIEnv*, jclass) {
    return SublimeProcessId();
}

extern "C" JNIEXPORT void JNICALL Java_com_zeph_plex_Sublime_stopProcess(JNIEnv*, jclass) {
    Bridge& bridge = State();
    if (bridge.sync == nullptr) {
        return;
    }
    std::lock_guard<std::mutex> lock(*bridge.sync);
    if (bridge.call != nullptr) {
        bridge.call->close(bridge.call);
    }
    if (bridge.ret != nullptr) {
        bridge.ret->close(bridge.ret);
    }
}

extern "C" JNIEXPORT void JNICALL Java_com_zeph_plex_Sublime_setTempFilesDirectory(JNIEnv*, jclass, jstring) {}
