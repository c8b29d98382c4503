package limetest;

import com.zeph.plex.lime.LimeFunction;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Objects;
import java.util.concurrent.atomic.AtomicInteger;

/**
 * A Lime client JVM: calls limetest.Functions through LimeFunction with every argument and
 * result type and from many threads at once. Prints each failed check, then "JAVA CLIENT OK"
 * or "JAVA CLIENT FAILED n" and exits 0 or 1.
 */
public final class JavaClient {
    private static final AtomicInteger FAILURES = new AtomicInteger();

    private static void check(String what, Object expected, Object actual) {
        boolean same = expected != null && expected.getClass().isArray()
                ? Arrays.deepEquals(new Object[] {expected}, new Object[] {actual})
                : Objects.equals(expected, actual);
        if (!same) {
            FAILURES.incrementAndGet();
            System.out.println("FAIL " + what + ": expected " + show(expected) + ", got " + show(actual));
        }
    }

    private static String show(Object value) {
        return value != null && value.getClass().isArray() ? Arrays.deepToString(new Object[] {value}) : String.valueOf(value);
    }

    private static LimeFunction f(String method) {
        return new LimeFunction("limetest", "Functions", method);
    }

    public static void main(String[] args) throws Exception {
        if (args.length > 0 && args[0].equals("double-argument")) {
            // Java cannot pass float or double scalars: the library ends the process.
            try (LimeFunction half = f("halfDouble")) {
                System.out.println("returned " + half.invoke(1.0));
            }
            return;
        }
        if (args.length > 0 && args[0].equals("wrong-type")) {
            try (LimeFunction addInt = f("addInt")) {
                addInt.invoke("one", 2);
            } catch (IllegalArgumentException e) {
                System.out.println("refused: " + e.getMessage());
            }
            try (LimeFunction addInt = f("addInt")) {
                System.out.println("still works: " + addInt.invoke(1, 2));
            }
            System.exit(0);
        }
        try (LimeFunction nothing = f("nothing"); LimeFunction record = f("record");
                LimeFunction last = f("lastRecorded")) {
            check("void result", null, nothing.invoke());
            check("void with argument", null, record.invoke(41));
            check("recorded", 41, last.invoke());
        }
        try (LimeFunction negByte = f("negByte"); LimeFunction negShort = f("negShort");
                LimeFunction addInt = f("addInt"); LimeFunction addLong = f("addLong");
                LimeFunction nextChar = f("nextChar"); LimeFunction not = f("not")) {
            check("byte", (byte) 127, negByte.invoke((byte) -127));
            check("short", (short) -30000, negShort.invoke((short) 30000));
            check("int", -2, addInt.invoke(Integer.MAX_VALUE, Integer.MAX_VALUE));
            check("long", 1L << 40, addLong.invoke(1L << 39, 1L << 39));
            check("char", '\u1235', nextChar.invoke('\u1234'));
            check("boolean", false, not.invoke(true));
        }
        try (LimeFunction quarter = f("quarterOf"); LimeFunction eighth = f("eighthOf")) {
            check("float result", 0.75f, quarter.invoke(3));
            check("double result", -0.125, eighth.invoke(-1));
        }
        try (LimeFunction mix = f("mixIntegers")) {
            check("every integer scalar", -1L + 2 * 10 + 3 * 100 + 4000L * 1000 + 'A' * 10000L + 100000,
                    mix.invoke((byte) -1, (short) 2, 3, 4000L, 'A', true));
        }
        try (LimeFunction bytes = f("reverseBytes"); LimeFunction shorts = f("reverseShorts");
                LimeFunction ints = f("reverseInts"); LimeFunction longs = f("reverseLongs");
                LimeFunction chars = f("reverseChars"); LimeFunction booleans = f("reverseBooleans");
                LimeFunction floats = f("reverseFloats"); LimeFunction doubles = f("reverseDoubles");
                LimeFunction lengthOf = f("lengthOf")) {
            check("byte[]", new byte[] {3, -2, 1}, bytes.invoke(new byte[] {1, -2, 3}));
            check("short[]", new short[] {-300, 200}, shorts.invoke(new short[] {200, -300}));
            check("int[]", new int[] {3, 2, 1}, ints.invoke(new int[] {1, 2, 3}));
            check("long[]", new long[] {-1L << 50, 7}, longs.invoke(new long[] {7, -1L << 50}));
            check("char[]", new char[] {'z', '\u00e9'}, chars.invoke(new char[] {'\u00e9', 'z'}));
            check("boolean[]", new boolean[] {false, true, true}, booleans.invoke(new boolean[] {true, true, false}));
            check("float[]", new float[] {-0.25f, 1.5f}, floats.invoke(new float[] {1.5f, -0.25f}));
            check("double[]", new double[] {1e300, -2.5}, doubles.invoke(new double[] {-2.5, 1e300}));
            check("empty int[]", new int[0], ints.invoke(new int[0]));
            check("null int[] argument", -1, lengthOf.invoke((Object) null));
            check("null array result", null, ints.invoke((Object) null));
        }
        try (LimeFunction checksum = f("checksum"); LimeFunction make = f("makeBytes")) {
            // Larger than the 2 MiB ring in both directions.
            byte[] big = (byte[]) make.invoke(3 * 1024 * 1024 + 17, 99);
            check("big result length", 3 * 1024 * 1024 + 17, big == null ? -1 : big.length);
            check("big argument", Functions.checksum(Functions.makeBytes(3 * 1024 * 1024 + 17, 99)),
                    checksum.invoke(big));
            check("big result content", Functions.checksum(Functions.makeBytes(3 * 1024 * 1024 + 17, 99)),
                    Functions.checksum(big));
        }
        manyThreads(12);
        int failures = FAILURES.get();
        System.out.println(failures == 0 ? "JAVA CLIENT OK" : "JAVA CLIENT FAILED " + failures);
        System.out.flush();
        System.exit(failures == 0 ? 0 : 1);
    }

    /** Threads whose replies come back in the opposite order of their requests. */
    private static void manyThreads(int count) throws InterruptedException {
        List<Thread> threads = new ArrayList<>();
        LimeFunction slow = f("slowEcho");
        AtomicInteger order = new AtomicInteger();
        int[] finished = new int[count];
        for (int k = 0; k < count; k++) {
            int tag = k;
            Thread t = new Thread(() -> {
                Object got = slow.invoke(40 * (count - tag), tag);
                finished[tag] = order.incrementAndGet();
                check("thread " + tag, tag, got);
            });
            threads.add(t);
            t.start();
            Thread.sleep(5);
        }
        for (Thread t : threads) {
            t.join();
        }
        slow.close();
        // The first request was the slowest, so it must have finished last.
        check("replies out of order", count, finished[0]);
    }
}
