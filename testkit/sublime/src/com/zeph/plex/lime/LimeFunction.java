package com.zeph.plex.lime;

/**
 * A Java method of the Sublime process, looked up once and then called like a local one.
 * Arguments are boxed primitives or primitive arrays (null allowed for arrays); float and
 * double scalars cannot be passed from Java.
 */
public final class LimeFunction implements AutoCloseable {
    static {
        System.loadLibrary("sublime-x64");
    }

    private static native long newLimeFunction(String packageName, String className, String methodName);

    private static native Object invokeLimeFunction(long handle, Object[] args);

    private static native void deleteLimeFunction(long handle);

    private long handle;

    public LimeFunction(String packageName, String className, String methodName) {
        handle = newLimeFunction(packageName, className, methodName);
    }

    public Object invoke(Object... args) {
        if (handle == 0) {
            throw new IllegalStateException("LimeFunction already closed");
        }
        return invokeLimeFunction(handle, args);
    }

    @Override
    public void close() {
        if (handle != 0) {
            deleteLimeFunction(handle);
            handle = 0;
        }
    }
}
