package limetest;

/** Lime functions served by the test host: one or more for every type code. */
public final class Functions {
    private static volatile int lastRecorded;

    private Functions() {}

    public static void nothing() {}

    public static void record(int value) {
        lastRecorded = value;
    }

    public static int lastRecorded() {
        return lastRecorded;
    }

    public static byte negByte(byte v) { return (byte) -v; }
    public static short negShort(short v) { return (short) -v; }
    public static int addInt(int a, int b) { return a + b; }
    public static long addLong(long a, long b) { return a + b; }
    public static char nextChar(char c) { return (char) (c + 1); }
    public static boolean not(boolean v) { return !v; }
    public static float halfFloat(float v) { return v / 2; }
    public static float quarterOf(int v) { return v / 4f; }
    public static double eighthOf(int v) { return v / 8.0; }
    public static double halfDouble(double v) { return v / 2; }

    /** Every scalar type in one call, so a misplaced or mis-sized argument shows. */
    public static double mix(byte b, short s, int i, long l, char c, boolean z, float f, double d) {
        return b * 1e0 + s * 1e1 + i * 1e2 + l * 1e3 + c * 1e4 + (z ? 1e5 : 0) + f + d;
    }

    /** The same as mix without floating arguments, for Java clients (which cannot pass them). */
    public static long mixIntegers(byte b, short s, int i, long l, char c, boolean z) {
        return b + s * 10L + i * 100L + l * 1000L + c * 10000L + (z ? 100000L : 0);
    }

    public static byte[] reverseBytes(byte[] a) {
        if (a == null) return null;
        byte[] r = new byte[a.length];
        for (int k = 0; k < a.length; k++) r[k] = a[a.length - 1 - k];
        return r;
    }

    public static short[] reverseShorts(short[] a) {
        if (a == null) return null;
        short[] r = new short[a.length];
        for (int k = 0; k < a.length; k++) r[k] = a[a.length - 1 - k];
        return r;
    }

    public static int[] reverseInts(int[] a) {
        if (a == null) return null;
        int[] r = new int[a.length];
        for (int k = 0; k < a.length; k++) r[k] = a[a.length - 1 - k];
        return r;
    }

    public static long[] reverseLongs(long[] a) {
        if (a == null) return null;
        long[] r = new long[a.length];
        for (int k = 0; k < a.length; k++) r[k] = a[a.length - 1 - k];
        return r;
    }

    public static char[] reverseChars(char[] a) {
        if (a == null) return null;
        char[] r = new char[a.length];
        for (int k = 0; k < a.length; k++) r[k] = a[a.length - 1 - k];
        return r;
    }

    public static boolean[] reverseBooleans(boolean[] a) {
        if (a == null) return null;
        boolean[] r = new boolean[a.length];
        for (int k = 0; k < a.length; k++) r[k] = a[a.length - 1 - k];
        return r;
    }

    public static float[] reverseFloats(float[] a) {
        if (a == null) return null;
        float[] r = new float[a.length];
        for (int k = 0; k < a.length; k++) r[k] = a[a.length - 1 - k];
        return r;
    }

    public static double[] reverseDoubles(double[] a) {
        if (a == null) return null;
        double[] r = new double[a.length];
        for (int k = 0; k < a.length; k++) r[k] = a[a.length - 1 - k];
        return r;
    }

    /** -1 for a null array, else its length. */
    public static int lengthOf(int[] a) {
        return a == null ? -1 : a.length;
    }

    /** A checksum of a (possibly huge) byte array: sum of (index + 1) * value. */
    public static long checksum(byte[] a) {
        long sum = 0;
        for (int k = 0; k < a.length; k++) sum += (k + 1L) * a[k];
        return sum;
    }

    /** n pseudo-random bytes from a seed, the same sequence as the tests compute. */
    public static byte[] makeBytes(int n, int seed) {
        byte[] a = new byte[n];
        int x = seed;
        for (int k = 0; k < n; k++) {
            x = x * 1103515245 + 12345;
            a[k] = (byte) (x >>> 16);
        }
        return a;
    }

    /** Sleeps, then returns the tag: replies of slow and quick calls come back out of order. */
    public static int slowEcho(int milliseconds, int tag) {
        try {
            Thread.sleep(milliseconds);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        }
        return tag;
    }
}
