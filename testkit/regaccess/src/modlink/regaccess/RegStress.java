package modlink.regaccess;

import com.zeph.pinewood.toolkit.util.regaccess.WindowsRegistry;

import java.util.ArrayList;
import java.util.HashSet;
import java.util.List;
import java.util.Set;
import java.util.concurrent.atomic.AtomicInteger;

/**
 * Writes and reads the same registry keys from many threads (and, run several times at once,
 * from many processes), then checks that every value written is there and whole.
 *
 * <pre>
 * RegStress write  PROCESS THREADS ITERATIONS   writes its share, reading back as it goes
 * RegStress verify PROCESSES THREADS ITERATIONS checks the shares of all processes
 * RegStress forever                              writes k-0, k-1, ... until killed
 * RegStress survived                             checks what a killed "forever" left
 * </pre>
 * Prints one summary line; exits with 1 when anything was wrong.
 */
public final class RegStress {
    static final int ROOT = WindowsRegistry.HKEY_CURRENT_USER;
    static final String KEY = "Software\\modlink-stress\\Shared";

    public static void main(String[] args) throws Exception {
        int errors;
        switch (args[0]) {
            case "write":
                errors = write(Integer.parseInt(args[1]), Integer.parseInt(args[2]), Integer.parseInt(args[3]));
                break;
            case "verify":
                errors = verify(Integer.parseInt(args[1]), Integer.parseInt(args[2]), Integer.parseInt(args[3]));
                break;
            case "forever":
                forever();
                return;
            case "survived":
                errors = survived();
                break;
            default:
                throw new IllegalArgumentException(args[0]);
        }
        System.out.flush();
        System.exit(errors == 0 ? 0 : 1);
    }

    /** A value that tells by itself whether it is whole: name, filler of a known length, length. */
    static String payload(String name, int i) {
        int length = (i * 37) % 3000;
        return name + ":" + String.valueOf((char) ('a' + i % 26)).repeat(length) + ":" + length;
    }

    static boolean whole(String name, String value) {
        if (value == null || !value.startsWith(name + ":")) {
            return false;
        }
        int last = value.lastIndexOf(':');
        int length = Integer.parseInt(value.substring(last + 1));
        String filler = value.substring(name.length() + 1, last);
        return filler.length() == length && (length == 0 || filler.chars().allMatch(c -> c == filler.charAt(0)));
    }

    static int write(int process, int threads, int iterations) throws Exception {
        WindowsRegistry.createKey0(0, ROOT, null, KEY);
        AtomicInteger errors = new AtomicInteger();
        List<Thread> workers = new ArrayList<>();
        for (int t = 0; t < threads; t++) {
            final int thread = t;
            workers.add(new Thread(() -> {
                String mine = "p" + process + "-t" + thread;
                for (int i = 0; i < iterations; i++) {
                    try {
                        String name = mine + "-" + i;
                        WindowsRegistry.setStringValue0(0, ROOT, KEY, name, payload(name, i), false);
                        WindowsRegistry.set32BitValue0(0, ROOT, KEY, "n-" + mine, i);
                        // Everybody overwrites the shared value; a reader must see one whole.
                        WindowsRegistry.setStringValue0(0, ROOT, KEY, "shared", payload(mine, i), false);
                        String shared = WindowsRegistry.getStringValue0(0, ROOT, KEY, "shared", false);
                        String owner = shared.substring(0, shared.indexOf(':'));
                        if (!whole(owner, shared)) {
                            System.out.println("torn shared value: " + shared.length());
                            errors.incrementAndGet();
                        }
                        if (!whole(name, WindowsRegistry.getStringValue0(0, ROOT, KEY, name, false))) {
                            System.out.println("lost or torn " + name);
                            errors.incrementAndGet();
                        }
                        WindowsRegistry.createKey0(0, ROOT, KEY, "sub-" + mine + "-" + (i % 5));
                        if (i % 10 == 0) {
                            for (String listed : WindowsRegistry.getValueNames0(0, ROOT, KEY)) {
                                if (listed == null) {
                                    System.out.println("null name in listing");
                                    errors.incrementAndGet();
                                }
                            }
                        }
                    } catch (Exception e) {
                        System.out.println("failed: " + e);
                        errors.incrementAndGet();
                    }
                }
            }));
        }
        for (Thread worker : workers) {
            worker.start();
        }
        for (Thread worker : workers) {
            worker.join();
        }
        System.out.println("wrote " + process + " errors " + errors.get());
        return errors.get();
    }

    static int verify(int processes, int threads, int iterations) throws Exception {
        int errors = 0;
        int checked = 0;
        for (int p = 0; p < processes; p++) {
            for (int t = 0; t < threads; t++) {
                String mine = "p" + p + "-t" + t;
                for (int i = 0; i < iterations; i++) {
                    String name = mine + "-" + i;
                    if (!whole(name, WindowsRegistry.getStringValue0(0, ROOT, KEY, name, false))) {
                        System.out.println("missing or torn " + name);
                        errors++;
                    }
                    checked++;
                }
                if (WindowsRegistry.get32BitValue0(0, ROOT, KEY, "n-" + mine) != iterations - 1) {
                    System.out.println("counter of " + mine + " is not the last one written");
                    errors++;
                }
            }
        }
        int expectedValues = processes * threads * (iterations + 1) + 1;
        int values = WindowsRegistry.countValues0(0, ROOT, KEY);
        int subKeys = WindowsRegistry.countSubKeys0(0, ROOT, KEY);
        if (values != expectedValues || subKeys != processes * threads * Math.min(iterations, 5)) {
            System.out.println("counts " + values + " values, " + subKeys + " subkeys");
            errors++;
        }
        Set<String> names = new HashSet<>(List.of(WindowsRegistry.getValueNames0(0, ROOT, KEY)));
        if (names.size() != expectedValues) {
            System.out.println("listed " + names.size() + " distinct names");
            errors++;
        }
        System.out.println("verified " + checked + " errors " + errors);
        return errors;
    }

    static void forever() throws Exception {
        WindowsRegistry.createKey0(0, ROOT, null, KEY);
        for (int i = 0;; i++) {
            String name = "k-" + i;
            WindowsRegistry.setStringValue0(0, ROOT, KEY, name, payload(name, i), false);
            WindowsRegistry.setBinaryValue0(0, ROOT, KEY, "b-" + i, new byte[(i * 101) % 5000]);
            System.out.println("wrote " + i);
            System.out.flush();
        }
    }

    static int survived() throws Exception {
        int errors = 0;
        int present = 0;
        for (int i = 0;; i++) {
            String name = "k-" + i;
            if (!WindowsRegistry.valueExists0(0, ROOT, KEY, name)) {
                break;
            }
            present++;
            if (!whole(name, WindowsRegistry.getStringValue0(0, ROOT, KEY, name, false))) {
                System.out.println("torn " + name);
                errors++;
            }
            if (WindowsRegistry.valueExists0(0, ROOT, KEY, "b-" + i)
                    && WindowsRegistry.getBinaryValue0(0, ROOT, KEY, "b-" + i).length != (i * 101) % 5000) {
                System.out.println("torn b-" + i);
                errors++;
            }
        }
        // Everything there must be one unbroken run k-0 .. k-(present-1).
        int values = WindowsRegistry.countValues0(0, ROOT, KEY);
        if (values != 2 * present && values != 2 * present - 1) {
            System.out.println("values " + values + " for " + present + " strings");
            errors++;
        }
        System.out.println("survived " + present + " errors " + errors);
        return errors;
    }
}
