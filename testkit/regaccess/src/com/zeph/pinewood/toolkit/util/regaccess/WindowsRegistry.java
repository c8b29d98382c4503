package com.zeph.pinewood.toolkit.util.regaccess;

/**
 * The registry natives of the regaccess library (libregaccess-x64). Every call names a view
 * (1: the 32-bit view, 2: the 64-bit view, anything else: the default), a root (0 HKEY_CLASSES_ROOT,
 * 1 HKEY_CURRENT_USER, 2 HKEY_LOCAL_MACHINE, 3 HKEY_USERS, 4 HKEY_CURRENT_CONFIG, 5 HKEY_DYN_DATA,
 * 6 HKEY_PERFORMANCE_DATA) and a key path below it; a null path is the root itself and a null
 * value name the key's default value. Failures throw {@link NativeException}.
 */
public final class WindowsRegistry {
    public static final int VIEW_DEFAULT = 0;
    public static final int VIEW_32 = 1;
    public static final int VIEW_64 = 2;

    public static final int HKEY_CLASSES_ROOT = 0;
    public static final int HKEY_CURRENT_USER = 1;
    public static final int HKEY_LOCAL_MACHINE = 2;
    public static final int HKEY_USERS = 3;
    public static final int HKEY_CURRENT_CONFIG = 4;
    public static final int HKEY_DYN_DATA = 5;
    public static final int HKEY_PERFORMANCE_DATA = 6;

    public static final int REG_NONE = 0;
    public static final int REG_SZ = 1;
    public static final int REG_EXPAND_SZ = 2;
    public static final int REG_BINARY = 3;
    public static final int REG_DWORD = 4;
    public static final int REG_DWORD_BIG_ENDIAN = 5;
    public static final int REG_MULTI_SZ = 7;

    static {
        System.loadLibrary("regaccess-x64");
    }

    private WindowsRegistry() {}

    public static native boolean checkKeyAccess0(int view, int root, String path, boolean write);

    public static native boolean valueExists0(int view, int root, String path, String name) throws NativeException;

    public static native boolean keyEmpty0(int view, int root, String path) throws NativeException;

    public static native int countSubKeys0(int view, int root, String path) throws NativeException;

    public static native int countValues0(int view, int root, String path) throws NativeException;

    public static native String[] getSubkeyNames0(int view, int root, String path) throws NativeException;

    public static native String[] getValueNames0(int view, int root, String path) throws NativeException;

    public static native int getValueType0(int view, int root, String path, String name) throws NativeException;

    public static native void createKey0(int view, int root, String path, String name) throws NativeException;

    public static native void deleteKey0(int view, int root, String path, String name) throws NativeException;

    public static native void deleteValue0(int view, int root, String path, String name) throws NativeException;

    public static native String getStringValue0(int view, int root, String path, String name, boolean expand)
            throws NativeException;

    public static native void setStringValue0(int view, int root, String path, String name, String value,
            boolean expandable) throws NativeException;

    public static native int get32BitValue0(int view, int root, String path, String name) throws NativeException;

    public static native void set32BitValue0(int view, int root, String path, String name, int value)
            throws NativeException;

    public static native String[] getMultiStringValue0(int view, int root, String path, String name)
            throws NativeException;

    public static native void setMultiStringValue0(int view, int root, String path, String name, String[] values)
            throws NativeException;

    public static native byte[] getBinaryValue0(int view, int root, String path, String name) throws NativeException;

    public static native void setBinaryValue0(int view, int root, String path, String name, byte[] data)
            throws NativeException;

    public static native void setNoneValue0(int view, int root, String path, String name, byte[] data)
            throws NativeException;

    public static native boolean IsWow64Process0();
}
