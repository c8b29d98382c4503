package com.zeph.plex;

import com.zeph.plex.sublime.BufferPool;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.nio.ByteBuffer;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;

/**
 * The Sublime process side of the Lime bridge. start() runs the native request loop on a
 * thread of its own; each LIME_LOOKUP names a public static method (package, class, method)
 * that is answered with its number and type codes, each LIME_CALL runs that method on a worker
 * thread and replies through returnResult, so replies may come back in any order.
 */
public final class Sublime {
    static native void process();

    static native void returnResult(byte[] reply);

    static native void setSublimeProcessId(int id);

    static native int getSublimeProcessId();

    static native void stopProcess();

    static native void setTempFilesDirectory(String directory);

    private static final int LIME_LOOKUP = 1;
    private static final int LIME_CALL = 2;
    private static final int ARRAY = 0x10;

    private static final Object INIT_LOCK = new Object();
    private static boolean initialised;
    private static Thread processThread;
    private static final List<Function> FUNCTIONS = new ArrayList<>();
    private static final Map<String, Function> BY_NAME = new HashMap<>();
    private static final ExecutorService WORKERS = Executors.newCachedThreadPool(r -> {
        Thread t = new Thread(r, "sublime-worker");
        t.setDaemon(true);
        return t;
    });

    private static final class Function {
        final int id;
        final Method method;
        final int[] argTypes;
        final int returnType;

        Function(int id, Method method, int[] argTypes, int returnType) {
            this.id = id;
            this.method = method;
            this.argTypes = argTypes;
            this.returnType = returnType;
        }
    }

    private Sublime() {}

    static {
        System.loadLibrary("sublime-x64");
    }

    /** Publishes an id other than the process id; call before start(). */
    public static void publishId(int id) {
        setSublimeProcessId(id);
    }

    public static int id() {
        return getSublimeProcessId();
    }

    /** Creates the shared buffers and returns once clients can connect. */
    public static void start() throws InterruptedException {
        synchronized (INIT_LOCK) {
            initialised = false;
        }
        processThread = new Thread(Sublime::process, "sublime-process");
        processThread.start();
        synchronized (INIT_LOCK) {
            while (!initialised) {
                INIT_LOCK.wait();
            }
        }
    }

    /** Waits until the request loop has ended (a client's EndLime, or stop()). */
    public static void awaitEnd() throws InterruptedException {
        processThread.join();
    }

    public static void stop() {
        stopProcess();
    }

    static void releaseInitLock() {
        synchronized (INIT_LOCK) {
            initialised = true;
            INIT_LOCK.notifyAll();
        }
    }

    static void processRequest(byte[] request) {
        ByteBuffer in = ByteBuffer.wrap(request);
        int threadId = in.getInt();
        int length = in.getInt();
        int type = in.getInt();
        if (type == LIME_LOOKUP) {
            String text = new String(request, 12, length - 4, StandardCharsets.UTF_8);
            reply(threadId, lookupReply(text.split("\n", -1)));
        } else if (type == LIME_CALL) {
            int functionId = in.getInt();
            Function function;
            synchronized (FUNCTIONS) {
                function = functionId >= 0 && functionId < FUNCTIONS.size() ? FUNCTIONS.get(functionId) : null;
            }
            if (function == null) {
                System.err.println("Sublime: call of unknown function #" + functionId);
                reply(threadId, new byte[0]);
                return;
            }
            Function f = function;
            WORKERS.execute(() -> reply(threadId, call(f, in)));
        } else {
            System.err.println("Sublime: unknown request type " + type);
        }
    }

    private static void reply(int threadId, byte[] payload) {
        byte[] record = BufferPool.getBuffer(8 + payload.length);
        ByteBuffer out = ByteBuffer.wrap(record);
        out.putInt(threadId).putInt(payload.length).put(payload);
        returnResult(record);
    }

    private static int typeCode(Class<?> type) {
        if (type.isArray()) {
            int element = typeCode(type.getComponentType());
            return element > 0 && element < ARRAY ? element | ARRAY : -1;
        }
        if (type == void.class) return 0;
        if (type == byte.class) return 1;
        if (type == short.class) return 2;
        if (type == int.class) return 3;
        if (type == long.class) return 4;
        if (type == char.class) return 5;
        if (type == boolean.class) return 6;
        if (type == float.class) return 7;
        if (type == double.class) return 8;
        return -1;
    }

    private static byte[] lookupReply(String[] names) {
        Function function = names.length >= 3 ? find(names[0], names[1], names[2]) : null;
        if (function == null) {
            System.err.println("Sublime: no Lime function " + String.join(".", names).trim());
            return ByteBuffer.allocate(12).putInt(-1).putInt(0).putInt(0).array();
        }
        ByteBuffer out = ByteBuffer.allocate(12 + 4 * function.argTypes.length);
        out.putInt(function.id).putInt(function.argTypes.length);
        for (int code : function.argTypes) {
            out.putInt(code);
        }
        return out.putInt(function.returnType).array();
    }

    private static Function find(String packageName, String className, String methodName) {
        String key = packageName + "." + className + "." + methodName;
        synchronized (FUNCTIONS) {
            Function known = BY_NAME.get(key);
            if (known != null) {
                return known;
            }
            try {
                Class<?> owner = Class.forName(packageName.isEmpty() ? className : packageName + "." + className);
                for (Method method : owner.getMethods()) {
                    if (!method.getName().equals(methodName) || !Modifier.isStatic(method.getModifiers())) {
                        continue;
                    }
                    Class<?>[] parameters = method.getParameterTypes();
                    int[] codes = new int[parameters.length];
                    boolean usable = typeCode(method.getReturnType()) >= 0;
                    for (int k = 0; k < parameters.length; k++) {
                        codes[k] = typeCode(parameters[k]);
                        usable &= codes[k] > 0;
                    }
                    if (usable) {
                        Function function = new Function(FUNCTIONS.size(), method, codes,
                                typeCode(method.getReturnType()));
                        FUNCTIONS.add(function);
                        BY_NAME.put(key, function);
                        return function;
                    }
                }
            } catch (ClassNotFoundException e) {
                return null;
            }
        }
        return null;
    }

    private static Object decode(int code, ByteBuffer in) {
        switch (code) {
            case 1: return (byte) in.getInt();
            case 2: return (short) in.getInt();
            case 3: return in.getInt();
            case 4: return in.getLong();
            case 5: return (char) in.getInt();
            case 6: return in.getInt() != 0;
            case 7: return (float) in.getDouble();
            case 8: return in.getDouble();
            default: break;
        }
        int n = in.getInt();
        if (n == -1) {
            return null;
        }
        switch (code & ~ARRAY) {
            case 1: { byte[] a = new byte[n]; in.get(a); return a; }
            case 2: { short[] a = new short[n]; for (int k = 0; k < n; k++) a[k] = in.getShort(); return a; }
            case 3: { int[] a = new int[n]; for (int k = 0; k < n; k++) a[k] = in.getInt(); return a; }
            case 4: { long[] a = new long[n]; for (int k = 0; k < n; k++) a[k] = in.getLong(); return a; }
            case 5: { char[] a = new char[n]; for (int k = 0; k < n; k++) a[k] = in.getChar(); return a; }
            case 6: { boolean[] a = new boolean[n]; for (int k = 0; k < n; k++) a[k] = in.getInt() != 0; return a; }
            case 7: { float[] a = new float[n]; for (int k = 0; k < n; k++) a[k] = (float) in.getDouble(); return a; }
            case 8: { double[] a = new double[n]; for (int k = 0; k < n; k++) a[k] = in.getDouble(); return a; }
            default: throw new IllegalArgumentException("type code " + code);
        }
    }

    private static final int[] ELEMENT_SIZE = {0, 1, 2, 4, 8, 2, 4, 8, 8};

    private static byte[] encode(int code, Object value) {
        if (code == 0) {
            return new byte[0];
        }
        if ((code & ARRAY) == 0) {
            ByteBuffer out = ByteBuffer.allocate(code == 4 || code == 7 || code == 8 ? 8 : 4);
            switch (code) {
                case 1: out.putInt(value == null ? 0 : (Byte) value); break;
                case 2: out.putInt(value == null ? 0 : (Short) value); break;
                case 3: out.putInt(value == null ? 0 : (Integer) value); break;
                case 4: out.putLong(value == null ? 0 : (Long) value); break;
                case 5: out.putInt(value == null ? 0 : (Character) value); break;
                case 6: out.putInt(value != null && (Boolean) value ? 1 : 0); break;
                case 7: out.putDouble(value == null ? 0 : (Float) value); break;
                default: out.putDouble(value == null ? 0 : (Double) value); break;
            }
            return out.array();
        }
        if (value == null) {
            return ByteBuffer.allocate(4).putInt(-1).array();
        }
        int element = code & ~ARRAY;
        int n = java.lang.reflect.Array.getLength(value);
        ByteBuffer out = ByteBuffer.allocate(4 + n * ELEMENT_SIZE[element]);
        out.putInt(n);
        switch (element) {
            case 1: out.put((byte[]) value); break;
            case 2: for (short v : (short[]) value) out.putShort(v); break;
            case 3: for (int v : (int[]) value) out.putInt(v); break;
            case 4: for (long v : (long[]) value) out.putLong(v); break;
            case 5: for (char v : (char[]) value) out.putChar(v); break;
            case 6: for (boolean v : (boolean[]) value) out.putInt(v ? 1 : 0); break;
            case 7: for (float v : (float[]) value) out.putDouble(v); break;
            default: for (double v : (double[]) value) out.putDouble(v); break;
        }
        return out.array();
    }

    private static byte[] call(Function function, ByteBuffer in) {
        Object result = null;
        try {
            Object[] args = new Object[function.argTypes.length];
            for (int k = 0; k < args.length; k++) {
                args[k] = decode(function.argTypes[k], in);
            }
            result = function.method.invoke(null, args);
        } catch (Exception e) {
            // The client waits for exactly one reply: it gets the type's zero value.
            System.err.println("Sublime: " + function.method.getName() + " failed: " + e);
        }
        return encode(function.returnType, result);
    }
}
