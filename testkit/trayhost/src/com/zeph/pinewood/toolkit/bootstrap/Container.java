package com.zeph.pinewood.toolkit.bootstrap;

import java.io.FileDescriptor;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.util.Map;
import java.util.TreeMap;

/**
 * Stand-in for the device manager's bootstrap container, for the launcher's tests. It does what
 * its arguments ask, in order:
 *   --print          prints "ARG <n> <text>" for every argument and "PROP <name>=<value>" for
 *                    every system property, sorted
 *   --env NAME       prints "ENV NAME=<value>" (or "ENV NAME unset")
 *   --stderr TEXT    writes TEXT and a line end to standard error
 *   --echo-stdin     copies standard input to standard output until it ends
 *   --flood BYTES    writes BYTES of numbered lines to standard output and as many to standard
 *                    error, alternating, each line one write so that lines never mix
 *   --exit CODE      ends with CODE after everything above (default 0)
 *   --halt           ends at once without the usual shutdown, as a crashing VM would
 * Output goes straight to the file descriptors, unbuffered, so that what was written before
 * the process ends is all in the pipe.
 */
public final class Container {
    private static final FileOutputStream OUT = new FileOutputStream(FileDescriptor.out);
    private static final FileOutputStream ERR = new FileOutputStream(FileDescriptor.err);

    private Container() {}

    public static void main(String[] args) throws IOException {
        int exitCode = 0;
        boolean halt = false;
        for (int i = 0; i < args.length; ++i) {
            switch (args[i]) {
                case "--print":
                    print(args);
                    break;
                case "--env": {
                    String name = args[++i];
                    String value = System.getenv(name);
                    write(OUT, value == null ? "ENV " + name + " unset\n" : "ENV " + name + "=" + value + "\n");
                    break;
                }
                case "--stderr":
                    write(ERR, args[++i] + "\n");
                    break;
                case "--echo-stdin":
                    echoStdin();
                    break;
                case "--flood":
                    flood(Long.parseLong(args[++i]));
                    break;
                case "--exit":
                    exitCode = Integer.parseInt(args[++i]);
                    break;
                case "--halt":
                    halt = true;
                    break;
                default:
                    break;
            }
        }
        if (halt) {
            Runtime.getRuntime().halt(exitCode);
        }
        System.exit(exitCode);
    }

    private static void write(FileOutputStream stream, String text) throws IOException {
        stream.write(text.getBytes(StandardCharsets.UTF_8));
    }

    private static void print(String[] args) throws IOException {
        StringBuilder text = new StringBuilder();
        for (int i = 0; i < args.length; ++i) {
            text.append("ARG ").append(i).append(' ').append(args[i]).append('\n');
        }
        Map<String, String> properties = new TreeMap<>();
        for (String name : System.getProperties().stringPropertyNames()) {
            properties.put(name, System.getProperty(name));
        }
        for (Map.Entry<String, String> e : properties.entrySet()) {
            text.append("PROP ").append(e.getKey()).append('=').append(e.getValue()).append('\n');
        }
        write(OUT, text.toString());
    }

    private static void echoStdin() throws IOException {
        InputStream in = System.in;
        byte[] buffer = new byte[4096];
        int got;
        while ((got = in.read(buffer)) > 0) {
            OUT.write(buffer, 0, got);
        }
    }

    // Lines of exactly 100 bytes: "out 00000000 " or "err 00000000 ", filler, line end.
    private static void flood(long bytes) throws IOException {
        long lines = bytes / 100;
        byte[] filler = new byte[100 - 14];
        java.util.Arrays.fill(filler, (byte) 'x');
        String fill = new String(filler, StandardCharsets.US_ASCII);
        for (long n = 0; n < lines; ++n) {
            String number = String.format("%08d", n);
            write(OUT, "out " + number + " " + fill + "\n");
            write(ERR, "err " + number + " " + fill + "\n");
        }
    }
}
